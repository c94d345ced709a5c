#include "components/win32/CLWinButtonSite.h"

#include "components/win32/CLWinForm.h"

TSiteWindowStyle TButtonSite::WindowStyle() {
  DWORD style = WS_GROUP | WS_TABSTOP;
  const TModalResult result = Button().ModalResult();
  // Enter and Escape find these through the dialog keyboard interface.
  if (result == mr::OK && Form().DialogButton(mr::OK) == nullptr) {
    style |= BS_DEFPUSHBUTTON;
    SetId(IDOK);
  } else if (result == mr::Cancel && Form().DialogButton(mr::Cancel) == nullptr) {
    style |= BS_PUSHBUTTON;
    SetId(IDCANCEL);
  } else if (Button().KeepsState()) {
    // A push button's pressed state ends with the next click or capture change; a push-like
    // check box that only the program checks stays drawn pushed in for as long as it is down.
    style |= BS_CHECKBOX | BS_PUSHLIKE;
  } else {
    style |= BS_PUSHBUTTON;
  }
  return {WC_BUTTONW, style, 0, Control().Caption()};
}

void TButtonSite::PushState() {
  if (Button().KeepsState())
    ::SendMessageW(Window(), BM_SETCHECK, Button().Down() ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TButtonSite::CaptionChanged() {
  SetText(Control().Caption());
}

bool TButtonSite::Command(int aCode) {
  if (aCode != BN_CLICKED)
    return false;
  Control().Click();
  return true;
}

TModalResult TButtonSite::DialogResult() const {
  return Button().ModalResult();
}
