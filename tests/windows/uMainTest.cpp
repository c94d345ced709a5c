// The main window on the in-memory machine: start-up, the scan -> review -> repair road through
// the window's own controls and the engines' events, and the maintenance page and result list.

#include "windows/uMain.h"
#include "windows/uHome.h"

#include "base/CLHelpers.h"
#include "components/CLSkin.h"
#include "engine/FigExclusions.h"
#include "platform/TextCodec.h"
#include "shell/CLMain.h"
#include "support/FakeAppHost.h"
#include "support/FakeRegEdit.h"
#include "support/RoamingProfile.h"
#include "support/WindowTest.h"
#include "windows/CLUpdateForm.h"
#include "windows/uMaintain.h"
#include "windows/uRestore.h"
#include "windows/uScanedResult.h"
#include "windows/uSettings.h"
#include "windows/uUtilities.h"

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace {

using namespace kplat;

const std::wstring kJunk = L"C:\\Work\\junk\\";
const std::wstring kAppPaths = L"Software\\KestrovaMain\\App Paths";

// A stale application path, two junk files, a privacy sweep and an optimisation that finds
// nothing.
const char* const kTopicFile =
    "[GLOBAL]\nMAGICWORD=FIG\nDATETIME=12/9/2026\n"
    "[TOPIC_0]\nNAME=TestJunk\nCategory=tcCJunkFile\nENABLED=1\nRule_Caption=Old files\n"
    "LOCATION_0=lsDisk,C:\\Work\\junk\nRule=rsJunkFile,.tmp\nLEVEL=2\n"
    "[TOPIC_1]\nNAME=TestAppPaths\nCategory=tcARegFix\nENABLED=1\nRule_Caption=App paths\n"
    "LOCATION_0=lsRegistry,HKEY_CURRENT_USER\\Software\\KestrovaMain\\App Paths\n"
    "Rule=rsAppPaths\nLEVEL=2\nCHECKVALUES=0\nFolderDepth=2\nIncludeSubFolder=1\n"
    "[TOPIC_2]\nNAME=TestSweep\nCategory=tcBPrivacySweep\nENABLED=1\nRule_Caption=Traces\n"
    "LOCATION_0=lsDisk,sweephelper.exe\nRule=rsSweepHelper\nLEVEL=2\n"
    "[TOPIC_3]\nNAME=TestTune\nCategory=tcDSystemOptimization\nENABLED=1\n"
    "LOCATION_0=lsDisk,C:\\Work\\tuned\nRule=rsJunkFile,.tmp\n";

const char* const kSettings =
    "App.Ver=1.2.3.4\nPath.Languages=lang\nMainForm.W=790\nMainForm.H=570\n"
    "ButtonPanel.L=0\nButtonPanel.T=64\nButtonPanel.W=160\nButtonPanel.H=440\n"
    "Container.L=166\nContainer.T=64\nContainer.W=600\nContainer.H=440\n"
    "llRestore.L=560\nllRestore.T=24\nllSettings.L=0\nllSettings.T=0\n"
    "Switch.RegistryFix=1\nSwitch.PrivacySweep=0\nSwitch.JunkFilesClean=1\n"
    "Switch.SystemOptimization=1\nRegFix.TestAppPaths=1\nJunkFiles.TestJunk=1\n"
    "PrivacySweep.TestSweep=1\n";

// The program folder with the test topics and settings, and what the topics find.
void PlantTestMachine(fake::TFakeMachine& aMachine) {
  InstallFakeRegEdit(aMachine);
  ProgramFolder(aMachine)
      .Settings(kSettings)
      .Topics(kTopicFile)
      .Pictures()
      .File(L"data\\utilities.db", "PAGE_0=System\n")
      .File(L"res\\info.html", "<p>{NEWS_URL}</p>\n");
  aMachine.AddFile(kProgram + L"sweephelper.exe", 100);
  aMachine.SetRegString(regroot::CurrentUser, kAppPaths + L"\\gone.exe", L"",
                        L"C:\\Gone\\gone.exe");
  aMachine.SetRegString(regroot::CurrentUser, kAppPaths, L"", L"C:\\Windows\\regedit.exe");
  aMachine.AddFile(kJunk + L"a.tmp", 10);
  aMachine.AddFile(kJunk + L"b.tmp", 20);
  aMachine.AddFolder(L"C:\\Work\\tuned");
}

class MainWindowTest : public MachineTest {
protected:
  MainWindowTest() : MachineTest(TCLIdleWait::WaitForCall) {
    PlantTestMachine(Machine());
    TfrmMain::SetDefaultMessageBox(&FBox);
  }
  ~MainWindowTest() override {
    FForm.reset();
    TfrmMain::SetDefaultMessageBox(nullptr);
    TForm::SetModalHandler(nullptr);
  }

  // The window, made at first use: unpaced, and its launch timer off unless FKeepLaunchTimer.
  TfrmMain& Form() {
    if (!FForm) {
      FForm = std::make_unique<TfrmMain>(nullptr);
      FForm->FigEngine().SetPacing(false);
      FForm->FigCure().SetPaced(false);
      if (!FKeepLaunchTimer)
        FForm->tmrCleannow->SetEnabled(false);
    }
    return *FForm;
  }
  TfrmMaintain& Page() { return *Form().Maintain(); }
  TFlashButtonState Button(const wchar_t* aName) { return Form().ButtonPanel()->BtnState(aName); }
  // The six button states in the order Scan, Cure, Stop, Home, Adv, Utilities.
  std::vector<TFlashButtonState> Buttons() {
    return {Button(L"Scan"), Button(L"Cure"), Button(L"Stop"),
            Button(L"Home"), Button(L"Adv"),  Button(L"Utilities")};
  }
  bool Idle() {
    return RunUntil(
        [this] { return !Form().FigEngine().IsRunning() && !Form().FigCure().IsRunning(); });
  }
  // Presses a button of the bar and waits until the work it started has ended.
  bool Press(const wchar_t* aName) {
    Form().ButtonPanel()->Button(aName)->Click();
    return Idle();
  }

  bool FKeepLaunchTimer = false;
  std::unique_ptr<TfrmMain> FForm;
};

// Opens the result list of aCategory through its link, with aUser acting in the dialog; returns
// how often the dialog was shown.
int OpenResults(TfrmMaintain& aPage, TTopicCategory aCategory,
                const std::function<void(TfrmScanedResult&)>& aUser) {
  int shown = 0;
  TForm::SetModalHandler([&](TForm& aForm) {
    ++shown;
    auto& dialog = dynamic_cast<TfrmScanedResult&>(aForm);
    aUser(dialog);
    return dialog.ModalResult();
  });
  aPage.Row(aCategory)->Link->Click();
  TForm::SetModalHandler(nullptr);
  return shown;
}

int CheckedOf(TfrmMain& aForm, TTopicCategory aCategory) {
  int checked = 0;
  for (int i = 0; i < aForm.FigCure().ItemCount(); ++i) {
    const TFigScanedItem item = aForm.FigCure().GetMatchedItem(i);
    checked += item.Category == aCategory && item.Checked ? 1 : 0;
  }
  return checked;
}

// A daily scheduled scan of the registry category at noon.
void ArmDailySchedule() {
  TCLSettings& settings = GetCLSettings();
  settings.SetSettingBool(L"AutoScan.Enabled", true);
  settings.SetSettingInteger(L"AutoScan.ScanMode", 1);
  settings.SetSettingBool(L"AutoScan.Action0", true);
  settings.SetSettingBool(L"AutoScan.Action1", false);
  settings.SetSettingBool(L"AutoScan.Action2", false);
}

// Counts the scans aForm starts from now on.
std::shared_ptr<int> CountScans(TfrmMain& aForm) {
  auto scans = std::make_shared<int>(0);
  TFigEngine& engine = aForm.FigEngine();
  engine.OnStarted = [previous = engine.OnStarted, scans](TObject& aSender) {
    ++*scans;
    previous(aSender);
  };
  return scans;
}

const std::wstring kCureQuestion = L"Do you want to cure these right now?";
const std::wstring kAutoScanSkipped =
    L"Automatic scan skipped: the findings of the last scan wait for your decision.";
// 9 December 2026.
constexpr TDateTime kDay = 46365.0;
constexpr TDateTime kSecond = 1.0 / 86400.0;
const std::vector<TFlashButtonState> kReady = {KNormal, KInvisibled, KInvisibled,
                                               KNormal, KNormal,     KNormal};
const std::vector<TFlashButtonState> kBusy = {KInvisibled, KInvisibled, KNormal,
                                              KDisabled,   KDisabled,   KDisabled};
// The findings wait to be repaired; a new scan may replace them.
const std::vector<TFlashButtonState> kResults = {KNormal, KNormal, KInvisibled,
                                                 KNormal, KNormal, KNormal};

TEST_F(MainWindowTest, StartsReadyWithTheSettingsAndWritesTheSwitchesBack) {
  TfrmMain& form = Form();
  EXPECT_EQ(form.FigEngine().TopicCount(), 4);
  EXPECT_EQ(Page().lblInfo->Caption(), L"Ready");
  EXPECT_TRUE(Page().cbRegistryFix->Checked());
  EXPECT_FALSE(Page().cbPrivacySweep->Checked());
  // The start shows the home page.
  EXPECT_TRUE(form.Home()->Visible());
  EXPECT_FALSE(Page().Visible());
  // The home page shows the topic database's date as soon as it is loaded.
  EXPECT_EQ(form.Home()->lblDD->Caption(), L"09/12/2026");
  EXPECT_EQ(Page().btnMaintainScan->Action(), form.actScan);
  EXPECT_EQ(Page().btnMaintainScan->Caption(), L"Scan!");
  EXPECT_EQ(form.miScan->Action(), form.actScan);
  EXPECT_EQ(Buttons(), (std::vector<TFlashButtonState>{KNormal, KInvisibled, KInvisibled, KDown,
                                                       KNormal, KNormal}));
  EXPECT_TRUE(Machine().HasFolder(JoinPath(GetCLSettings().UserDataPath(), L"backup")));
  EXPECT_EQ(form.FigCure().BackupPath(), JoinPath(GetCLSettings().UserDataPath(), L"backup"));
  EXPECT_TRUE(form.spTray->Visible());
  EXPECT_EQ(form.Width(), 790);
  EXPECT_EQ(form.pnlContainer->Left(), 166);
  // A layout value of 0 leaves the link where it is.
  EXPECT_EQ(form.llRestore->Left(), 560);
  EXPECT_GT(form.llSettings->Left(), 0);
  EXPECT_EQ(form.il32->Count(), 4);
  EXPECT_TRUE(FBox.Texts.empty());
  EXPECT_TRUE(form.llSettings->Enabled());
  form.ButtonPanel()->Button(L"Adv")->Click();
  EXPECT_TRUE(Page().Visible());
  form.ButtonPanel()->Button(L"Home")->Click();
  EXPECT_TRUE(form.Home()->Visible());
  EXPECT_FALSE(Page().Visible());
  EXPECT_EQ(Button(L"Home"), KDown);

  Page().cbJunkFilesClean->Click();
  Page().cbPrivacySweep->Click();
  FForm.reset();
  EXPECT_FALSE(GetCLSettings().GetSettingBool(L"Switch.JunkFilesClean"));
  EXPECT_TRUE(GetCLSettings().GetSettingBool(L"Switch.PrivacySweep"));
}

TEST_F(MainWindowTest, CheckForUpdateOpensTheUpdateWindowFromTheLinkAndBothMenus) {
  const TScopedHeadless headless;
  TfrmMain& form = Form();
  const auto item = [](TPopupMenu* aMenu, const wchar_t* aName) {
    for (int i = 0; i < aMenu->Items().Count(); ++i) {
      if (aMenu->Items().Items(i)->Name() == aName)
        return aMenu->Items().Items(i);
    }
    return static_cast<TMenuItem*>(nullptr);
  };
  TMenuItem* trayItem = item(form.pmTray, L"miTrayUpdate");
  TMenuItem* windowItem = item(form.pmSys, L"miSysUpdate");
  ASSERT_NE(trayItem, nullptr);
  ASSERT_NE(windowItem, nullptr);
  EXPECT_EQ(trayItem->Caption(), L"Check For Update");
  const std::vector<std::function<void()>> entries = {
      [&] { form.llUpdate->Click(); }, [&] { trayItem->Click(); }, [&] { windowItem->Click(); }};
  for (const auto& open : entries) {
    open();
    TfrmCLUpdateForm* window = UpdateFormOf(form.Engine());
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->Visible());
    EXPECT_EQ(window->Caption(), L"Update Kestrova");
    // No network in this test: the window tells so.
    ASSERT_TRUE(Settle([window] { return !window->Updating(); }, 20000));
    EXPECT_TRUE(window->Visible());
    EXPECT_EQ(window->lbInfo->Caption().rfind(L"The update server could not be reached.", 0), 0u);
    window->btnOK2->Click();
    EXPECT_FALSE(window->Visible());
  }
}

