#include "components/win32/CLWinForm.h"

#include "components/CLDpiScale.h"
#include "components/CLNonVisual.h"
#include "components/CLSkin.h"
#include "components/win32/CLWinBinding.h"
#include "components/win32/CLWinServices.h"

#include <algorithm>
#include <set>

namespace {

// DWMWA_USE_IMMERSIVE_DARK_MODE; builds of Windows 10 before 20H1 knew it as 19.
constexpr DWORD kDarkModeAttribute = 20;
constexpr DWORD kDarkModeAttributeOld = 19;

std::vector<TFormWindow*>& Registry() {
  static std::vector<TFormWindow*> forms;
  return forms;
}

template <class TProc> TProc SystemProc(const wchar_t* aModule, const char* aName) {
  HMODULE module = ::GetModuleHandleW(aModule);
  if (module == nullptr)
    module = ::LoadLibraryW(aModule);
  if (module == nullptr)
    return nullptr;
  return reinterpret_cast<TProc>(reinterpret_cast<void (*)()>(::GetProcAddress(module, aName)));
}

using TSystemParametersInfoForDpi = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
using TAdjustWindowRectExForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
using TDwmSetWindowAttribute = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);

int ScreenDpi() {
  HDC screen = ::GetDC(nullptr);
  const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSX) : kDesignDpi;
  if (screen != nullptr)
    ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : kDesignDpi;
}

bool RegisterFormClass(const std::wstring& aName) {
  static std::set<std::wstring> registered;
  if (registered.count(aName) != 0)
    return true;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = &TFormWindow::FormProc;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hIcon = ::LoadIconW(windowClass.hInstance, MAKEINTRESOURCEW(1));
  // The caption's picture from the icon's own small image, not the large one shrunk.
  windowClass.hIconSm = static_cast<HICON>(::LoadImageW(windowClass.hInstance, MAKEINTRESOURCEW(1),
                                                        IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                                        ::GetSystemMetrics(SM_CYSMICON), 0));
  windowClass.lpszClassName = aName.c_str();
  if (::RegisterClassExW(&windowClass) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    return false;
  registered.insert(aName);
  return true;
}

void FormStyles(const TForm& aForm, DWORD& aStyle, DWORD& aExStyle) {
  aExStyle = WS_EX_CONTROLPARENT;
  if (aForm.Parent() != nullptr) {
    // A page docked into a control of another form.
    aStyle = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  } else if (aForm.Modal()) {
    aStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | DS_MODALFRAME;
    aExStyle |= WS_EX_DLGMODALFRAME;
  } else if (aForm.BorderStyle() == TFormBorderStyle::bsSingle) {
    aStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  } else {
    aStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  }
}

// The window a new form belongs to: the thread's active form, else the first form made (the
// main window).
HWND OwnerFor(const TFormWindow* aNew) {
  HWND active = ::GetActiveWindow();
  for (TFormWindow* form : Registry()) {
    if (form != aNew && form->Window() == active && active != nullptr)
      return active;
  }
  for (TFormWindow* form : Registry()) {
    if (form != aNew && form->Window() != nullptr)
      return form->Window();
  }
  return nullptr;
}

COLORREF Rgb(TColor aColour) {
  return static_cast<COLORREF>(aColour & 0xFFFFFF);
}

} // namespace

int WindowDpi(HWND aWindow) {
  using TGetDpiForWindow = UINT(WINAPI*)(HWND);
  static const auto getDpi = SystemProc<TGetDpiForWindow>(L"user32.dll", "GetDpiForWindow");
  if (getDpi != nullptr && aWindow != nullptr) {
    const UINT dpi = getDpi(aWindow);
    if (dpi != 0)
      return static_cast<int>(dpi);
  }
  return ScreenDpi();
}

// --- Registry -----------------------------------------------------------------------------------

TFormWindow::TFormWindow(TForm& aForm) : FForm(aForm) {
  Registry().push_back(this);
}

TFormWindow::~TFormWindow() {
  std::erase(Registry(), this);
  for (auto& [colour, brush] : FBrushes)
    ::DeleteObject(brush);
  if (FFont != nullptr)
    ::DeleteObject(FFont);
}

const std::vector<TFormWindow*>& TFormWindow::All() {
  return Registry();
}

TFormWindow* TFormWindow::Find(const TForm& aForm) {
  for (TFormWindow* form : Registry()) {
    if (&form->FForm == &aForm)
      return form;
  }
  return nullptr;
}

