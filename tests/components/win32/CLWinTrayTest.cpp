// The tray icon on the real shell, and the shell's messages as they reach the component.
#include "components/win32/CLWinTray.h"

#include "components/win32/CLWinBinding.h"
#include "support/win32/WinScreenshot.h"
#include "support/win32/WinWindowTest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

void Notify(HWND aWindow, UINT aEvent) {
  ::SendMessageW(aWindow, kTrayCallbackMessage, 0, MAKELPARAM(aEvent, 1));
}

// Chooses the menu item with the accelerator aKey once a menu is open.
wchar_t GMenuKey = 0;
void CALLBACK ChooseFromMenu(HWND, UINT, UINT_PTR aTimer, DWORD) {
  HWND menu = ::FindWindowW(L"#32768", nullptr);
  if (menu != nullptr && ::IsWindowVisible(menu)) {
    ::KillTimer(nullptr, aTimer);
    ::PostMessageW(menu, WM_CHAR, GMenuKey, 0);
  }
}

} // namespace

TEST(WinTrayIcon, ShowsChangesAndRemovesTheIcon) {
  // The shell of a fresh session may still be starting.
  ASSERT_TRUE(ktest::win32::PumpUntil(
      [] { return ::FindWindowW(L"Shell_TrayWnd", nullptr) != nullptr; }, 10000));
  auto* tray = new TTrayIcon(nullptr);
  BindTrayIcon(*tray);
  HWND window = TrayIconWindow(*tray);
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(TrayIconShown(*tray));

  tray->SetHint(L"Kestrova");
  tray->SetVisible(true);
  EXPECT_TRUE(TrayIconShown(*tray));
  // Longer than the shell keeps, with a character of two UTF-16 units across the cut.
  tray->SetHint(std::wstring(126, L'x') + L"\U0001F600 and more");
  EXPECT_TRUE(TrayIconShown(*tray));
  // The shell restarted: the icon is there again.
  ::SendMessageW(window, ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_TRUE(TrayIconShown(*tray));

  tray->SetVisible(false);
  EXPECT_FALSE(TrayIconShown(*tray));
  tray->SetVisible(true);
  EXPECT_TRUE(TrayIconShown(*tray));
  delete tray;
  EXPECT_FALSE(::IsWindow(window));
}

TEST(WinTrayIcon, ShellMessagesReachTheComponentAndItsMenu) {
  TComponent owner(nullptr);
  auto* tray = new TTrayIcon(&owner);
  BindTrayIcon(*tray);
  HWND window = TrayIconWindow(*tray);
  ASSERT_NE(window, nullptr);
  int clicks = 0;
  int doubleClicks = 0;
  std::vector<POINT> rightUps;
  tray->OnClick = [&](TObject&) { ++clicks; };
  tray->OnDblClick = [&](TObject&) { ++doubleClicks; };
  tray->OnMouseUp = [&](TObject&, TMouseButton aButton, TShiftState, int aX, int aY) {
    if (aButton == TMouseButton::mbRight)
      rightUps.push_back({aX, aY});
  };

  Notify(window, WM_LBUTTONUP);
  Notify(window, WM_LBUTTONDBLCLK);
  Notify(window, WM_MOUSEMOVE);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(doubleClicks, 1);
  EXPECT_TRUE(rightUps.empty());

  // A right click and the context-menu notice that follows it are one menu request; the notice
  // alone (the keyboard's menu key) is another.
  ::SetCursorPos(300, 200);
  POINT cursor = {};
  ::GetCursorPos(&cursor);
  Notify(window, WM_RBUTTONUP);
  Notify(window, WM_MOUSEMOVE);
  Notify(window, WM_CONTEXTMENU);
  ASSERT_EQ(rightUps.size(), 1u);
  EXPECT_EQ(rightUps[0].x, cursor.x);
  EXPECT_EQ(rightUps[0].y, cursor.y);
  Notify(window, WM_CONTEXTMENU);
  EXPECT_EQ(rightUps.size(), 2u);

  // The icon's menu opens at the right click, though nobody bound it.
  auto* menu = new TPopupMenu(&owner);
  auto* open = new TMenuItem(&owner);
  open->SetCaption(L"&Open");
  int opened = 0;
  open->OnClick = [&](TObject&) { ++opened; };
  menu->Items().Add(open);
  tray->SetPopupMenu(menu);
  GMenuKey = L'o';
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, ChooseFromMenu);
  Notify(window, WM_RBUTTONUP);
  ::KillTimer(nullptr, timer);
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(menu->PopupX(), cursor.x);
}

// A form's icon goes to the shell from the message loop, once the form has painted: the shell's
// answer would otherwise hold up the window's first appearance.
class WinTrayOfForm : public WinWindowTest {};

TEST_F(WinTrayOfForm, ReachesTheShellAfterTheFormIsOnShow) {
  ASSERT_TRUE(ktest::win32::PumpUntil(
      [] { return ::FindWindowW(L"Shell_TrayWnd", nullptr) != nullptr; }, 10000));
  TForm form(nullptr, L"TfrmTrayTest");
  auto* tray = new TTrayIcon(&form);
  tray->SetVisible(true);
  form.ShowForm();
  ASSERT_TRUE(::IsWindowVisible(FormWindow(form)));
  EXPECT_EQ(TrayIconWindow(*tray), nullptr);
  ASSERT_TRUE(ktest::win32::PumpUntil([tray] { return TrayIconShown(*tray); }, 10000));
}
