#include "components/win32/CLWinCheckBoxSite.h"

#include "components/CLSkin.h"
#include "components/win32/CLWinForm.h"

TSiteWindowStyle TCheckBoxSite::WindowStyle() {
  return {WC_BUTTONW, WS_GROUP | WS_TABSTOP | BS_CHECKBOX, 0, Control().Caption()};
}

bool TCheckBoxSite::Checked() const {
  return static_cast<const TCheckBox&>(Control()).Checked();
}

void TCheckBoxSite::PushState() {
  // The control repaints its mark by itself; the colours come from the parent at that paint.
  ::SendMessageW(Window(), BM_SETCHECK, Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
  SetVisualStyles(CurrentSkinTheme().SystemColors);
}

void TCheckBoxSite::ApplyColours() {
  SetVisualStyles(CurrentSkinTheme().SystemColors);
  Invalidate();
}

void TCheckBoxSite::CaptionChanged() {
  SetText(Control().Caption());
}

bool TCheckBoxSite::Command(int aCode) {
  if (aCode != BN_CLICKED)
    return false;
  TFormWindow& form = Form();
  TControl& control = Control();
  control.Click();
  // The control decides the mark (it may be disabled or refuse); the window follows it.
  if (TControlSite* site = form.SiteOf(&control))
    site->Push();
  return true;
}
