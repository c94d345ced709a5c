#include "components/win32/CLWinSpinSite.h"

#include "components/win32/CLWinForm.h"

void TSpinSite::Attached(HWND aParent) {
  FUpDown = ::CreateWindowExW(0, UPDOWN_CLASSW, nullptr,
                              WS_CHILD | WS_CLIPSIBLINGS | UDS_ARROWKEYS | UDS_HOTTRACK, 0, 0, 0, 0,
                              aParent, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  if (FUpDown == nullptr)
    return;
  ::SendMessageW(FUpDown, UDM_SETBUDDY, reinterpret_cast<WPARAM>(Window()), 0);
  ::SendMessageW(FUpDown, UDM_SETRANGE32, static_cast<WPARAM>(-1000000), 1000000);
  Form().AddWindow(FUpDown, *this);
}

std::vector<HWND> TSpinSite::Windows() const {
  if (FUpDown == nullptr)
    return {Window()};
  return {Window(), FUpDown};
}

void TSpinSite::Place() {
  const RECT bounds = Bounds();
  const int width = bounds.right - bounds.left;
  const int height = bounds.bottom - bounds.top;
  const int arrows = std::min(width / 2, Form().Scale(17));
  const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
  ::SetWindowPos(Window(), nullptr, bounds.left, bounds.top, width - arrows, height, flags);
  if (FUpDown != nullptr)
    ::SetWindowPos(FUpDown, nullptr, bounds.left + width - arrows, bounds.top, arrows, height,
                   flags);
}

bool TSpinSite::Notify(NMHDR& aHeader, LRESULT& aResult) {
  if (aHeader.hwndFrom != FUpDown || aHeader.code != UDN_DELTAPOS)
    return false;
  const auto& change = reinterpret_cast<const NMUPDOWN&>(aHeader);
  auto& spin = static_cast<TSpinEdit&>(Control());
  // The arrows keep no position of their own: the edit's number is the value.
  aResult = 1;
  if (!spin.Enabled() || spin.ReadOnly())
    return true;
  if (change.iDelta > 0)
    spin.StepUp();
  else if (change.iDelta < 0)
    spin.StepDown();
  return true;
}
