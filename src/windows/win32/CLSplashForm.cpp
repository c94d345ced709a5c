#include "windows/win32/CLSplashForm.h"

#include "components/win32/CLWinImages.h"

#include <memory>

namespace {

constexpr wchar_t kWindowClass[] = L"TfrmCLSplashForm";

std::unique_ptr<TfrmCLSplashForm> GSplash;

bool RegisterSplashClass(WNDPROC aProc) {
  static const bool GRegistered = [aProc] {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = aProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kWindowClass;
    return ::RegisterClassExW(&windowClass) != 0;
  }();
  return GRegistered;
}

} // namespace

TfrmCLSplashForm::TfrmCLSplashForm(const std::wstring& aImageFile) {
  if (!RegisterSplashClass(WindowProc))
    return;
  FWindow =
      ::CreateWindowExW(WS_EX_LAYERED | WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kWindowClass, L"",
                        WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
  if (FWindow != nullptr && !ShowPicture(aImageFile))
    ::PostMessageW(FWindow, WM_CLOSE, 0, 0);
}

TfrmCLSplashForm::~TfrmCLSplashForm() {
  if (FWindow != nullptr)
    ::DestroyWindow(FWindow);
}

bool TfrmCLSplashForm::ShowPicture(const std::wstring& aImageFile) {
  int width = 0;
  int height = 0;
  HBITMAP picture = LoadPngBitmap(aImageFile, width, height);
  if (picture == nullptr)
    return false;
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  ::GetMonitorInfoW(::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& work = monitor.rcWork;
  POINT position = {work.left + (work.right - work.left - width) / 2,
                    work.top + (work.bottom - work.top - height) / 2};
  SIZE size = {width, height};
  POINT origin = {0, 0};
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  HDC screen = ::GetDC(nullptr);
  HDC source = ::CreateCompatibleDC(screen);
  HGDIOBJ old = ::SelectObject(source, picture);
  // The picture is the window's whole content from now on; it needs no WM_PAINT.
  const bool painted = ::UpdateLayeredWindow(FWindow, screen, &position, &size, source, &origin, 0,
                                             &blend, ULW_ALPHA) != FALSE;
  ::SelectObject(source, old);
  ::DeleteDC(source);
  ::ReleaseDC(nullptr, screen);
  ::DeleteObject(picture);
  if (!painted)
    return false;
  ::ShowWindow(FWindow, SW_SHOW);
  ::SetForegroundWindow(FWindow);
  return true;
}

LRESULT CALLBACK TfrmCLSplashForm::WindowProc(HWND aWindow, UINT aMessage, WPARAM aWParam,
                                              LPARAM aLParam) {
  if (aMessage == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(aLParam);
    ::SetWindowLongPtrW(aWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<TfrmCLSplashForm*>(::GetWindowLongPtrW(aWindow, GWLP_USERDATA));
  switch (aMessage) {
  case WM_ACTIVATE:
    // Closed from the queue: the system is still busy moving the activation.
    if (LOWORD(aWParam) == WA_INACTIVE)
      ::PostMessageW(aWindow, WM_CLOSE, 0, 0);
    break;
  case WM_NCDESTROY:
    if (self != nullptr)
      self->FWindow = nullptr;
    break;
  default:
    break;
  }
  return ::DefWindowProcW(aWindow, aMessage, aWParam, aLParam);
}

std::wstring SplashImageFile() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0)
      return std::wstring();
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.find_last_of(L'\\') + 1) + L"res\\images\\splash.png";
}

void SplashShow(const std::wstring& aImageFile) {
  GSplash.reset();
  GSplash = std::make_unique<TfrmCLSplashForm>(aImageFile);
}

void SplashClose() {
  GSplash.reset();
}

HWND SplashWindow() {
  return GSplash != nullptr ? GSplash->Handle() : nullptr;
}
