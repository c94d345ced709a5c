// The main window on the real window system: a scan and a repair driven through the window's own
// controls, with a screenshot of each state and of the result dialog. The scan runs over a
// scratch folder and a scratch registry key of its own, so that it repairs nothing else.
#include "ui/uMain.h"

#include "framework/CLDateUtils.h"
#include "framework/CLMainThread.h"
#include "framework/CLSettings.h"
#include "framework/win32/CLMainThreadWin.h"
#include "framework/win32/CLMainWin.h"
#include "platform/TextCodec.h"
#include "platform/win32/Win32Platform.h"
#include "support/win32/WinScratch.h"
#include "support/win32/WinScreenshot.h"
#include "ui/CLSkin.h"
#include "ui/uMaintain.h"
#include "ui/uScanedResult.h"
#include "ui/win32/CLWinBinding.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr DWORD kLimitMs = 120000;
constexpr wchar_t kScratchKey[] = L"Software\\KestrovaMainWinTest";
constexpr wchar_t kAppPaths[] = L"Software\\KestrovaMainWinTest\\App Paths";

class TAnsweringBox : public ICLMessageBox {
public:
  TModalResult Show(const TCLMessageRequest& aRequest, bool& aFlagChecked) override {
    Texts.push_back(aRequest.Text);
    aFlagChecked = false;
    return aRequest.Buttons == mb::YesNo ? mr::No : mr::OK;
  }
  std::vector<std::wstring> Texts;
};

