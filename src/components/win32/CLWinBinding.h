#pragma once
// The Win32 binding of the component layer: every form gets a real top-level window when it
// needs one (its window class is registered under the form's ClassName(), so that another
// instance finds it with FindWindow), every control on it a real control, and every property
// change reaches the control at once. The user's actions come back as the components'
// simulation calls (Click, SelectByUser, ToggleCheckByUser, MouseUp, ...).
//
// Coordinates: a control's bounds are at 96 DPI in its parent's client area; a form's Width and
// Height are its client size at 96 DPI, its Left and Top the screen position of its frame.
// Both are scaled for the window's DPI, and rescaled when the window moves to another screen.
//
// Main thread only.

#include "components/CLControls.h"
#include "components/CLWebBrowser.h"

#include <windows.h>

// Installs the form binder and the modal handler; call once at start, after SetCLMainThread.
void InstallWin32Binding();

// Installs the binding for its lifetime and then puts back whatever was installed before, so that
// window-less logic that runs later in the same process (a test program's next suite) gets no
// real windows and no modal loop that waits for a user.
class TWin32BindingScope {
public:
  TWin32BindingScope();
  ~TWin32BindingScope();
  TWin32BindingScope(const TWin32BindingScope&) = delete;
  TWin32BindingScope& operator=(const TWin32BindingScope&) = delete;

private:
  TForm::TFormBinder FBinder;
  TForm::TModalHandler FModalHandler;
  TWebBrowser::TViewFactory FViewFactory;
};

// The thread's message loop until TerminateWin32MessageLoop (or a quit message); keyboard
// navigation (Tab, arrows, "&" accelerators, Enter for the default button, Escape for the
// cancel button) works in every form. Returns the quit code.
int RunWin32MessageLoop();
void TerminateWin32MessageLoop(int aExitCode = 0);
// Handles the keyboard navigation of the form aMessage is for; true when the message was used
// up (callers with a loop of their own call it before TranslateMessage/DispatchMessage).
bool TranslateFormMessage(MSG& aMessage);

// The form's window (made on demand), or nullptr.
HWND FormWindow(TForm& aForm);
// The control's window, or nullptr while it has none (for a spin edit: its edit).
HWND ControlWindow(TControl& aControl);
// The form whose window (or one of its controls) aWindow is, or nullptr.
TForm* FormFromWindow(HWND aWindow);
// The window's resolution (96 on systems that do not know one per window).
int WindowDpi(HWND aWindow);
