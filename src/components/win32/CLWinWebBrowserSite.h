#pragma once
// The embedded web page: a panel in whose window the page view draws. A page on a tab sheet that
// is not on show gets its view when the sheet is first shown: making one loads the system's web
// browser, which a window that may never open that sheet should not wait for.

#include "components/win32/CLWinPanelSite.h"

class TWebBrowserSite : public TPanelSite {
public:
  using TPanelSite::TPanelSite;
  void ChildrenMade() override;
};

// Gives every web page within aShown that has a window but no view yet its view.
void WebPagesShown(TWinControl& aShown);
