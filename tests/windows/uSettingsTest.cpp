#include "windows/uSettings.h"

#include "appengine/FigEngineSettings.h"
#include "base/CLDateUtils.h"
#include "base/CLSettings.h"
#include "components/CLFileDialog.h"
#include "engine/FigEngine.h"
#include "engine/FigExclusions.h"
#include "platform/TextCodec.h"
#include "support/FakeServer.h"
#include "support/Winapp2Sample.h"
#include "support/WindowTest.h"

#include <string>
#include <vector>

namespace {

using namespace kplat;

class SettingsWindow : public WindowTest {
protected:
  SettingsWindow() {
    Program().Settings("App.Name=Kestrova\nRegFix.AppPaths=1\nRegFix.Fonts=0\n"
                       "PrivacySweep.Cookies=1\nPrivacySweep.History=1\n"
                       "PrivacySweep.Recent=0\nJunkFiles.Temp=1\n"
                       "SystemOptimization.CO=2\nSystemOptimization.NO=9\n"
                       "AutoScan.Enabled=1\nAutoScan.LaunchHour=12\nAutoScan.LaunchMin=30\n"
                       "AutoScan.ScanMode=2\nAutoScan.Action0=1\nAutoScan.Action1=0\n"
                       "AutoScan.Action2=1\nAutoScan.LaunchOnce.Launched=1\n"
                       "Backup.MaxBackup=7\nRecommend.RegFix.Fonts=1\n"
                       "Recommend.SystemOptimization.CO=1\nRecommend.Backup.MaxBackup=20\n");
    AddTopic(L"AppPaths", L"tcARegFix", L"Application paths", L"");
    AddTopic(L"Fonts", L"tcARegFix", L"Fonts", L"");
    AddTopic(L"Cookies", L"tcBPrivacySweep", L"Cookies", L"Internet Explorer");
    AddTopic(L"History", L"tcBPrivacySweep", L"History", L"Internet Explorer");
    AddTopic(L"Recent", L"tcBPrivacySweep", L"Recent documents", L"Windows");
    AddTopic(L"Temp", L"tcCJunkFile", L"Temporary files", L"");
  }
  void AddTopic(const std::wstring& aName, const std::wstring& aCategory,
                const std::wstring& aCaption, const std::wstring& aRoot) {
    TFigTopic* topic = FFigEngine.GetTopic(FFigEngine.AddTopic(aName));
    topic->ValueList().Add(L"Category=" + aCategory);
    topic->ValueList().Add(L"Rule_Caption=" + aCaption);
    topic->ValueList().Add(L"Root_Caption=" + aRoot);
  }

  static TTreeNode& Root(TfrmSettings& aWindow, int aIndex) {
    return aWindow.tvPSList->Items().Root(aIndex);
  }

  TFigEngine FFigEngine;
};

// The community rules of the sample file, three of whose entries apply here.
class SettingsApplications : public SettingsWindow {
protected:
  SettingsApplications() {
    const std::string_view sample = kWinapp2Sample;
    Machine().AddFileContent(kRules, {sample.begin(), sample.end()});
    Machine().AddRegKey(regroot::CurrentUser, L"Software\\Alpha");
    Machine().AddFile(L"C:\\Program Files\\Beta Quest\\beta.exe");
  }
  static TTreeNode& Applications(TfrmSettings& aWindow) {
    return aWindow.tvPSList->Items().Root(aWindow.tvPSList->Items().RootCount() - 1);
  }
  // Category, entry and tick of every node below "Applications".
  static std::vector<std::wstring> Branch(TfrmSettings& aWindow) {
    std::vector<std::wstring> lines;
    TTreeNode& root = Applications(aWindow);
    for (int c = 0; c < root.Count(); ++c)
      for (int e = 0; e < root.Item(c).Count(); ++e)
        lines.push_back(root.Item(c).Text() + L"/" + root.Item(c).Item(e).Text() +
                        (root.Item(c).Item(e).Checked() ? L" ticked" : L""));
    return lines;
  }

  const std::wstring kRules = L"C:\\Rules\\Winapp2.ini";
};

} // namespace

