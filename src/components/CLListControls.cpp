#include "components/CLListControls.h"

#include <algorithm>
#include <functional>

// --- List view ----------------------------------------------------------------------------------

TListColumn::TListColumn(TCollection& aCollection) : TCollectionItem(aCollection) {
  PublishString(
      L"Caption", [this] { return FCaption; }, [this](const std::wstring& aV) { SetCaption(aV); },
      L"TCaption");
  PublishInt(
      L"Width", [this] { return FWidth; }, [this](int aV) { SetWidth(aV); });
  PublishBool(
      L"AutoSize", [this] { return FAutoSize; }, [this](bool aV) { SetAutoSize(aV); });
}

void TListColumn::SetCaption(const std::wstring& aValue) {
  if (FCaption != aValue) {
    FCaption = aValue;
    Changed();
  }
}

void TListColumn::SetWidth(int aValue) {
  if (FWidth != aValue) {
    FWidth = aValue;
    Changed();
  }
}

void TListColumn::SetAutoSize(bool aValue) {
  if (FAutoSize != aValue) {
    FAutoSize = aValue;
    Changed();
  }
}

TListItem::TListItem(TListView& aOwner) : FOwner(aOwner) {
  FSubItems.OnChange = [this] { Changed(); };
}

int TListItem::Index() const {
  return FOwner.Items().IndexOf(*this);
}

void TListItem::SetCaption(const std::wstring& aValue) {
  if (FCaption != aValue) {
    FCaption = aValue;
    Changed();
  }
}

void TListItem::SetImageIndex(int aValue) {
  if (FImageIndex != aValue) {
    FImageIndex = aValue;
    Changed();
  }
}

void TListItem::SetChecked(bool aValue) {
  if (FChecked != aValue) {
    FChecked = aValue;
    Changed();
  }
}

void TListItem::SetSelected(bool aValue) {
  if (FSelected != aValue) {
    FSelected = aValue;
    Changed();
    if (FOwner.OnSelectItem)
      FOwner.OnSelectItem(FOwner, *this, aValue);
  }
}

void TListItem::Changed() {
  FOwner.ItemsChanged();
}

TListItem& TListItems::Add() {
  FItems.push_back(std::make_unique<TListItem>(FOwner));
  FOwner.ItemsChanged();
  return *FItems.back();
}

void TListItems::Delete(int aIndex) {
  if (aIndex < 0 || aIndex >= Count())
    return;
  FItems.erase(FItems.begin() + aIndex);
  FOwner.ItemsChanged();
}

void TListItems::Clear() {
  FItems.clear();
  FOwner.ItemsChanged();
}

int TListItems::IndexOf(const TListItem& aItem) const {
  for (int i = 0; i < Count(); ++i) {
    if (FItems[i].get() == &aItem)
      return i;
  }
  return -1;
}

TListView::TListView(TComponent* aOwner) : TWinControl(aOwner) {
  FColor = clWindow;
  FColumns.OnChange = [this] { Changed(L"Columns"); };
  PublishCollection(L"Columns", FColumns);
  PublishBool(
      L"Checkboxes", [this] { return FCheckboxes; }, [this](bool aV) { SetCheckboxes(aV); });
  PublishBool(
      L"RowSelect", [this] { return FRowSelect; }, [this](bool aV) { SetRowSelect(aV); });
  PublishBool(
      L"ReadOnly", [this] { return FReadOnly; }, [this](bool aV) { SetReadOnly(aV); });
}

void TListView::SetCheckboxes(bool aValue) {
  SetProperty(FCheckboxes, aValue, L"Checkboxes");
}

void TListView::SetRowSelect(bool aValue) {
  SetProperty(FRowSelect, aValue, L"RowSelect");
}

void TListView::SetReadOnly(bool aValue) {
  SetProperty(FReadOnly, aValue, L"ReadOnly");
}

void TListView::SetViewStyle(TViewStyle aValue) {
  SetProperty(FViewStyle, aValue, L"ViewStyle");
}

void TListView::SetSmallImages(TImageList* aImages) {
  if (FSmallImages != nullptr)
    RemoveFreeNotification(FSmallImages);
  FSmallImages = aImages;
  FreeNotification(FSmallImages);
  Changed(L"SmallImages");
}

TListItem* TListView::GetItemAt(int aX, int aY) const {
  int row = -1;
  if (FHitTest)
    row = FHitTest(aX, aY);
  else if (aX >= 0 && aY >= 0)
    row = aY / FItemHeight;
  return row >= 0 && row < FItems.Count() ? &FItems.Item(row) : nullptr;
}

TListItem* TListView::Selected() const {
  for (int i = 0; i < FItems.Count(); ++i) {
    if (FItems.Item(i).Selected())
      return &FItems.Item(i);
  }
  return nullptr;
}

void TListView::ToggleCheckByUser(int aIndex) {
  if (!Enabled() || !FCheckboxes || aIndex < 0 || aIndex >= FItems.Count())
    return;
  TListItem& item = FItems.Item(aIndex);
  item.SetChecked(!item.Checked());
  if (OnItemChecked)
    OnItemChecked(*this, item);
}

void TListView::ColumnResizedByUser(int aIndex, int aWidth) {
  if (aIndex < 0 || aIndex >= FColumns.Count() || FColumns.Items(aIndex).AutoSize())
    return;
  FColumns.Items(aIndex).SetWidth(std::max(aWidth, 0));
}

