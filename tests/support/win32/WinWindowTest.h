#pragma once
// What the Wine window tests stand on. WinWindowTest: the real system as the platform, the
// window-system dispatcher as this thread's main thread (the previous one back afterwards), the
// Win32 binding and a scripted message box; the settings are dropped afterwards.
// WinEngineWindowTest adds the built-in English texts and the application engine asking through
// the box. Beside them: painting, pictures and the user's clicks on real windows.

#include "appengine/CLEngine.h"
#include "base/CLMainThread.h"
#include "base/CLSettings.h"
#include "base/win32/CLMainThreadWin.h"
#include "components/CLMultiLang.h"
#include "components/win32/CLWinBinding.h"
#include "platform/win32/Win32Platform.h"
#include "support/ScriptedMessageBox.h"
#include "support/win32/WinScreenshot.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>

class WinWindowTest : public testing::Test {
protected:
  WinWindowTest();
  ~WinWindowTest() override;

  // Made first and gone last: the fixture's windows are bound, the suites after it get none.
  std::optional<TWin32BindingScope> FBinding;
  kplat::win32::TWin32Platform FPlatform;
  kplat::TScopedPlatform FScope{FPlatform};
  TCLMainThreadWin FMainThread;
  TCLMainThread* FPrevious = nullptr;
  TScriptedBox FBox;
};

class WinEngineWindowTest : public WinWindowTest {
protected:
  WinEngineWindowTest();

  TCLMultiLangData FLanguage{nullptr};
  TCLEngine FEngine{nullptr};
};

namespace ktest::win32 {

// Paints the window and its controls now and serves the paint messages that follow.
void Paint(HWND aWindow);
// Paints the window and saves its picture as aName in the screenshots folder.
void Shoot(HWND aWindow, const wchar_t* aName);
// The same without serving any message, for a window whose timers must not run meanwhile.
void ShootNow(HWND aWindow, const wchar_t* aName);
// The user's click on a button or check box.
void Click(TControl& aControl);
std::wstring WindowText(HWND aWindow);
// The text of a list view's cell.
std::wstring ListText(HWND aList, int aRow, int aColumn);

// Runs aThen(form, window) on the main thread once a visible window of class aClass holds a
// TShown: a modal dialog that what runs next opens. Looks again each time the main thread is
// idle, for at most 30 seconds.
template <typename TShown, typename TThen>
void WhenShown(const wchar_t* aClass, TThen aThen,
               ULONGLONG aDeadline = ::GetTickCount64() + 30000) {
  GetCLMainThread().Post([=] {
    HWND window = ::FindWindowW(aClass, nullptr);
    auto* form = dynamic_cast<TShown*>(FormFromWindow(window));
    if (form != nullptr && ::IsWindowVisible(window))
      aThen(*form, window);
    else if (::GetTickCount64() < aDeadline)
      WhenShown<TShown>(aClass, aThen, aDeadline);
  });
}

} // namespace ktest::win32
