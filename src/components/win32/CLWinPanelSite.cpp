#include "components/win32/CLWinPanelSite.h"

#include "components/win32/CLWinForm.h"

void TPanelSite::Paint(HDC aDC) {
  const TControl& control = Control();
  if (control.Caption().empty())
    return;
  RECT client{};
  ::GetClientRect(Window(), &client);
  HGDIOBJ oldFont = ::SelectObject(aDC, Form().Font());
  ::SetBkMode(aDC, TRANSPARENT);
  ::SetTextColor(aDC, Form().TextColour(control));
  ::DrawTextW(aDC, control.Caption().c_str(), static_cast<int>(control.Caption().size()), &client,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  ::SelectObject(aDC, oldFont);
}
