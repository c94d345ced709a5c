#include "components/win32/CLWinWebBrowserSite.h"

#include "components/CLWebBrowser.h"
#include "components/win32/CLWinForm.h"

void TWebBrowserSite::ChildrenMade() {
  // The page is drawn in this window, with the form's font.
  static_cast<TWebBrowser&>(Control()).RecreateView();
  ::SendMessageW(Window(), WM_SETFONT, reinterpret_cast<WPARAM>(Form().Font()), FALSE);
}