TEST_F(SettingsWindow, ShowsTheTopicsAndTheStoredChoices) {
  TfrmSettings window(nullptr, FFigEngine);
  EXPECT_EQ(window.Caption(), L"Settings");
  ASSERT_EQ(window.lbRegistryFixList->Items().Count(), 2);
  EXPECT_EQ(window.lbRegistryFixList->Items().Strings(0), L"Application paths");
  EXPECT_TRUE(window.lbRegistryFixList->Checked(0));
  EXPECT_FALSE(window.lbRegistryFixList->Checked(1));
  EXPECT_TRUE(window.lbJunkFiles->Checked(0));

  // Roots by their caption; a root is ticked when every child is.
  ASSERT_EQ(window.tvPSList->Items().RootCount(), 2);
  EXPECT_EQ(Root(window, 0).Text(), L"Internet Explorer");
  EXPECT_EQ(Root(window, 0).Count(), 2);
  EXPECT_TRUE(Root(window, 0).Checked());
  EXPECT_FALSE(Root(window, 1).Checked());
  EXPECT_TRUE(window.tvPSList->Checkboxes());

  EXPECT_EQ(window.cbSOCO->ItemIndex(), 2);
  EXPECT_EQ(window.cbSONO->ItemIndex(), -1);
  EXPECT_TRUE(window.cbASEnabled->Checked());
  EXPECT_TRUE(window.cbASSModeEveryWeek->Checked());
  EXPECT_EQ(window.edtASHour->Text(), L"12");
  EXPECT_EQ(window.edtASMin->Text(), L"30");
  EXPECT_TRUE(window.lbASAction->Checked(0));
  EXPECT_FALSE(window.lbASAction->Checked(1));
  EXPECT_EQ(window.edtMaxBackupFile->Value(), 7);

  // Choosing the disabled radio disables the schedule's controls, and back.
  window.cbASDisabled->Click();
  EXPECT_FALSE(window.edtASHour->Enabled());
  EXPECT_FALSE(window.lbASAction->Enabled());
  window.cbASEnabled->Click();
  EXPECT_TRUE(window.cbASSModeOnce->Enabled());

  // Pages by number, each with its node selected.
  EXPECT_EQ(window.Page(), 0);
  window.SetPage(13);
  EXPECT_TRUE(window.pnlSystemOptimization->Visible());
  EXPECT_FALSE(window.pnlGeneralSettings->Visible());
  EXPECT_EQ(window.tvSettingsList->Selected()->Text(), L"System Optimization");
  window.SetPage(4);
  EXPECT_TRUE(window.pnlIgnoreList->Visible());
  EXPECT_EQ(window.tvSettingsList->Selected()->Text(), L"Exclusions");
  // The interface page has no node: the selection stays.
  window.SetPage(5);
  EXPECT_TRUE(window.pnlUserInterface->Visible());
  EXPECT_EQ(window.tvSettingsList->Selected()->Text(), L"Exclusions");
  window.SetPage(4);
  window.SetPage(1);
  window.SetPage(7);
  EXPECT_EQ(window.Page(), 4);

  // A click on a node shows its page once the tree is expanded.
  window.ShowForm();
  EXPECT_FALSE(window.Init());
  const int row = window.tvSettingsList->ItemHeight();
  window.tvSettingsList->MouseUp(TMouseButton::mbLeft, 0, 10, row * 8 + row / 2);
  EXPECT_TRUE(window.pnlUpdate->Visible());
  window.tvSettingsList->MouseUp(TMouseButton::mbLeft, 0, 10, row + row / 2);
  EXPECT_TRUE(window.pnlUpdate->Visible());
}

TEST_F(SettingsWindow, APressOnAPrivacyRootGivesItsChildrenItsTick) {
  TfrmSettings window(nullptr, FFigEngine);
  window.tvPSList->FullExpand();
  Root(window, 0).SetChecked(false);
  const int row = window.tvPSList->ItemHeight();
  window.tvPSList->MouseDown(TMouseButton::mbLeft, 0, 10, row / 2);
  EXPECT_FALSE(Root(window, 0).Item(0).Checked());
  EXPECT_FALSE(Root(window, 0).Item(1).Checked());
  // A child has no children: nothing changes.
  window.tvPSList->MouseDown(TMouseButton::mbLeft, 0, 10, row + row / 2);
  EXPECT_FALSE(Root(window, 0).Item(0).Checked());
}