TEST_F(MainWindowTest, PlainStartScansOnceAfterTheLaunchDelay) {
  FKeepLaunchTimer = true;
  TfrmMain& form = Form();
  Machine().AdvanceMs(2499);
  FMain.ProcessMessages();
  EXPECT_FALSE(form.FigEngine().IsRunning());
  Machine().AdvanceMs(1);
  FMain.ProcessMessages();
  EXPECT_TRUE(form.FigEngine().IsRunning());
  FBox.Answers = {mr::No};
  ASSERT_TRUE(Idle());
  Machine().AdvanceMs(5000);
  FMain.ProcessMessages();
  EXPECT_FALSE(form.FigEngine().IsRunning());
  EXPECT_FALSE(form.tmrCleannow->Enabled());
}

TEST_F(MainWindowTest, ScanReviewAndRepairThroughTheWindow) {
  TfrmMain& form = Form();
  form.ButtonPanel()->Button(L"Scan")->Click();
  EXPECT_EQ(Buttons(), kBusy);
  EXPECT_EQ(Page().btnMaintainScan->Action(), form.actStop);
  EXPECT_EQ(form.miScan->Action(), form.actStop);
  EXPECT_FALSE(Page().cbRegistryFix->Enabled());
  EXPECT_TRUE(Page().sgScan->Visible());
  FBox.Answers = {mr::No};
  ASSERT_TRUE(Idle());

  // Results: one stale path, two junk files, nothing to optimise, privacy not chosen.
  EXPECT_EQ(FBox.Texts, std::vector<std::wstring>{kCureQuestion});
  EXPECT_EQ(Buttons(), kResults);
  EXPECT_EQ(Page().btnMaintainScan->Action(), form.actCure);
  EXPECT_EQ(Page().lblInfo->Caption(), L"Scan finished.");
  // The categories can be changed for the next scan.
  EXPECT_TRUE(Page().cbRegistryFix->Enabled());
  EXPECT_EQ(Page().llResultRegistryFix->Caption(), L"1 problem(s).");
  EXPECT_TRUE(Page().llResultRegistryFix->Visible());
  EXPECT_EQ(Page().llResultJunkFiles->Caption(), L"2 problem(s).");
  EXPECT_FALSE(Page().lblResultJunkFiles->Visible());
  EXPECT_FALSE(Page().llResultPrivacySweep->Visible());
  EXPECT_FALSE(Page().lblResultPrivacySweep->Visible());
  EXPECT_FALSE(Page().llResultSystemOptimization->Visible());
  EXPECT_TRUE(Page().lblResultSystemOptimization->Visible());
  EXPECT_EQ(Page().lblResultSystemOptimization->Caption(), L"No problem.");
  EXPECT_EQ(Page().cbJunkFilesClean->FontColor(), clWhite);
  EXPECT_EQ(form.CategoryCount(tcCJunkFile), 2);

  const TCLSettings& settings = GetCLSettings();
  EXPECT_EQ(settings.GetSettingInteger(L"Summary.MatchedAllCount"), 3);
  EXPECT_EQ(settings.GetSettingInteger(L"Summary.MatchedFileCount"), 2);
  EXPECT_EQ(settings.GetSettingFloat(L"Summary.MatchedFileSizeCount"), 30.0);
  EXPECT_TRUE(std::regex_match(settings.GetSettingString(L"App.LastScan"),
                               std::wregex(LR"(\d{4}-\d\d-\d\d \d\d:\d\d)")));

  // The junk list: both files, ticked; the second is left out of the repair.
  EXPECT_EQ(
      OpenResults(Page(), tcCJunkFile,
                  [](TfrmScanedResult& aDialog) {
                    EXPECT_EQ(aDialog.Caption(), L"Detailed Results");
                    EXPECT_EQ(aDialog.lblTitle->Caption(), L"Junk Files Removal");
                    EXPECT_NE(aDialog.tlTips->Caption().find(L"garbage files"), std::wstring::npos);
                    EXPECT_EQ(aDialog.lvResult->Columns().Items(3).Caption(), L"Position");
                    ASSERT_EQ(aDialog.lvResult->Items().Count(), 2);
                    const TListItem& first = aDialog.lvResult->Items().Item(0);
                    EXPECT_EQ(first.Caption(), L"Old files");
                    EXPECT_EQ(
                        first.SubItems().Lines(),
                        (std::vector<std::wstring>{L"Junk file", L"2", kJunk + L"a.tmp", L"1"}));
                    EXPECT_TRUE(first.Checked());
                    aDialog.lvResult->ToggleCheckByUser(1);
                    aDialog.btnOk->Click();
                  }),
      1);
  EXPECT_EQ(CheckedOf(Form(), tcCJunkFile), 1);

  form.ButtonPanel()->Button(L"Cure")->Click();
  EXPECT_EQ(Buttons(), kBusy);
  EXPECT_EQ(Page().btnMaintainScan->Action(), form.actStopCure);
  EXPECT_FALSE(Page().llResultJunkFiles->Visible());
  ASSERT_TRUE(Idle());

  EXPECT_EQ(Buttons(), kReady);
  EXPECT_EQ(Page().btnMaintainScan->Action(), form.actScan);
  EXPECT_EQ(Page().lblInfo->Caption(), L"Ready");
  EXPECT_FALSE(Page().sgScan->Visible());
  EXPECT_TRUE(Page().cbRegistryFix->Enabled());
  EXPECT_EQ(Page().lblResultRegistryFix->Caption(), L"No problem.");
  EXPECT_EQ(Page().lblResultJunkFiles->Caption(), L"1 Fixed.");
  EXPECT_FALSE(Machine().HasFile(kJunk + L"a.tmp"));
  EXPECT_TRUE(Machine().HasFile(kJunk + L"b.tmp"));
  EXPECT_FALSE(Machine().RegKeyExists(regroot::CurrentUser, kAppPaths + L"\\gone.exe"));
}

TEST_F(MainWindowTest, ARepairThatCannotWriteItsBackupChangesNothingAndSaysWhy) {
  FBox.Answers = {mr::No};
  ASSERT_TRUE(Press(L"Scan"));
  ASSERT_EQ(Buttons(), kResults);
  Machine().SetDiskFull(true);
  FBox.Texts.clear();
  ASSERT_TRUE(Press(L"Cure"));
  ASSERT_EQ(FBox.Texts.size(), 1u);
  EXPECT_EQ(
      FBox.Texts[0].rfind(L"Nothing was repaired, because the backup could not be prepared: ", 0),
      0u)
      << ToUtf8(FBox.Texts[0]);
  EXPECT_NE(FBox.Texts[0].find(L"backup"), std::wstring::npos);
  // The findings stay to be repaired once there is room, listed as the scan left them.
  EXPECT_EQ(Buttons(), kResults);
  EXPECT_TRUE(Page().llResultRegistryFix->Visible());
  EXPECT_TRUE(Machine().RegKeyExists(regroot::CurrentUser, kAppPaths + L"\\gone.exe"));
  EXPECT_TRUE(Machine().HasFile(kJunk + L"a.tmp"));
  Machine().SetDiskFull(false);
  ASSERT_TRUE(Press(L"Cure"));
  EXPECT_EQ(Buttons(), kReady);
  EXPECT_FALSE(Machine().RegKeyExists(regroot::CurrentUser, kAppPaths + L"\\gone.exe"));
}

