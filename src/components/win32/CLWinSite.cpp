#include "components/win32/CLWinSite.h"

#include "components/win32/CLWinForm.h"

namespace {

constexpr wchar_t kContainerClass[] = L"KestrovaContainer";

bool RegisterContainerClass() {
  static bool registered = false;
  if (registered)
    return true;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = &TFormWindow::ContainerProc;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kContainerClass;
  registered =
      ::RegisterClassExW(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  return registered;
}

using TSetWindowTheme = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);

} // namespace

std::wstring WindowText(HWND aWindow) {
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(aWindow)) + 1, L'\0');
  text.resize(
      static_cast<size_t>(::GetWindowTextW(aWindow, text.data(), static_cast<int>(text.size()))));
  return text;
}

void SetStyleBit(HWND aWindow, LONG_PTR aBit, bool aOn) {
  const LONG_PTR style = ::GetWindowLongPtrW(aWindow, GWL_STYLE);
  const LONG_PTR wanted = aOn ? (style | aBit) : (style & ~aBit);
  if (wanted != style) {
    ::SetWindowLongPtrW(aWindow, GWL_STYLE, wanted);
    ::SetWindowPos(aWindow, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    ::InvalidateRect(aWindow, nullptr, TRUE);
  }
}

void UseVisualStyles(HWND aWindow, bool aOn) {
  static const auto setTheme = [] {
    HMODULE module = ::LoadLibraryW(L"uxtheme.dll");
    return module != nullptr ? reinterpret_cast<TSetWindowTheme>(reinterpret_cast<void (*)()>(
                                   ::GetProcAddress(module, "SetWindowTheme")))
                             : nullptr;
  }();
  if (setTheme != nullptr)
    setTheme(aWindow, aOn ? nullptr : L"", aOn ? nullptr : L"");
}

// --- Every control ------------------------------------------------------------------------------

TControlSite::TControlSite(TFormWindow& aForm, TControl& aControl, int aId)
    : FForm(aForm), FControl(aControl), FId(aId) {}

bool TControlSite::Create(HWND aParent) {
  const TSiteWindowStyle window = WindowStyle();
  FWindow = ::CreateWindowExW(
      window.ExStyle, window.Class != nullptr ? window.Class : kContainerClass, window.Text.c_str(),
      WS_CHILD | WS_CLIPSIBLINGS | window.Style, 0, 0, 0, 0, aParent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(FId)), ::GetModuleHandleW(nullptr), nullptr);
  return FWindow != nullptr;
}

void TControlSite::Attached(HWND) {}

void TControlSite::Push() {
  ++Updating;
  Enable();
  PushState();
  --Updating;
}

RECT TControlSite::Bounds() const {
  const int left = FForm.Scale(FControl.Left());
  const int top = FForm.Scale(FControl.Top());
  return RECT{left, top, left + FForm.Scale(FControl.Width()),
              top + FForm.Scale(FControl.Height())};
}

void TControlSite::Place() {
  const RECT bounds = Bounds();
  ::SetWindowPos(FWindow, nullptr, bounds.left, bounds.top, bounds.right - bounds.left,
                 bounds.bottom - bounds.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TControlSite::Show() {
  const int command = FControl.Visible() ? SW_SHOWNA : SW_HIDE;
  for (HWND window : Windows())
    ::ShowWindow(window, command);
}

template <typename TChange> void TControlSite::Deferred(HWND aWindow, TChange aChange) const {
  // Drawing held on a hidden control would show it when let go again.
  const bool held = PaintsAtOnce() && (::GetWindowLongPtrW(aWindow, GWL_STYLE) & WS_VISIBLE) != 0;
  if (held)
    ::SendMessageW(aWindow, WM_SETREDRAW, FALSE, 0);
  aChange();
  if (held) {
    ::SendMessageW(aWindow, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(aWindow, nullptr, TRUE);
  }
}

void TControlSite::Enable() {
  const bool enabled = FControl.Enabled();
  for (HWND window : Windows()) {
    if ((::IsWindowEnabled(window) != FALSE) != enabled)
      Deferred(window, [&] { ::EnableWindow(window, enabled); });
  }
}

void TControlSite::SetText(const std::wstring& aText) {
  if (WindowText(FWindow) != aText)
    Deferred(FWindow, [&] { ::SetWindowTextW(FWindow, aText.c_str()); });
}

void TControlSite::Reparent(HWND aParent) {
  for (HWND window : Windows())
    ::SetParent(window, aParent);
}

void TControlSite::PropertyChanged(std::wstring_view aProperty) {
  if (aProperty == L"Items" || aProperty == L"ItemIndex" || aProperty == L"Text" ||
      aProperty == L"Checked" || aProperty == L"Down" || aProperty == L"Range" ||
      aProperty == L"Position")
    Push();
}

void TControlSite::ApplyColours() {
  Invalidate();
}

void TControlSite::Invalidate() const {
  ::InvalidateRect(FWindow, nullptr, TRUE);
}

void TControlSite::SetVisualStyles(bool aOn) {
  if (FVisualStyles == aOn)
    return;
  FVisualStyles = aOn;
  UseVisualStyles(FWindow, aOn);
}

HBRUSH TControlSite::ColourBrush(HDC aDC) {
  const COLORREF background = FForm.Background(FControl);
  ::SetTextColor(aDC, FForm.TextColour(FControl));
  ::SetBkColor(aDC, background);
  return FForm.Brush(background);
}

bool TControlSite::Command(int) {
  return false;
}

bool TControlSite::Notify(NMHDR&, LRESULT&) {
  return false;
}

LRESULT TControlSite::ContainerMessage(UINT aMsg, WPARAM aWParam, LPARAM aLParam) {
  return ::DefWindowProcW(FWindow, aMsg, aWParam, aLParam);
}

// --- The binding's own containers ---------------------------------------------------------------

bool TContainerSite::Create(HWND aParent) {
  if (!RegisterContainerClass() || !TControlSite::Create(aParent))
    return false;
  ::SetWindowLongPtrW(Window(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&Form()));
  return true;
}

LRESULT TContainerSite::ContainerMessage(UINT aMsg, WPARAM aWParam, LPARAM aLParam) {
  switch (aMsg) {
  case WM_ERASEBKGND: {
    RECT client{};
    ::GetClientRect(Window(), &client);
    ::FillRect(reinterpret_cast<HDC>(aWParam), &client, Form().Brush(Form().Background(Control())));
    return 1;
  }
  case WM_PAINT: {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(Window(), &paint);
    Paint(dc);
    ::EndPaint(Window(), &paint);
    return 0;
  }
  case WM_LBUTTONUP:
    Control().Click();
    return 0;
  case WM_LBUTTONDBLCLK:
    Control().DblClick();
    return 0;
  case WM_GETDLGCODE:
    return DLGC_STATIC;
  default:
    return TControlSite::ContainerMessage(aMsg, aWParam, aLParam);
  }
}
