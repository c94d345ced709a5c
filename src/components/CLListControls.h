#pragma once
// The list view (columns, rows with sub-items, images and check marks) and the tree view (nodes
// with data and check marks). Their rows and nodes are not published properties: only the
// columns, a collection, carry language texts.

#include "components/CLControls.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TListView;

class TListColumn : public TCollectionItem {
public:
  explicit TListColumn(TCollection& aCollection);
  std::wstring ClassName() const override { return L"TListColumn"; }
  const std::wstring& Caption() const { return FCaption; }
  void SetCaption(const std::wstring& aValue);
  int Width() const { return FWidth; }
  void SetWidth(int aValue);
  // The column takes the width that is left.
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool aValue);

private:
  std::wstring FCaption;
  int FWidth = 50;
  bool FAutoSize = false;
};

class TListItem {
public:
  explicit TListItem(TListView& aOwner);
  TListItem(const TListItem&) = delete;
  TListItem& operator=(const TListItem&) = delete;

  int Index() const;
  const std::wstring& Caption() const { return FCaption; }
  void SetCaption(const std::wstring& aValue);
  // The texts of the columns after the first.
  TStrings& SubItems() { return FSubItems; }
  const TStrings& SubItems() const { return FSubItems; }
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int aValue);
  bool Checked() const { return FChecked; }
  void SetChecked(bool aValue);
  bool Selected() const { return FSelected; }
  void SetSelected(bool aValue);
  TObject* Data() const { return FData; }
  void SetData(TObject* aData) { FData = aData; }

private:
  void Changed();
  TListView& FOwner;
  std::wstring FCaption;
  TStrings FSubItems;
  int FImageIndex = -1;
  bool FChecked = false;
  bool FSelected = false;
  TObject* FData = nullptr;
};

class TListItems {
public:
  explicit TListItems(TListView& aOwner) : FOwner(aOwner) {}
  int Count() const { return static_cast<int>(FItems.size()); }
  // aIndex must be in range.
  TListItem& Item(int aIndex) const { return *FItems.at(aIndex); }
  TListItem& Add();
  void Delete(int aIndex); // out of range does nothing
  void Clear();
  int IndexOf(const TListItem& aItem) const;

private:
  TListView& FOwner;
  std::vector<std::unique_ptr<TListItem>> FItems;
};

enum class TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };

class TListView : public TWinControl {
public:
  explicit TListView(TComponent* aOwner);
  std::wstring ClassName() const override { return L"TListView"; }

  TCollectionOf<TListColumn>& Columns() { return FColumns; }
  TListItems& Items() { return FItems; }
  const TListItems& Items() const { return FItems; }
  bool Checkboxes() const { return FCheckboxes; }
  void SetCheckboxes(bool aValue);
  bool RowSelect() const { return FRowSelect; }
  void SetRowSelect(bool aValue);
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool aValue);
  TViewStyle ViewStyle() const { return FViewStyle; }
  void SetViewStyle(TViewStyle aValue);
  // The report view's column headers.
  bool ShowColumnHeaders() const { return FShowColumnHeaders; }
  void SetShowColumnHeaders(bool aValue) {
    SetProperty(FShowColumnHeaders, aValue, L"ShowColumnHeaders");
  }
  TImageList* SmallImages() const { return FSmallImages; }
  void SetSmallImages(TImageList* aImages);
  // The height of one row; the binding keeps it equal to the real control's.
  int ItemHeight() const { return FItemHeight; }
  void SetItemHeight(int aValue) { FItemHeight = std::max(aValue, 1); }
  // The window system's answer to which row is at a client position (-1: none), set by the
  // binding.
  using THitTest = std::function<int(int aX, int aY)>;
  void SetHitTest(THitTest aHitTest) { FHitTest = std::move(aHitTest); }
  // The row at client position (aX, aY): by the binding's hit test when there is one, else rows
  // of ItemHeight from the top; nullptr where there is no row.
  TListItem* GetItemAt(int aX, int aY) const;
  // The first selected row, or nullptr.
  TListItem* Selected() const;
  // The user ticks or unticks a row: fires OnItemChecked.
  void ToggleCheckByUser(int aIndex);
  std::function<void(TObject& Sender, TListItem& aItem)> OnItemChecked;
  // A row was selected or left (by the user, the keyboard or the program).
  std::function<void(TObject& Sender, TListItem& aItem, bool aSelected)> OnSelectItem;
  // The user dragged column aIndex to aWidth (at 96 DPI): a column of fixed width keeps it, an
  // automatic one goes on taking what the others leave.
  void ColumnResizedByUser(int aIndex, int aWidth);