TEST_F(MainWindowTest, WhatARepairDeletesForGoodIsAskedBeforehand) {
  // No room for backups of files: both junk files would be gone for good.
  GetCLSettings().SetSettingInteger(L"Backup.QuarantineMB", 0);
  FBox.Answers = {mr::No};
  ASSERT_TRUE(Press(L"Scan"));
  ASSERT_EQ(Buttons(), kResults);
  FBox.Texts.clear();
  FBox.Answers = {mr::No};
  ASSERT_TRUE(Press(L"Cure"));
  ASSERT_EQ(FBox.Texts.size(), 1u);
  EXPECT_EQ(FBox.Texts[0].rfind(L"After this repair, 0 files (0.00 MB) can be restored from the "
                                L"Restore Center. 2 files (0.00 MB) will be deleted for good",
                                0),
            0u)
      << ToUtf8(FBox.Texts[0]);
  EXPECT_EQ(Buttons(), kResults);
  EXPECT_TRUE(Machine().HasFile(kJunk + L"a.tmp"));
  FBox.Answers = {mr::Yes};
  ASSERT_TRUE(Press(L"Cure"));
  EXPECT_EQ(Buttons(), kReady);
  EXPECT_FALSE(Machine().HasFile(kJunk + L"a.tmp"));
}

TEST_F(MainWindowTest, ARoamingProfileKeepsItsBackupsOnItsShare) {
  UseRoamingProfile(Machine());
  TfrmMain& form = Form();
  const std::wstring backup = GetCLSettings().UserDataPath() + L"backup";
  ASSERT_EQ(backup.rfind(kRoamingAppData + L"\\", 0), 0u) << ToUtf8(backup);
  EXPECT_EQ(form.FigCure().BackupPath(), backup);
  FBox.Answers = {mr::No};
  ASSERT_TRUE(Press(L"Scan"));
  ASSERT_TRUE(Press(L"Cure"));
  EXPECT_EQ(Buttons(), kReady);
  EXPECT_EQ(ExtractFilePath(form.FigCure().LastBackupFile()), backup + L"\\");
  EXPECT_NE(Machine().FileContent(backup + L"\\info.rec").value_or(std::vector<uint8_t>()).size(),
            0u);

  // The Restore Center lists the share's backup, and pruning every backup deletes only that one.
  std::vector<std::wstring> listed;
  TForm::SetModalHandler([&listed](TForm& aForm) {
    listed = dynamic_cast<TfrmRestore&>(aForm).BkFileNames();
    return mr::Cancel;
  });
  GetCLSettings().SetSettingInteger(L"Backup.MaxBackup", 10);
  form.actRestore->Execute();
  EXPECT_EQ(listed, std::vector<std::wstring>{form.FigCure().LastBackupFile()});
  GetCLSettings().SetSettingInteger(L"Backup.MaxBackup", 0);
  form.actRestore->Execute();
  TForm::SetModalHandler(nullptr);
  EXPECT_TRUE(listed.empty());
  EXPECT_FALSE(Machine().HasFile(form.FigCure().LastBackupFile()));
  EXPECT_TRUE(CurrentFolderUntouched(Machine()));
}

TEST_F(MainWindowTest, StopEndsAScanAndARepairInTheirStates) {
  TfrmMain& form = Form();
  int dialogs = 0;
  TForm::SetModalHandler([&dialogs](TForm&) { return ++dialogs, mr::Cancel; });
  form.actCleanNow->Execute();
  // The result links do nothing while a scan runs.
  Page().llResultJunkFiles->Click();
  EXPECT_EQ(dialogs, 0);
  form.ButtonPanel()->Button(L"Stop")->Click();
  ASSERT_TRUE(Idle());
  EXPECT_EQ(Buttons(), kReady);
  EXPECT_EQ(Page().btnMaintainScan->Action(), form.actScan);
  EXPECT_EQ(Page().lblInfo->Caption(), L"");
  EXPECT_FALSE(Page().sgScan->Visible());
  EXPECT_FALSE(Page().aniArrow->Visible());
  EXPECT_TRUE(Page().cbJunkFilesClean->Enabled());
  // Clean Now was for the stopped scan only.
  EXPECT_FALSE(form.ClearNow());
  EXPECT_TRUE(FBox.Texts.empty());

  FBox.Answers = {mr::No};
  form.actScan->Execute();
  ASSERT_TRUE(Idle());
  ASSERT_EQ(Buttons(), kResults);
  form.actCure->Execute();
  form.ButtonPanel()->Button(L"Stop")->Click();
  ASSERT_TRUE(Idle());
  EXPECT_EQ(Buttons(), kResults);
  EXPECT_EQ(Page().btnMaintainScan->Action(), form.actCure);
  EXPECT_FALSE(Page().sgScan->Visible());
  EXPECT_FALSE(Page().llResultJunkFiles->Visible());
  EXPECT_TRUE(Machine().HasFile(kJunk + L"a.tmp"));
  // Stopping left the findings: they can still be repaired.
  form.actCure->Execute();
  ASSERT_TRUE(Idle());
  EXPECT_EQ(Buttons(), kReady);
  EXPECT_FALSE(Machine().HasFile(kJunk + L"a.tmp"));
  TForm::SetModalHandler(nullptr);
}

TEST_F(MainWindowTest, ScanWithoutFindingsReturnsToReady) {
  TfrmMain& form = Form();
  Page().cbRegistryFix->SetChecked(false);
  Page().cbJunkFilesClean->SetChecked(false);
  form.ButtonPanel()->Button(L"Scan")->Click();
  ASSERT_TRUE(Idle());
  EXPECT_EQ(FBox.Texts,
            std::vector<std::wstring>{L"No problems were found. Your computer is clean."});
  EXPECT_EQ(Buttons(), kReady);
  EXPECT_EQ(Page().btnMaintainScan->Action(), form.actScan);
  EXPECT_EQ(Page().lblInfo->Caption(), L"Scan finished.");
  EXPECT_FALSE(Page().sgScan->Visible());
  EXPECT_TRUE(Page().cbRegistryFix->Enabled());
  // Checked without findings: "No problem."; unchecked: nothing.
  EXPECT_EQ(Page().lblResultSystemOptimization->Caption(), L"No problem.");
  EXPECT_TRUE(Page().lblResultSystemOptimization->Visible());
  EXPECT_FALSE(Page().lblResultJunkFiles->Visible());
  EXPECT_FALSE(Page().llResultJunkFiles->Visible());

  // Nothing chosen: nothing starts.
  Page().cbSystemOptimization->SetChecked(false);
  form.actScan->Execute();
  form.actCure->Execute();
  EXPECT_FALSE(form.FigEngine().IsRunning());
  EXPECT_EQ(FBox.Texts.back(), L"Please select something.");
  EXPECT_EQ(FBox.Texts.size(), 3u);
}

TEST_F(MainWindowTest, CleanNowAndTheStoredAnswerRepairWithoutAsking) {
  TfrmMain& form = Form();
  form.actCleanNow->Execute();
  ASSERT_TRUE(Idle());
  EXPECT_TRUE(FBox.Texts.empty());
  EXPECT_FALSE(Machine().HasFile(kJunk + L"a.tmp"));
  EXPECT_FALSE(form.ClearNow());
  EXPECT_EQ(Buttons(), kReady);

  // The user answers Yes and ticks "do not display again": later scans repair unasked.
  // A repaired topic finds nothing until its status is reset.
  auto addJunk = [this, &form] {
    Machine().AddFile(kJunk + L"c.tmp", 5);
    form.FigEngine().ResetStatus();
  };
  addJunk();
  FBox.TickShowAgain = true;
  FBox.Answers = {mr::Yes};
  form.actScan->Execute();
  ASSERT_TRUE(Idle());
  EXPECT_EQ(FBox.Texts, std::vector<std::wstring>{kCureQuestion});
  EXPECT_FALSE(Machine().HasFile(kJunk + L"c.tmp"));
  addJunk();
  form.actScan->Execute();
  ASSERT_TRUE(Idle());
  EXPECT_EQ(FBox.Texts.size(), 1u);
  EXPECT_FALSE(Machine().HasFile(kJunk + L"c.tmp"));
}

TEST_F(MainWindowTest, CancelKeepsTheCheckMarksAndOkHandsThemOver) {
  for (int i = 0; i < 10; ++i)
    Machine().AddFile(kJunk + L"more" + std::to_wstring(i) + L".tmp", 1);
  TfrmMain& form = Form();
  FBox.Answers = {mr::No};
  form.actScan->Execute();
  ASSERT_TRUE(Idle());
  EXPECT_EQ(Page().llResultJunkFiles->Caption(), L"12 problem(s).");
  ASSERT_EQ(CheckedOf(Form(), tcCJunkFile), 12);

  OpenResults(Page(), tcCJunkFile, [](TfrmScanedResult& aDialog) {
    aDialog.btnUnSelectAll->Click();
    EXPECT_FALSE(aDialog.lvResult->Items().Item(11).Checked());
    aDialog.btnCancel->Click();
  });
  EXPECT_EQ(CheckedOf(Form(), tcCJunkFile), 12);

  // A row whose number does not read is passed on as -1, which the list ignores.
  OpenResults(Page(), tcCJunkFile, [](TfrmScanedResult& aDialog) {
    aDialog.btnUnSelectAll->Click();
    aDialog.btnSelectAll->Click();
    aDialog.lvResult->ToggleCheckByUser(0);
    aDialog.lvResult->ToggleCheckByUser(1);
    aDialog.lvResult->Items().Item(1).SubItems().SetStrings(3, L"x");
    aDialog.btnOk->Click();
  });
  EXPECT_EQ(CheckedOf(Form(), tcCJunkFile), 11);
  EXPECT_EQ(CheckedOf(Form(), tcARegFix), 1);

  OpenResults(Page(), tcCJunkFile, [](TfrmScanedResult& aDialog) {
    aDialog.btnUnSelectAll->Click();
    aDialog.btnOk->Click();
  });
  OpenResults(Page(), tcARegFix, [](TfrmScanedResult& aDialog) {
    aDialog.btnUnSelectAll->Click();
    aDialog.btnOk->Click();
  });
  EXPECT_EQ(form.FigCure().GetCheckedItem(), 0);
  form.actCure->Execute();
  EXPECT_FALSE(form.FigCure().IsRunning());
  EXPECT_EQ(FBox.Texts.back(), L"Please select the items to repair.");
}

