#include "components/win32/CLWinCheckListSite.h"

TSiteWindowStyle TCheckListSite::WindowStyle() {
  return {WC_LISTVIEWW,
          WS_GROUP | WS_TABSTOP | LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL |
              LVS_SHOWSELALWAYS,
          WS_EX_CLIENTEDGE,
          {}};
}

void TCheckListSite::PushState() {
  CreateColumns();
  SyncListStyle();
  SyncRows();
}

void TCheckListSite::Place() {
  TRowsSite::Place();
  ::SendMessageW(Window(), LVM_SETCOLUMNWIDTH, 0, LVSCW_AUTOSIZE_USEHEADER);
}

std::vector<TRowsSite::TColumnLayout> TCheckListSite::Columns(int aClientWidth) const {
  return {{L"", aClientWidth}};
}

int TCheckListSite::RowCount() const {
  return List().Items().Count();
}

const std::wstring& TCheckListSite::RowText(int aIndex, size_t) const {
  return List().Items().Strings(aIndex);
}

bool TCheckListSite::RowChecked(int aIndex) const {
  return List().Checked(aIndex);
}

bool TCheckListSite::RowSelected(int aIndex) const {
  return List().ItemIndex() == aIndex;
}

void TCheckListSite::ToggleByUser(int aIndex) {
  List().ToggleByUser(aIndex);
}

void TCheckListSite::SelectByUser(int aIndex, bool aSelected) {
  if (aSelected)
    List().SetItemIndex(aIndex);
  else if (List().ItemIndex() == aIndex)
    List().SetItemIndex(-1);
}
