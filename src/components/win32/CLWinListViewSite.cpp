#include "components/win32/CLWinListViewSite.h"

#include "components/win32/CLWinBinding.h"
#include "components/win32/CLWinForm.h"
#include "components/win32/CLWinImages.h"

TSiteWindowStyle TListViewSite::WindowStyle() {
  return {WC_LISTVIEWW,
          WS_GROUP | WS_TABSTOP | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
          WS_EX_CLIENTEDGE,
          {}};
}

void TListViewSite::PushState() {
  SyncListStyle();
  CreateColumns();
  SyncRows();
  // The row under a point is the list view's own answer (rows, header and scrolling).
  const HWND window = Window();
  List().SetHitTest([window](int aX, int aY) {
    if (!::IsWindow(window))
      return -1;
    const int dpi = WindowDpi(window);
    LVHITTESTINFO info{};
    info.pt = {::MulDiv(aX, dpi, 96), ::MulDiv(aY, dpi, 96)};
    return static_cast<int>(
        ::SendMessageW(window, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&info)));
  });
}

void TListViewSite::Place() {
  TRowsSite::Place();
  CreateColumns();
}

void TListViewSite::PropertyChanged(std::wstring_view aProperty) {
  if (aProperty == L"Checkboxes" || aProperty == L"RowSelect" || aProperty == L"ViewStyle" ||
      aProperty == L"SmallImages")
    SyncListStyle();
  else
    TRowsSite::PropertyChanged(aProperty);
}

DWORD TListViewSite::SyncViewStyle() {
  TListView& list = List();
  DWORD extended = 0;
  if (list.Checkboxes())
    extended |= LVS_EX_CHECKBOXES;
  if (list.RowSelect())
    extended |= LVS_EX_FULLROWSELECT;
  LONG_PTR view = LVS_ICON;
  switch (list.ViewStyle()) {
  case TViewStyle::vsIcon:
    view = LVS_ICON;
    break;
  case TViewStyle::vsSmallIcon:
    view = LVS_SMALLICON;
    break;
  case TViewStyle::vsList:
    view = LVS_LIST;
    break;
  case TViewStyle::vsReport:
    view = LVS_REPORT;
    break;
  }
  const LONG_PTR style = ::GetWindowLongPtrW(Window(), GWL_STYLE);
  if ((style & LVS_TYPEMASK) != view)
    ::SetWindowLongPtrW(Window(), GWL_STYLE, (style & ~LVS_TYPEMASK) | view);
  HIMAGELIST images = list.SmallImages() != nullptr ? WinImageList(*list.SmallImages()) : nullptr;
  ::SendMessageW(Window(), LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
  return extended;
}

std::vector<TRowsSite::TColumnLayout> TListViewSite::Columns(int aClientWidth) const {
  auto& columns = List().Columns();
  int fixed = 0;
  for (int i = 0; i < columns.Count(); ++i) {
    if (!columns.Items(i).AutoSize())
      fixed += Form().Scale(columns.Items(i).Width());
  }
  std::vector<TColumnLayout> layouts;
  for (int i = 0; i < columns.Count(); ++i) {
    const TListColumn& column = columns.Items(i);
    // An automatic column takes what the others leave of the client area.
    const int width = column.AutoSize() ? std::max<int>(aClientWidth - fixed, Form().Scale(20))
                                        : Form().Scale(column.Width());
    layouts.push_back({column.Caption(), width});
  }
  if (layouts.empty())
    layouts.push_back({L"", aClientWidth});
  return layouts;
}

bool TListViewSite::OwnsWindow(HWND aWindow) const {
  return aWindow != nullptr &&
         aWindow == reinterpret_cast<HWND>(::SendMessageW(Window(), LVM_GETHEADER, 0, 0));
}

bool TListViewSite::Notify(NMHDR& aHeader, LRESULT& aResult) {
  if (aHeader.hwndFrom == Window())
    return TRowsSite::Notify(aHeader, aResult);
  // From the header, only the user's drags: the binding's own column changes come while
  // Updating.
  const auto& change = reinterpret_cast<const NMHEADERW&>(aHeader);
  if ((aHeader.code != HDN_ITEMCHANGEDW && aHeader.code != HDN_ITEMCHANGEDA) || Updating != 0 ||
      change.pitem == nullptr || (change.pitem->mask & HDI_WIDTH) == 0)
    return false;
  const int width = static_cast<int>(::SendMessageW(Window(), LVM_GETCOLUMNWIDTH, change.iItem, 0));
  List().ColumnResizedByUser(change.iItem, Form().Unscale(width));
  aResult = 0;
  return true;
}

int TListViewSite::RowCount() const {
  return List().Items().Count();
}

const std::wstring& TListViewSite::RowText(int aIndex, size_t aColumn) const {
  TListItem& item = List().Items().Item(aIndex);
  return aColumn == 0 ? item.Caption() : item.SubItems().Strings(static_cast<int>(aColumn) - 1);
}

int TListViewSite::RowImage(int aIndex) const {
  return List().Items().Item(aIndex).ImageIndex();
}

bool TListViewSite::RowChecked(int aIndex) const {
  return List().Items().Item(aIndex).Checked();
}

bool TListViewSite::RowSelected(int aIndex) const {
  return List().Items().Item(aIndex).Selected();
}

void TListViewSite::ToggleByUser(int aIndex) {
  List().ToggleCheckByUser(aIndex);
}

void TListViewSite::SelectByUser(int aIndex, bool aSelected) {
  List().Items().Item(aIndex).SetSelected(aSelected);
}