TEST_F(MainWindowTest, SweepFindingIsShownAtTheCurrentPc) {
  TfrmMain& form = Form();
  Page().cbPrivacySweep->SetChecked(true);
  FBox.Answers = {mr::No};
  form.actScan->Execute();
  ASSERT_TRUE(Idle());
  EXPECT_EQ(Page().llResultPrivacySweep->Caption(), L"1 problem(s).");
  OpenResults(Page(), tcBPrivacySweep, [](TfrmScanedResult& aDialog) {
    ASSERT_EQ(aDialog.lvResult->Items().Count(), 1);
    EXPECT_EQ(aDialog.lvResult->Items().Item(0).SubItems().Strings(0), L"Need sweep.");
    EXPECT_EQ(aDialog.lvResult->Items().Item(0).SubItems().Strings(2), L"Current PC.");
  });
  OpenResults(Page(), tcARegFix, [](TfrmScanedResult& aDialog) {
    ASSERT_EQ(aDialog.lvResult->Items().Count(), 1);
    EXPECT_EQ(aDialog.lvResult->Items().Item(0).SubItems().Strings(2),
              L"HKEY_CURRENT_USER\\" + kAppPaths + L"\\gone.exe[C:\\Gone\\gone.exe]");
  });
}

TEST_F(MainWindowTest, TopicChoiceFollowsTheBoxesSettingsAndProfiles) {
  TfrmMain& form = Form();
  TFigEngine& engine = form.FigEngine();
  auto add = [&engine](const wchar_t* aName, const wchar_t* aLevel) {
    TFigTopic* topic = engine.GetTopic(engine.AddTopic(aName));
    topic->SetCategory(tcDSystemOptimization);
    if (aLevel != nullptr)
      topic->ValueList().SetValue(L"LEVEL", aLevel);
    return topic;
  };
  TFigTopic* noLevel = add(L"NoLevel", nullptr);
  TFigTopic* usage8 = add(L"Usage8", L"8");
  TFigTopic* net12 = add(L"Net12", L"12");
  TFigTopic* net13 = add(L"Net13", L"13");
  TFigTopic* appPaths = engine.GetTopicByName(L"TestAppPaths");
  TFigTopic* sweep = engine.GetTopicByName(L"TestSweep");

  form.LoadFigEngineSettings();
  EXPECT_TRUE(noLevel->Enabled());
  EXPECT_FALSE(usage8->Enabled());
  EXPECT_TRUE(net12->Enabled());
  EXPECT_FALSE(net13->Enabled());
  EXPECT_TRUE(appPaths->Enabled());
  EXPECT_FALSE(sweep->Enabled());

  GetCLSettings().SetSettingInteger(L"SystemOptimization.CO", 6);
  GetCLSettings().SetSettingInteger(L"SystemOptimization.NO", 1);
  GetCLSettings().SetSettingBool(L"RegFix.TestAppPaths", false);
  form.LoadFigEngineSettings();
  EXPECT_TRUE(noLevel->Enabled());
  EXPECT_TRUE(usage8->Enabled());
  EXPECT_TRUE(net13->Enabled());
  EXPECT_FALSE(appPaths->Enabled());

  Page().cbSystemOptimization->SetChecked(false);
  form.LoadFigEngineSettings();
  EXPECT_FALSE(noLevel->Enabled());
  EXPECT_FALSE(net12->Enabled());
}

TEST_F(MainWindowTest, AScheduledScanEnablesTheOptimisationsTheWindowWould) {
  TfrmMain& form = Form();
  TFigEngine& engine = form.FigEngine();
  for (const auto& [name, level] :
       {std::pair{L"Usage8", L"8"}, {L"Net12", L"12"}, {L"Net13", L"13"}}) {
    TFigTopic* topic = engine.GetTopic(engine.AddTopic(name));
    topic->SetCategory(tcDSystemOptimization);
    topic->ValueList().SetValue(L"LEVEL", level);
  }
  const auto optimisations = [&engine] {
    std::wstring names;
    for (int i = 0; i < engine.TopicCount(); ++i)
      if (const TFigTopic* topic = engine.GetTopic(i);
          topic->Category() == tcDSystemOptimization && topic->Enabled())
        names += topic->Name() + L" ";
    return names;
  };
  TCLSettings& settings = GetCLSettings();
  settings.SetSettingBool(L"AutoScan.Action2", true);
  for (const auto& [usage, connection] : {std::pair{0, 0}, {6, 0}, {0, 1}, {10, 10}}) {
    settings.SetSettingInteger(L"SystemOptimization.CO", usage);
    settings.SetSettingInteger(L"SystemOptimization.NO", connection);
    form.LoadFigEngineSettings();
    const std::wstring window = optimisations();
    engine.SetAllEnabled(false);
    ApplyLaunchTopics(PlanLaunch(L"AutoScan"), engine);
    EXPECT_EQ(optimisations(), window) << usage << " " << connection;
  }
}

TEST(MainWindowTexts, PlacesAreCutAtTheirLimits) {
  // Path and name of exactly 20 characters are shown whole; 21 keep their last 20.
  EXPECT_EQ(ScanPlaceText(lsRegistry, L"HKEY_CURRENT_USER", L"Software\\Ab", L"Value123"),
            L"HKEY_CURRENT_USER\\Software\\Ab\\Value123");
  EXPECT_EQ(ScanPlaceText(lsRegistry, L"HKEY_CURRENT_USER", L"Software\\Abc", L"Value123"),
            L"HKEY_CURRENT_USER...oftware\\Abc\\Value123");
  // A disk path of 30 characters is whole; 31 keep the drive, "..." and the last 30.
  EXPECT_EQ(ScanPlaceText(lsDisk, L"C:\\Temp\\Folder\\", L"", L"file0123456.tmp"),
            L"C:\\Temp\\Folder\\file0123456.tmp");
  EXPECT_EQ(ScanPlaceText(lsDisk, L"C:\\Temp\\Folder\\", L"", L"file01234567.tmp"),
            L"C:\\...:\\Temp\\Folder\\file01234567.tmp");
  EXPECT_EQ(ScanPlaceText(lsRegistryItem, L"HKEY_CURRENT_USER", L"Software", L"x"), L"");

  TFigScanedItem file;
  file.LocationStyle = lsDisk;
  file.ScanedRoot = L"C:\\Temp\\";
  file.ScanedName = L"a.tmp";
  EXPECT_EQ(ResultPositionText(file), L"C:\\Temp\\a.tmp");
  file.FigResult.Reason = frNeedSweep;
  EXPECT_EQ(ResultPositionText(file), L"Current PC.");
  TFigScanedItem value;
  value.LocationStyle = lsRegistry;
  value.ScanedRoot = L"HKEY_LOCAL_MACHINE";
  value.ScanedPath = L"Software\\X";
  value.ScanedSection = L"Run";
  value.ScanedName = L"c:\\gone.exe";
  EXPECT_EQ(ResultPositionText(value), L"HKEY_LOCAL_MACHINE\\Software\\X\\Run[c:\\gone.exe]");
}

TEST_F(MainWindowTest, PagesAndTheSettingsWindowOpenOnlyWhenIdle) {
  TfrmMain& form = Form();
  std::vector<int> pages;
  TForm::SetModalHandler([&pages](TForm& aForm) {
    if (auto* settings = dynamic_cast<TfrmSettings*>(&aForm))
      pages.push_back(settings->Page());
    return mr::Cancel;
  });
  Page().pcMaintain->SelectByUser(1);
  EXPECT_EQ(pages, std::vector<int>{10});
  EXPECT_EQ(Page().pcMaintain->ActivePage(), Page().tsFunction);
  EXPECT_EQ(form.DefaultSettingPage(), 0);

  form.ButtonPanel()->Button(L"Utilities")->Click();
  EXPECT_TRUE(form.Utilities()->Visible());
  EXPECT_FALSE(Page().Visible());
  EXPECT_EQ(Button(L"Utilities"), KDown);
  EXPECT_EQ(form.Utilities()->Width(), form.pnlContainer->Width());

  // A scan brings the maintenance page to the front and keeps the settings window shut.
  FBox.Answers = {mr::No};
  form.actScan->Execute();
  EXPECT_TRUE(Page().Visible());
  EXPECT_FALSE(form.Utilities()->Visible());
  form.actSettings->Execute();
  EXPECT_EQ(pages.size(), 1u);
  ASSERT_TRUE(Idle());
  form.llSettings->Click();
  EXPECT_EQ(pages, (std::vector<int>{10, 0}));
  TForm::SetModalHandler(nullptr);
}

TEST_F(MainWindowTest, RestoreAndSettingsOpenModallyOnlyWhenIdleAndOkReappliesTheChoices) {
  TfrmMain& form = Form();
  TFigTopic* appPaths = form.FigEngine().GetTopicByName(L"TestAppPaths");
  form.LoadFigEngineSettings();
  ASSERT_TRUE(appPaths->Enabled());
  std::vector<std::wstring> shown;
  TForm::SetModalHandler([&shown](TForm& aForm) {
    if (dynamic_cast<TfrmRestore*>(&aForm) != nullptr) {
      shown.push_back(L"restore");
      return mr::Cancel;
    }
    auto& settings = dynamic_cast<TfrmSettings&>(aForm);
    shown.push_back(L"settings " + std::to_wstring(settings.Page()));
    // The user unticks the application paths and presses OK.
    for (int i = 0; i < settings.lbRegistryFixList->Items().Count(); ++i)
      if (auto* topic = dynamic_cast<TFigTopic*>(settings.lbRegistryFixList->Items().Objects(i));
          topic != nullptr && topic->Name() == L"TestAppPaths")
        settings.lbRegistryFixList->ToggleByUser(i);
    settings.btnOk->Click();
    return settings.ModalResult();
  });
  form.actRestore->Execute();
  form.llRestore->Click();
  EXPECT_EQ(shown, (std::vector<std::wstring>{L"restore", L"restore"}));
  // The home page's profile links open the System Optimization page; OK applies the choices.
  form.Home()->lblCO->Click();
  EXPECT_EQ(shown.back(), L"settings 13");
  EXPECT_FALSE(appPaths->Enabled());
  EXPECT_EQ(form.DefaultSettingPage(), 0);

  // Neither window opens while a scan or a repair runs.
  FBox.Answers = {mr::No};
  form.actScan->Execute();
  ASSERT_TRUE(form.FigEngine().IsRunning());
  form.actRestore->Execute();
  form.llRestore->Click();
  form.Home()->lblCO->Click();
  ASSERT_TRUE(Idle());
  form.actCure->Execute();
  ASSERT_TRUE(form.FigCure().IsRunning());
  form.actRestore->Execute();
  form.actSettings->Execute();
  ASSERT_TRUE(Idle());
  EXPECT_EQ(shown.size(), 3u);
  TForm::SetModalHandler(nullptr);
}

