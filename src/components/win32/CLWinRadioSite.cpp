#include "components/win32/CLWinRadioSite.h"

namespace {

bool FirstRadio(const TControl& aControl) {
  const TWinControl* parent = aControl.Parent();
  if (parent == nullptr)
    return true;
  for (int i = 0; i < parent->ControlCount(); ++i) {
    if (dynamic_cast<const TRadioButton*>(parent->Controls(i)))
      return parent->Controls(i) == &aControl;
  }
  return true;
}

} // namespace

TSiteWindowStyle TRadioSite::WindowStyle() {
  return {WC_BUTTONW,
          static_cast<DWORD>(BS_RADIOBUTTON | (FirstRadio(Control()) ? WS_GROUP | WS_TABSTOP : 0)),
          0, Control().Caption()};
}

bool TRadioSite::Checked() const {
  return static_cast<const TRadioButton&>(Control()).Checked();
}
