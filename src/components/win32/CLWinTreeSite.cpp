#include "components/win32/CLWinTreeSite.h"

#include "components/win32/CLWinForm.h"

namespace {

constexpr UINT kUnchecked = INDEXTOSTATEIMAGEMASK(1);
constexpr UINT kChecked = INDEXTOSTATEIMAGEMASK(2);

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

TSiteWindowStyle TTreeSite::WindowStyle() {
  return {WC_TREEVIEWW,
          WS_GROUP | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
              TVS_SHOWSELALWAYS,
          WS_EX_CLIENTEDGE,
          {}};
}

void TTreeSite::Attached(HWND) {
  // The tree view takes this style only once it exists.
  if (Tree().Checkboxes())
    SetStyleBit(Window(), TVS_CHECKBOXES, true);
}

void TTreeSite::PushState() {
  ApplyColours();
  SyncTree();
  SyncSelection();
}

void TTreeSite::ApplyColours() {
  ::SendMessageW(Window(), TVM_SETBKCOLOR, 0, static_cast<LPARAM>(Form().Background(Control())));
  ::SendMessageW(Window(), TVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(Form().TextColour(Control())));
  Invalidate();
}

void TTreeSite::Place() {
  TControlSite::Place();
  const int itemHeight = static_cast<int>(::SendMessageW(Window(), TVM_GETITEMHEIGHT, 0, 0));
  if (itemHeight > 0)
    Tree().SetItemHeight(Form().Unscale(itemHeight));
}

void TTreeSite::PropertyChanged(std::wstring_view aProperty) {
  if (aProperty == L"Checkboxes" || aProperty == L"RowSelect" || aProperty == L"ViewStyle") {
    Rebuild();
  } else if (aProperty == L"Selected") {
    SyncSelection();
  } else if (aProperty == L"Items") {
    ++Updating;
    SyncTree();
    SyncSelection();
    --Updating;
  } else {
    TControlSite::PropertyChanged(aProperty);
  }
}

void TTreeSite::Rebuild() {
  SetStyleBit(Window(), TVS_CHECKBOXES, Tree().Checkboxes());
  FNodes.clear();
  ++Updating;
  ::SendMessageW(Window(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  SyncTree();
  SyncSelection();
  --Updating;
}

TTreeSite::TEntry* TTreeSite::EntryOf(HTREEITEM aItem) {
  for (TEntry& entry : FNodes) {
    if (entry.Item == aItem)
      return &entry;
  }
  return nullptr;
}

void TTreeSite::SyncTree() {
  const std::vector<TTreeNode*> nodes = Tree().Items().All();
  const std::unordered_set<TTreeNode*> wanted(nodes.begin(), nodes.end());
  std::unordered_map<TTreeNode*, size_t> shown;
  for (size_t i = 0; i < FNodes.size(); ++i)
    shown[FNodes[i].Node] = i;
  ++Updating;
  std::unordered_set<TTreeNode*> gone;
  for (const TEntry& entry : FNodes) {
    if (wanted.count(entry.Node) == 0)
      gone.insert(entry.Node);
  }
  DeleteGone(gone);
  std::vector<TEntry> entries;
  entries.reserve(nodes.size());
  std::unordered_map<const TTreeNode*, HTREEITEM> items;
  for (TTreeNode* node : nodes) {
    TEntry entry;
    entry.Node = node;
    const auto found = shown.find(node);
    if (found != shown.end() && gone.count(node) == 0) {
      entry = FNodes[found->second];
    } else {
      entry.Item = Insert(*node, items);
      entry.Text = node->Text();
      entry.Checked = !node->Checked();
      entry.Expanded = false;
    }
    items[node] = entry.Item;
    UpdateEntry(entry);
    entries.push_back(entry);
  }
  SyncExpansion(entries);
  FNodes = std::move(entries);
  --Updating;
}

void TTreeSite::DeleteGone(const std::unordered_set<TTreeNode*>& aGone) {
  // Deleting the topmost gone node takes its children with it.
  for (const TEntry& entry : FNodes) {
    if (aGone.count(entry.Node) == 0)
      continue;
    const HTREEITEM parent = reinterpret_cast<HTREEITEM>(::SendMessageW(
        Window(), TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(entry.Item)));
    bool parentGone = false;
    for (const TEntry& other : FNodes) {
      if (other.Item == parent && parent != nullptr)
        parentGone = aGone.count(other.Node) != 0;
    }
    if (!parentGone)
      ::SendMessageW(Window(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(entry.Item));
  }
}

HTREEITEM TTreeSite::Insert(TTreeNode& aNode,
                            const std::unordered_map<const TTreeNode*, HTREEITEM>& aItems) {
  const auto itemOf = [&aItems](const TTreeNode* aOther) -> HTREEITEM {
    const auto found = aItems.find(aOther);
    return found != aItems.end() ? found->second : nullptr;
  };
  TVINSERTSTRUCTW insert{};
  insert.hParent = aNode.Parent() != nullptr ? itemOf(aNode.Parent()) : TVI_ROOT;
  const int index = aNode.Index();
  if (index <= 0) {
    insert.hInsertAfter = TVI_FIRST;
  } else {
    const TTreeNode& before = aNode.Parent() != nullptr ? aNode.Parent()->Item(index - 1)
                                                        : Tree().Items().Root(index - 1);
    insert.hInsertAfter = itemOf(&before);
  }
  insert.item.mask = TVIF_TEXT | TVIF_PARAM;
  insert.item.pszText = const_cast<wchar_t*>(aNode.Text().c_str());
  insert.item.lParam = reinterpret_cast<LPARAM>(&aNode);
  return reinterpret_cast<HTREEITEM>(
      ::SendMessageW(Window(), TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

void TTreeSite::UpdateEntry(TEntry& aEntry) {
  const TTreeNode& node = *aEntry.Node;
  if (aEntry.Text != node.Text()) {
    TVITEMW item{};
    item.mask = TVIF_TEXT | TVIF_HANDLE;
    item.hItem = aEntry.Item;
    item.pszText = const_cast<wchar_t*>(node.Text().c_str());
    ::SendMessageW(Window(), TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    aEntry.Text = node.Text();
  }
  if (aEntry.Checked != node.Checked()) {
    SetTreeState(Window(), aEntry.Item, node.Checked() ? kChecked : kUnchecked,
                 TVIS_STATEIMAGEMASK);
    aEntry.Checked = node.Checked();
  }
}

void TTreeSite::SyncExpansion(std::vector<TEntry>& aEntries) {
  // Expanding needs the children in place, so it comes last; a node expanded before it had
  // children is expanded once they are there.
  for (TEntry& entry : aEntries) {
    const bool expanded = entry.Node->Expanded() && entry.Node->HasChildren();
    const bool showsExpanded =
        (TreeState(Window(), entry.Item, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
    if (expanded != showsExpanded)
      ::SendMessageW(Window(), TVM_EXPAND, expanded ? TVE_EXPAND : TVE_COLLAPSE,
                     reinterpret_cast<LPARAM>(entry.Item));
    entry.Expanded = entry.Node->Expanded();
  }
}

void TTreeSite::SyncSelection() {
  const TTreeNode* selected = Tree().Selected();
  HTREEITEM item = nullptr;
  for (const TEntry& entry : FNodes) {
    if (entry.Node == selected)
      item = entry.Item;
  }
  ++Updating;
  ::SendMessageW(Window(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
  --Updating;
}

bool TTreeSite::Notify(NMHDR& aHeader, LRESULT& aResult) {
  TFormWindow& form = Form();
  TControl& control = Control();
  const auto& change = reinterpret_cast<const NMTREEVIEWW&>(aHeader);
  switch (aHeader.code) {
  case NM_DBLCLK:
    control.DblClick();
    aResult = 0;
    return true;
  case TVN_SELCHANGEDW: {
    if (Updating != 0)
      return false;
    TEntry* entry = EntryOf(change.itemNew.hItem);
    ++Updating;
    Tree().SetSelected(entry != nullptr ? entry->Node : nullptr);
    if (TControlSite* site = form.SiteOf(&control))
      --site->Updating;
    aResult = 0;
    return true;
  }
  case TVN_ITEMEXPANDEDW:
    if (Updating != 0)
      return false;
    if (TEntry* entry = EntryOf(change.itemNew.hItem)) {
      const bool expanded = change.action == TVE_EXPAND;
      entry->Expanded = expanded;
      entry->Node->SetExpanded(expanded);
    }
    aResult = 0;
    return true;
  case TVN_ITEMCHANGEDW:
    if (Updating == 0)
      ReadChecks();
    return false;
  case NM_CLICK:
    form.PostRead(*this);
    return false;
  case TVN_KEYDOWN:
    // Systems without TVN_ITEMCHANGED tick the box after these notifications; the ticks are
    // read once they have.
    if (reinterpret_cast<const NMTVKEYDOWN&>(aHeader).wVKey == VK_SPACE)
      form.PostRead(*this);
    return false;
  default:
    return false;
  }
}

void TTreeSite::ReadChecks() {
  std::vector<std::pair<TTreeNode*, bool>> changes;
  for (TEntry& entry : FNodes) {
    const bool checked = TreeState(Window(), entry.Item, TVIS_STATEIMAGEMASK) == kChecked;
    if (checked != entry.Checked) {
      entry.Checked = checked;
      changes.emplace_back(entry.Node, checked);
    }
  }
  // Each change reaches the tree's handlers, which may change the tree again: the nodes are
  // looked up anew every time.
  TFormWindow& form = Form();
  TControl& control = Tree();
  for (const auto& [node, checked] : changes) {
    auto* site = dynamic_cast<TTreeSite*>(form.SiteOf(&control));
    if (site == nullptr)
      return;
    for (const TEntry& entry : site->FNodes) {
      if (entry.Node == node) {
        site->Tree().ClickCheck(*node, checked);
        break;
      }
    }
  }
}
