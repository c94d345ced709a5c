#include "components/win32/CLWinTray.h"

#include "components/win32/CLWinMenus.h"

#include <shellapi.h>

#include <algorithm>
#include <cwchar>
#include <string>

namespace {

constexpr UINT kIconId = 1;
constexpr wchar_t kWindowClass[] = L"KestrovaTrayWindow";

UINT TaskbarCreatedMessage() {
  static const UINT GMessage = ::RegisterWindowMessageW(L"TaskbarCreated");
  return GMessage;
}

// The small-icon size at the window's resolution, through the calls of Windows 10 where the
// system has them.
int SmallIconSize(HWND aWindow, int aMetric) {
  using TForDpi = int(WINAPI*)(int, UINT);
  using TDpiForWindow = UINT(WINAPI*)(HWND);
  HMODULE user = ::GetModuleHandleW(L"user32.dll");
  const auto forDpi = reinterpret_cast<TForDpi>(
      reinterpret_cast<void*>(::GetProcAddress(user, "GetSystemMetricsForDpi")));
  const auto dpiForWindow = reinterpret_cast<TDpiForWindow>(
      reinterpret_cast<void*>(::GetProcAddress(user, "GetDpiForWindow")));
  if (forDpi != nullptr && dpiForWindow != nullptr) {
    const UINT dpi = dpiForWindow(aWindow);
    if (dpi != 0)
      return forDpi(aMetric, dpi);
  }
  return ::GetSystemMetrics(aMetric);
}

TShiftState CurrentShiftState() {
  TShiftState shift = 0;
  if (::GetKeyState(VK_SHIFT) < 0)
    shift |= ss::Shift;
  if (::GetKeyState(VK_MENU) < 0)
    shift |= ss::Alt;
  if (::GetKeyState(VK_CONTROL) < 0)
    shift |= ss::Ctrl;
  return shift;
}

class TTrayBinding : public IComponentBinding {
public:
  explicit TTrayBinding(TTrayIcon& aTray) : FTray(aTray) {
    static const bool GRegistered = [] {
      WNDCLASSEXW windowClass = {};
      windowClass.cbSize = sizeof(windowClass);
      windowClass.lpfnWndProc = WindowProc;
      windowClass.hInstance = ::GetModuleHandleW(nullptr);
      windowClass.lpszClassName = kWindowClass;
      return ::RegisterClassExW(&windowClass) != 0;
    }();
    // A top-level window, not a message-only one: only those hear "TaskbarCreated".
    if (GRegistered)
      FWindow = ::CreateWindowExW(WS_EX_TOOLWINDOW, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0,
                                  nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
    // An elevated program would otherwise never hear the shell of the user's desktop restart.
    if (FWindow != nullptr)
      ::ChangeWindowMessageFilterEx(FWindow, TaskbarCreatedMessage(), MSGFLT_ALLOW, nullptr);
    LoadTrayIcon();
    Update();
  }

  ~TTrayBinding() override {
    Remove();
    if (FWindow != nullptr) {
      ::SetWindowLongPtrW(FWindow, GWLP_USERDATA, 0);
      ::DestroyWindow(FWindow);
    }
    FreeIcon();
  }
  TTrayBinding(const TTrayBinding&) = delete;
  TTrayBinding& operator=(const TTrayBinding&) = delete;

  HWND Window() const { return FWindow; }
  bool Shown() const { return FShown; }

  void PropertyChanged(TComponent&, std::wstring_view aProperty) override {
    if (aProperty == L"Icon")
      LoadTrayIcon();
    if (aProperty == L"Icon" || aProperty == L"Hint" || aProperty == L"Visible")
      Update();
  }
  void ComponentDestroyed(TComponent&) override { delete this; }

private:
  static LRESULT CALLBACK WindowProc(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) {
    if (aMessage == WM_NCCREATE) {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(aLParam);
      ::SetWindowLongPtrW(aWindow, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<TTrayBinding*>(::GetWindowLongPtrW(aWindow, GWLP_USERDATA));
    if (self != nullptr) {
      if (aMessage == kTrayCallbackMessage) {
        self->ShellNotified(LOWORD(aLParam));
        return 0;
      }
      if (aMessage == TaskbarCreatedMessage() && aMessage != 0) {
        self->FShown = false;
        self->Update();
        return 0;
      }
    }
    return ::DefWindowProcW(aWindow, aMessage, aWParam, aLParam);
  }

  void ShellNotified(UINT aEvent) {
    // The shell's version 4 follows a right click with WM_CONTEXTMENU, which alone means the
    // keyboard's context-menu key: one menu is enough.
    const bool afterRightClick = FContextMenuFollows;
    if (aEvent != WM_MOUSEMOVE)
      FContextMenuFollows = false;
    switch (aEvent) {
    case WM_LBUTTONUP:
      FTray.Click();
      break;
    case WM_LBUTTONDBLCLK:
      FTray.DblClick();
      break;
    case WM_RBUTTONUP:
      FContextMenuFollows = true;
      RightButtonUp();
      break;
    case WM_CONTEXTMENU:
      if (!afterRightClick)
        RightButtonUp();
      break;
    default:
      break;
    }
  }

  void RightButtonUp() {
    if (FTray.PopupMenu() != nullptr)
      BindPopupMenu(*FTray.PopupMenu());
    POINT cursor = {};
    ::GetCursorPos(&cursor);
    FTray.MouseUp(TMouseButton::mbRight, CurrentShiftState(), cursor.x, cursor.y);
  }

  void LoadTrayIcon() {
    FreeIcon();
    const int width = SmallIconSize(FWindow, SM_CXSMICON);
    const int height = SmallIconSize(FWindow, SM_CYSMICON);
    if (!FTray.IconFile().empty())
      FIcon = static_cast<HICON>(::LoadImageW(nullptr, FTray.IconFile().c_str(), IMAGE_ICON, width,
                                              height, LR_LOADFROMFILE));
    if (FIcon == nullptr)
      FIcon = static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1),
                                              IMAGE_ICON, width, height, 0));
    FOwnsIcon = FIcon != nullptr;
    if (FIcon == nullptr)
      FIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
  }