void TListView::Notification(TComponent& aComponent, TOperation aOperation) {
  TWinControl::Notification(aComponent, aOperation);
  if (aOperation == TOperation::opRemove && &aComponent == FSmallImages)
    FSmallImages = nullptr;
}

// --- Tree view ----------------------------------------------------------------------------------

TTreeNode::TTreeNode(TTreeView& aOwner, TTreeNode* aParent, std::wstring aText)
    : FOwner(aOwner), FParent(aParent), FText(std::move(aText)) {}

void TTreeNode::SetText(const std::wstring& aValue) {
  if (FText != aValue) {
    FText = aValue;
    Changed();
  }
}

void TTreeNode::SetChecked(bool aValue) {
  if (FChecked != aValue) {
    FChecked = aValue;
    Changed();
  }
}

void TTreeNode::SetImageIndex(int aValue) {
  if (FImageIndex != aValue) {
    FImageIndex = aValue;
    Changed();
  }
}

void TTreeNode::SetExpanded(bool aValue) {
  if (FExpanded != aValue) {
    FExpanded = aValue;
    Changed();
  }
}

int TTreeNode::Index() const {
  if (FParent == nullptr) {
    for (int i = 0; i < FOwner.Items().RootCount(); ++i) {
      if (&FOwner.Items().Root(i) == this)
        return i;
    }
    return -1;
  }
  for (int i = 0; i < FParent->Count(); ++i) {
    if (&FParent->Item(i) == this)
      return i;
  }
  return -1;
}

int TTreeNode::Level() const {
  int level = 0;
  for (const TTreeNode* node = FParent; node != nullptr; node = node->FParent)
    ++level;
  return level;
}

void TTreeNode::Changed() {
  FOwner.NodesChanged();
}

std::vector<TTreeNode*> TTreeNodes::All() const {
  std::vector<TTreeNode*> nodes;
  const std::function<void(TTreeNode&)> visit = [&](TTreeNode& aNode) {
    nodes.push_back(&aNode);
    for (const auto& child : aNode.FChildren)
      visit(*child);
  };
  for (const auto& root : FRoots)
    visit(*root);
  return nodes;
}

TTreeNode& TTreeNodes::Add(const std::wstring& aText, TObject* aData) {
  return AddChild(nullptr, aText, aData);
}

TTreeNode& TTreeNodes::AddChild(TTreeNode* aParent, const std::wstring& aText, TObject* aData) {
  auto node = std::make_unique<TTreeNode>(FOwner, aParent, aText);
  node->SetData(aData);
  TTreeNode& added = *node;
  (aParent != nullptr ? aParent->FChildren : FRoots).push_back(std::move(node));
  FOwner.NodesChanged();
  return added;
}

void TTreeNodes::Delete(TTreeNode* aNode) {
  if (aNode == nullptr)
    return;
  auto& siblings = aNode->FParent != nullptr ? aNode->FParent->FChildren : FRoots;
  const auto it = std::find_if(siblings.begin(), siblings.end(),
                               [aNode](const auto& aChild) { return aChild.get() == aNode; });
  if (it == siblings.end())
    return;
  FOwner.NodeRemoved(*aNode);
  siblings.erase(it);
  FOwner.NodesChanged();
}

void TTreeNodes::Clear() {
  FOwner.FSelected = nullptr;
  FRoots.clear();
  FOwner.NodesChanged();
}

TTreeView::TTreeView(TComponent* aOwner) : TWinControl(aOwner) {
  FColor = clWindow;
  PublishBool(
      L"Checkboxes", [this] { return FCheckboxes; }, [this](bool aV) { SetCheckboxes(aV); });
  PublishBool(
      L"ReadOnly", [this] { return FReadOnly; }, [this](bool aV) { FReadOnly = aV; });
}

void TTreeView::SetCheckboxes(bool aValue) {
  SetProperty(FCheckboxes, aValue, L"Checkboxes");
}

void TTreeView::ClickCheck(TTreeNode& aNode, bool aChecked) {
  aNode.SetChecked(aChecked);
  if (OnCheckClick)
    OnCheckClick(aNode);
}

void TTreeView::SetSelected(TTreeNode* aNode) {
  if (FSelected == aNode)
    return;
  FSelected = aNode;
  Changed(L"Selected");
  if (OnChange)
    OnChange(*this);
}

void TTreeView::FullExpand() {
  for (TTreeNode* node : FItems.All())
    node->SetExpanded(true);
}

TTreeNode* TTreeView::GetNodeAt(int, int aY) const {
  if (aY < 0)
    return nullptr;
  int row = aY / FItemHeight;
  const std::function<TTreeNode*(TTreeNode&)> visit = [&](TTreeNode& aNode) -> TTreeNode* {
    if (row-- == 0)
      return &aNode;
    if (aNode.Expanded()) {
      for (int i = 0; i < aNode.Count(); ++i) {
        if (TTreeNode* found = visit(aNode.Item(i)))
          return found;
      }
    }
    return nullptr;
  };
  for (int i = 0; i < FItems.RootCount(); ++i) {
    if (TTreeNode* found = visit(FItems.Root(i)))
      return found;
  }
  return nullptr;
}

void TTreeView::NodeRemoved(const TTreeNode& aNode) {
  for (const TTreeNode* node = FSelected; node != nullptr; node = node->Parent()) {
    if (node == &aNode) {
      FSelected = nullptr;
      return;
    }
  }
}