TFormWindow* TFormWindow::FromWindow(HWND aWindow) {
  if (aWindow == nullptr)
    return nullptr;
  // A docked page's own window first, then the top-level form it sits in.
  for (TFormWindow* form : Registry()) {
    if (form->FWindow == aWindow)
      return form;
  }
  const HWND root = ::GetAncestor(aWindow, GA_ROOT);
  for (TFormWindow* form : Registry()) {
    if (form->FWindow != nullptr && form->FWindow == root)
      return form;
  }
  return nullptr;
}

bool TFormWindow::PostMessage(uint32_t aMsg, uintptr_t aWParam, intptr_t aLParam) {
  return FWindow != nullptr && ::PostMessageW(FWindow, aMsg, aWParam, aLParam) != FALSE;
}

bool TFormWindow::ClientToScreen(const TControl& aControl, int& aX, int& aY) const {
  HWND window = &aControl == &FForm ? FWindow : ControlWindow(aControl);
  if (window == nullptr)
    return false;
  POINT point{Scale(aX), Scale(aY)};
  if (!::ClientToScreen(window, &point))
    return false;
  aX = point.x;
  aY = point.y;
  return true;
}

void TFormWindow::AnimateToTray() {
  if (FWindow == nullptr || !::IsWindowVisible(FWindow))
    return;
  RECT from{};
  ::GetWindowRect(FWindow, &from);
  const int right = ::GetSystemMetrics(SM_CXSCREEN);
  const int bottom = ::GetSystemMetrics(SM_CYSCREEN);
  const RECT to{right - 1, bottom - 1, right, bottom};
  ::DrawAnimatedRects(FWindow, IDANI_CAPTION, &from, &to);
}

int TFormWindow::Scale(int aValue) const {
  return ScaleToDpi(aValue, FDpi);
}

int TFormWindow::Unscale(int aValue) const {
  return ScaleFromDpi(aValue, FDpi);
}

// --- The window ---------------------------------------------------------------------------------

bool TFormWindow::Create() {
  const std::wstring className = FForm.ClassName();
  if (!RegisterFormClass(className))
    return false;
  DWORD style = 0;
  DWORD exStyle = 0;
  FormStyles(FForm, style, exStyle);
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  HWND parent = OwnerFor(this);
  if (FForm.Parent() != nullptr) {
    // The page's window lives in its host's: that one is made first.
    if (TForm* host = FForm.Parent()->ParentForm())
      host->HandleNeeded();
    parent = ::ControlWindow(*FForm.Parent());
    if (parent == nullptr)
      return false;
  }
  ::CreateWindowExW(exStyle, className.c_str(), FForm.Caption().c_str(), style, CW_USEDEFAULT,
                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, parent, nullptr, instance, this);
  if (FWindow == nullptr)
    return false;
  FDpi = WindowDpi(FWindow);
  UpdateFont();
  FToolTip =
      ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, FWindow, nullptr, instance, nullptr);
  if (FToolTip != nullptr) {
    ::SendMessageW(FToolTip, TTM_SETMAXTIPWIDTH, 0, Scale(400));
    ::SendMessageW(FToolTip, WM_SETFONT, reinterpret_cast<WPARAM>(FFont), FALSE);
  }
  FForm.SetBinding(this);
  FForm.SetHost(this);
  PlaceForm();
  CreateChildren(FForm);
  // Menus and the tray icon are the form's too. The tray icon waits for the message loop: the
  // shell's answer to a new icon is no part of the form's first paint.
  bool trayIcons = false;
  for (int i = 0; i < FForm.ComponentCount(); ++i) {
    TComponent& component = *FForm.Components(i);
    if (dynamic_cast<TTrayIcon*>(&component) != nullptr)
      trayIcons = true;
    else
      BindNonVisual(component);
  }
  if (trayIcons)
    ::PostMessageW(FWindow, TrayMessage(), 0, 0);
  ApplyFrameTheme();
  if (FForm.StayOnTop())
    ::SetWindowPos(FWindow, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (FForm.Visible())
    ShowFormWindow();
  return true;
}

