#include "components/win32/CLWinBinding.h"

#include "components/CLSkin.h"
#include "components/win32/CLWinFileDialog.h"
#include "components/win32/CLWinForm.h"
#include "components/win32/CLWinWebView.h"

#include <utility>

namespace {

void BindForm(TForm& aForm) {
  if (aForm.Host() != nullptr || TFormWindow::Find(aForm) != nullptr)
    return;
  auto* window = new TFormWindow(aForm);
  if (!window->Create()) {
    // The form stays without a window; it asks again the next time it needs one.
    aForm.SetBinding(nullptr);
    aForm.SetHost(nullptr);
    delete window;
  }
}

// Shows the form modally: its owner takes no input until the form has a modal result, is
// hidden or has lost its window.
TModalResult RunModal(TForm& aForm) {
  TFormWindow* window = TFormWindow::Find(aForm);
  if (window == nullptr || window->Window() == nullptr)
    return mr::None;
  HWND dialog = window->Window();
  HWND owner = ::GetWindow(dialog, GW_OWNER);
  const bool disableOwner = owner != nullptr && ::IsWindowEnabled(owner);
  if (disableOwner)
    ::EnableWindow(owner, FALSE);
  ::SetForegroundWindow(dialog);
  ::SetActiveWindow(dialog);
  bool quit = false;
  int quitCode = 0;
  while (TFormWindow::Find(aForm) == window && aForm.ModalResult() == mr::None && aForm.Visible()) {
    MSG message;
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      quit = got == 0;
      quitCode = static_cast<int>(message.wParam);
      break;
    }
    if (!TranslateFormMessage(message)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  // The owner takes input again before the dialog goes, so that it becomes the active window.
  if (disableOwner && ::IsWindow(owner))
    ::EnableWindow(owner, TRUE);
  if (quit) {
    // The program is ending: the loop that owns the thread sees the quit message too.
    ::PostQuitMessage(quitCode);
    if (TFormWindow::Find(aForm) == window && aForm.ModalResult() == mr::None)
      aForm.SetModalResult(mr::Cancel);
  }
  return aForm.ModalResult();
}

} // namespace

void InstallWin32Binding() {
  static const bool prepared = [] {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_TAB_CLASSES |
                     ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS |
                     ICC_UPDOWN_CLASS | ICC_LINK_CLASS;
    if (!::InitCommonControlsEx(&controls)) {
      // Common Controls before version 6 know no link class; the rest is there.
      controls.dwICC &= ~static_cast<DWORD>(ICC_LINK_CLASS);
      ::InitCommonControlsEx(&controls);
    }
    AddSkinThemeListener([] {
      for (TFormWindow* window : TFormWindow::All())
        window->ApplySkin();
    });
    return true;
  }();
  static_cast<void>(prepared);
  TForm::SetFormBinder(&BindForm);
  TForm::SetModalHandler(&RunModal);
  TWebBrowser::SetViewFactory(&CreateWin32WebView);
  SetOpenFileChooser(&Win32ChooseFileToOpen);
}

TWin32BindingScope::TWin32BindingScope()
    : FBinder(TForm::SetFormBinder(nullptr)), FModalHandler(TForm::SetModalHandler(nullptr)),
      FViewFactory(TWebBrowser::SetViewFactory(nullptr)) {
  InstallWin32Binding();
}

TWin32BindingScope::~TWin32BindingScope() {
  TForm::SetFormBinder(std::move(FBinder));
  TForm::SetModalHandler(std::move(FModalHandler));
  TWebBrowser::SetViewFactory(std::move(FViewFactory));
}

bool TranslateFormMessage(MSG& aMessage) {
  if (aMessage.hwnd == nullptr || aMessage.message < WM_KEYFIRST || aMessage.message > WM_KEYLAST)
    return false;
  TFormWindow* window = TFormWindow::FromWindow(aMessage.hwnd);
  if (window == nullptr || window->Window() == nullptr)
    return false;
  if (aMessage.message == WM_KEYUP && window->Form().OnKeyUp) {
    // The handler may close or free the form: the message is not the window's any more.
    window->Form().OnKeyUp(window->Form(), static_cast<uint16_t>(aMessage.wParam));
    return true;
  }
  return ::IsDialogMessageW(window->Window(), &aMessage) != FALSE;
}

int RunWin32MessageLoop() {
  MSG message{};
  for (;;) {
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == 0 || got == -1)
      break;
    if (!TranslateFormMessage(message)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  return static_cast<int>(message.wParam);
}

void TerminateWin32MessageLoop(int aExitCode) {
  ::PostQuitMessage(aExitCode);
}

HWND FormWindow(TForm& aForm) {
  aForm.HandleNeeded();
  TFormWindow* window = TFormWindow::Find(aForm);
  return window != nullptr ? window->Window() : nullptr;
}

HWND ControlWindow(TControl& aControl) {
  if (auto* form = dynamic_cast<TForm*>(&aControl))
    return FormWindow(*form);
  for (TFormWindow* window : TFormWindow::All()) {
    if (HWND control = window->ControlWindow(aControl))
      return control;
  }
  return nullptr;
}

TForm* FormFromWindow(HWND aWindow) {
  TFormWindow* window = TFormWindow::FromWindow(aWindow);
  return window != nullptr ? &window->Form() : nullptr;
}
