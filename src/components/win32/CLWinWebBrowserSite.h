#pragma once
// The embedded web page: a panel in whose window the page view draws.

#include "components/win32/CLWinPanelSite.h"

class TWebBrowserSite : public TPanelSite {
public:
  using TPanelSite::TPanelSite;
  void ChildrenMade() override;
};
