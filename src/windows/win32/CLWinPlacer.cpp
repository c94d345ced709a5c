#include "windows/win32/CLWinPlacer.h"

#include "components/win32/CLWinBinding.h"
#include "windows/CLAboutForm.h"

#include <windows.h>

namespace {

void PlaceInWindow(TForm& aForm, uintptr_t aParentWindow) {
  HWND parent = reinterpret_cast<HWND>(aParentWindow);
  HWND window = FormWindow(aForm);
  // The handle comes from outside (a setting of the host program): it may be gone by now.
  if (window == nullptr || !::IsWindow(parent) || parent == window)
    return;
  const LONG_PTR style = ::GetWindowLongPtrW(window, GWL_STYLE);
  ::SetWindowLongPtrW(window, GWL_STYLE, (style & ~static_cast<LONG_PTR>(WS_POPUP)) | WS_CHILD);
  ::SetParent(window, parent);
  ::SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

} // namespace

void InstallWin32FormPlacer() {
  SetFormPlacer(&PlaceInWindow);
}