TEST_F(SettingsWindow, SaveStoresEveryChoiceAndTheRunEntry) {
  TCLSettings& settings = GetCLSettings();
  {
    TfrmSettings window(nullptr, FFigEngine);
    window.Save();
    // The same launch time keeps the launch-once mark.
    EXPECT_TRUE(settings.GetSettingBool(L"AutoScan.LaunchOnce.Launched"));

    window.lbRegistryFixList->ToggleByUser(1);
    window.edtASMin->SetText(L"31");
    window.cbStartup->SetChecked(true);
    window.cbASWLogin->SetChecked(true);
    window.cbSONO->SelectByUser(3);
    window.edtMaxBackupFile->SetText(L"250");
    window.btnApply->Click();
  }
  EXPECT_TRUE(settings.GetSettingBool(L"RegFix.Fonts"));
  EXPECT_FALSE(settings.GetSettingBool(L"AutoScan.LaunchOnce.Launched"));
  EXPECT_EQ(settings.GetSettingString(L"AutoScan.LaunchMin"), L"31");
  EXPECT_EQ(settings.GetSettingInteger(L"SystemOptimization.NO"), 3);
  EXPECT_EQ(settings.GetSettingInteger(L"Backup.MaxBackup"), 100);
  EXPECT_EQ(settings.GetSettingInteger(L"AutoScan.ScanMode"), 2);
  // Log-on sweep wins over start with Windows.
  const std::wstring data =
      Machine().GetRegString(regroot::CurrentUser, kRunKey, L"Kestrova").value_or(L"");
  EXPECT_EQ(data, L"\"" + Machine().System().GetProgramPath() + L"\" AutoSweep");
  EXPECT_TRUE(FBox.Texts.empty());

  // No action ticked: the user is told and the schedule is off, even when it already was.
  TfrmSettings window(nullptr, FFigEngine);
  window.cbASDisabled->SetChecked(true);
  for (int i = 0; i < 3; ++i)
    window.lbASAction->SetChecked(i, false);
  window.cbASWLogin->SetChecked(false);
  window.cbStartup->SetChecked(false);
  window.btnOk->Click();
  ASSERT_EQ(FBox.Texts.size(), 1u);
  EXPECT_EQ(FBox.Texts[0].rfind(L"Please select at least one action", 0), 0u);
  EXPECT_FALSE(settings.GetSettingBool(L"AutoScan.Enabled"));
  EXPECT_FALSE(Machine().GetRegValue(regroot::CurrentUser, kRunKey, L"Kestrova"));
}

TEST_F(SettingsWindow, SavingOnAFullDiskKeepsTheFileAndSaysSo) {
  TCLSettings& settings = GetCLSettings();
  const auto before = Machine().FileContent(settings.UserDataPath() + L"setting.dat");
  ASSERT_TRUE(before.has_value());
  TfrmSettings window(nullptr, FFigEngine);
  window.edtASMin->SetText(L"45");
  Machine().SetDiskSpace(10);
  window.btnOk->Click();
  ASSERT_EQ(FBox.Texts.size(), 1u);
  EXPECT_EQ(FBox.Texts[0].rfind(L"The settings could not be saved", 0), 0u)
      << ToUtf8(FBox.Texts[0]);
  EXPECT_EQ(Machine().FileContent(settings.UserDataPath() + L"setting.dat"), before);
  // The choice holds for this run.
  EXPECT_EQ(settings.GetSettingString(L"AutoScan.LaunchMin"), L"45");
}

TEST_F(SettingsWindow, RecommendedSetsOnlyTheControls) {
  TCLSettings& settings = GetCLSettings();
  const auto before = Machine().FileContent(settings.UserDataPath() + L"setting.dat");
  {
    TfrmSettings window(nullptr, FFigEngine);
    window.btnRecommend->Click();
    EXPECT_TRUE(window.lbRegistryFixList->Checked(1));
    EXPECT_FALSE(window.lbRegistryFixList->Checked(0));
    EXPECT_FALSE(Root(window, 0).Item(0).Checked());
    EXPECT_EQ(window.cbSOCO->ItemIndex(), 1);
    EXPECT_TRUE(window.cbASSModeEveryDay->Checked());
    EXPECT_EQ(window.edtASHour->Text(), L"12");
    EXPECT_EQ(window.edtASMin->Text(), L"00");
    EXPECT_TRUE(window.lbASAction->Checked(1));
    EXPECT_EQ(window.edtMaxBackupFile->Value(), 20);
    window.btnCancel->Click();
  }
  EXPECT_FALSE(settings.GetSettingBool(L"RegFix.Fonts"));
  EXPECT_EQ(settings.GetSettingInteger(L"SystemOptimization.CO"), 2);
  EXPECT_EQ(settings.GetSettingString(L"AutoScan.LaunchMin"), L"30");
  EXPECT_EQ(Machine().FileContent(settings.UserDataPath() + L"setting.dat"), before);
}