void TFormWindow::PlaceForm() {
  if (FWindow == nullptr)
    return;
  if (FForm.Parent() != nullptr) {
    // A docked page: Left and Top in its parent's client area, no frame.
    ++FPlacing;
    ::SetWindowPos(FWindow, nullptr, Scale(FForm.Left()), Scale(FForm.Top()), Scale(FForm.Width()),
                   Scale(FForm.Height()), SWP_NOZORDER | SWP_NOACTIVATE);
    --FPlacing;
    return;
  }
  const DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(FWindow, GWL_STYLE));
  const DWORD exStyle = static_cast<DWORD>(::GetWindowLongPtrW(FWindow, GWL_EXSTYLE));
  RECT frame{0, 0, Scale(FForm.Width() > 0 ? FForm.Width() : 400),
             Scale(FForm.Height() > 0 ? FForm.Height() : 300)};
  static const auto adjustForDpi =
      SystemProc<TAdjustWindowRectExForDpi>(L"user32.dll", "AdjustWindowRectExForDpi");
  if (adjustForDpi == nullptr ||
      !adjustForDpi(&frame, style, FALSE, exStyle, static_cast<UINT>(FDpi)))
    ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  int left = FForm.Left();
  int top = FForm.Top();
  const bool centre = left == 0 && top == 0;
  if (centre) {
    // Not placed yet: in the middle of the owner, else of the work area.
    RECT area{};
    HWND owner = ::GetWindow(FWindow, GW_OWNER);
    if (owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner)) {
      ::GetWindowRect(owner, &area);
    } else {
      MONITORINFO monitor{};
      monitor.cbSize = sizeof(monitor);
      ::GetMonitorInfoW(::MonitorFromWindow(FWindow, MONITOR_DEFAULTTOPRIMARY), &monitor);
      area = monitor.rcWork;
    }
    left = area.left + (area.right - area.left - width) / 2;
    top = area.top + (area.bottom - area.top - height) / 2;
  }
  ++FPlacing;
  if (::IsIconic(FWindow) || ::IsZoomed(FWindow)) {
    // Takes effect when the window is restored.
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    ::GetWindowPlacement(FWindow, &placement);
    placement.rcNormalPosition = RECT{left, top, left + width, top + height};
    ::SetWindowPlacement(FWindow, &placement);
  } else {
    ::SetWindowPos(FWindow, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (centre)
    FForm.SetBounds(left, top, FForm.Width(), FForm.Height());
  --FPlacing;
}

void TFormWindow::ShowFormWindow() {
  int command = SW_SHOWNORMAL;
  if (FForm.WindowState() == TWindowState::wsMinimized)
    command = SW_SHOWMINIMIZED;
  else if (FForm.WindowState() == TWindowState::wsMaximized)
    command = SW_SHOWMAXIMIZED;
  ++FPlacing;
  ::ShowWindow(FWindow, command);
  --FPlacing;
  ::UpdateWindow(FWindow);
}

void TFormWindow::FormChanged(std::wstring_view aProperty) {
  if (aProperty == L"Caption") {
    ::SetWindowTextW(FWindow, FForm.Caption().c_str());
  } else if (aProperty == L"Visible") {
    if (FForm.Visible())
      ShowFormWindow();
    else
      ::ShowWindow(FWindow, SW_HIDE);
  } else if (aProperty == L"Bounds") {
    if (FPlacing == 0)
      PlaceForm();
  } else if (aProperty == L"Parent") {
    if (HWND parent = FForm.Parent() ? ::ControlWindow(*FForm.Parent()) : nullptr) {
      DWORD style = 0;
      DWORD exStyle = 0;
      FormStyles(FForm, style, exStyle);
      ::SetWindowLongPtrW(FWindow, GWL_STYLE, static_cast<LONG_PTR>(style));
      ::SetParent(FWindow, parent);
      PlaceForm();
    }
  } else if (aProperty == L"WindowState") {
    if (FPlacing != 0 || !::IsWindowVisible(FWindow))
      return;
    ++FPlacing;
    switch (FForm.WindowState()) {
    case TWindowState::wsMinimized:
      ::ShowWindow(FWindow, SW_MINIMIZE);
      break;
    case TWindowState::wsMaximized:
      ::ShowWindow(FWindow, SW_MAXIMIZE);
      break;
    case TWindowState::wsNormal:
      ::ShowWindow(FWindow, SW_RESTORE);
      break;
    }
    --FPlacing;
  } else if (aProperty == L"FormStyle") {
    ::SetWindowPos(FWindow, FForm.StayOnTop() ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  } else if (aProperty == L"Color" || aProperty == L"Invalidate") {
    ::InvalidateRect(FWindow, nullptr, TRUE);
  }
}

void TFormWindow::UserResized(WPARAM aKind) {
  // A hidden window is only ever sized by the binding itself.
  if (FPlacing != 0 || !::IsWindowVisible(FWindow))
    return;
  ++FPlacing;
  if (aKind == SIZE_MINIMIZED) {
    FForm.SetWindowState(TWindowState::wsMinimized);
  } else if (aKind == SIZE_MAXIMIZED) {
    FForm.SetWindowState(TWindowState::wsMaximized);
  } else if (aKind == SIZE_RESTORED) {
    FForm.SetWindowState(TWindowState::wsNormal);
    RECT client{};
    RECT frame{};
    ::GetClientRect(FWindow, &client);
    ::GetWindowRect(FWindow, &frame);
    FForm.SetBounds(frame.left, frame.top, Unscale(client.right), Unscale(client.bottom));
  }
  --FPlacing;
}

void TFormWindow::UpdateFont() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  static const auto forDpi =
      SystemProc<TSystemParametersInfoForDpi>(L"user32.dll", "SystemParametersInfoForDpi");
  if (forDpi == nullptr ||
      !forDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, static_cast<UINT>(FDpi))) {
    metrics.cbSize = sizeof(metrics);
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
      metrics.lfMessageFont.lfHeight = ::MulDiv(metrics.lfMessageFont.lfHeight, FDpi, ScreenDpi());
    } else {
      metrics.lfMessageFont = LOGFONTW{};
      metrics.lfMessageFont.lfHeight = FontHeightForDpi(9, FDpi);
      metrics.lfMessageFont.lfCharSet = DEFAULT_CHARSET;
    }
  }
  LOGFONTW font = metrics.lfMessageFont;
  const TCLSkinTheme& theme = CurrentSkinTheme();
  if (!theme.SystemColors) {
    if (!theme.FontName.empty() && theme.FontName.size() < LF_FACESIZE)
      std::copy(theme.FontName.c_str(), theme.FontName.c_str() + theme.FontName.size() + 1,
                font.lfFaceName);
    if (theme.FontSize > 0)
      font.lfHeight = FontHeightForDpi(theme.FontSize, FDpi);
  }
  HFONT created = ::CreateFontIndirectW(&font);
  if (created == nullptr)
    return;
  HFONT old = std::exchange(FFont, created);
  for (auto& [component, site] : FSites) {
    if (site->Window() != nullptr)
      ::SendMessageW(site->Window(), WM_SETFONT, reinterpret_cast<WPARAM>(FFont), TRUE);
  }
  if (FToolTip != nullptr)
    ::SendMessageW(FToolTip, WM_SETFONT, reinterpret_cast<WPARAM>(FFont), FALSE);
  if (old != nullptr)
    ::DeleteObject(old);
}