TEST_F(MainWindowTest, LaunchWordsStartToTheTrayOrSweepAndRepairWithoutAsking) {
  FKeepLaunchTimer = true;
  GetCLSettings().SetSettingBool(L"Switch.PrivacySweep", true);
  GetCLSettings().SetSettingBool(L"PrivacySweep.TestSweep", true);
  TfrmMain& form = Form();
  form.ShowForm();
  form.CLEngineCmdFile(L"ministart");
  Machine().AdvanceMs(2500);
  FMain.ProcessMessages();
  EXPECT_FALSE(form.Visible());
  EXPECT_FALSE(form.FigEngine().IsRunning());

  form.CLEngineCmdFile(L"autosweep");
  form.tmrCleannow->SetEnabled(true);
  Machine().AdvanceMs(2500);
  FMain.ProcessMessages();
  EXPECT_TRUE(form.Visible());
  ASSERT_TRUE(Idle());
  EXPECT_FALSE(FBox.Asked(kCureQuestion));
  // Only the privacy topics ran, and their finding was repaired.
  EXPECT_EQ(form.CategoryCount(tcBPrivacySweep), 1);
  EXPECT_EQ(form.CategoryCount(tcARegFix), 0);
  EXPECT_EQ(form.CategoryFixedCount(tcBPrivacySweep), 1);
  EXPECT_FALSE(form.ClearNow());
  EXPECT_EQ(Buttons(), kReady);
}

TEST_F(MainWindowTest, TheScheduleScansAndRepairsAtItsTime) {
  const double day = 46365.0; // 9 December 2026
  SetLocalClock(Machine(), day + (11 * 3600 + 59 * 60 + 58) / 86400.0);
  ArmDailySchedule();
  TCLSettings& settings = GetCLSettings();
  TfrmMain& form = Form();
  for (int second = 0; second < 4 && !form.FigEngine().IsRunning(); ++second) {
    Machine().AdvanceMs(1000);
    FMain.ProcessMessages();
  }
  EXPECT_EQ(form.LaunchParams(), L"AutoScan");
  EXPECT_FALSE(settings.GetSettingString(L"Schedule.LastCure").empty());
  Machine().AdvanceMs(2500);
  FMain.ProcessMessages();
  ASSERT_TRUE(Idle());
  EXPECT_FALSE(FBox.Asked(kCureQuestion));
  EXPECT_EQ(form.CategoryCount(tcARegFix), 1);
  EXPECT_EQ(form.CategoryCount(tcCJunkFile), 0);
  EXPECT_EQ(form.CategoryFixedCount(tcARegFix), 1);
  EXPECT_EQ(Buttons(), kReady);
}

TEST_F(MainWindowTest, TheScheduleWaitsUnderAnOpenDialogAndRunsOnceThatDayWhenItCloses) {
  ArmDailySchedule();
  SetLocalClock(Machine(), kDay + 0.5 - 2 * kSecond);
  TfrmMain& form = Form();
  const std::shared_ptr<int> scans = CountScans(Form());
  const std::wstring stale = kAppPaths + L"\\gone.exe";
  // The Restore Center is open while noon comes; the tray's scan starts nothing either.
  const auto openRestoreCenter = [&form](const std::function<void()>& aWhileOpen) {
    int shown = 0;
    TForm::SetModalHandler([&](TForm&) {
      ++shown;
      aWhileOpen();
      return mr::Cancel;
    });
    form.actRestore->Execute();
    TForm::SetModalHandler(nullptr);
    return shown;
  };
  EXPECT_EQ(openRestoreCenter([&] {
              RunSeconds(Machine(), 20);
              form.actScan->Execute();
              EXPECT_FALSE(form.FigEngine().IsRunning());
            }),
            1);
  EXPECT_EQ(*scans, 0);
  EXPECT_TRUE(Machine().RegKeyExists(regroot::CurrentUser, stale));

  // Closed: the held scan runs, repairs without asking, and runs once.
  RunSeconds(Machine(), 3);
  ASSERT_TRUE(Idle());
  EXPECT_EQ(*scans, 1);
  EXPECT_FALSE(FBox.Asked(kCureQuestion));
  EXPECT_FALSE(Machine().RegKeyExists(regroot::CurrentUser, stale));
  RunSeconds(Machine(), 60);
  EXPECT_EQ(*scans, 1);

  // Next day the window stays open from noon past midnight: that day's scan is dropped.
  SetLocalClock(Machine(), kDay + 1.5 - 2 * kSecond);
  EXPECT_EQ(openRestoreCenter([&] {
              RunSeconds(Machine(), 20);
              Machine().AdvanceMs(12 * 3600 * 1000);
              FMain.ProcessMessages();
            }),
            1);
  RunSeconds(Machine(), 10);
  EXPECT_EQ(*scans, 1);
  EXPECT_FALSE(form.tmrCleannow->Enabled());
}

TEST_F(MainWindowTest, AScheduleDueWhileFindingsWaitIsSkippedForTheDay) {
  ArmDailySchedule();
  SetLocalClock(Machine(), kDay + 0.5 - 10 * kSecond);
  const std::shared_ptr<int> scans = CountScans(Form());
  // Noon passes while the question after the user's scan is on the screen.
  FBox.WhileShown = [this](const std::wstring& aText) {
    if (aText == kCureQuestion)
      RunSeconds(Machine(), 20);
  };
  FBox.Answers = {mr::No};
  ASSERT_TRUE(Press(L"Scan"));
  FBox.WhileShown = nullptr;
  RunSeconds(Machine(), 5);
  EXPECT_EQ(*scans, 1);
  EXPECT_EQ(Buttons(), kResults);
  EXPECT_EQ(Page().lblInfo->Caption(), kAutoScanSkipped);

  // The findings are the user's: the ticks set in the list are those of the repair.
  EXPECT_EQ(OpenResults(Page(), tcCJunkFile,
                        [this](TfrmScanedResult& aDialog) {
                          RunSeconds(Machine(), 60);
                          aDialog.lvResult->ToggleCheckByUser(1);
                          aDialog.btnOk->Click();
                        }),
            1);
  EXPECT_EQ(*scans, 1);
  EXPECT_EQ(CheckedOf(Form(), tcCJunkFile), 1);
  ASSERT_TRUE(Press(L"Cure"));
  EXPECT_FALSE(Machine().HasFile(kJunk + L"a.tmp"));
  EXPECT_TRUE(Machine().HasFile(kJunk + L"b.tmp"));

  // The next day's run is the schedule's as before.
  SetLocalClock(Machine(), kDay + 1.5 - 2 * kSecond);
  RunSeconds(Machine(), 6);
  ASSERT_TRUE(Idle());
  EXPECT_EQ(*scans, 2);
  EXPECT_EQ(Buttons(), kReady);
}

TEST_F(MainWindowTest, FirstPageFillsTheContainerOfTheStoredLayout) {
  GetCLSettings().SetSettingInteger(L"Container.W", 520);
  TfrmMain& form = Form();
  EXPECT_EQ(form.pnlContainer->Width(), 520);
  EXPECT_EQ(form.Home()->Width(), 520);
}

TEST_F(MainWindowTest, TheCloseButtonHidesTheWindowInTheTray) {
  TfrmMain& form = Form();
  form.ShowForm();
  form.Close();
  EXPECT_FALSE(form.Visible());
  EXPECT_TRUE(form.spTray->Visible());
  form.spTray->Click();
  EXPECT_TRUE(form.Visible());
  form.actAlwaysOnTop->Execute();
  EXPECT_TRUE(form.StayOnTop());
  EXPECT_TRUE(form.actAlwaysOnTop->Checked());
  EXPECT_TRUE(GetCLSettings().GetSettingBool(L"AlwaysOnTop"));
  form.actExit->Execute();
  EXPECT_FALSE(form.Visible());
  // The next run starts on top again, with the menu's check mark.
  FForm.reset();
  EXPECT_TRUE(Form().StayOnTop());
  EXPECT_TRUE(Form().actAlwaysOnTop->Checked());
}

TEST_F(MainWindowTest, AMissingImageStripIsReportedAndTheStartGoesOn) {
  ASSERT_EQ(Platform().Files().DeleteFile(kProgram + L"res\\32.png"), err::Success);
  TfrmMain& form = Form();
  EXPECT_EQ(FBox.Texts, std::vector<std::wstring>{L"Some of the program's pictures could not be "
                                                  L"loaded. Please reinstall Kestrova."});
  EXPECT_EQ(Page().lblInfo->Caption(), L"Ready");
  EXPECT_EQ(Buttons(), (std::vector<TFlashButtonState>{KNormal, KInvisibled, KInvisibled, KDown,
                                                       KNormal, KNormal}));
  FBox.Answers = {mr::No};
  ASSERT_TRUE(Press(L"Scan"));
  EXPECT_EQ(Buttons(), kResults);
  EXPECT_EQ(form.CategoryCount(tcCJunkFile), 2);
}

