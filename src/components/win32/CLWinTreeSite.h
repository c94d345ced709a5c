#pragma once
// A tree view: the component's nodes with their ticks and expansion, and its selection. The
// nodes the tree view shows are remembered, so that a change sends only what differs and the
// tree view's own notifications can tell the user's changes from the binding's.

#include "components/CLListControls.h"
#include "components/win32/CLWinSite.h"

#include <unordered_map>
#include <unordered_set>

class TTreeSite : public TControlSite {
public:
  using TControlSite::TControlSite;
  void Attached(HWND aParent) override;
  void Place() override;
  void PropertyChanged(std::wstring_view aProperty) override;
  void ApplyColours() override;
  bool Notify(NMHDR& aHeader, LRESULT& aResult) override;
  // Systems without TVN_ITEMCHANGED tick a box after the click or key that did it.
  void PostedRead() override { ReadChecks(); }
  // A tree view ticks a box inside its button-down: the press's handlers see the box as it is.
  void BeforeMouse() override { ReadChecks(); }

protected:
  TSiteWindowStyle WindowStyle() override;
  void PushState() override;

private:
  struct TEntry {
    TTreeNode* Node = nullptr;
    HTREEITEM Item = nullptr;
    std::wstring Text;
    bool Checked = false;
    bool Expanded = false;
  };

  TTreeView& Tree() const { return static_cast<TTreeView&>(Control()); }
  TEntry* EntryOf(HTREEITEM aItem);
  void Rebuild();
  void SyncTree();
  void DeleteGone(const std::unordered_set<TTreeNode*>& aGone);
  HTREEITEM Insert(TTreeNode& aNode, const std::unordered_map<const TTreeNode*, HTREEITEM>& aItems);
  void UpdateEntry(TEntry& aEntry);
  void SyncExpansion(std::vector<TEntry>& aEntries);
  void SyncSelection();
  void ReadChecks();

  // The nodes in the order TTreeNodes::All gives them.
  std::vector<TEntry> FNodes;
};
