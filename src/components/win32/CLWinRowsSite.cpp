#include "components/win32/CLWinRowsSite.h"

#include "components/win32/CLWinForm.h"

namespace {

constexpr UINT kUnchecked = INDEXTOSTATEIMAGEMASK(1);
constexpr UINT kChecked = INDEXTOSTATEIMAGEMASK(2);

void SetItemState(HWND aList, int aIndex, UINT aState, UINT aMask) {
  LVITEMW item{};
  item.stateMask = aMask;
  item.state = aState;
  ::SendMessageW(aList, LVM_SETITEMSTATE, static_cast<WPARAM>(aIndex),
                 reinterpret_cast<LPARAM>(&item));
}

} // namespace

void TRowsSite::PropertyChanged(std::wstring_view aProperty) {
  if (aProperty == L"Columns") {
    ++Updating;
    CreateColumns();
    SyncRows();
    --Updating;
  } else if (aProperty == L"Items" || aProperty == L"ItemIndex") {
    // Only the rows: setting the columns again makes the list view lay out every row.
    SyncRows();
  } else {
    TControlSite::PropertyChanged(aProperty);
  }
}

void TRowsSite::ApplyColours() {
  const COLORREF background = Form().Background(Control());
  ::SendMessageW(Window(), LVM_SETBKCOLOR, 0, static_cast<LPARAM>(background));
  ::SendMessageW(Window(), LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(background));
  ::SendMessageW(Window(), LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(Form().TextColour(Control())));
  Invalidate();
}