TEST_F(SettingsWindow, AnUnreadableLaunchTimeShowsNowPlusFiveMinutes) {
  const TDateTime now = *TryEncodeDateTime({2026, 12, 9, 23, 57, 0, 0});
  // File times count 100 ns from 1601, 109205 days before the date's epoch.
  Machine().SetLocalOffsetMinutes(0);
  Machine().SetNow(static_cast<TFileTime>((now + 109205.0) * 864000000000.0));
  GetCLSettings().SetSettingstring(L"AutoScan.LaunchMin", L"half past");
  TfrmSettings window(nullptr, FFigEngine);
  EXPECT_EQ(window.edtASHour->Text(), L"00");
  EXPECT_EQ(window.edtASMin->Text(), L"02");
}

TEST_F(SettingsWindow, ALaunchTimeOffTheClockIsStoredAsTheNearestTimeOnIt) {
  TCLSettings& settings = GetCLSettings();
  TfrmSettings window(nullptr, FFigEngine);
  struct TTyped {
    const wchar_t* Text;
    const wchar_t* Hour;
    const wchar_t* Minute;
  };
  for (const TTyped& typed :
       {TTyped{L"25", L"23", L"25"}, TTyped{L"99", L"23", L"59"}, TTyped{L"ab", L"0", L"0"},
        TTyped{L"-3", L"0", L"0"}, TTyped{L"", L"0", L"0"}, TTyped{L" 7", L"7", L"7"}}) {
    window.edtASHour->SetText(typed.Text);
    window.edtASMin->SetText(typed.Text);
    window.btnApply->Click();
    EXPECT_EQ(settings.GetSettingString(L"AutoScan.LaunchHour"), typed.Hour) << ToUtf8(typed.Text);
    EXPECT_EQ(settings.GetSettingString(L"AutoScan.LaunchMin"), typed.Minute) << ToUtf8(typed.Text);
    EXPECT_EQ(window.edtASHour->Text(), typed.Hour);
  }
  // A time on the clock is stored as typed; the launch-once mark goes only with a changed text.
  window.edtASHour->SetText(L"23");
  window.edtASMin->SetText(L"05");
  window.btnApply->Click();
  EXPECT_EQ(settings.GetSettingString(L"AutoScan.LaunchMin"), L"05");
  settings.SetSettingBool(L"AutoScan.LaunchOnce.Launched", true);
  window.edtASHour->SetText(L"24");
  window.btnApply->Click();
  EXPECT_TRUE(settings.GetSettingBool(L"AutoScan.LaunchOnce.Launched"));
  window.edtASMin->SetText(L"5");
  window.btnApply->Click();
  EXPECT_FALSE(settings.GetSettingBool(L"AutoScan.LaunchOnce.Launched"));
  EXPECT_TRUE(FBox.Texts.empty());
}

TEST_F(SettingsWindow, HiddenBoxesAreStoredAndTheGeneralButtonsAct) {
  TCLSettings& settings = GetCLSettings();
  settings.SetSettingstring(L"URL.help", L"http://help.example/kestrova");
  settings.SetMessageShowAgainFlag(7, false);
  settings.SetMessageShowAgainResult(7, 6);
  TfrmSettings window(nullptr, FFigEngine);
  for (TCheckBox* hidden : {window.cbMinimize, window.cbCleanedShutdown, window.cbShowGuide,
                            window.cbShowBalloon, window.cbASWLogoff}) {
    EXPECT_FALSE(hidden->Visible());
    hidden->SetChecked(true);
  }
  window.btnApply->Click();
  for (const wchar_t* name : {L"General.Minimize", L"General.CleanedShutdown", L"General.ShowGuide",
                              L"General.ShowBalloon", L"AutoSweep.Logoff"})
    EXPECT_TRUE(settings.GetSettingBool(name)) << ToUtf8(name);

  window.btnClearShowAgainFlag->Click();
  EXPECT_TRUE(settings.GetMessageShowAgainFlag(7));

  window.llSOHelp->Click();
  ASSERT_EQ(Machine().ShellExecutions().size(), 1u);
  EXPECT_EQ(
      Machine().ShellExecutions()[0].File.rfind(L"http://help.example/kestrova?ACTION=help&", 0),
      0u)
      << ToUtf8(Machine().ShellExecutions()[0].File);
}

