// The main window on the real window system: a scan and a repair driven through the window's own
// controls, with a screenshot of each state and of the result dialog. The scan runs over a
// scratch folder and a scratch registry key of its own, so that it repairs nothing else.
#include "windows/uMain.h"

#include "base/CLDateUtils.h"
#include "base/CLHelpers.h"
#include "components/CLSkin.h"
#include "engine/FigExclusions.h"
#include "platform/FileIO.h"
#include "platform/TextCodec.h"
#include "shell/win32/CLMainWin.h"
#include "support/RunUntil.h"
#include "support/win32/WinScratch.h"
#include "support/win32/WinTestPlatform.h"
#include "support/win32/WinWindowTest.h"
#include "windows/CLUpdateForm.h"
#include "windows/uMaintain.h"
#include "windows/uRestore.h"
#include "windows/uScanedResult.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr wchar_t kScratchKey[] = L"Software\\KestrovaMainWinTest";
constexpr wchar_t kAppPaths[] = L"Software\\KestrovaMainWinTest\\App Paths";

using ktest::win32::Click;
using ktest::win32::Exists;
using ktest::win32::ShootNow;

// The scratch folder with three junk files and the topics that find them, and a stale
// application path under the scratch key.
void PlantScratch(const std::wstring& aFolder) {
  ktest::win32::RemoveTree(aFolder);
  ::CreateDirectoryW(aFolder.c_str(), nullptr);
  for (const wchar_t* name : {L"one.tmp", L"two.tmp", L"three.tmp"})
    std::ofstream(std::filesystem::path(aFolder + name)) << "junk";
  const std::wstring gone = L"C:\\KestrovaGone\\gone.exe";
  ::RegSetKeyValueW(HKEY_CURRENT_USER, (std::wstring(kAppPaths) + L"\\gone.exe").c_str(), nullptr,
                    REG_SZ, gone.c_str(), static_cast<DWORD>((gone.size() + 1) * sizeof(wchar_t)));
  std::ofstream(std::filesystem::path(aFolder + L"topics.db"))
      << "[GLOBAL]\nMAGICWORD=FIG\nDATETIME=12/9/2026\n"
         "[TOPIC_0]\nNAME=KestrovaWinJunk\nCategory=tcCJunkFile\nRule_Caption=Old files\n"
         "LOCATION_0=lsDisk,"
      << kplat::ToUtf8(aFolder)
      << "\nRule=rsJunkFile,.tmp\nLEVEL=2\n"
         "[TOPIC_1]\nNAME=KestrovaWinPaths\nCategory=tcARegFix\nRule_Caption=App paths\n"
         "LOCATION_0=lsRegistry,HKEY_CURRENT_USER\\Software\\KestrovaMainWinTest\\App Paths\n"
         "Rule=rsAppPaths\nLEVEL=2\nCHECKVALUES=0\nFolderDepth=2\nIncludeSubFolder=1\n";
}

class MainWindowWin : public WinWindowTest {
protected:
  MainWindowWin() {
    FBox.DeclineQuestions = true;
    PlantScratch(FFolder);
    TfrmMain::SetDefaultMessageBox(&FBox);
  }
  ~MainWindowWin() override {
    FForm.reset();
    TfrmMain::SetDefaultMessageBox(nullptr);
    ktest::win32::RemoveTree(FFolder);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratchKey);
  }

  // The main window with the test topics loaded, unpaced, the registry and junk categories on
  // and nothing started by its launch timer.
  TfrmMain& OpenWithTestTopics() {
    FForm = std::make_unique<TfrmMain>(nullptr);
    TfrmMain& form = *FForm;
    form.tmrCleannow->SetEnabled(false);
    form.FigEngine().SetPacing(false);
    form.FigCure().SetPaced(false);
    TCLSettings& settings = GetCLSettings();
    settings.SetSettingBool(L"JunkFiles.KestrovaWinJunk", true);
    settings.SetSettingBool(L"RegFix.KestrovaWinPaths", true);
    form.Maintain()->SetCategorySwitches({true, false, true, false});
    EXPECT_TRUE(form.FigEngine().LoadTopics(FFolder + L"topics.db"));
    return form;
  }

  const std::wstring FFolder = ktest::win32::TempFolder() + L"KestrovaMainWin\\";
  std::unique_ptr<TfrmMain> FForm;
};