TEST_F(MainWindowTest, TheScannedCategoryIsMarkedWhileItRuns) {
  TfrmMain& form = Form();
  struct TSeen {
    bool ArrowVisible = false;
    int ArrowTop = 0;
    std::wstring Result;
    bool ResultVisible = false;
    std::vector<TColor> Captions;
  };
  std::vector<std::pair<TTopicCategory, TSeen>> seen;
  form.FigEngine().OnCategoryStarted =
      [&form, &seen, shown = form.FigEngine().OnCategoryStarted](TTopicCategory aCategory) {
        shown(aCategory);
        const TfrmMaintain& page = *form.Maintain();
        TSeen now;
        now.ArrowVisible = page.aniArrow->Visible();
        now.ArrowTop = page.aniArrow->Top();
        now.Result = page.Row(aCategory)->Result->Caption();
        now.ResultVisible = page.Row(aCategory)->Result->Visible();
        for (const TfrmMaintain::TCategoryRow& row : page.Rows())
          now.Captions.push_back(row.Box->FontColor());
        seen.emplace_back(aCategory, now);
      };
  FBox.Answers = {mr::No};
  ASSERT_TRUE(Press(L"Scan"));

  // Registry fix, junk files and optimisation are chosen; each row in turn, in category order.
  ASSERT_EQ(seen.size(), 3u);
  const std::vector<TTopicCategory> order = {tcARegFix, tcCJunkFile, tcDSystemOptimization};
  for (size_t i = 0; i < seen.size(); ++i) {
    const auto& [category, now] = seen[i];
    EXPECT_EQ(category, order[i]);
    EXPECT_TRUE(now.ArrowVisible);
    EXPECT_EQ(now.ArrowTop, Page().Row(category)->Box->Top() + 10);
    EXPECT_EQ(now.Result, L"Scanning...");
    EXPECT_TRUE(now.ResultVisible);
    for (size_t row = 0; row < now.Captions.size(); ++row)
      EXPECT_EQ(now.Captions[row], Page().Rows()[row].Category == category ? clGreen : clWhite)
          << i << " " << row;
  }
  // Once the scan is over no row stays highlighted and the arrow is gone.
  EXPECT_FALSE(Page().aniArrow->Visible());
  for (const TfrmMaintain::TCategoryRow& row : Page().Rows())
    EXPECT_EQ(row.Box->FontColor(), clWhite);
}

TEST_F(MainWindowTest, RunningTotalsStopAtTheLargestValueAndNeverGoBelowNothing) {
  TCLSettings& settings = GetCLSettings();
  settings.SetSettingInteger(L"Summary.MatchedAllCount", 2147483646);
  settings.SetSettingInteger(L"Summary.FileCount", -1000);
  settings.SetSettingInteger(L"Summary.MatchedFileCount", 5);
  FBox.Answers = {mr::No};
  Form();
  ASSERT_TRUE(Press(L"Scan"));
  EXPECT_EQ(settings.GetSettingInteger(L"Summary.MatchedAllCount"), 2147483647);
  EXPECT_EQ(settings.GetSettingInteger(L"Summary.FileCount"), 0);
  EXPECT_EQ(settings.GetSettingInteger(L"Summary.MatchedFileCount"), 7);
}

TEST_F(MainWindowTest, CleanNowWithNothingFoundLeavesTheNextScanAsking) {
  TfrmMain& form = Form();
  Page().cbRegistryFix->SetChecked(false);
  Page().cbJunkFilesClean->SetChecked(false);
  form.actCleanNow->Execute();
  ASSERT_TRUE(Idle());
  EXPECT_EQ(FBox.Texts,
            std::vector<std::wstring>{L"No problems were found. Your computer is clean."});
  EXPECT_FALSE(form.ClearNow());
  EXPECT_EQ(Buttons(), kReady);
  EXPECT_EQ(Page().btnMaintainScan->Action(), form.actScan);
  EXPECT_EQ(Page().lblInfo->Caption(), L"Scan finished.");

  // Clean Now was for that scan: the next one with findings asks before repairing.
  Page().cbJunkFilesClean->SetChecked(true);
  FBox.Answers = {mr::OK, mr::No};
  form.actScan->Execute();
  ASSERT_TRUE(Idle());
  EXPECT_EQ(FBox.Texts.back(), kCureQuestion);
  EXPECT_EQ(Buttons(), kResults);
  EXPECT_TRUE(Machine().HasFile(kJunk + L"a.tmp"));
}

TEST_F(MainWindowTest, SystemRestoreIsStartedWithoutWaitingForIt) {
  TfrmMain& form = Form();
  form.actViewRestorePoint->Execute();
  const std::vector<TProcessStart> launches = Machine().Launches();
  ASSERT_EQ(launches.size(), 1u);
  EXPECT_EQ(launches[0].CommandLine, L"rstrui");
  // The window goes on answering while System Restore is open.
  EXPECT_EQ(launches[0].WaitMs, kNoWait);
}

TEST_F(MainWindowTest, TellAFriendOpensAMailWithTheSubjectAndBody) {
  TfrmMain& form = Form();
  EXPECT_TRUE(form.llTellAFriend->Enabled());
  EXPECT_EQ(form.llTellAFriend->Caption(), L"Tell a Friend");
  // Without a window system there is no mail program to ask: nothing happens.
  form.llTellAFriend->Click();

  TFakeAppHost host;
  TCLScopedAppHost scope(host);
  form.llTellAFriend->Click();
  ASSERT_EQ(host.Mails.size(), 1u);
  EXPECT_EQ(host.Mails[0], (std::vector<std::pair<std::wstring, std::wstring>>{
                               {L"subject", L"Try Kestrova"},
                               {L"body", L"Hello,\r\n\r\nI use Kestrova to keep my computer clean "
                                         L"and fast. Have a look at it."}}));
  // A missing mail program is the mail routine's to report; the window carries on.
  host.MailResult = 1;
  form.llTellAFriend->Click();
  EXPECT_EQ(host.Mails.size(), 2u);
  EXPECT_TRUE(FBox.Texts.empty());
  EXPECT_EQ(Buttons(), (std::vector<TFlashButtonState>{KNormal, KInvisibled, KInvisibled, KDown,
                                                       KNormal, KNormal}));
}

// A form's window as the window system would give it: only a handle.
class TWindowHandleHost : public IFormHost {
public:
  explicit TWindowHandleHost(uintptr_t aHandle) : FHandle(aHandle) {}
  uintptr_t Handle() const override { return FHandle; }
  bool PostMessage(uint32_t, uintptr_t, intptr_t) override { return false; }

private:
  uintptr_t FHandle;
};

TEST_F(MainWindowTest, TheScheduleBringsTheUpdateWindowForwardInAnyLanguage) {
  const TScopedHeadless headless;
  Machine().AddTextFile(kProgram + L"lang\\Test.lan",
                        "[Info]\nLanguage=Test\n[LibRes]\n"
                        "TfrmCLUpdateForm.Caption=Aktualisierung von {AppName}\n");
  TfrmMain& form = Form();
  form.miLanguage->Items(1)->Click();
  form.actUpdate->Execute();
  TfrmCLUpdateForm* update = UpdateFormOf(form.Engine());
  ASSERT_NE(update, nullptr);
  ASSERT_TRUE(Settle([update] { return !update->Updating(); }, 20000));
  ASSERT_TRUE(update->Visible());
  EXPECT_EQ(update->Caption(), L"Aktualisierung von Kestrova");

  // Its window, and another program's window of the same class and the English caption.
  constexpr TCLWindow kUpdate = 0x4711;
  constexpr TCLWindow kForeign = 0x0815;
  TWindowHandleHost window(kUpdate);
  update->SetHost(&window);
  TForm foreign(nullptr, L"TfrmCLUpdateForm");
  foreign.SetCaption(L"Update Kestrova");
  TFakeAppHost host;
  host.Windows[kForeign] = &foreign;
  host.Windows[kUpdate] = update;
  TCLScopedAppHost scope(host);
  RunSeconds(Machine(), 7);
  update->SetHost(nullptr);
  EXPECT_EQ(host.ForegroundWindows, std::vector<TCLWindow>(5, kUpdate));
}

// The window system's side of the main window: how often the caption animation ran.
class TAnimatingHost : public IFormHost {
public:
  uintptr_t Handle() const override { return 0; }
  bool PostMessage(uint32_t, uintptr_t, intptr_t) override { return false; }
  void AnimateToTray() override { ++Animations; }
  int Animations = 0;
};

TEST_F(MainWindowTest, TheCloseButtonAnimatesTheWindowIntoTheTray) {
  TfrmMain& form = Form();
  form.ShowForm();
  TAnimatingHost host;
  form.SetHost(&host);
  form.Close();
  EXPECT_EQ(host.Animations, 1);
  EXPECT_FALSE(form.Visible());
  form.actOpen->Execute();
  EXPECT_TRUE(form.Visible());
  // The window is made for one size: it can be minimised but neither sized nor maximised.
  EXPECT_EQ(form.BorderStyle(), TFormBorderStyle::bsSingle);
  form.actExit->Execute();
  EXPECT_EQ(host.Animations, 1);
  EXPECT_FALSE(form.Visible());
  form.SetHost(nullptr);
}

TEST_F(MainWindowTest, TheSkinMenuRecoloursTheCategoryBand) {
  Machine().AddTextFile(kProgram + L"skins\\Night.skn",
                        "[Skin]\nName=Night\nDark=1\n[Colors]\nButtonFace=#202020\n"
                        "Band=#102030\nBandText=#A0B0C0\n");
  TfrmMain& form = Form();
  const TColor band = Page().pnlCategories->Color();
  EXPECT_EQ(band, 0x503A28);
  ASSERT_EQ(form.miSkin->Count(), 2);
  ASSERT_EQ(form.miSkin->Items(1)->Caption(), L"Night");
  form.miSkin->Items(1)->Click();
  EXPECT_EQ(CurrentSkinTheme().Name, L"Night");
  EXPECT_TRUE(form.miSkin->Items(1)->Checked());
  EXPECT_EQ(GetCLSettings().GetSettingString(L"Skin"), L"Night");
  EXPECT_EQ(Page().pnlCategories->Color(), 0x302010);
  for (const TfrmMaintain::TCategoryRow& row : Page().Rows()) {
    EXPECT_EQ(row.Box->Color(), 0x302010);
    EXPECT_EQ(row.Description->FontColor(), 0xC0B0A0);
    // The captions keep their own colours on any band.
    EXPECT_EQ(row.Box->FontColor(), clWhite);
  }
  form.miSkin->Items(0)->Click();
  EXPECT_EQ(CurrentSkinTheme().Name, L"Default");
  EXPECT_EQ(Page().pnlCategories->Color(), band);
  EXPECT_EQ(Page().Rows()[3].Description->FontColor(), 0xE0D8D0);
}