TEST_F(SettingsWindow, RecommendedEnablesTheScheduleAndTicksRootsWithoutChildren) {
  GetCLSettings().SetSettingBool(L"AutoScan.Enabled", false);
  TfrmSettings window(nullptr, FFigEngine);
  EXPECT_TRUE(window.cbASDisabled->Checked());
  EXPECT_FALSE(window.cbASSModeEveryDay->Enabled());
  EXPECT_FALSE(window.edtASMin->Enabled());
  TTreeNode& empty = window.tvPSList->Items().Add(L"Nothing below");
  window.btnRecommend->Click();
  EXPECT_TRUE(window.cbASEnabled->Checked());
  for (TControl* control : std::initializer_list<TControl*>{
           window.cbASSModeOnce, window.cbASSModeEveryDay, window.cbASSModeEveryWeek,
           window.cbASSModeEveryMonth, window.edtASHour, window.edtASMin, window.lbASAction})
    EXPECT_TRUE(control->Enabled()) << ToUtf8(control->Name());
  EXPECT_TRUE(empty.Checked());
  // A root with an unticked child stays unticked.
  EXPECT_FALSE(Root(window, 1).Checked());
}

// The optimisation page lists what the chosen profiles change, links each change to its
// documentation and says when a choice adds nothing of its own.
TEST_F(SettingsWindow, OptimisationPageShowsWhatTheChosenProfilesChange) {
  auto addOptimization = [&](const wchar_t* aName, int aLevel, const std::wstring& aReference) {
    AddTopic(aName, L"tcDSystemOptimization", std::wstring(aName) + L" caption", L"Desktop");
    TFigTopic* topic = FFigEngine.GetTopicByName(aName);
    topic->ValueList().Add(L"LEVEL=" + std::to_wstring(aLevel));
    if (!aReference.empty())
      topic->ValueList().Add(L"REFERENCE=" + aReference);
  };
  const std::wstring menuDoc = L"https://learn.microsoft.com/menu";
  addOptimization(L"Menu", 2, menuDoc);
  addOptimization(L"Animation", 4, L"https://learn.microsoft.com/animation");
  addOptimization(L"Network", 14, L"");
  TfrmSettings window(nullptr, FFigEngine);
  auto captions = [&] {
    std::vector<std::wstring> shown;
    for (TTreeNode* node : window.tvSOTopics->Items().All())
      shown.push_back(node->Text());
    return shown;
  };

  // Usage 2 reaches levels up to 4; no network is chosen.
  EXPECT_EQ(captions(), (std::vector<std::wstring>{L"Menu caption", L"Animation caption"}));
  EXPECT_FALSE(window.lblSONothing->Visible());
  EXPECT_FALSE(window.llSOReference->Visible());
  EXPECT_FALSE(window.lblSOCaption->Visible());
  window.tvSOTopics->SetSelected(&window.tvSOTopics->Items().Root(0));
  EXPECT_TRUE(window.llSOReference->Visible());
  EXPECT_EQ(window.llSOReference->Caption(), menuDoc);
  // The whole caption, however long, reads below the list.
  EXPECT_TRUE(window.lblSOCaption->Visible());
  EXPECT_TRUE(window.lblSOCaption->WordWrap());
  EXPECT_EQ(window.lblSOCaption->Caption(), L"Menu caption");
  window.llSOReference->Click();
  const auto opened = Machine().ShellExecutions();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].File, menuDoc);

  // A usage without a topic of its own, then networks with and without one.
  window.cbSOCO->SelectByUser(1);
  EXPECT_EQ(captions(), (std::vector<std::wstring>{L"Menu caption"}));
  EXPECT_FALSE(window.llSOReference->Visible());
  EXPECT_TRUE(window.lblSONothing->Visible());
  EXPECT_EQ(window.lblSONothing->Caption(),
            L"Choosing this computer usage adds no optimisation of its own.");
  window.cbSOCO->SelectByUser(0);
  window.cbSONO->SelectByUser(2);
  EXPECT_EQ(captions(), (std::vector<std::wstring>{L"Menu caption", L"Network caption"}));
  EXPECT_FALSE(window.lblSONothing->Visible());
  window.cbSONO->SelectByUser(3);
  EXPECT_EQ(window.lblSONothing->Caption(),
            L"Choosing this network adds no optimisation of its own.");
}