bool FileThere(const std::wstring& aPath) {
  return ::GetFileAttributesW(aPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Paints the window and its controls now, without serving other messages, and saves it.
void Shoot(HWND aWindow, const wchar_t* aName) {
  ::RedrawWindow(aWindow, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  EXPECT_TRUE(ktest::win32::SaveWindowPng(aWindow, ktest::win32::ScreenshotPath(aName))) << aName;
}

// The real system with a wall clock the test sets: the local time is what NowUtc answers.
class TTestClock : public kplat::IClock {
public:
  explicit TTestClock(kplat::IClock& aReal) : FReal(aReal) {}
  kplat::TFileTime NowUtc() override { return Local.load(); }
  kplat::TFileTime UtcToLocal(kplat::TFileTime aUtc) override { return aUtc; }
  uint64_t TickMs() override { return FReal.TickMs(); }
  void SleepMs(uint32_t aMs) override { FReal.SleepMs(aMs); }

  void Set(WORD aYear, WORD aMonth, WORD aDay, WORD aHour, WORD aMinute, WORD aSecond) {
    SYSTEMTIME time{aYear, aMonth, 0, aDay, aHour, aMinute, aSecond, 0};
    FILETIME file{};
    ASSERT_TRUE(::SystemTimeToFileTime(&time, &file));
    Local = (static_cast<uint64_t>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
  }
  std::atomic<kplat::TFileTime> Local{0};

private:
  kplat::IClock& FReal;
};

class TTestClockPlatform : public kplat::IPlatform {
public:
  explicit TTestClockPlatform(kplat::IPlatform& aReal) : Clock_(aReal.Clock()), FReal(aReal) {}
  kplat::IRegistry& Registry() override { return FReal.Registry(); }
  kplat::IFileSystem& Files() override { return FReal.Files(); }
  kplat::ISystem& System() override { return FReal.System(); }
  kplat::IProcesses& Processes() override { return FReal.Processes(); }
  kplat::IShellLinks& ShellLinks() override { return FReal.ShellLinks(); }
  kplat::ISystemRestore& SystemRestore() override { return FReal.SystemRestore(); }
  kplat::IClock& Clock() override { return Clock_; }
  kplat::IDebugOutput& Debug() override { return FReal.Debug(); }

  TTestClock Clock_;

private:
  kplat::IPlatform& FReal;
};

void Press(TControl& aButton) {
  HWND button = ControlWindow(aButton);
  ASSERT_NE(button, nullptr);
  ::SendMessageW(button, BM_CLICK, 0, 0);
}

class MainWindowWin : public ::testing::Test {
protected:
  MainWindowWin() {
    FPrevious = SetCLMainThread(&FMainThread);
    InstallWin32Binding();
    FFolder = ktest::win32::TempFolder() + L"KestrovaMainWin\\";
    ktest::win32::RemoveTree(FFolder);
    ::CreateDirectoryW(FFolder.c_str(), nullptr);
    for (const wchar_t* name : {L"one.tmp", L"two.tmp", L"three.tmp"})
      std::ofstream(std::filesystem::path(FFolder + name)) << "junk";
    HKEY key = nullptr;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(kAppPaths) + L"\\gone.exe").c_str(), 0,
                      nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    const std::wstring gone = L"C:\\KestrovaGone\\gone.exe";
    ::RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(gone.c_str()),
                     static_cast<DWORD>((gone.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
    std::ofstream(std::filesystem::path(FFolder + L"topics.db"))
        << "[GLOBAL]\nMAGICWORD=FIG\nDATETIME=12/9/2026\n"
           "[TOPIC_0]\nNAME=KestrovaWinJunk\nCategory=tcCJunkFile\nRule_Caption=Old files\n"
           "LOCATION_0=lsDisk,"
        << kplat::ToUtf8(FFolder)
        << "\nRule=rsJunkFile,.tmp\nLEVEL=2\n"
           "[TOPIC_1]\nNAME=KestrovaWinPaths\nCategory=tcARegFix\nRule_Caption=App paths\n"
           "LOCATION_0=lsRegistry,HKEY_CURRENT_USER\\Software\\KestrovaMainWinTest\\App Paths\n"
           "Rule=rsAppPaths\nLEVEL=2\nCHECKVALUES=0\nFolderDepth=2\nIncludeSubFolder=1\n";
    TfrmMain::SetDefaultMessageBox(&FBox);
  }
  ~MainWindowWin() override {
    FForm.reset();
    TfrmMain::SetDefaultMessageBox(nullptr);
    FreeCLSettings();
    ktest::win32::RemoveTree(FFolder);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratchKey);
    SetCLMainThread(FPrevious);
  }

  kplat::win32::TWin32Platform FPlatform;
  kplat::TScopedPlatform FScope{FPlatform};
  TCLMainThreadWin FMainThread;
  TCLMainThread* FPrevious = nullptr;
  TAnsweringBox FBox;
  std::wstring FFolder;
  std::unique_ptr<TfrmMain> FForm;
};

TEST_F(MainWindowWin, ScanAndRepairThroughTheWindow) {
  FForm = std::make_unique<TfrmMain>(nullptr);
  TfrmMain& form = *FForm;
  form.tmrCleannow->SetEnabled(false);
  form.FigEngine().SetPacing(false);
  form.FigCure().SetPaced(false);
  TCLSettings& settings = GetCLSettings();
  settings.SetSettingBool(L"JunkFiles.KestrovaWinJunk", true);
  settings.SetSettingBool(L"RegFix.KestrovaWinPaths", true);
  TfrmMaintain& page = *form.Maintain();
  page.SetCategorySwitches({true, false, true, false});
  ASSERT_TRUE(form.FigEngine().LoadTopics(FFolder + L"topics.db"));

  // The start shows the home page; the road begins on the maintenance page.
  form.actMaintainWindows->Execute();
  form.ShowForm();
  HWND window = FormWindow(form);
  ASSERT_NE(window, nullptr);
  // The maintenance page is a child window in the page container.
  EXPECT_EQ(::GetParent(FormWindow(page)), ControlWindow(*form.pnlContainer));
  EXPECT_TRUE(::IsWindowVisible(FormWindow(page)));
  ktest::win32::PumpUntil([] { return ::GetQueueStatus(QS_PAINT) == 0; }, 2000);
  Shoot(window, L"main-ready");

  Press(*form.ButtonPanel()->Button(L"Scan"));
  EXPECT_TRUE(form.FigEngine().IsRunning());
  EXPECT_FALSE(::IsWindowVisible(ControlWindow(*form.ButtonPanel()->Button(L"Scan"))));
  Shoot(window, L"main-scanning");
  ASSERT_TRUE(ktest::win32::PumpUntil([&form] { return !form.FigEngine().IsRunning(); }, kLimitMs));
  ASSERT_FALSE(FBox.Texts.empty());
  EXPECT_EQ(FBox.Texts.back(), L"Do you want to cure these right now?");
  EXPECT_EQ(page.llResultJunkFiles->Caption(), L"3 problem(s).");
  EXPECT_TRUE(::IsWindowVisible(ControlWindow(*page.llResultJunkFiles)));
  EXPECT_TRUE(::IsWindowVisible(ControlWindow(*form.ButtonPanel()->Button(L"Cure"))));
  Shoot(window, L"main-results");

  // The result dialog: shown, photographed and left with "two.tmp" unticked.
  bool shot = false;
  std::function<void()> inDialog = [&] {
    HWND dialogWindow = ::FindWindowW(L"TfrmScanedResult", nullptr);
    auto* dialog = dynamic_cast<TfrmScanedResult*>(FormFromWindow(dialogWindow));
    if (dialog == nullptr || !::IsWindowVisible(dialogWindow)) {
      GetCLMainThread().Post(inDialog);
      return;
    }
    for (int i = 0; i < dialog->lvResult->Items().Count(); ++i) {
      if (dialog->lvResult->Items().Item(i).SubItems().Strings(2).ends_with(L"\\two.tmp"))
        dialog->lvResult->ToggleCheckByUser(i);
    }
    Shoot(dialogWindow, L"main-result-list");
    shot = true;
    Press(*dialog->btnOk);
    EXPECT_EQ(dialog->ModalResult(), mrOk);
  };
  const int ticked = form.FigCure().GetCheckedItem();
  GetCLMainThread().Post(inDialog);
  page.llResultJunkFiles->Click();
  EXPECT_TRUE(shot);
  EXPECT_EQ(form.FigCure().GetCheckedItem(), ticked - 1);

  Press(*form.ButtonPanel()->Button(L"Cure"));
  EXPECT_TRUE(form.FigCure().IsRunning());
  Shoot(window, L"main-repairing");
  ASSERT_TRUE(ktest::win32::PumpUntil([&form] { return !form.FigCure().IsRunning(); }, kLimitMs));
  EXPECT_EQ(page.lblInfo->Caption(), L"Ready");
  EXPECT_EQ(page.lblResultJunkFiles->Caption(), L"2 Fixed.");
  EXPECT_TRUE(::IsWindowVisible(ControlWindow(*form.ButtonPanel()->Button(L"Scan"))));
  Shoot(window, L"main-repaired");
  EXPECT_FALSE(FileThere(FFolder + L"one.tmp"));
  EXPECT_TRUE(FileThere(FFolder + L"two.tmp"));
  HKEY key = nullptr;
  EXPECT_NE(::RegOpenKeyExW(HKEY_CURRENT_USER, (std::wstring(kAppPaths) + L"\\gone.exe").c_str(), 0,
                            KEY_READ, &key),
            ERROR_SUCCESS);
}

// Counts the ticks of the schedule timer, so that a test can wait for the next ones.
std::shared_ptr<std::atomic<int>> CountTicks(TTimer& aTimer) {
  auto ticks = std::make_shared<std::atomic<int>>(0);
  aTimer.OnTimer = [previous = aTimer.OnTimer, ticks](TObject& aSender) {
    previous(aSender);
    ++*ticks;
  };
  return ticks;
}

TEST_F(MainWindowWin, ScheduledScanRepairsWithoutAskingOncePerDay) {
  TTestClockPlatform platform(FPlatform);
  kplat::TScopedPlatform scope{platform};
  TTestClock& clock = platform.Clock_;
  clock.Set(2026, 12, 9, 12, 0, 5);
  const kplat::TDateTimeFormats formats = UserDateTimeFormats();
  TCLSettings& settings = GetCLSettings();
  settings.SetSettingBool(L"AutoScan.Enabled", true);
  settings.SetSettingInteger(L"AutoScan.ScanMode", 1);
  settings.SetSettingstring(L"AutoScan.LaunchHour", L"12");
  settings.SetSettingstring(L"AutoScan.LaunchMin", L"0");
  settings.SetSettingBool(L"AutoScan.Action0", true);
  settings.SetSettingBool(L"AutoScan.Action1", true);
  settings.SetSettingBool(L"AutoScan.Action2", false);
  settings.SetSettingstring(L"Schedule.LastCure", DateTimeToStr(Now() - 1.0, formats));

  FForm = std::make_unique<TfrmMain>(nullptr);
  TfrmMain& form = *FForm;
  // No plain-start scan: only the schedule starts this one.
  form.tmrCleannow->SetEnabled(false);
  form.FigEngine().SetPacing(false);
  form.FigCure().SetPaced(false);
  ASSERT_TRUE(form.FigEngine().LoadTopics(FFolder + L"topics.db"));
  const auto ticks = CountTicks(*form.tmrSchedule);
  form.ShowForm();

  ASSERT_TRUE(ktest::win32::PumpUntil([&] { return form.FigEngine().IsRunning(); }, kLimitMs));
  EXPECT_EQ(settings.GetSettingString(L"Schedule.LastCure"), DateTimeToStr(Now(), formats));
  ASSERT_TRUE(ktest::win32::PumpUntil(
      [&] {
        return !form.FigEngine().IsRunning() && !form.FigCure().IsRunning() &&
               form.Maintain()->lblInfo->Caption() == L"Ready";
      },
      kLimitMs));
  Shoot(FormWindow(form), L"main-scheduled-repair");
  for (const std::wstring& text : FBox.Texts)
    EXPECT_NE(text, L"Do you want to cure these right now?");
  EXPECT_FALSE(FileThere(FFolder + L"one.tmp"));
  EXPECT_FALSE(FileThere(FFolder + L"two.tmp"));
  HKEY key = nullptr;
  EXPECT_NE(::RegOpenKeyExW(HKEY_CURRENT_USER, (std::wstring(kAppPaths) + L"\\gone.exe").c_str(), 0,
                            KEY_READ, &key),
            ERROR_SUCCESS);

  // Later in the same minute the day's run is done: further ticks start nothing.
  clock.Set(2026, 12, 9, 12, 0, 50);
  const std::wstring last = settings.GetSettingString(L"Schedule.LastCure");
  const int seen = *ticks;
  ASSERT_TRUE(ktest::win32::PumpUntil([&] { return *ticks >= seen + 3; }, kLimitMs));
  EXPECT_FALSE(form.FigEngine().IsRunning());
  EXPECT_EQ(settings.GetSettingString(L"Schedule.LastCure"), last);
}

TEST_F(MainWindowWin, ScheduleCheckBringsTheUpdateWindowForwardFiveTimes) {
  TCLAppHostWin host;
  TCLScopedAppHost hostScope(host);
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = ::DefWindowProcW;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"TfrmCLUpdateForm";
  ::RegisterClassW(&windowClass);
  const std::wstring caption = L"Update " + GetCLSettings().GetSettingString(L"APP.Name");
  HWND update =
      ::CreateWindowExW(0, L"TfrmCLUpdateForm", caption.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                        40, 40, 300, 200, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(update, nullptr);
  GetCLSettings().SetSettingBool(L"AutoScan.Enabled", false);

  FForm = std::make_unique<TfrmMain>(nullptr);
  TfrmMain& form = *FForm;
  form.tmrCleannow->SetEnabled(false);
  const auto ticks = CountTicks(*form.tmrSchedule);
  form.ShowForm();
  HWND main = FormWindow(form);
  for (int round = 1; round <= 6; ++round) {
    ::SetForegroundWindow(main);
    ASSERT_TRUE(ktest::win32::PumpUntil([&] { return ::GetForegroundWindow() == main; }, kLimitMs));
    const int seen = *ticks;
    ASSERT_TRUE(ktest::win32::PumpUntil([&] { return *ticks > seen; }, kLimitMs));
    EXPECT_EQ(::GetForegroundWindow(), round <= 5 ? update : main) << round;
  }
  ::DestroyWindow(update);
  ::UnregisterClassW(L"TfrmCLUpdateForm", ::GetModuleHandleW(nullptr));
}

// Chooses the entry of a language or skin menu with that caption; false when there is none.
bool Choose(TMenuItem& aMenu, const std::wstring& aCaption) {
  for (int i = 0; i < aMenu.Count(); ++i) {
    if (aMenu.Items(i)->Caption() == aCaption) {
      aMenu.Items(i)->Click();
      return true;
    }
  }
  return false;
}

// The colour the screen shows at a point of the window.
COLORREF PixelOf(HWND aWindow, int aX, int aY) {
  HDC dc = ::GetDC(aWindow);
  const COLORREF colour = ::GetPixel(dc, aX, aY);
  ::ReleaseDC(aWindow, dc);
  return colour;
}

TEST_F(MainWindowWin, LanguageAndSkinMenusRestyleTheWindow) {
  // The choices are stored settings: the next windows start as they were before.
  struct TRestore {
    ~TRestore() {
      GetCLSettings().SetSettingstring(L"Language", L"English");
      GetCLSettings().SetSettingstring(L"Skin", L"Default");
    }
  } restore;
  FForm = std::make_unique<TfrmMain>(nullptr);
  TfrmMain& form = *FForm;
  form.tmrCleannow->SetEnabled(false);
  TfrmMaintain& page = *form.Maintain();
  form.actMaintainWindows->Execute();
  form.ShowForm();
  HWND window = FormWindow(form);
  ASSERT_NE(window, nullptr);
  // A window of one size: no maximise box, no sizing frame.
  EXPECT_EQ(::GetWindowLongPtrW(window, GWL_STYLE) & (WS_MAXIMIZEBOX | WS_THICKFRAME), 0);
  const TColor lightBand = CurrentSkinTheme().Band;

  ASSERT_TRUE(Choose(*form.miLanguage, L"Deutsch"));
  EXPECT_EQ(page.lblMaintainTitle->Caption(), L"Windows-Wartung");
  EXPECT_EQ(page.lblInfo->Caption(), L"Bereit");
  Shoot(window, L"main-de");
  EXPECT_EQ(PixelOf(ControlWindow(*page.pnlCategories), 2, 2), static_cast<COLORREF>(lightBand));

  ASSERT_TRUE(Choose(*form.miSkin, L"Dark"));
  const TCLSkinTheme& dark = CurrentSkinTheme();
  ASSERT_EQ(dark.Name, L"Dark");
  EXPECT_NE(dark.Band, lightBand);
  Shoot(window, L"main-de-dark");
  // The window's face and the category band are painted in the skin's colours.
  EXPECT_EQ(PixelOf(window, 2, 2), static_cast<COLORREF>(dark.ButtonFace));
  EXPECT_EQ(PixelOf(ControlWindow(*page.pnlCategories), 2, 2), static_cast<COLORREF>(dark.Band));

  ASSERT_TRUE(Choose(*form.miLanguage, L"English"));
  EXPECT_EQ(page.lblMaintainTitle->Caption(), L"Windows Maintenance");
  Shoot(window, L"main-dark");

  ASSERT_TRUE(Choose(*form.miSkin, L"Default"));
  Shoot(window, L"main-light");
  EXPECT_EQ(PixelOf(ControlWindow(*page.pnlCategories), 2, 2), static_cast<COLORREF>(lightBand));
}

// The top rows of a button as the screen shows them: the edge that tells raised from pushed in.
std::vector<COLORREF> TopEdge(HWND aButton) {
  RECT client{};
  ::GetClientRect(aButton, &client);
  std::vector<COLORREF> edge;
  for (int y = 0; y < 3; ++y) {
    for (int x = 4; x < client.right - 4; ++x)
      edge.push_back(PixelOf(aButton, x, y));
  }
  return edge;
}

TEST_F(MainWindowWin, ThePageOnShowHasItsButtonPushedIn) {
  FForm = std::make_unique<TfrmMain>(nullptr);
  TfrmMain& form = *FForm;
  form.tmrCleannow->SetEnabled(false);
  form.ShowForm();
  HWND window = FormWindow(form);
  ASSERT_NE(window, nullptr);
  const wchar_t* const pages[] = {L"Adv", L"Utilities", L"Home"};
  for (const wchar_t* page : pages) {
    HWND chosen = ControlWindow(*form.ButtonPanel()->Button(page));
    // Chosen twice, the second time over a button already pushed in, with the mouse over it.
    for (int round = 0; round < 2; ++round) {
      Press(*form.ButtonPanel()->Button(page));
      ::SendMessageW(chosen, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
      ::SendMessageW(chosen, WM_MOUSELEAVE, 0, 0);
    }
    Shoot(window, std::wstring(L"main-page-").append(page).c_str());
    std::vector<std::vector<COLORREF>> others;
    for (const wchar_t* other : pages) {
      HWND button = ControlWindow(*form.ButtonPanel()->Button(other));
      EXPECT_EQ(::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED, button == chosen)
          << page << " shown, " << other;
      if (button != chosen)
        others.push_back(TopEdge(button));
    }
    // Drawn so: the other two look alike, the chosen one does not.
    ASSERT_EQ(others.size(), 2u);
    EXPECT_EQ(others[0], others[1]) << page;
    EXPECT_NE(TopEdge(chosen), others[0]) << page;
  }
}

} // namespace