void TRowsSite::SyncListStyle() {
  const DWORD extended = LVS_EX_DOUBLEBUFFER | SyncViewStyle();
  const DWORD before =
      static_cast<DWORD>(::SendMessageW(Window(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
  const DWORD mask = LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER;
  if ((before & mask) == extended)
    return;
  ++Updating;
  ::SendMessageW(Window(), LVM_SETEXTENDEDLISTVIEWSTYLE, mask, extended);
  if ((extended & LVS_EX_CHECKBOXES) != 0 && (before & LVS_EX_CHECKBOXES) == 0) {
    // New check boxes start unticked: the rows' marks are written again.
    for (size_t i = 0; i < FRows.size(); ++i)
      SetItemState(Window(), static_cast<int>(i), FRows[i].Checked ? kChecked : kUnchecked,
                   LVIS_STATEIMAGEMASK);
  }
  ApplyColours();
  --Updating;
}

void TRowsSite::CreateColumns() {
  HWND list = Window();
  RECT client{};
  ::GetClientRect(list, &client);
  std::vector<TColumnLayout> columns = Columns(client.right);
  ++Updating;
  const int count = static_cast<int>(columns.size());
  const bool rebuild = count != FColumnCount;
  if (rebuild) {
    while (::SendMessageW(list, LVM_DELETECOLUMN, 0, 0) != FALSE) {
    }
    ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    FRows.clear();
  }
  for (int i = 0; i < count; ++i) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = columns[static_cast<size_t>(i)].Caption.data();
    column.cx = columns[static_cast<size_t>(i)].Width;
    column.iSubItem = i;
    ::SendMessageW(list, rebuild ? LVM_INSERTCOLUMNW : LVM_SETCOLUMNW, static_cast<WPARAM>(i),
                   reinterpret_cast<LPARAM>(&column));
  }
  FColumnCount = count;
  --Updating;
  if (rebuild)
    SyncRows();
}

void TRowsSite::SyncRows() {
  HWND list = Window();
  const int wanted = RowCount();
  ++Updating;
  if (wanted == 0 && !FRows.empty()) {
    ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    FRows.clear();
  }
  while (static_cast<int>(FRows.size()) > wanted) {
    ::SendMessageW(list, LVM_DELETEITEM, FRows.size() - 1, 0);
    FRows.pop_back();
  }
  // Every change of the items comes here, so rows are compared in place and copied only where
  // they differ.
  const size_t columns = static_cast<size_t>(std::max(FColumnCount, 1));
  for (int i = 0; i < wanted; ++i) {
    const bool added = i >= static_cast<int>(FRows.size());
    if (added)
      AddRow(i, columns);
    UpdateRow(i, columns, added);
  }
  --Updating;
}

void TRowsSite::AddRow(int aIndex, size_t aColumns) {
  TRow row;
  row.Texts.resize(aColumns);
  row.Texts[0] = RowText(aIndex, 0);
  row.Image = RowImage(aIndex);
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_IMAGE;
  item.iItem = aIndex;
  item.pszText = row.Texts[0].data();
  item.iImage = row.Image;
  ::SendMessageW(Window(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  // Marks opposite to the component's, so that the update below writes them.
  row.Checked = !RowChecked(aIndex);
  row.Selected = !RowSelected(aIndex);
  FRows.push_back(std::move(row));
}

void TRowsSite::UpdateRow(int aIndex, size_t aColumns, bool aAdded) {
  HWND list = Window();
  TRow& shown = FRows[static_cast<size_t>(aIndex)];
  shown.Texts.resize(aColumns);
  for (size_t column = aAdded ? 1 : 0; column < aColumns; ++column) {
    const std::wstring& text = RowText(aIndex, column);
    if (!aAdded && shown.Texts[column] == text)
      continue;
    shown.Texts[column] = text;
    LVITEMW item{};
    item.iSubItem = static_cast<int>(column);
    item.pszText = shown.Texts[column].data();
    ::SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(aIndex),
                   reinterpret_cast<LPARAM>(&item));
  }
  if (const int image = RowImage(aIndex); shown.Image != image) {
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = aIndex;
    item.iImage = image;
    ::SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    shown.Image = image;
  }
  if (const bool checked = RowChecked(aIndex); shown.Checked != checked) {
    SetItemState(list, aIndex, checked ? kChecked : kUnchecked, LVIS_STATEIMAGEMASK);
    shown.Checked = checked;
  }
  if (const bool selected = RowSelected(aIndex); shown.Selected != selected) {
    SetItemState(list, aIndex, selected ? LVIS_SELECTED : 0, LVIS_SELECTED);
    shown.Selected = selected;
  }
}

bool TRowsSite::Notify(NMHDR& aHeader, LRESULT& aResult) {
  if (aHeader.code == NM_DBLCLK) {
    Control().DblClick();
    aResult = 0;
    return true;
  }
  if (aHeader.code != LVN_ITEMCHANGED || Updating != 0)
    return false;
  if (!ItemChanged(reinterpret_cast<const NMLISTVIEW&>(aHeader)))
    return false;
  aResult = 0;
  return true;
}

bool TRowsSite::ItemChanged(const NMLISTVIEW& aChange) {
  if ((aChange.uChanged & LVIF_STATE) == 0 || aChange.iItem < 0 ||
      aChange.iItem >= static_cast<int>(FRows.size()))
    return false;
  const int index = aChange.iItem;
  TRow& shown = FRows[static_cast<size_t>(index)];
  const bool checked = (aChange.uNewState & LVIS_STATEIMAGEMASK) == kChecked;
  const bool checkChanged =
      (aChange.uNewState & LVIS_STATEIMAGEMASK) != 0 && checked != shown.Checked;
  const bool selected = (aChange.uNewState & LVIS_SELECTED) != 0;
  const bool selectionChanged = selected != shown.Selected;
  // What the window shows now is remembered first, so the component's change notices nothing
  // new to send back.
  shown.Checked = checked;
  shown.Selected = selected;
  TFormWindow& form = Form();
  TControl& control = Control();
  if (checkChanged)
    ToggleByUser(index);
  auto* site = dynamic_cast<TRowsSite*>(form.SiteOf(&control));
  if (selectionChanged && site != nullptr && index < site->RowCount())
    site->SelectByUser(index, selected);
  // A change the component refused (it is disabled) is taken back.
  if ((site = dynamic_cast<TRowsSite*>(form.SiteOf(&control))) != nullptr)
    site->SyncRows();
  return true;
}