TEST_F(SettingsWindow, TheExclusionsPageAddsChangesAndRemovesPlacesAndStoresThemWithTheRest) {
  const std::wstring file = ExclusionsFileIn(GetCLSettings().UserDataPath());
  const auto shown = [](const TfrmSettings& aWindow) {
    std::vector<std::wstring> places;
    for (int i = 0; i < aWindow.tvExclusions->Items().RootCount(); ++i)
      places.push_back(aWindow.tvExclusions->Items().Root(i).Text());
    return places;
  };
  {
    TfrmSettings window(nullptr, FFigEngine);
    window.SetPage(4);
    EXPECT_TRUE(window.pnlIgnoreList->Visible());
    for (const wchar_t* place : {L"C:\\Games\\*.sav", L"HKEY_CURRENT_USER\\Software\\Example|@",
                                 L"%LocalAppData%\\Keep"}) {
      window.edtExclusion->SetText(place);
      window.btnExclusionAdd->Click();
    }
    window.edtExclusion->SetText(L"HKCU\\Software\\Example");
    window.btnExclusionAdd->Click();
    EXPECT_NE(window.lblExclusionsProblem->Caption().find(L"HKEY_CURRENT_USER"),
              std::wstring::npos);
    EXPECT_EQ(shown(window).size(), 3u);

    // Choosing a line puts it in the edit, to change or remove.
    window.tvExclusions->SetSelected(&window.tvExclusions->Items().Root(0));
    EXPECT_EQ(window.edtExclusion->Text(), L"C:\\Games\\*.sav");
    window.edtExclusion->SetText(L"C:\\Games\\Saves");
    window.btnExclusionChange->Click();
    EXPECT_TRUE(window.lblExclusionsProblem->Caption().empty());
    window.tvExclusions->SetSelected(&window.tvExclusions->Items().Root(1));
    window.btnExclusionRemove->Click();
    EXPECT_EQ(shown(window),
              (std::vector<std::wstring>{L"C:\\Games\\Saves", L"%LocalAppData%\\Keep"}));
    // Nothing is stored before OK or Apply.
    EXPECT_FALSE(Machine().HasFile(file));
    window.btnApply->Click();
  }
  TFigExclusions stored;
  ASSERT_TRUE(stored.Load(file));
  ASSERT_EQ(stored.Count(), 2);
  EXPECT_EQ(stored.Items()[1].Place, L"%LocalAppData%\\Keep");

  // A damaged list is shown as far as it reads, and cannot be changed.
  Machine().AddTextFile(file, "C:\\Keep\r\n??\r\n");
  TfrmSettings window(nullptr, FFigEngine);
  EXPECT_EQ(shown(window), (std::vector<std::wstring>{L"C:\\Keep"}));
  EXPECT_FALSE(window.btnExclusionAdd->Enabled());
  EXPECT_NE(window.lblExclusionsProblem->Caption().find(L"line 2"), std::wstring::npos);
}

TEST_F(SettingsApplications, TheChosenFilesApplyingEntriesAreOfferedByCategoryUnticked) {
  {
    TfrmSettings window(nullptr, FFigEngine);
    EXPECT_EQ(window.tvPSList->Items().RootCount(), 2);
    EXPECT_EQ(window.lblWinapp2Info->Caption(), L"No community rule file is chosen.");

    // A file chosen in the window is taken at once; a dialog closed without a choice changes
    // nothing.
    std::vector<std::wstring> answers = {L"", kRules};
    const TOpenFileChooser previous =
        SetOpenFileChooser([&](const TOpenFileRequest&, std::wstring& aFileName) {
          aFileName = answers.front();
          answers.erase(answers.begin());
          return !aFileName.empty();
        });
    window.btnWinapp2Choose->Click();
    EXPECT_EQ(window.tvPSList->Items().RootCount(), 2);
    window.btnWinapp2Choose->Click();
    SetOpenFileChooser(previous);
    EXPECT_EQ(GetCLSettings().GetSettingString(L"Winapp2.File"), kRules);
    EXPECT_EQ(window.edtWinapp2File->Text(), kRules);
    EXPECT_EQ(window.lblWinapp2Info->Caption(),
              L"Version 990101: 5 entries, 3 of them for this computer.");
    ASSERT_EQ(window.tvPSList->Items().RootCount(), 3);
  }
  // The next window reads the stored choice; the database's roots stay as they were.
  TfrmSettings window(nullptr, FFigEngine);
  ASSERT_EQ(window.tvPSList->Items().RootCount(), 3);
  EXPECT_EQ(Root(window, 0).Text(), L"Internet Explorer");
  EXPECT_EQ(Applications(window).Text(), L"Applications");
  EXPECT_FALSE(Applications(window).Checked());
  EXPECT_EQ(Branch(window),
            (std::vector<std::wstring>{L"Applications/Alpha Viewer", L"Games/Beta Quest",
                                       L"Windows/Epsilon Registry"}));
}