TEST_F(MainWindowWin, ScanAndRepairThroughTheWindow) {
  TfrmMain& form = OpenWithTestTopics();
  ASSERT_FALSE(::testing::Test::HasFailure());
  TfrmMaintain& page = *form.Maintain();

  // The start shows the home page; the road begins on the maintenance page.
  form.actMaintainWindows->Execute();
  form.ShowForm();
  HWND window = FormWindow(form);
  ASSERT_NE(window, nullptr);
  // The maintenance page is a child window in the page container.
  EXPECT_EQ(::GetParent(FormWindow(page)), ControlWindow(*form.pnlContainer));
  EXPECT_TRUE(::IsWindowVisible(FormWindow(page)));
  ktest::win32::PumpUntil([] { return ::GetQueueStatus(QS_PAINT) == 0; }, 2000);
  ShootNow(window, L"main-ready");

  Click(*form.ButtonPanel()->Button(L"Scan"));
  EXPECT_TRUE(form.FigEngine().IsRunning());
  EXPECT_FALSE(::IsWindowVisible(ControlWindow(*form.ButtonPanel()->Button(L"Scan"))));
  ShootNow(window, L"main-scanning");
  ASSERT_TRUE(
      ktest::win32::PumpUntil([&form] { return !form.FigEngine().IsRunning(); }, kRunLimitMs));
  ASSERT_FALSE(FBox.Texts.empty());
  EXPECT_EQ(FBox.Texts.back(), L"Do you want to cure these right now?");
  EXPECT_EQ(page.llResultJunkFiles->Caption(), L"3 problem(s).");
  EXPECT_TRUE(::IsWindowVisible(ControlWindow(*page.llResultJunkFiles)));
  EXPECT_TRUE(::IsWindowVisible(ControlWindow(*form.ButtonPanel()->Button(L"Cure"))));
  // The findings may also be left for a new scan, or for Clean Now.
  EXPECT_TRUE(::IsWindowVisible(ControlWindow(*form.ButtonPanel()->Button(L"Scan"))));
  EXPECT_TRUE(::IsWindowEnabled(ControlWindow(*page.cbJunkFilesClean)));
  EXPECT_TRUE(::IsWindowVisible(ControlWindow(*page.llCleanNow)));
  EXPECT_TRUE(::IsWindowEnabled(ControlWindow(*page.llCleanNow)));
  ShootNow(window, L"main-results");

  // The result dialog: shown, photographed and left with "two.tmp" unticked.
  bool shot = false;
  ktest::win32::WhenShown<TfrmScanedResult>(
      L"TfrmScanedResult", [&](TfrmScanedResult& dialog, HWND dialogWindow) {
        for (int i = 0; i < dialog.lvResult->Items().Count(); ++i) {
          if (dialog.lvResult->Items().Item(i).SubItems().Strings(2).ends_with(L"\\two.tmp"))
            dialog.lvResult->ToggleCheckByUser(i);
        }
        ShootNow(dialogWindow, L"main-result-list");
        shot = true;
        Click(*dialog.btnOk);
        EXPECT_EQ(dialog.ModalResult(), mr::OK);
      });
  const int ticked = form.FigCure().GetCheckedItem();
  page.llResultJunkFiles->Click();
  EXPECT_TRUE(shot);
  EXPECT_EQ(form.FigCure().GetCheckedItem(), ticked - 1);

  Click(*form.ButtonPanel()->Button(L"Cure"));
  EXPECT_TRUE(form.FigCure().IsRunning());
  ShootNow(window, L"main-repairing");
  ASSERT_TRUE(
      ktest::win32::PumpUntil([&form] { return !form.FigCure().IsRunning(); }, kRunLimitMs));
  EXPECT_EQ(page.lblInfo->Caption(), L"Ready");
  EXPECT_EQ(page.lblResultJunkFiles->Caption(), L"2 Fixed.");
  EXPECT_TRUE(::IsWindowVisible(ControlWindow(*form.ButtonPanel()->Button(L"Scan"))));
  ShootNow(window, L"main-repaired");
  EXPECT_FALSE(Exists(FFolder + L"one.tmp"));
  EXPECT_TRUE(Exists(FFolder + L"two.tmp"));
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
  ktest::win32::TWinTestPlatform platform(FPlatform);
  kplat::TScopedPlatform scope{platform};
  ktest::win32::TTestClock& clock = platform.WallClock;
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

  ASSERT_TRUE(ktest::win32::PumpUntil([&] { return form.FigEngine().IsRunning(); }, kRunLimitMs));
  EXPECT_EQ(settings.GetSettingString(L"Schedule.LastCure"), DateTimeToStr(Now(), formats));
  ASSERT_TRUE(ktest::win32::PumpUntil(
      [&] {
        return !form.FigEngine().IsRunning() && !form.FigCure().IsRunning() &&
               form.Maintain()->lblInfo->Caption() == L"Ready";
      },
      kRunLimitMs));
  ShootNow(FormWindow(form), L"main-scheduled-repair");
  for (const std::wstring& text : FBox.Texts)
    EXPECT_NE(text, L"Do you want to cure these right now?");
  EXPECT_FALSE(Exists(FFolder + L"one.tmp"));
  EXPECT_FALSE(Exists(FFolder + L"two.tmp"));
  HKEY key = nullptr;
  EXPECT_NE(::RegOpenKeyExW(HKEY_CURRENT_USER, (std::wstring(kAppPaths) + L"\\gone.exe").c_str(), 0,
                            KEY_READ, &key),
            ERROR_SUCCESS);

  // Later in the same minute the day's run is done: further ticks start nothing.
  clock.Set(2026, 12, 9, 12, 0, 50);
  const std::wstring last = settings.GetSettingString(L"Schedule.LastCure");
  const int seen = *ticks;
  ASSERT_TRUE(ktest::win32::PumpUntil([&] { return *ticks >= seen + 3; }, kRunLimitMs));
  EXPECT_FALSE(form.FigEngine().IsRunning());
  EXPECT_EQ(settings.GetSettingString(L"Schedule.LastCure"), last);
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

TEST_F(MainWindowWin, ScheduleCheckBringsTheUpdateWindowForwardFiveTimes) {
  struct TRestore {
    ~TRestore() { GetCLSettings().SetSettingstring(L"Language", L"English"); }
  } restore;
  TCLAppHostWin host;
  TCLScopedAppHost hostScope(host);
  GetCLSettings().SetSettingBool(L"AutoScan.Enabled", false);
  FForm = std::make_unique<TfrmMain>(nullptr);
  TfrmMain& form = *FForm;
  form.tmrCleannow->SetEnabled(false);
  form.tmrSchedule->SetEnabled(false);
  form.ShowForm();
  // The program's own update window, found whatever its caption says in German.
  ASSERT_TRUE(Choose(*form.miLanguage, L"Deutsch"));
  form.actUpdate->Execute();
  TfrmCLUpdateForm* update = UpdateFormOf(form.Engine());
  ASSERT_NE(update, nullptr);
  ASSERT_TRUE(ktest::win32::PumpUntil([update] { return !update->Updating(); }, kRunLimitMs));
  HWND window = FormWindow(*update);
  ASSERT_TRUE(::IsWindowVisible(window));
  EXPECT_EQ(update->Caption(), L"Aktualisierung von Kestrova");

  const auto ticks = CountTicks(*form.tmrSchedule);
  form.tmrSchedule->SetEnabled(true);
  HWND main = FormWindow(form);
  for (int round = 1; round <= 6; ++round) {
    ::SetForegroundWindow(main);
    ASSERT_TRUE(
        ktest::win32::PumpUntil([&] { return ::GetForegroundWindow() == main; }, kRunLimitMs));
    const int seen = *ticks;
    ASSERT_TRUE(ktest::win32::PumpUntil([&] { return *ticks > seen; }, kRunLimitMs));
    EXPECT_EQ(::GetForegroundWindow(), round <= 5 ? window : main) << round;
  }
  ShootNow(window, L"update-de-brought-forward");
}

// Runs aStep every 100 ms on the main thread, also inside a modal loop, until it returns true.
class TPoller {
public:
  explicit TPoller(std::function<bool()> aStep) : FStep(std::move(aStep)) {
    FTimer.SetInterval(100);
    FTimer.OnTimer = [this](TObject&) {
      if (FStep())
        FTimer.SetEnabled(false);
    };
    FTimer.SetEnabled(true);
  }
  bool Done() const { return !FTimer.Enabled(); }

private:
  std::function<bool()> FStep;
  TTimer FTimer{nullptr};
};

// Counts the scans a window starts from now on.
std::shared_ptr<std::atomic<int>> CountScans(TFigEngine& aEngine) {
  auto scans = std::make_shared<std::atomic<int>>(0);
  aEngine.OnStarted = [previous = aEngine.OnStarted, scans](TObject& aSender) {
    ++*scans;
    previous(aSender);
  };
  return scans;
}

// A daily scheduled scan at noon of both categories, last run a day ago; the window on the
// screen with the scratch topics, the clock just before noon.
void ArmScheduleAndShow(ktest::win32::TTestClock& aClock, std::unique_ptr<TfrmMain>& aForm,
                        const std::wstring& aTopics) {
  aClock.Set(2026, 12, 9, 11, 59, 50);
  TCLSettings& settings = GetCLSettings();
  settings.SetSettingBool(L"AutoScan.Enabled", true);
  settings.SetSettingInteger(L"AutoScan.ScanMode", 1);
  settings.SetSettingstring(L"AutoScan.LaunchHour", L"12");
  settings.SetSettingstring(L"AutoScan.LaunchMin", L"0");
  settings.SetSettingBool(L"AutoScan.Action0", true);
  settings.SetSettingBool(L"AutoScan.Action1", true);
  settings.SetSettingBool(L"AutoScan.Action2", false);
  settings.SetSettingstring(L"Schedule.LastCure",
                            DateTimeToStr(Now() - 1.0, UserDateTimeFormats()));
  settings.SetSettingBool(L"JunkFiles.KestrovaWinJunk", true);
  settings.SetSettingBool(L"RegFix.KestrovaWinPaths", true);
  aForm = std::make_unique<TfrmMain>(nullptr);
  aForm->tmrCleannow->SetEnabled(false);
  aForm->FigEngine().SetPacing(false);
  aForm->FigCure().SetPaced(false);
  aForm->Maintain()->SetCategorySwitches({true, false, true, false});
  ASSERT_TRUE(aForm->FigEngine().LoadTopics(aTopics));
  aForm->actMaintainWindows->Execute();
  aForm->ShowForm();
}

TEST_F(MainWindowWin, ScheduleWaitsUnderAModalWindowAndRunsOnceWhenItCloses) {
  ktest::win32::TWinTestPlatform platform(FPlatform);
  kplat::TScopedPlatform scope{platform};
  ArmScheduleAndShow(platform.WallClock, FForm, FFolder + L"topics.db");
  TfrmMain& form = *FForm;
  const auto ticks = CountTicks(*form.tmrSchedule);
  const auto scans = CountScans(form.FigEngine());

  // The Restore Center is open while noon comes and several seconds more.
  int seen = -1;
  bool checked = false;
  TPoller inDialog([&] {
    HWND dialog = ::FindWindowW(L"TfrmRestore", nullptr);
    if (dialog == nullptr || !::IsWindowVisible(dialog))
      return false;
    if (seen < 0) {
      platform.WallClock.Set(2026, 12, 9, 12, 0, 1);
      seen = *ticks;
      return false;
    }
    if (*ticks < seen + 6)
      return false;
    EXPECT_EQ(*scans, 0);
    EXPECT_FALSE(form.FigEngine().IsRunning());
    EXPECT_TRUE(Exists(FFolder + L"one.tmp"));
    ShootNow(dialog, L"main-schedule-under-dialog");
    auto* restore = dynamic_cast<TfrmRestore*>(FormFromWindow(dialog));
    if (restore == nullptr)
      return false;
    checked = true;
    Click(*restore->btnClose);
    return true;
  });
  form.actRestore->Execute();
  ASSERT_TRUE(checked);

  // Closed: the held scan runs once and repairs without asking.
  ASSERT_TRUE(ktest::win32::PumpUntil([&] { return *scans > 0; }, kRunLimitMs));
  ASSERT_TRUE(ktest::win32::PumpUntil(
      [&] {
        return !form.FigEngine().IsRunning() && !form.FigCure().IsRunning() &&
               form.Maintain()->lblInfo->Caption() == L"Ready";
      },
      kRunLimitMs));
  for (const std::wstring& text : FBox.Texts)
    EXPECT_NE(text, L"Do you want to cure these right now?");
  EXPECT_FALSE(Exists(FFolder + L"one.tmp"));
  EXPECT_FALSE(Exists(FFolder + L"two.tmp"));
  const int after = *ticks;
  ASSERT_TRUE(ktest::win32::PumpUntil([&] { return *ticks >= after + 4; }, kRunLimitMs));
  EXPECT_EQ(*scans, 1);
}

TEST_F(MainWindowWin, ScheduleDueWhileTheResultListIsOpenIsSkippedAndKeepsTheUsersTicks) {
  ktest::win32::TWinTestPlatform platform(FPlatform);
  kplat::TScopedPlatform scope{platform};
  ArmScheduleAndShow(platform.WallClock, FForm, FFolder + L"topics.db");
  TfrmMain& form = *FForm;
  TfrmMaintain& page = *form.Maintain();
  const auto ticks = CountTicks(*form.tmrSchedule);
  const auto scans = CountScans(form.FigEngine());

  // The user's scan, answered "No": the findings wait in the window.
  Click(*form.ButtonPanel()->Button(L"Scan"));
  ASSERT_TRUE(
      ktest::win32::PumpUntil([&form] { return !form.FigEngine().IsRunning(); }, kRunLimitMs));
  ASSERT_EQ(page.llResultJunkFiles->Caption(), L"3 problem(s).");

  // The result list is open, "two.tmp" unticked, while noon comes and several seconds more.
  int seen = -1;
  bool checked = false;
  TPoller inDialog([&] {
    HWND dialogWindow = ::FindWindowW(L"TfrmScanedResult", nullptr);
    auto* dialog = dynamic_cast<TfrmScanedResult*>(FormFromWindow(dialogWindow));
    if (dialog == nullptr || !::IsWindowVisible(dialogWindow))
      return false;
    if (seen < 0) {
      for (int i = 0; i < dialog->lvResult->Items().Count(); ++i) {
        if (dialog->lvResult->Items().Item(i).SubItems().Strings(2).ends_with(L"\\two.tmp"))
          dialog->lvResult->ToggleCheckByUser(i);
      }
      platform.WallClock.Set(2026, 12, 9, 12, 0, 1);
      seen = *ticks;
      return false;
    }
    if (*ticks < seen + 6)
      return false;
    EXPECT_EQ(*scans, 1);
    EXPECT_EQ(dialog->lvResult->Items().Count(), 3);
    checked = true;
    Click(*dialog->btnOk);
    return true;
  });
  const int ticked = form.FigCure().GetCheckedItem();
  page.llResultJunkFiles->Click();
  ASSERT_TRUE(checked);
  EXPECT_EQ(form.FigCure().GetCheckedItem(), ticked - 1);

  // The due run is skipped for the day, and the status line says so.
  const int after = *ticks;
  ASSERT_TRUE(ktest::win32::PumpUntil([&] { return *ticks >= after + 4; }, kRunLimitMs));
  EXPECT_EQ(*scans, 1);
  EXPECT_EQ(page.lblInfo->Caption(),
            L"Automatic scan skipped: the findings of the last scan wait for your decision.");
  ShootNow(FormWindow(form), L"main-schedule-skipped");
  EXPECT_TRUE(Exists(FFolder + L"one.tmp"));

  Click(*form.ButtonPanel()->Button(L"Cure"));
  ASSERT_TRUE(
      ktest::win32::PumpUntil([&form] { return !form.FigCure().IsRunning(); }, kRunLimitMs));
  EXPECT_FALSE(Exists(FFolder + L"one.tmp"));
  EXPECT_TRUE(Exists(FFolder + L"two.tmp"));
  EXPECT_FALSE(Exists(FFolder + L"three.tmp"));
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
  ShootNow(window, L"main-de");
  EXPECT_EQ(PixelOf(ControlWindow(*page.pnlCategories), 2, 2), static_cast<COLORREF>(lightBand));

  ASSERT_TRUE(Choose(*form.miSkin, L"Dark"));
  const TCLSkinTheme& dark = CurrentSkinTheme();
  ASSERT_EQ(dark.Name, L"Dark");
  EXPECT_NE(dark.Band, lightBand);
  ShootNow(window, L"main-de-dark");
  // The window's face and the category band are painted in the skin's colours.
  EXPECT_EQ(PixelOf(window, 2, 2), static_cast<COLORREF>(dark.ButtonFace));
  EXPECT_EQ(PixelOf(ControlWindow(*page.pnlCategories), 2, 2), static_cast<COLORREF>(dark.Band));

  ASSERT_TRUE(Choose(*form.miLanguage, L"English"));
  EXPECT_EQ(page.lblMaintainTitle->Caption(), L"Windows Maintenance");
  ShootNow(window, L"main-dark");

  ASSERT_TRUE(Choose(*form.miSkin, L"Default"));
  ShootNow(window, L"main-light");
  EXPECT_EQ(PixelOf(ControlWindow(*page.pnlCategories), 2, 2), static_cast<COLORREF>(lightBand));
}

TEST_F(MainWindowWin, AFileInUseIsNotCountedAndStaysListedWithItsReason) {
  TfrmMain& form = OpenWithTestTopics();
  ASSERT_FALSE(::testing::Test::HasFailure());
  TfrmMaintain& page = *form.Maintain();
  form.actMaintainWindows->Execute();
  form.ShowForm();
  HWND window = FormWindow(form);

  Click(*form.ButtonPanel()->Button(L"Scan"));
  ASSERT_TRUE(
      ktest::win32::PumpUntil([&form] { return !form.FigEngine().IsRunning(); }, kRunLimitMs));
  // Another program holds "two.tmp" open without letting it be deleted.
  HANDLE held = ::CreateFileW((FFolder + L"two.tmp").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Click(*form.ButtonPanel()->Button(L"Cure"));
  ASSERT_TRUE(
      ktest::win32::PumpUntil([&form] { return !form.FigCure().IsRunning(); }, kRunLimitMs));
  ::CloseHandle(held);
  EXPECT_FALSE(Exists(FFolder + L"one.tmp"));
  EXPECT_TRUE(Exists(FFolder + L"two.tmp"));
  EXPECT_EQ(form.CategoryFixedCount(tcCJunkFile), 2);
  EXPECT_EQ(page.lblInfo->Caption(), L"Some items could not be repaired. They are still listed.");
  EXPECT_EQ(page.llResultJunkFiles->Caption(), L"2 fixed, 0 not repaired, 1 left in use.");
  EXPECT_TRUE(::IsWindowVisible(ControlWindow(*page.llResultJunkFiles)));
  EXPECT_EQ(page.lblResultRegistryFix->Caption(), L"No problem.");
  EXPECT_TRUE(::IsWindowVisible(ControlWindow(*form.ButtonPanel()->Button(L"Cure"))));
  EXPECT_TRUE(::IsWindowVisible(ControlWindow(*form.ButtonPanel()->Button(L"Scan"))));
  ktest::win32::PumpUntil([] { return ::GetQueueStatus(QS_PAINT) == 0; }, 2000);
  ShootNow(window, L"main-not-repaired");

  // The result list holds only what is left, with why.
  bool shot = false;
  ktest::win32::WhenShown<TfrmScanedResult>(
      L"TfrmScanedResult", [&](TfrmScanedResult& dialog, HWND dialogWindow) {
        EXPECT_EQ(dialog.lvResult->Items().Count(), 1);
        if (dialog.lvResult->Items().Count() == 1) {
          EXPECT_EQ(dialog.lvResult->Items().Item(0).SubItems().Strings(0).rfind(
                        L"Junk file - not repaired: it is open in another program", 0),
                    0u);
        }
        ShootNow(dialogWindow, L"main-not-repaired-list");
        shot = true;
        Click(*dialog.btnCancel);
      });
  page.llResultJunkFiles->Click();
  EXPECT_TRUE(shot);
}

TEST_F(MainWindowWin, TheWindowMenuOffersSystemRestore) {
  FForm = std::make_unique<TfrmMain>(nullptr);
  TfrmMain& form = *FForm;
  form.tmrCleannow->SetEnabled(false);
  form.ShowForm();
  HWND window = FormWindow(form);
  ::SetForegroundWindow(window);
  bool found = false;
  std::wstring shownText;
  std::function<void()> inMenu = [&] {
    HWND menu = ::FindWindowW(L"#32768", nullptr);
    if (menu == nullptr || !::IsWindowVisible(menu)) {
      GetCLMainThread().Post(inMenu);
      return;
    }
    HMENU items = reinterpret_cast<HMENU>(::SendMessageW(menu, MN_GETHMENU, 0, 0));
    for (int i = 0; i < ::GetMenuItemCount(items); ++i) {
      wchar_t text[64] = {};
      ::GetMenuStringW(items, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
      if (std::wstring(text) == L"View System Restore")
        found = true;
    }
    ::RedrawWindow(menu, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_TRUE(ktest::win32::SaveWindowPng(menu, ktest::win32::ScreenshotPath(L"main-menu")));
    ::PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  };
  GetCLMainThread().Post(inMenu);
  form.pmSys->Popup(200, 120);
  EXPECT_TRUE(found);
}

TEST_F(MainWindowWin, ATopicDatabaseThatCannotBeUsedIsNamedAndScanStaysOff) {
  const std::wstring program = FFolder + L"program\\";
  for (const wchar_t* folder : {L"", L"data", L"res"})
    ::CreateDirectoryW((program + folder).c_str(), nullptr);
  const std::wstring real = GetAppPath();
  for (const wchar_t* file : {L"const.dat", L"res\\16.png", L"res\\32.png"})
    ::CopyFileW((real + file).c_str(), (program + file).c_str(), FALSE);
  std::ofstream(std::filesystem::path(program + L"data\\topic.db"))
      << "[GLOBAL]\nMAGICWORD=LEAF\nDATETIME=12/9/2026\n";
  std::ofstream(std::filesystem::path(program + L"Kestrova.exe")) << "MZ";
  ktest::win32::TWinTestPlatform platform(FPlatform, program + L"Kestrova.exe");
  kplat::TScopedPlatform scope{platform};

  FForm = std::make_unique<TfrmMain>(nullptr);
  TfrmMain& form = *FForm;
  form.tmrCleannow->SetEnabled(false);
  TfrmMaintain& page = *form.Maintain();
  // The scratch program folder lacks other files too; the topic database's message is one.
  const auto told =
      std::find_if(FBox.Texts.begin(), FBox.Texts.end(), [&](const std::wstring& aText) {
        return aText.starts_with(L"The topic database cannot be used: \"" + program +
                                 L"data\\topic.db\"");
      });
  ASSERT_NE(told, FBox.Texts.end());
  const std::wstring text = *told;
  form.actMaintainWindows->Execute();
  form.ShowForm();
  HWND window = FormWindow(form);
  EXPECT_EQ(page.lblInfo->Caption(), text);
  EXPECT_TRUE(::IsWindowVisible(ControlWindow(*page.lblInfo)));
  EXPECT_FALSE(::IsWindowEnabled(ControlWindow(*page.btnMaintainScan)));
  EXPECT_FALSE(::IsWindowEnabled(ControlWindow(*page.llCleanNow)));
  EXPECT_FALSE(::IsWindowEnabled(ControlWindow(*form.ButtonPanel()->Button(L"Scan"))));
  ktest::win32::PumpUntil([] { return ::GetQueueStatus(QS_PAINT) == 0; }, 2000);
  ShootNow(window, L"main-topicdb-error");
  FForm.reset();
  FreeCLSettings();
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
      Click(*form.ButtonPanel()->Button(page));
      ::SendMessageW(chosen, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
      ::SendMessageW(chosen, WM_MOUSELEAVE, 0, 0);
    }
    ShootNow(window, std::wstring(L"main-page-").append(page).c_str());
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

TEST_F(MainWindowWin, TheResultListsMenuKeyIgnoresTheSelectedFinding) {
  TfrmMain& form = OpenWithTestTopics();
  ASSERT_FALSE(::testing::Test::HasFailure());
  const std::wstring list = form.FigEngine().ExclusionsFile();
  ::DeleteFileW(list.c_str());
  TfrmMaintain& page = *form.Maintain();
  form.actMaintainWindows->Execute();
  form.ShowForm();
  Click(*form.ButtonPanel()->Button(L"Scan"));
  ASSERT_TRUE(
      ktest::win32::PumpUntil([&form] { return !form.FigEngine().IsRunning(); }, kRunLimitMs));

  // The keyboard's menu key on the selected row opens the menu; Down and Enter choose its first
  // entry.
  int rowsBefore = -1;
  int rowsAfter = -1;
  bool menuShot = false;
  std::function<void()> inMenu = [&] {
    HWND menu = ::FindWindowW(L"#32768", nullptr);
    if (menu == nullptr || !::IsWindowVisible(menu)) {
      GetCLMainThread().Post(inMenu);
      return;
    }
    ::RedrawWindow(menu, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    menuShot = ktest::win32::SaveWindowPng(menu, ktest::win32::ScreenshotPath(L"result-menu"));
    ::PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
    ::PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
  };
  ktest::win32::WhenShown<TfrmScanedResult>(
      L"TfrmScanedResult", [&](TfrmScanedResult& dialog, HWND dialogWindow) {
        HWND rows = ControlWindow(*dialog.lvResult);
        rowsBefore = static_cast<int>(::SendMessageW(rows, LVM_GETITEMCOUNT, 0, 0));
        dialog.lvResult->Items().Item(0).SetSelected(true);
        ::SetFocus(rows);
        GetCLMainThread().Post(inMenu);
        ::SendMessageW(dialogWindow, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(rows), -1);
        ktest::win32::PumpUntil([] { return ::GetQueueStatus(QS_ALLINPUT) == 0; }, 2000);
        rowsAfter = static_cast<int>(::SendMessageW(rows, LVM_GETITEMCOUNT, 0, 0));
        ShootNow(dialogWindow, L"result-ignored");
        Click(*dialog.btnCancel);
      });
  page.llResultJunkFiles->Click();
  EXPECT_TRUE(menuShot);
  EXPECT_EQ(rowsBefore, 3);
  EXPECT_EQ(rowsAfter, 2);
  TFigExclusions stored;
  EXPECT_TRUE(stored.Load(list));
  ASSERT_EQ(stored.Count(), 1);
  EXPECT_TRUE(kplat::PathInFolder(stored.Items()[0].Place, FFolder))
      << kplat::ToUtf8(stored.Items()[0].Place);
  ::DeleteFileW(list.c_str());
}