  void FreeIcon() {
    if (FOwnsIcon)
      ::DestroyIcon(FIcon);
    FIcon = nullptr;
    FOwnsIcon = false;
  }

  NOTIFYICONDATAW IconData() const {
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof(data);
    data.hWnd = FWindow;
    data.uID = kIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
    data.uCallbackMessage = kTrayCallbackMessage;
    data.hIcon = FIcon;
    const std::wstring& hint = FTray.Hint();
    size_t length = std::min(hint.size(), std::size(data.szTip) - 1);
    // Never half a surrogate pair.
    if (length > 0 && length < hint.size() && hint[length - 1] >= 0xD800 &&
        hint[length - 1] <= 0xDBFF)
      --length;
    std::wmemcpy(data.szTip, hint.data(), length);
    data.szTip[length] = L'\0';
    return data;
  }

  void Update() {
    if (FWindow == nullptr)
      return;
    if (!FTray.Visible()) {
      Remove();
      return;
    }
    NOTIFYICONDATAW data = IconData();
    if (FShown && ::Shell_NotifyIconW(NIM_MODIFY, &data))
      return;
    FShown = ::Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
    if (FShown) {
      data.uVersion = NOTIFYICON_VERSION_4;
      ::Shell_NotifyIconW(NIM_SETVERSION, &data);
    } else {
      // "TaskbarCreated" also reaches us when the shell still has the icon.
      FShown = ::Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
    }
  }

  void Remove() {
    if (!FShown)
      return;
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof(data);
    data.hWnd = FWindow;
    data.uID = kIconId;
    ::Shell_NotifyIconW(NIM_DELETE, &data);
    FShown = false;
  }

  TTrayIcon& FTray;
  HWND FWindow = nullptr;
  HICON FIcon = nullptr;
  bool FOwnsIcon = false;
  bool FShown = false;
  bool FContextMenuFollows = false;
};

const TTrayBinding* BindingOf(const TTrayIcon& aTray) {
  return dynamic_cast<const TTrayBinding*>(aTray.Binding());
}

} // namespace

void BindTrayIcon(TTrayIcon& aTray) {
  if (aTray.Binding() == nullptr)
    aTray.SetBinding(new TTrayBinding(aTray));
}

HWND TrayIconWindow(const TTrayIcon& aTray) {
  const TTrayBinding* binding = BindingOf(aTray);
  return binding != nullptr ? binding->Window() : nullptr;
}

bool TrayIconShown(const TTrayIcon& aTray) {
  const TTrayBinding* binding = BindingOf(aTray);
  return binding != nullptr && binding->Shown();
}