TEST_F(SettingsApplications, TickingAnEntryWithAWarningAsksAndATickedEntryIsScanned) {
  GetCLSettings().SetSettingstring(L"Winapp2.File", kRules);
  TfrmSettings window(nullptr, FFigEngine);
  TTreeView& tree = *window.tvPSList;
  TTreeNode& games = Applications(window).Item(1);
  TTreeNode& beta = games.Item(0);

  FBox.Answers = {mr::No};
  tree.ClickCheck(beta, true);
  ASSERT_EQ(FBox.Texts.size(), 1u);
  EXPECT_EQ(FBox.Texts[0], L"The rules for \"Beta Quest\" come with a warning: Beta Quest keeps "
                           L"its saved games beside its logs. Use them anyway?");
  EXPECT_FALSE(beta.Checked());

  // The root passes its tick down and asks only for the entry with the warning.
  FBox.Answers = {mr::Yes};
  tree.ClickCheck(Applications(window), true);
  EXPECT_EQ(FBox.Texts.size(), 2u);
  EXPECT_EQ(Branch(window), (std::vector<std::wstring>{L"Applications/Alpha Viewer ticked",
                                                       L"Games/Beta Quest ticked",
                                                       L"Windows/Epsilon Registry ticked"}));
  // An entry unticked unticks its category and the root; ticked again without a warning, no
  // question.
  tree.ClickCheck(Applications(window).Item(2).Item(0), false);
  EXPECT_FALSE(Applications(window).Item(2).Checked());
  EXPECT_FALSE(Applications(window).Checked());
  tree.ClickCheck(Applications(window).Item(0), false);
  EXPECT_EQ(FBox.Texts.size(), 2u);

  window.Save();
  TCLSettings& settings = GetCLSettings();
  EXPECT_FALSE(settings.GetSettingBool(L"PrivacySweep.Alpha Viewer"));
  EXPECT_TRUE(settings.GetSettingBool(L"PrivacySweep.Beta Quest"));
  LoadFigEngineSettings(FFigEngine, {true, true, true, true});
  EXPECT_TRUE(FFigEngine.GetTopicByName(L"Beta Quest")->Enabled());
  EXPECT_FALSE(FFigEngine.GetTopicByName(L"Alpha Viewer")->Enabled());
}

TEST_F(SettingsApplications, AFetchedFileIsOfferedAndARefusedOneKeepsTheChoice) {
  TScopedFakeServer server;
  GetCLSettings().SetSettingstring(L"URL.Winapp2", L"http://rules.example/Winapp2.ini");
  TfrmSettings window(nullptr, FFigEngine);
  server->Answer = "<html>moved</html>";
  window.btnWinapp2Fetch->Click();
  EXPECT_FALSE(window.btnWinapp2Fetch->Enabled());
  ASSERT_TRUE(RunUntil([&] { return window.btnWinapp2Fetch->Enabled(); }));
  EXPECT_EQ(window.tvPSList->Items().RootCount(), 2);
  EXPECT_NE(window.lblWinapp2Info->Caption().find(L"was not taken"), std::wstring::npos);

  server->Answer = std::string(kWinapp2Sample);
  window.btnWinapp2Fetch->Click();
  ASSERT_TRUE(RunUntil([&] { return window.btnWinapp2Fetch->Enabled(); }));
  EXPECT_EQ(window.edtWinapp2File->Text(), Winapp2CopyIn(GetCLSettings().UserDataPath()));
  EXPECT_EQ(Branch(window).size(), 3u);
}
