#pragma once
// A page control (the system's tab control) and its sheets: one tab for each sheet whose tab is
// visible, the active sheet shown in the tab control's display area.

#include "components/win32/CLWinSite.h"

class TPagesSite : public TControlSite {
public:
  using TControlSite::TControlSite;
  void ChildrenMade() override { SyncTabs(); }
  void Place() override;
  void PropertyChanged(std::wstring_view aProperty) override;
  bool Notify(NMHDR& aHeader, LRESULT& aResult) override;

  // The tabs, the chosen one and the sheets after a change of the pages.
  void SyncTabs();
  void PlaceSheets();

protected:
  TSiteWindowStyle WindowStyle() override;

private:
  TPageControl& Pages() const { return static_cast<TPageControl&>(Control()); }

  // The page index and caption of each tab.
  std::vector<int> FTabs;
  std::vector<std::wstring> FTabTexts;
};

class TSheetSite : public TContainerSite {
public:
  using TContainerSite::TContainerSite;
  // A sheet fills its page control's display area.
  void Place() override;
  void Show() override;
  void CaptionChanged() override;
  void PropertyChanged(std::wstring_view aProperty) override;
  LRESULT ContainerMessage(UINT aMsg, WPARAM aWParam, LPARAM aLParam) override;

private:
  TPagesSite* PagesSite() const;
};