void TFormWindow::ApplyFrameTheme() {
  static const auto setAttribute =
      SystemProc<TDwmSetWindowAttribute>(L"dwmapi.dll", "DwmSetWindowAttribute");
  if (setAttribute == nullptr || FWindow == nullptr)
    return;
  const TCLSkinTheme& theme = CurrentSkinTheme();
  const BOOL dark = !theme.SystemColors && theme.Dark ? TRUE : FALSE;
  // Older systems know neither attribute; the frame then simply stays light.
  if (FAILED(setAttribute(FWindow, kDarkModeAttribute, &dark, sizeof(dark))))
    setAttribute(FWindow, kDarkModeAttributeOld, &dark, sizeof(dark));
}

void TFormWindow::ApplySkin() {
  if (FWindow == nullptr)
    return;
  for (auto& [colour, brush] : FBrushes)
    ::DeleteObject(brush);
  FBrushes.clear();
  UpdateFont();
  ApplyFrameTheme();
  for (auto& [component, site] : FSites)
    site->ApplyColours();
  PlaceAll();
  ::RedrawWindow(FWindow, nullptr, nullptr,
                 RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
}

// --- Colours ------------------------------------------------------------------------------------

namespace {

COLORREF FaceColour() {
  const TCLSkinTheme& theme = CurrentSkinTheme();
  return theme.SystemColors ? ::GetSysColor(COLOR_BTNFACE) : Rgb(theme.ButtonFace);
}

COLORREF WindowColour() {
  const TCLSkinTheme& theme = CurrentSkinTheme();
  return theme.SystemColors ? ::GetSysColor(COLOR_WINDOW) : Rgb(theme.Window);
}

COLORREF Resolve(TColor aColour) {
  if (aColour == clBtnFace)
    return FaceColour();
  if (aColour == clWindow)
    return WindowColour();
  return Rgb(aColour);
}

} // namespace

COLORREF TFormWindow::Background(const TControl& aControl) const {
  const auto found = FSites.find(&aControl);
  const bool seeThrough = found != FSites.end() && found->second->SeeThrough();
  if (aControl.Color() == clBtnFace && seeThrough && aControl.Parent() != nullptr)
    return Background(*aControl.Parent());
  return Resolve(aControl.Color());
}

COLORREF TFormWindow::TextColour(const TControl& aControl) const {
  const TCLSkinTheme& theme = CurrentSkinTheme();
  if (aControl.FontColor() != clBlack)
    return Rgb(aControl.FontColor());
  const bool onWindow = Background(aControl) == WindowColour() && aControl.Color() == clWindow;
  if (theme.SystemColors)
    return ::GetSysColor(onWindow ? COLOR_WINDOWTEXT : COLOR_BTNTEXT);
  return Rgb(onWindow ? theme.WindowText : theme.ButtonText);
}

HBRUSH TFormWindow::Brush(COLORREF aColour) {
  auto found = FBrushes.find(aColour);
  if (found != FBrushes.end())
    return found->second;
  HBRUSH brush = ::CreateSolidBrush(aColour);
  FBrushes[aColour] = brush;
  return brush;
}

// --- Messages -----------------------------------------------------------------------------------

namespace {

// The message as the form's handlers see it.
TWindowMessage FormWindowMessage(UINT aMsg, WPARAM aWParam, LPARAM aLParam) {
  TWindowMessage message;
  message.Msg = aMsg;
  message.WParam = aWParam;
  message.LParam = aLParam;
  if (aMsg == WM_COPYDATA && aLParam != 0) {
    // The system copied the data into this process; it is valid for this call only.
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(aLParam);
    message.HasCopyData = true;
    message.CopyDataId = data->dwData;
    if (data->lpData != nullptr && data->cbData > 0) {
      const auto* bytes = static_cast<const uint8_t*>(data->lpData);
      message.CopyData.assign(bytes, bytes + data->cbData);
    }
  }
  return message;
}

} // namespace

LRESULT CALLBACK TFormWindow::FormProc(HWND aWindow, UINT aMsg, WPARAM aWParam, LPARAM aLParam) {
  if (aMsg == WM_NCCREATE) {
    auto* self =
        static_cast<TFormWindow*>(reinterpret_cast<CREATESTRUCTW*>(aLParam)->lpCreateParams);
    self->FWindow = aWindow;
    ::SetWindowLongPtrW(aWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<TFormWindow*>(::GetWindowLongPtrW(aWindow, GWLP_USERDATA));
  if (self == nullptr || self->FClosing)
    return ::DefWindowProcW(aWindow, aMsg, aWParam, aLParam);
  if (aMsg == WM_NCDESTROY) {
    // Destroyed by the system (its owner went): the form lives on without a window and gets a
    // new one when it needs it.
    ::SetWindowLongPtrW(aWindow, GWLP_USERDATA, 0);
    self->FWindow = nullptr;
    for (auto& [component, site] : self->FSites)
      site->Control().SetBinding(nullptr);
    self->FForm.SetBinding(nullptr);
    self->FForm.SetHost(nullptr);
    delete self;
    return ::DefWindowProcW(aWindow, aMsg, aWParam, aLParam);
  }
  return self->FormMessage(aMsg, aWParam, aLParam);
}

LRESULT TFormWindow::FormMessage(UINT aMsg, WPARAM aWParam, LPARAM aLParam) {
  TWindowMessage message = FormWindowMessage(aMsg, aWParam, aLParam);
  if (FForm.Perform(message))
    return message.Result;
  LRESULT result = 0;
  if (ChildMessage(aMsg, aWParam, aLParam, result))
    return result;
  if (aMsg == ReadMessage()) {
    if (TControlSite* site = SiteOfWindow(reinterpret_cast<HWND>(aLParam)))
      site->PostedRead();
    return 0;
  }
  if (aMsg == TrayMessage()) {
    for (int i = 0; i < FForm.ComponentCount(); ++i) {
      if (auto* tray = dynamic_cast<TTrayIcon*>(FForm.Components(i)))
        BindNonVisual(*tray);
    }
    return 0;
  }
  switch (aMsg) {
  case WM_CLOSE:
    FForm.Close();
    return 0;
  case DM_GETDEFID:
    if (TButton* button = DialogButton(mr::OK)) {
      if (const TControlSite* site = SiteOf(button))
        return MAKELRESULT(site->Id(), DC_HASDEFID);
    }
    return 0;
  case WM_ERASEBKGND: {
    RECT client{};
    ::GetClientRect(FWindow, &client);
    ::FillRect(reinterpret_cast<HDC>(aWParam), &client, Brush(Background(FForm)));
    return 1;
  }
  case WM_SIZE:
    UserResized(aWParam);
    return 0;
  case WM_MOVE:
    if (FPlacing == 0 && ::IsWindowVisible(FWindow) && !::IsIconic(FWindow) &&
        !::IsZoomed(FWindow)) {
      RECT frame{};
      ::GetWindowRect(FWindow, &frame);
      ++FPlacing;
      FForm.SetBounds(frame.left, frame.top, FForm.Width(), FForm.Height());
      --FPlacing;
    }
    return 0;
  case WM_ACTIVATE:
    if (Activated(LOWORD(aWParam) != WA_INACTIVE))
      return 0;
    break;
  case WM_DPICHANGED: {
    FDpi = HIWORD(aWParam);
    const auto* suggested = reinterpret_cast<const RECT*>(aLParam);
    ++FPlacing;
    ::SetWindowPos(FWindow, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    --FPlacing;
    UpdateFont();
    PlaceAll();
    return 0;
  }
  case WM_SETTINGCHANGE:
  case WM_SYSCOLORCHANGE:
  case WM_THEMECHANGED:
    ApplySkin();
    break;
  default:
    break;
  }
  return ::DefWindowProcW(FWindow, aMsg, aWParam, aLParam);
}

bool TFormWindow::Activated(bool aActive) {
  if (!aActive) {
    HWND focus = ::GetFocus();
    if (focus != nullptr && ::IsChild(FWindow, focus))
      FLastFocus = focus;
    return false;
  }
  HWND focus = FLastFocus != nullptr && ::IsWindow(FLastFocus) && ::IsChild(FWindow, FLastFocus)
                   ? FLastFocus
                   : ::GetNextDlgTabItem(FWindow, nullptr, FALSE);
  if (focus == nullptr)
    return false;
  ::SetFocus(focus);
  return true;
}

// --- Component changes --------------------------------------------------------------------------

void TFormWindow::PropertyChanged(TComponent& aComponent, std::wstring_view aProperty) {
  if (FWindow == nullptr || FClosing)
    return;
  if (&aComponent == &FForm) {
    FormChanged(aProperty);
    return;
  }
  if (TControlSite* site = SiteOf(&aComponent)) {
    ControlChanged(*site, aProperty);
    return;
  }
  // A control that was put on this form after its window was made.
  if (aProperty == L"Parent") {
    if (auto* control = dynamic_cast<TControl*>(&aComponent)) {
      if (ParentWindow(*control) != nullptr)
        CreateSite(*control);
    }
  }
}

void TFormWindow::ComponentDestroyed(TComponent& aComponent) {
  if (&aComponent != &FForm) {
    DestroySite(aComponent);
    return;
  }
  // The form itself: its controls outlive this object for a moment (the form frees them next),
  // so none of them may keep pointing here.
  FClosing = true;
  for (auto& [component, site] : FSites)
    site->Control().SetBinding(nullptr);
  HWND window = std::exchange(FWindow, nullptr);
  if (window != nullptr) {
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    ::DestroyWindow(window);
  }
  delete this;
}

TButton* TFormWindow::DialogButton(TModalResult aResult) const {
  // The first such button made, so that the choice does not depend on where it lives in memory.
  const TControlSite* chosen = nullptr;
  for (const auto& [component, site] : FSites) {
    if (site->DialogResult() != aResult || (chosen != nullptr && chosen->Id() < site->Id()))
      continue;
    if (site->Control().Visible() && site->Control().Enabled())
      chosen = site.get();
  }
  return chosen != nullptr ? static_cast<TButton*>(&chosen->Control()) : nullptr;
}