TEST_F(MainWindowTest, TheStatusLineFollowsTheLanguage) {
  Machine().AddTextFile(kProgram + L"lang\\Test.lan",
                        "[Info]\nLanguage=Test\n[AppRes]\nState.Ready=Bereit\n"
                        "SState.ScanFinished=Fertig.\n");
  TfrmMain& form = Form();
  ASSERT_EQ(form.miLanguage->Count(), 2);
  form.miLanguage->Items(1)->Click();
  EXPECT_EQ(Page().lblInfo->Caption(), L"Bereit");
  FBox.Answers = {mr::No};
  ASSERT_TRUE(Press(L"Scan"));
  EXPECT_EQ(Page().lblInfo->Caption(), L"Fertig.");
  form.miLanguage->Items(0)->Click();
  EXPECT_EQ(Page().lblInfo->Caption(), L"Scan finished.");
  // A text that is no language text (where the scan is) stays as it is.
  form.SetStatusText(L"C:\\Temp");
  form.miLanguage->Items(1)->Click();
  EXPECT_EQ(Page().lblInfo->Caption(), L"C:\\Temp");
}

TEST_F(MainWindowTest, TheResultsCanBeReplacedByANewScanOrRepairedWithoutACategorySwitchedOff) {
  TfrmMain& form = Form();
  FBox.Answers = {mr::No};
  ASSERT_TRUE(Press(L"Scan"));
  ASSERT_EQ(Buttons(), kResults);
  EXPECT_EQ(form.miScan->Action(), form.actCure);
  EXPECT_TRUE(Page().llCleanNow->Enabled());
  // Both show on the bar, the one above the other.
  const TFlashButton* scan = form.ButtonPanel()->Button(L"Scan");
  EXPECT_LE(scan->Top() + scan->Height(), form.ButtonPanel()->Button(L"Cure")->Top());

  // Junk files switched off after the scan: the repair leaves them.
  Page().cbJunkFilesClean->Click();
  ASSERT_TRUE(Press(L"Cure"));
  EXPECT_EQ(Buttons(), kReady);
  EXPECT_FALSE(Machine().RegKeyExists(regroot::CurrentUser, kAppPaths + L"\\gone.exe"));
  EXPECT_TRUE(Machine().HasFile(kJunk + L"a.tmp"));
  EXPECT_EQ(form.CategoryFixedCount(tcCJunkFile), 0);

  // A new scan from the Results state, with other categories, discards the findings.
  Page().cbJunkFilesClean->Click();
  FBox.Answers = {mr::No};
  ASSERT_TRUE(Press(L"Scan"));
  ASSERT_EQ(Buttons(), kResults);
  EXPECT_EQ(form.CategoryCount(tcCJunkFile), 2);
  Page().cbJunkFilesClean->Click();
  Page().cbPrivacySweep->Click();
  FBox.Answers = {mr::No};
  ASSERT_TRUE(Press(L"Scan"));
  EXPECT_EQ(Buttons(), kResults);
  EXPECT_EQ(form.CategoryCount(tcCJunkFile), 0);
  EXPECT_EQ(form.CategoryCount(tcBPrivacySweep), 1);
  EXPECT_EQ(form.FigCure().ItemCount(), 1);
  EXPECT_FALSE(Page().llResultJunkFiles->Visible());
  EXPECT_TRUE(Machine().HasFile(kJunk + L"a.tmp"));
  EXPECT_FALSE(FBox.Asked(L"Please select the items to repair."));
}

TEST_F(MainWindowTest, CleanNowAndSystemRestoreAreOfferedAndARefusedCleanNowLeavesScansAsking) {
  TfrmMain& form = Form();
  EXPECT_EQ(Page().llCleanNow->Caption(), L"Clean Now!");
  EXPECT_EQ(form.miSysViewRestorePoint->Caption(), L"View System Restore");
  form.miSysViewRestorePoint->Click();
  ASSERT_EQ(Machine().Launches().size(), 1u);
  EXPECT_EQ(Machine().Launches()[0].CommandLine, L"rstrui");

  // Nothing chosen: Clean Now is refused, and holds for no later scan.
  for (TCheckBox* box :
       {Page().cbRegistryFix, Page().cbJunkFilesClean, Page().cbSystemOptimization})
    box->Click();
  Page().llCleanNow->Click();
  EXPECT_EQ(FBox.Texts, std::vector<std::wstring>{L"Please select something."});
  EXPECT_FALSE(form.ClearNow());
  Page().cbJunkFilesClean->Click();
  FBox.Answers = {mr::No};
  form.actScan->Execute();
  EXPECT_FALSE(Page().llCleanNow->Enabled());
  ASSERT_TRUE(Idle());
  EXPECT_EQ(FBox.Texts.back(), kCureQuestion);
  EXPECT_TRUE(Machine().HasFile(kJunk + L"a.tmp"));

  // From the Results state it scans again and repairs unasked.
  Page().llCleanNow->Click();
  ASSERT_TRUE(Idle());
  EXPECT_EQ(FBox.Texts.size(), 2u);
  EXPECT_FALSE(Machine().HasFile(kJunk + L"a.tmp"));
  EXPECT_EQ(Buttons(), kReady);
}

TEST_F(MainWindowTest, AFileThatCouldNotBeDeletedIsNotCountedAndStaysWithItsReason) {
  Machine().FailDeleteFile(kJunk + L"b.tmp", err::AccessDenied);
  TfrmMain& form = Form();
  FBox.Answers = {mr::Yes};
  ASSERT_TRUE(Press(L"Scan"));
  EXPECT_TRUE(Machine().HasFile(kJunk + L"b.tmp"));
  EXPECT_EQ(form.CategoryFixedCount(tcCJunkFile), 1);
  EXPECT_EQ(form.CategoryFixedCount(tcARegFix), 1);
  // The rest waits in the Results state, to be tried again or replaced by a new scan.
  EXPECT_EQ(Buttons(), kResults);
  EXPECT_EQ(Page().btnMaintainScan->Action(), form.actCure);
  EXPECT_EQ(Page().lblInfo->Caption(), L"Some items could not be repaired. They are still listed.");
  EXPECT_EQ(Page().lblResultRegistryFix->Caption(), L"No problem.");
  EXPECT_FALSE(Page().lblResultJunkFiles->Visible());
  EXPECT_TRUE(Page().llResultJunkFiles->Visible());
  EXPECT_EQ(Page().llResultJunkFiles->Caption(), L"1 fixed, 1 not repaired.");
  EXPECT_EQ(OpenResults(Page(), tcCJunkFile,
                        [](TfrmScanedResult& aDialog) {
                          ASSERT_EQ(aDialog.lvResult->Items().Count(), 1);
                          const TListItem& row = aDialog.lvResult->Items().Item(0);
                          EXPECT_EQ(row.SubItems().Strings(0),
                                    L"Junk file - not repaired: Windows did not allow the "
                                    L"change, or it is no longer where it was found");
                          EXPECT_EQ(row.SubItems().Strings(2), kJunk + L"b.tmp");
                          EXPECT_TRUE(row.Checked());
                        }),
            1);
  // Trying again tries only what is left.
  EXPECT_EQ(form.FigCure().GetCheckedItem(), 1);
  ASSERT_TRUE(Press(L"Cure"));
  EXPECT_EQ(Buttons(), kResults);
  EXPECT_EQ(form.CategoryFixedCount(tcCJunkFile), 1);

  // What is left and then ignored is no longer counted as not repaired.
  OpenResults(Page(), tcCJunkFile, [](TfrmScanedResult& aDialog) {
    aDialog.lvResult->Items().Item(0).SetSelected(true);
    aDialog.miIgnoreItem->Click();
  });
  EXPECT_FALSE(Page().llResultJunkFiles->Visible());
  EXPECT_EQ(Page().lblResultJunkFiles->Caption(), L"No problem.");
}

TEST_F(MainWindowTest, AFileOpenInAnotherProgramIsCountedAsLeftInUse) {
  Machine().FailDeleteFile(kJunk + L"b.tmp", err::SharingViolation);
  TfrmMain& form = Form();
  FBox.Answers = {mr::Yes};
  ASSERT_TRUE(Press(L"Scan"));
  EXPECT_TRUE(Machine().HasFile(kJunk + L"b.tmp"));
  EXPECT_EQ(form.CategoryFixedCount(tcCJunkFile), 1);
  EXPECT_EQ(Buttons(), kResults);
  EXPECT_EQ(Page().llResultJunkFiles->Caption(), L"1 fixed, 0 not repaired, 1 left in use.");
  EXPECT_EQ(OpenResults(Page(), tcCJunkFile,
                        [](TfrmScanedResult& aDialog) {
                          ASSERT_EQ(aDialog.lvResult->Items().Count(), 1);
                          EXPECT_EQ(aDialog.lvResult->Items().Item(0).SubItems().Strings(0),
                                    L"Junk file - not repaired: it is open in another program; "
                                    L"close that program and repair again");
                        }),
            1);
}

TEST_F(MainWindowTest, ARunningProgramIsNamedAndItsFindingsSkippedOrTriedAgain) {
  std::string topics = kTopicFile;
  topics.insert(topics.find("[TOPIC_1]"), "PROCESS=chrome.exe\n");
  Machine().AddTextFile(kProgram + L"data\\topic.db", topics);
  Machine().StartProgram(L"chrome.exe");
  const std::wstring prompt = L"Close Google Chrome to clean Old files. Choose Retry once it is "
                              L"closed, or Ignore to skip these items this time.";
  Form();
  FBox.Answers = {mr::Yes, mr::Ignore};
  ASSERT_TRUE(Press(L"Scan"));
  ASSERT_EQ(FBox.Texts.size(), 2u);
  EXPECT_EQ(FBox.Texts[1], prompt);
  EXPECT_TRUE(Machine().HasFile(kJunk + L"a.tmp"));

  FBox.Texts.clear();
  FBox.Answers = {mr::Yes, mr::Retry, mr::Retry};
  int prompts = 0;
  FBox.WhileShown = [&](const std::wstring& aText) {
    // Asked again while it still runs; closed the second time.
    if (aText == prompt && ++prompts == 2)
      Machine().EndProgram(L"chrome.exe");
  };
  ASSERT_TRUE(Press(L"Scan"));
  EXPECT_EQ(prompts, 2);
  EXPECT_FALSE(Machine().HasFile(kJunk + L"a.tmp"));
}

