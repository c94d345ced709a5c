// List views, check lists, tree views and page controls: their rows, nodes and tabs follow the
// components, and the user's ticks, choices and tabs come back to them. The rows and nodes the
// control shows are remembered, so that a change sends only what differs and the control's own
// notifications can tell the user's changes from the binding's.
#include "components/win32/CLWinForm.h"

#include "components/win32/CLWinImages.h"

#include <unordered_map>
#include <unordered_set>

namespace {

constexpr UINT kUnchecked = INDEXTOSTATEIMAGEMASK(1);
constexpr UINT kChecked = INDEXTOSTATEIMAGEMASK(2);

// A cell of a list view's or check list's row as its component has it; aColumn below the
// site's column count.
const std::wstring& ModelText(TControlSite& aSite, int aIndex, size_t aColumn) {
  if (aSite.Kind == TSiteKind::CheckList)
    return static_cast<TCheckListBox&>(*aSite.Control).Items().Strings(aIndex);
  TListItem& item = static_cast<TListView&>(*aSite.Control).Items().Item(aIndex);
  return aColumn == 0 ? item.Caption() : item.SubItems().Strings(static_cast<int>(aColumn) - 1);
}

int ModelImage(TControlSite& aSite, int aIndex) {
  if (aSite.Kind == TSiteKind::CheckList)
    return -1;
  return static_cast<TListView&>(*aSite.Control).Items().Item(aIndex).ImageIndex();
}

bool ModelChecked(TControlSite& aSite, int aIndex) {
  if (aSite.Kind == TSiteKind::CheckList)
    return static_cast<TCheckListBox&>(*aSite.Control).Checked(aIndex);
  return static_cast<TListView&>(*aSite.Control).Items().Item(aIndex).Checked();
}

bool ModelSelected(TControlSite& aSite, int aIndex) {
  if (aSite.Kind == TSiteKind::CheckList)
    return static_cast<TCheckListBox&>(*aSite.Control).ItemIndex() == aIndex;
  return static_cast<TListView&>(*aSite.Control).Items().Item(aIndex).Selected();
}

int ModelRowCount(const TControlSite& aSite) {
  if (aSite.Kind == TSiteKind::CheckList)
    return static_cast<const TCheckListBox&>(*aSite.Control).Items().Count();
  return static_cast<const TListView&>(*aSite.Control).Items().Count();
}

void SetItemState(HWND aList, int aIndex, UINT aState, UINT aMask) {
  LVITEMW item{};
  item.stateMask = aMask;
  item.state = aState;
  ::SendMessageW(aList, LVM_SETITEMSTATE, static_cast<WPARAM>(aIndex),
                 reinterpret_cast<LPARAM>(&item));
}

void SetTreeState(HWND aTree, HTREEITEM aItem, UINT aState, UINT aMask) {
  TVITEMW item{};
  item.mask = TVIF_STATE | TVIF_HANDLE;
  item.hItem = aItem;
  item.stateMask = aMask;
  item.state = aState;
  ::SendMessageW(aTree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

UINT TreeState(HWND aTree, HTREEITEM aItem, UINT aMask) {
  return static_cast<UINT>(
      ::SendMessageW(aTree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(aItem), aMask));
}

} // namespace

// --- List views and check lists -----------------------------------------------------------------

void TFormWindow::SyncListStyle(TControlSite& aSite) {
  DWORD extended = LVS_EX_DOUBLEBUFFER;
  if (aSite.Kind == TSiteKind::CheckList) {
    extended |= LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT;
  } else {
    auto& list = static_cast<TListView&>(*aSite.Control);
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
    const LONG_PTR style = ::GetWindowLongPtrW(aSite.Window, GWL_STYLE);
    if ((style & LVS_TYPEMASK) != view)
      ::SetWindowLongPtrW(aSite.Window, GWL_STYLE, (style & ~LVS_TYPEMASK) | view);
    HIMAGELIST images = list.SmallImages() != nullptr ? WinImageList(*list.SmallImages()) : nullptr;
    ::SendMessageW(aSite.Window, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
  }
  const DWORD before =
      static_cast<DWORD>(::SendMessageW(aSite.Window, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
  const DWORD mask = LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER;
  if ((before & mask) == extended)
    return;
  ++aSite.Updating;
  ::SendMessageW(aSite.Window, LVM_SETEXTENDEDLISTVIEWSTYLE, mask, extended);
  if ((extended & LVS_EX_CHECKBOXES) != 0 && (before & LVS_EX_CHECKBOXES) == 0) {
    // New check boxes start unticked: the rows' marks are written again.
    for (size_t i = 0; i < aSite.Rows.size(); ++i)
      SetItemState(aSite.Window, static_cast<int>(i), aSite.Rows[i].Checked ? kChecked : kUnchecked,
                   LVIS_STATEIMAGEMASK);
  }
  SetListColours(aSite);
  --aSite.Updating;
}

void TFormWindow::CreateListColumns(TControlSite& aSite) {
  HWND list = aSite.Window;
  RECT client{};
  ::GetClientRect(list, &client);
  struct TColumn {
    std::wstring Caption;
    int Width = 0;
  };
  std::vector<TColumn> columns;
  if (aSite.Kind == TSiteKind::CheckList) {
    columns.push_back({L"", client.right});
  } else {
    auto& view = static_cast<TListView&>(*aSite.Control);
    int fixed = 0;
    for (int i = 0; i < view.Columns().Count(); ++i) {
      if (!view.Columns().Items(i).AutoSize())
        fixed += Scale(view.Columns().Items(i).Width());
    }
    for (int i = 0; i < view.Columns().Count(); ++i) {
      const TListColumn& column = view.Columns().Items(i);
      // An automatic column takes what the others leave of the client area.
      const int width = column.AutoSize() ? std::max<int>(client.right - fixed, Scale(20))
                                          : Scale(column.Width());
      columns.push_back({column.Caption(), width});
    }
    if (columns.empty())
      columns.push_back({L"", client.right});
  }
  ++aSite.Updating;
  const int count = static_cast<int>(columns.size());
  const bool rebuild = count != aSite.ColumnCount;
  if (rebuild) {
    while (::SendMessageW(list, LVM_DELETECOLUMN, 0, 0) != FALSE) {
    }
    ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    aSite.Rows.clear();
  }
  for (int i = 0; i < count; ++i) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = columns[i].Caption.data();
    column.cx = columns[i].Width;
    column.iSubItem = i;
    ::SendMessageW(list, rebuild ? LVM_INSERTCOLUMNW : LVM_SETCOLUMNW, static_cast<WPARAM>(i),
                   reinterpret_cast<LPARAM>(&column));
  }
  aSite.ColumnCount = count;
  --aSite.Updating;
  if (rebuild)
    SyncRows(aSite);
}

void TFormWindow::SyncRows(TControlSite& aSite) {
  HWND list = aSite.Window;
  const int wanted = ModelRowCount(aSite);
  ++aSite.Updating;
  if (wanted == 0 && !aSite.Rows.empty()) {
    ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    aSite.Rows.clear();
  }
  while (static_cast<int>(aSite.Rows.size()) > wanted) {
    ::SendMessageW(list, LVM_DELETEITEM, aSite.Rows.size() - 1, 0);
    aSite.Rows.pop_back();
  }
  // Every change of the items comes here, so rows are compared in place and copied only where
  // they differ.
  const size_t columns = static_cast<size_t>(std::max(aSite.ColumnCount, 1));
  for (int i = 0; i < wanted; ++i) {
    const bool added = i >= static_cast<int>(aSite.Rows.size());
    if (added) {
      TListRow row;
      row.Texts.resize(columns);
      row.Texts[0] = ModelText(aSite, i, 0);
      row.Image = ModelImage(aSite, i);
      LVITEMW item{};
      item.mask = LVIF_TEXT | LVIF_IMAGE;
      item.iItem = i;
      item.pszText = row.Texts[0].data();
      item.iImage = row.Image;
      ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
      row.Checked = !ModelChecked(aSite, i);
      row.Selected = !ModelSelected(aSite, i);
      aSite.Rows.push_back(std::move(row));
    }
    TListRow& shown = aSite.Rows[static_cast<size_t>(i)];
    shown.Texts.resize(columns);
    for (size_t column = added ? 1 : 0; column < columns; ++column) {
      const std::wstring& text = ModelText(aSite, i, column);
      if (!added && shown.Texts[column] == text)
        continue;
      shown.Texts[column] = text;
      LVITEMW item{};
      item.iSubItem = static_cast<int>(column);
      item.pszText = shown.Texts[column].data();
      ::SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(&item));
    }
    if (const int image = ModelImage(aSite, i); shown.Image != image) {
      LVITEMW item{};
      item.mask = LVIF_IMAGE;
      item.iItem = i;
      item.iImage = image;
      ::SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
      shown.Image = image;
    }
    if (const bool checked = ModelChecked(aSite, i); shown.Checked != checked) {
      SetItemState(list, i, checked ? kChecked : kUnchecked, LVIS_STATEIMAGEMASK);
      shown.Checked = checked;
    }
    if (const bool selected = ModelSelected(aSite, i); shown.Selected != selected) {
      SetItemState(list, i, selected ? LVIS_SELECTED : 0, LVIS_SELECTED);
      shown.Selected = selected;
    }
  }
  --aSite.Updating;
}

bool TFormWindow::ListNotify(TControlSite& aSite, NMHDR& aHeader, LRESULT& aResult) {
  TControl& control = *aSite.Control;
  if (aHeader.code == NM_DBLCLK) {
    control.DblClick();
    aResult = 0;
    return true;
  }
  if (aHeader.code != LVN_ITEMCHANGED || aSite.Updating != 0)
    return false;
  const auto& change = reinterpret_cast<const NMLISTVIEW&>(aHeader);
  if ((change.uChanged & LVIF_STATE) == 0 || change.iItem < 0 ||
      change.iItem >= static_cast<int>(aSite.Rows.size()))
    return false;
  const int index = change.iItem;
  TListRow& shown = aSite.Rows[static_cast<size_t>(index)];
  const bool checked = (change.uNewState & LVIS_STATEIMAGEMASK) == kChecked;
  const bool checkChanged =
      (change.uNewState & LVIS_STATEIMAGEMASK) != 0 && checked != shown.Checked;
  const bool selected = (change.uNewState & LVIS_SELECTED) != 0;
  const bool selectionChanged = selected != shown.Selected;
  // What the window shows now is remembered first, so the component's change notices nothing
  // new to send back.
  shown.Checked = checked;
  shown.Selected = selected;
  if (checkChanged) {
    if (aSite.Kind == TSiteKind::CheckList)
      static_cast<TCheckListBox&>(control).ToggleByUser(index);
    else
      static_cast<TListView&>(control).ToggleCheckByUser(index);
  }
  TControlSite* site = SiteOf(&control);
  if (selectionChanged && site != nullptr && index < ModelRowCount(*site)) {
    if (site->Kind == TSiteKind::CheckList) {
      auto& list = static_cast<TCheckListBox&>(control);
      if (selected)
        list.SetItemIndex(index);
      else if (list.ItemIndex() == index)
        list.SetItemIndex(-1);
    } else {
      static_cast<TListView&>(control).Items().Item(index).SetSelected(selected);
    }
  }
  // A change the component refused (it is disabled) is taken back.
  if ((site = SiteOf(&control)) != nullptr)
    SyncRows(*site);
  aResult = 0;
  return true;
}

// --- Tree views ---------------------------------------------------------------------------------

void TFormWindow::SyncTree(TControlSite& aSite) {
  HWND tree = aSite.Window;
  auto& view = static_cast<TTreeView&>(*aSite.Control);
  const std::vector<TTreeNode*> nodes = view.Items().All();
  const std::unordered_set<TTreeNode*> wanted(nodes.begin(), nodes.end());
  std::unordered_map<TTreeNode*, size_t> shown;
  for (size_t i = 0; i < aSite.Nodes.size(); ++i)
    shown[aSite.Nodes[i].Node] = i;
  ++aSite.Updating;
  // Gone nodes: deleting the topmost one takes its children with it.
  std::unordered_set<TTreeNode*> gone;
  for (const TTreeEntry& entry : aSite.Nodes) {
    if (wanted.count(entry.Node) == 0)
      gone.insert(entry.Node);
  }
  std::unordered_map<TTreeNode*, HTREEITEM> parentOfGone;
  for (size_t i = 0; i < aSite.Nodes.size(); ++i) {
    const TTreeEntry& entry = aSite.Nodes[i];
    if (gone.count(entry.Node) == 0)
      continue;
    const HTREEITEM parent = reinterpret_cast<HTREEITEM>(
        ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(entry.Item)));
    bool parentGone = false;
    for (const TTreeEntry& other : aSite.Nodes) {
      if (other.Item == parent && parent != nullptr)
        parentGone = gone.count(other.Node) != 0;
    }
    if (!parentGone)
      ::SendMessageW(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(entry.Item));
  }
  std::vector<TTreeEntry> entries;
  entries.reserve(nodes.size());
  std::unordered_map<const TTreeNode*, HTREEITEM> items;
  for (TTreeNode* node : nodes) {
    TTreeEntry entry;
    entry.Node = node;
    const auto found = shown.find(node);
    const bool isNew = found == shown.end() || gone.count(node) != 0;
    if (!isNew) {
      entry = aSite.Nodes[found->second];
    } else {
      TVINSERTSTRUCTW insert{};
      insert.hParent = node->Parent() != nullptr ? items[node->Parent()] : TVI_ROOT;
      const int index = node->Index();
      if (index <= 0) {
        insert.hInsertAfter = TVI_FIRST;
      } else {
        const TTreeNode& before = node->Parent() != nullptr ? node->Parent()->Item(index - 1)
                                                            : view.Items().Root(index - 1);
        insert.hInsertAfter = items[&before];
      }
      insert.item.mask = TVIF_TEXT | TVIF_PARAM;
      insert.item.pszText = const_cast<wchar_t*>(node->Text().c_str());
      insert.item.lParam = reinterpret_cast<LPARAM>(node);
      entry.Item = reinterpret_cast<HTREEITEM>(
          ::SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
      entry.Text = node->Text();
      entry.Checked = !node->Checked();
      entry.Expanded = false;
    }
    items[node] = entry.Item;
    if (entry.Text != node->Text()) {
      TVITEMW item{};
      item.mask = TVIF_TEXT | TVIF_HANDLE;
      item.hItem = entry.Item;
      item.pszText = const_cast<wchar_t*>(node->Text().c_str());
      ::SendMessageW(tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
      entry.Text = node->Text();
    }
    if (entry.Checked != node->Checked()) {
      SetTreeState(tree, entry.Item, node->Checked() ? kChecked : kUnchecked, TVIS_STATEIMAGEMASK);
      entry.Checked = node->Checked();
    }
    entries.push_back(entry);
  }
  // Expanding needs the children in place, so it comes last; a node expanded before it had
  // children is expanded once they are there.
  for (TTreeEntry& entry : entries) {
    const bool expanded = entry.Node->Expanded() && entry.Node->HasChildren();
    const bool showsExpanded = (TreeState(tree, entry.Item, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
    if (expanded != showsExpanded)
      ::SendMessageW(tree, TVM_EXPAND, expanded ? TVE_EXPAND : TVE_COLLAPSE,
                     reinterpret_cast<LPARAM>(entry.Item));
    entry.Expanded = entry.Node->Expanded();
  }
  aSite.Nodes = std::move(entries);
  --aSite.Updating;
}

void TFormWindow::SyncTreeSelection(TControlSite& aSite) {
  const TTreeNode* selected = static_cast<TTreeView&>(*aSite.Control).Selected();
  HTREEITEM item = nullptr;
  for (const TTreeEntry& entry : aSite.Nodes) {
    if (entry.Node == selected)
      item = entry.Item;
  }
  ++aSite.Updating;
  ::SendMessageW(aSite.Window, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
  --aSite.Updating;
}

bool TFormWindow::TreeNotify(TControlSite& aSite, NMHDR& aHeader, LRESULT& aResult) {
  TControl& control = *aSite.Control;
  auto& view = static_cast<TTreeView&>(control);
  const auto entryOf = [&aSite](HTREEITEM aItem) -> TTreeEntry* {
    for (TTreeEntry& entry : aSite.Nodes) {
      if (entry.Item == aItem)
        return &entry;
    }
    return nullptr;
  };
  switch (aHeader.code) {
  case NM_DBLCLK:
    control.DblClick();
    aResult = 0;
    return true;
  case TVN_SELCHANGEDW: {
    if (aSite.Updating != 0)
      return false;
    const auto& change = reinterpret_cast<const NMTREEVIEWW&>(aHeader);
    TTreeEntry* entry = entryOf(change.itemNew.hItem);
    ++aSite.Updating;
    view.SetSelected(entry != nullptr ? entry->Node : nullptr);
    if (TControlSite* site = SiteOf(&control))
      --site->Updating;
    aResult = 0;
    return true;
  }
  case TVN_ITEMEXPANDEDW: {
    if (aSite.Updating != 0)
      return false;
    const auto& change = reinterpret_cast<const NMTREEVIEWW&>(aHeader);
    if (TTreeEntry* entry = entryOf(change.itemNew.hItem)) {
      const bool expanded = change.action == TVE_EXPAND;
      entry->Expanded = expanded;
      entry->Node->SetExpanded(expanded);
    }
    aResult = 0;
    return true;
  }
  case TVN_ITEMCHANGEDW:
    if (aSite.Updating == 0)
      ReadTreeChecks(aSite);
    return false;
  case NM_CLICK:
  case TVN_KEYDOWN: {
    // Systems without TVN_ITEMCHANGED tick the box after these notifications; the ticks are
    // read once they have.
    if (aHeader.code == TVN_KEYDOWN &&
        reinterpret_cast<const NMTVKEYDOWN&>(aHeader).wVKey != VK_SPACE)
      return false;
    ::PostMessageW(FWindow, TreeCheckMessage(), 0, reinterpret_cast<LPARAM>(aSite.Window));
    return false;
  }
  default:
    return false;
  }
}

UINT TFormWindow::TreeCheckMessage() {
  static const UINT message = ::RegisterWindowMessageW(L"KestrovaTreeChecks");
  return message;
}

void TFormWindow::ReadTreeChecks(TControlSite& aSite) {
  std::vector<std::pair<TTreeNode*, bool>> changes;
  for (TTreeEntry& entry : aSite.Nodes) {
    const bool checked = TreeState(aSite.Window, entry.Item, TVIS_STATEIMAGEMASK) == kChecked;
    if (checked != entry.Checked) {
      entry.Checked = checked;
      changes.emplace_back(entry.Node, checked);
    }
  }
  // Each change reaches the tree's handlers, which may change the tree again: the nodes are
  // looked up anew every time.
  TControl& control = *aSite.Control;
  for (const auto& [node, checked] : changes) {
    TControlSite* site = SiteOf(&control);
    if (site == nullptr)
      return;
    for (const TTreeEntry& entry : site->Nodes) {
      if (entry.Node == node) {
        node->SetChecked(checked);
        break;
      }
    }
  }
}

// --- Page controls ------------------------------------------------------------------------------

void TFormWindow::SyncTabs(TControlSite& aSite) {
  auto& pages = static_cast<TPageControl&>(*aSite.Control);
  std::vector<int> tabs;
  std::vector<std::wstring> texts;
  for (int i = 0; i < pages.PageCount(); ++i) {
    if (pages.Pages(i)->TabVisible()) {
      tabs.push_back(i);
      texts.push_back(pages.Pages(i)->Caption());
    }
  }
  ++aSite.Updating;
  if (tabs != aSite.Tabs || texts != aSite.TabTexts) {
    ::SendMessageW(aSite.Window, TCM_DELETEALLITEMS, 0, 0);
    for (size_t i = 0; i < tabs.size(); ++i) {
      TCITEMW item{};
      item.mask = TCIF_TEXT;
      item.pszText = texts[i].data();
      ::SendMessageW(aSite.Window, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    aSite.Tabs = tabs;
    aSite.TabTexts = texts;
  }
  int selected = -1;
  for (size_t i = 0; i < tabs.size(); ++i) {
    if (tabs[i] == pages.ActivePageIndex())
      selected = static_cast<int>(i);
  }
  ::SendMessageW(aSite.Window, TCM_SETCURSEL, static_cast<WPARAM>(selected), 0);
  --aSite.Updating;
  PlaceSheets(aSite);
  for (int i = 0; i < pages.PageCount(); ++i) {
    if (TControlSite* sheet = SiteOf(pages.Pages(i)))
      ShowControl(*sheet);
  }
}

void TFormWindow::PlaceSheets(TControlSite& aPages) {
  auto& pages = static_cast<TPageControl&>(*aPages.Control);
  RECT area{};
  ::GetClientRect(aPages.Window, &area);
  ::SendMessageW(aPages.Window, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  for (int i = 0; i < pages.PageCount(); ++i) {
    if (TControlSite* sheet = SiteOf(pages.Pages(i)))
      ::SetWindowPos(sheet->Window, nullptr, area.left, area.top, area.right - area.left,
                     area.bottom - area.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}
