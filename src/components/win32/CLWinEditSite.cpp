#include "components/win32/CLWinEditSite.h"

#include "components/win32/CLWinForm.h"

TSiteWindowStyle TEditSite::WindowStyle() {
  const auto& edit = static_cast<const TEdit&>(Control());
  return {WC_EDITW,
          static_cast<DWORD>(WS_GROUP | WS_TABSTOP | ES_AUTOHSCROLL |
                             (edit.ReadOnly() ? ES_READONLY : 0)),
          WS_EX_CLIENTEDGE, edit.Text()};
}

void TEditSite::PushState() {
  const auto& edit = static_cast<const TEdit&>(Control());
  // Read-only is no published property and tells nobody of its change: taken at every push.
  ::SendMessageW(Window(), EM_SETREADONLY, edit.ReadOnly(), 0);
  // Only a real difference is written: writing the same text moves the caret.
  if (WindowText(Window()) != edit.Text())
    ::SetWindowTextW(Window(), edit.Text().c_str());
}

bool TEditSite::Command(int aCode) {
  if (aCode != EN_CHANGE || Updating != 0)
    return false;
  TFormWindow& form = Form();
  TControl& control = Control();
  ++Updating;
  static_cast<TEdit&>(control).SetText(WindowText(Window()));
  if (TControlSite* site = form.SiteOf(&control))
    --site->Updating;
  return true;
}