TEST_F(MainWindowTest, AnOptimisationTheRegistryEditorDidNotApplyIsToldAndNotCounted) {
  Machine().AddTextFile(
      kProgram + L"data\\topic.db",
      std::string(kTopicFile) +
          "[TOPIC_4]\nNAME=TestMenuDelay\nCategory=tcDSystemOptimization\nENABLED=1\n"
          "Rule_Caption=Menu delay\nRule=rsRegistryBoostOrFix\nLEVEL=2\n"
          "LOCATION_0=lsRegistryItem,HKEY_CURRENT_USER\\Control Panel\\Desktop\n"
          "REGITEM_0='\"MenuShowDelay\"=\"200\"'\n");
  Machine().SetRegString(regroot::CurrentUser, L"Control Panel\\Desktop", L"MenuShowDelay", L"400");
  Machine().SetLaunchHandler([](const TProcessStart&, TProcessResult& aResult) {
    aResult.Finished = true;
    aResult.ExitCode = 1;
    return err::Success;
  });
  TfrmMain& form = Form();
  Page().cbRegistryFix->Click();
  Page().cbJunkFilesClean->Click();
  FBox.Answers = {mr::Yes};
  ASSERT_TRUE(Press(L"Scan"));
  ASSERT_EQ(form.CategoryCount(tcDSystemOptimization), 1);
  ASSERT_EQ(FBox.Texts.size(), 2u);
  EXPECT_EQ(FBox.Texts[1].rfind(L"The system optimization changes were not applied: ", 0), 0u)
      << ToUtf8(FBox.Texts[1]);
  EXPECT_EQ(form.CategoryFixedCount(tcDSystemOptimization), 0);
  EXPECT_EQ(Buttons(), kResults);
  EXPECT_EQ(Page().llResultSystemOptimization->Caption(), L"0 fixed, 1 not repaired.");
  OpenResults(Page(), tcDSystemOptimization, [](TfrmScanedResult& aDialog) {
    ASSERT_EQ(aDialog.lvResult->Items().Count(), 1);
    EXPECT_EQ(aDialog.lvResult->Items().Item(0).SubItems().Strings(0),
              L"Need registry boost or fix - not repaired: the registry editor did not apply it");
  });
}

TEST_F(MainWindowTest, ATopicDatabaseThatCannotBeUsedIsNamedAndNothingCanBeScanned) {
  const std::wstring file = kProgram + L"data\\topic.db";
  struct TCase {
    const char* Content; // nullptr: no file
    std::wstring Why;
  };
  const TCase cases[] = {
      {nullptr, L"The topic database \"" + file + L"\""},
      {"[GLOBAL]\nMAGICWORD=LEAF\nDATETIME=12/9/2026\n",
       L"\"" + file + L"\" is not a topic database"},
      {"[GLOBAL]\nMAGICWORD=FIG\nDATETIME=31/31/2026\n", L"\"31/31/2026\" is not a valid date"},
      {"[GLOBAL]\nMAGICWORD=FIG\nDATETIME=12/9/2026\n",
       L"\"" + file + L"\": the file holds no topic."}};
  FKeepLaunchTimer = true;
  for (const TCase& test : cases) {
    SCOPED_TRACE(ToUtf8(test.Why));
    FForm.reset();
    FBox.Texts.clear();
    if (test.Content == nullptr)
      ASSERT_EQ(Platform().Files().DeleteFile(file), err::Success);
    else
      Machine().AddTextFile(file, test.Content);
    TfrmMain& form = Form();
    ASSERT_EQ(FBox.Texts.size(), 1u);
    const std::wstring& text = FBox.Texts[0];
    EXPECT_EQ(text.rfind(L"The topic database cannot be used: ", 0), 0u) << ToUtf8(text);
    EXPECT_NE(text.find(test.Why), std::wstring::npos) << ToUtf8(text);
    EXPECT_EQ(form.TopicDbProblem().empty(), false);
    // The reason stays in view, and neither the user nor the launch timer can start a scan.
    EXPECT_EQ(Page().lblInfo->Caption(), text);
    EXPECT_EQ(Button(L"Scan"), KDisabled);
    EXPECT_FALSE(Page().btnMaintainScan->Enabled());
    EXPECT_FALSE(Page().llCleanNow->Enabled());
    form.actScan->Execute();
    form.actCleanNow->Execute();
    Machine().AdvanceMs(2500);
    FMain.ProcessMessages();
    EXPECT_FALSE(form.FigEngine().IsRunning());
    EXPECT_EQ(FBox.Texts.size(), 1u);
  }
}

} // namespace

TEST_F(MainWindowTest, AnIgnoredFindingLeavesTheResultListAtOnceAndForGood) {
  TfrmMain& form = Form();
  FBox.Answers = {mr::No};
  form.actScan->Execute();
  ASSERT_TRUE(Idle());
  const auto positions = [](const TfrmScanedResult& aDialog) {
    std::vector<std::wstring> shown;
    for (int i = 0; i < aDialog.lvResult->Items().Count(); ++i)
      shown.push_back(aDialog.lvResult->Items().Item(i).SubItems().Strings(2));
    return shown;
  };
  const auto choose = [](TfrmScanedResult& aDialog, int aRow, TMenuItem* aEntry) {
    aDialog.lvResult->Items().Item(aRow).SetSelected(true);
    // The menu the right mouse button (or the keyboard's menu key) opens.
    aDialog.lvResult->MouseUp(TMouseButton::mbRight, 0, 4, 4);
    EXPECT_TRUE(aEntry->Enabled());
    aEntry->Click();
  };
  OpenResults(Page(), tcCJunkFile, [&](TfrmScanedResult& aDialog) {
    ASSERT_EQ(positions(aDialog), (std::vector<std::wstring>{kJunk + L"a.tmp", kJunk + L"b.tmp"}));
    choose(aDialog, 1, aDialog.miIgnoreItem);
    EXPECT_EQ(positions(aDialog), (std::vector<std::wstring>{kJunk + L"a.tmp"}));
    // The page behind the dialog counts one problem fewer at once.
    EXPECT_EQ(Page().llResultJunkFiles->Caption(), L"1 problem(s).");
    aDialog.btnOk->Click();
  });
  OpenResults(Page(), tcARegFix, [&](TfrmScanedResult& aDialog) {
    choose(aDialog, 0, aDialog.miIgnoreFolder);
    EXPECT_EQ(aDialog.lvResult->Items().Count(), 0);
  });
  EXPECT_FALSE(Page().llResultRegistryFix->Visible());
  EXPECT_TRUE(Page().lblResultRegistryFix->Visible());
  EXPECT_EQ(Page().lblResultRegistryFix->Caption(), L"No problem.");
  OpenResults(Page(), tcCJunkFile, [&](TfrmScanedResult& aDialog) {
    EXPECT_EQ(positions(aDialog), (std::vector<std::wstring>{kJunk + L"a.tmp"}));
  });

  // Nothing ignored is repaired.
  form.actCure->Execute();
  ASSERT_TRUE(Idle());
  EXPECT_FALSE(Machine().HasFile(kJunk + L"a.tmp"));
  EXPECT_TRUE(Machine().HasFile(kJunk + L"b.tmp"));
  EXPECT_TRUE(Machine().RegKeyExists(regroot::CurrentUser, kAppPaths + L"\\gone.exe"));

  // The folder of a file takes every file in it along.
  Machine().AddFile(kJunk + L"a.tmp", 10);
  form.FigEngine().ResetStatus();
  form.actScan->Execute();
  ASSERT_TRUE(Idle());
  EXPECT_EQ(Page().llResultJunkFiles->Caption(), L"1 problem(s).");
  OpenResults(Page(), tcCJunkFile, [&](TfrmScanedResult& aDialog) {
    choose(aDialog, 0, aDialog.miIgnoreFolder);
    EXPECT_EQ(aDialog.lvResult->Items().Count(), 0);
  });
  TFigExclusions list;
  ASSERT_TRUE(list.Load(form.FigEngine().ExclusionsFile()));
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Items()[0].Place, kJunk + L"b.tmp");
  EXPECT_EQ(list.Items()[1].Place, L"HKEY_CURRENT_USER\\" + kAppPaths + L"\\gone.exe");
  EXPECT_EQ(list.Items()[2].Place, L"C:\\Work\\junk");
}

TEST_F(MainWindowTest, IgnoringIntoADamagedListChangesNothingAndSaysWhy) {
  TfrmMain& form = Form();
  FBox.Answers = {mr::No};
  form.actScan->Execute();
  ASSERT_TRUE(Idle());
  Machine().AddTextFile(form.FigEngine().ExclusionsFile(), "C:\\Keep\r\nno place\r\n");
  OpenResults(Page(), tcCJunkFile, [&](TfrmScanedResult& aDialog) {
    aDialog.lvResult->Items().Item(0).SetSelected(true);
    aDialog.miIgnoreItem->Click();
    EXPECT_EQ(aDialog.lvResult->Items().Count(), 2);
  });
  ASSERT_FALSE(FBox.Texts.empty());
  EXPECT_NE(FBox.Texts.back().find(L"is damaged (line 2 is no place)"), std::wstring::npos);
  EXPECT_EQ(Machine().FileContent(form.FigEngine().ExclusionsFile()),
            (std::vector<uint8_t>{'C', ':', '\\', 'K', 'e', 'e', 'p', '\r', '\n', 'n', 'o', ' ',
                                  'p', 'l', 'a', 'c', 'e', '\r', '\n'}));
}