protected:
  void Notification(TComponent& aComponent, TOperation aOperation) override;

private:
  friend class TListItem;
  friend class TListItems;
  void ItemsChanged() { Changed(L"Items"); }

  TCollectionOf<TListColumn> FColumns{L"TListColumns"};
  TListItems FItems{*this};
  bool FCheckboxes = false;
  bool FRowSelect = false;
  bool FReadOnly = false;
  TViewStyle FViewStyle = TViewStyle::vsIcon;
  TImageList* FSmallImages = nullptr;
  bool FShowColumnHeaders = true;
  int FItemHeight = 18;
  THitTest FHitTest;
};

class TTreeView;

// A node owns its children.
class TTreeNode {
public:
  TTreeNode(TTreeView& aOwner, TTreeNode* aParent, std::wstring aText);
  TTreeNode(const TTreeNode&) = delete;
  TTreeNode& operator=(const TTreeNode&) = delete;

  const std::wstring& Text() const { return FText; }
  void SetText(const std::wstring& aValue);
  TObject* Data() const { return FData; }
  void SetData(TObject* aData) { FData = aData; }
  bool Checked() const { return FChecked; }
  void SetChecked(bool aValue);
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int aValue);
  bool Expanded() const { return FExpanded; }
  void SetExpanded(bool aValue);

  TTreeNode* Parent() const { return FParent; }
  int Count() const { return static_cast<int>(FChildren.size()); }
  bool HasChildren() const { return !FChildren.empty(); }
  // aIndex must be in range.
  TTreeNode& Item(int aIndex) const { return *FChildren.at(aIndex); }
  int Index() const;
  int Level() const;

private:
  friend class TTreeNodes;
  void Changed();
  TTreeView& FOwner;
  TTreeNode* FParent;
  std::wstring FText;
  TObject* FData = nullptr;
  bool FChecked = false;
  int FImageIndex = -1;
  bool FExpanded = false;
  std::vector<std::unique_ptr<TTreeNode>> FChildren;
};

class TTreeNodes {
public:
  explicit TTreeNodes(TTreeView& aOwner) : FOwner(aOwner) {}
  // Top-level nodes.
  int RootCount() const { return static_cast<int>(FRoots.size()); }
  TTreeNode& Root(int aIndex) const { return *FRoots.at(aIndex); }
  // Every node, parents before their children.
  std::vector<TTreeNode*> All() const;
  int Count() const { return static_cast<int>(All().size()); }
  // A top-level node.
  TTreeNode& Add(const std::wstring& aText, TObject* aData = nullptr);
  // A child of aParent (a top-level node for nullptr).
  TTreeNode& AddChild(TTreeNode* aParent, const std::wstring& aText, TObject* aData = nullptr);
  // Frees the node with its children.
  void Delete(TTreeNode* aNode);
  void Clear();

private:
  TTreeView& FOwner;
  std::vector<std::unique_ptr<TTreeNode>> FRoots;
};

class TTreeView : public TWinControl {
public:
  explicit TTreeView(TComponent* aOwner);
  std::wstring ClassName() const override { return L"TTreeView"; }

  TTreeNodes& Items() { return FItems; }
  const TTreeNodes& Items() const { return FItems; }
  bool Checkboxes() const { return FCheckboxes; }
  void SetCheckboxes(bool aValue);
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool aValue) { FReadOnly = aValue; }
  TTreeNode* Selected() const { return FSelected; }
  // Fires OnChange when the selection changes.
  void SetSelected(TTreeNode* aNode);
  void FullExpand();
  // The height of one row; the binding keeps it equal to the real control's.
  int ItemHeight() const { return FItemHeight; }
  void SetItemHeight(int aValue) { FItemHeight = std::max(aValue, 1); }
  // The node on the row at client position aY (rows of the expanded nodes from the top), or
  // nullptr below the last row or at a negative position.
  TTreeNode* GetNodeAt(int aX, int aY) const;
  // The user ticks or unticks a node's box: the tick changes, then OnCheckClick hears of it (a
  // tick set by the program is not heard).
  void ClickCheck(TTreeNode& aNode, bool aChecked);
  TNotifyEvent OnChange;
  std::function<void(TTreeNode& aNode)> OnCheckClick;

private:
  friend class TTreeNode;
  friend class TTreeNodes;
  void NodesChanged() { Changed(L"Items"); }
  void NodeRemoved(const TTreeNode& aNode);

  TTreeNodes FItems{*this};
  bool FCheckboxes = false;
  bool FReadOnly = false;
  TTreeNode* FSelected = nullptr;
  int FItemHeight = 18;
};
