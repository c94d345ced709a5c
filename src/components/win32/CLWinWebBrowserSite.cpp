#include "components/win32/CLWinWebBrowserSite.h"

#include "components/CLWebBrowser.h"
#include "components/win32/CLWinForm.h"

namespace {

// Whether a tab sheet that is not the active page holds aControl.
bool OnHiddenSheet(const TControl& aControl) {
  for (const TWinControl* parent = aControl.Parent(); parent != nullptr;
       parent = parent->Parent()) {
    const auto* sheet = dynamic_cast<const TTabSheet*>(parent);
    if (sheet != nullptr && sheet->PageControl() != nullptr &&
        sheet->PageControl()->ActivePage() != sheet)
      return true;
  }
  return false;
}

} // namespace

void TWebBrowserSite::ChildrenMade() {
  // The page is drawn in this window, with the form's font; a view of an earlier window goes.
  auto& browser = static_cast<TWebBrowser&>(Control());
  browser.DropView();
  if (!OnHiddenSheet(browser))
    browser.ViewNeeded();
  ::SendMessageW(Window(), WM_SETFONT, reinterpret_cast<WPARAM>(Form().Font()), FALSE);
}

void WebPagesShown(TWinControl& aShown) {
  for (int i = 0; i < aShown.ControlCount(); ++i) {
    TControl& control = *aShown.Controls(i);
    if (auto* browser = dynamic_cast<TWebBrowser*>(&control);
        browser != nullptr && browser->Binding() != nullptr && !OnHiddenSheet(*browser))
      browser->ViewNeeded();
    if (auto* container = dynamic_cast<TWinControl*>(&control))
      WebPagesShown(*container);
  }
}
