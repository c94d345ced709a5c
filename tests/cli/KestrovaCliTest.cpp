#include "cli/KestrovaCli.h"

#include "appengine/FigEngineSettings.h"
#include "base/CLHelpers.h"
#include "base/CLMainThread.h"
#include "base/CLSettings.h"
#include "cure/FigCure.h"
#include "engine/FigEngine.h"
#include "engine/FigExclusions.h"
#include "platform/FileIO.h"
#include "platform/RegKey.h"
#include "platform/TextCodec.h"
#include "platform/fake/FakeMachine.h"
#include "support/FakeRegEdit.h"
#include "support/ProgramFolder.h"
#include "support/RoamingProfile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace kplat;

const std::wstring kTopics = L"C:\\Work\\topics.db";
const std::wstring kJunk = L"C:\\Work\\junk";
const std::wstring kAppPaths = L"Software\\KestrovaCli\\App Paths";

class TCapture : public ICliConsole {
public:
  void Out(const std::wstring& aText) override { Output += aText; }
  void Err(const std::wstring& aText) override { Errors += aText; }
  bool ErrIsConsole() const override { return false; }
  std::wstring Output;
  std::wstring Errors;
};

// A stale application path and a junk file, each found by one topic of the test's database.
const char* const kTopicFile = "[GLOBAL]\nMAGICWORD=FIG\nDATETIME=12/9/2026\n"
                               "[TOPIC_0]\nNAME=TestAppPaths\nCategory=tcARegFix\nENABLED=1\n"
                               "LOCATION_0=lsRegistry,HKEY_CURRENT_USER\\Software\\KestrovaCli\\"
                               "App Paths\nRule=rsAppPaths\nLEVEL=2\nCHECKVALUES=0\n"
                               "FolderDepth=2\nIncludeSubFolder=1\n"
                               "[TOPIC_1]\nNAME=TestJunk\nCategory=tcCJunkFile\nENABLED=0\n"
                               "LOCATION_0=lsDisk,C:\\Work\\junk\nRule=rsJunkFile,.tmp\nLEVEL=1\n";

class KestrovaCliTest : public testing::Test {
protected:
  KestrovaCliTest() {
    InstallFakeRegEdit(Machine());
    ProgramFolder(Machine()).Settings(
        "App.Ver=1.2.3.4\nBackup.MaxBackup=10\nPath.Languages=lang\n");
    Machine().AddTextFile(kTopics, kTopicFile);
    Machine().SetRegString(regroot::CurrentUser, kAppPaths + L"\\gone.exe", L"",
                           L"C:\\Gone\\gone.exe");
    // The list's own key names a program that exists, so that only the entry below is stale.
    Machine().SetRegString(regroot::CurrentUser, kAppPaths, L"", L"C:\\Windows\\regedit.exe");
    Machine().AddTextFile(kJunk + L"\\old.tmp", "junk");
  }
  ~KestrovaCliTest() override { FreeCLSettings(); }

  fake::TFakeMachine& Machine() { return FScope.Machine(); }

  int Run(const std::vector<std::wstring>& aArgs) {
    FConsole = TCapture();
    return RunKestrovaCli(aArgs, FConsole);
  }

  bool Has(const std::wstring& aText) const {
    return FConsole.Output.find(aText) != std::wstring::npos;
  }

  fake::TFakeMachineScope FScope;
  TCLMainThreadQueue FMain{TCLIdleWait::WaitForCall};
  TCLScopedMainThread FMainScope{FMain};
  TCapture FConsole;
};

TEST_F(KestrovaCliTest, UsageErrorsExitWithTwoAndTheUsage) {
  const std::vector<std::vector<std::wstring>> wrong = {
      {},
      {L"clean"},
      {L"restore"},
      {L"restore", L"0"},
      {L"restore", L"1x"},
      {L"restore", L"1", L"2"},
      {L"scan", L"--all"},
      {L"scan", L"--category", L"windows"},
      {L"scan", L"--topics"},
      {L"backups", L"--pace"},
      {L"backups", L"0"},
      {L"backups", L"1", L"2"},
      {L"--help", L"scan"},
  };
  for (const auto& args : wrong) {
    EXPECT_EQ(Run(args), kCliUsageError) << (args.empty() ? "" : ToUtf8(args.back()));
    EXPECT_NE(FConsole.Errors.find(L"Usage:"), std::wstring::npos);
    EXPECT_TRUE(FConsole.Output.empty());
  }
  EXPECT_EQ(Run({L"--help"}), kCliSuccess);
  EXPECT_TRUE(Has(L"kestrova-cli restore N"));
  EXPECT_EQ(Run({L"--version"}), kCliSuccess);
  EXPECT_EQ(FConsole.Output, L"Kestrova 1.2.3.4\n");

  TCliOptions options;
  std::wstring error;
  ASSERT_TRUE(ParseCliArgs({L"cure", L"--category", L"junk", L"--category", L"regfix", L"--all",
                            L"--json", L"--topics", L"x.db"},
                           options, error));
  EXPECT_EQ(options.Categories, (std::vector<TTopicCategory>{tcCJunkFile, tcARegFix}));
  EXPECT_TRUE(options.All && options.Json && !options.Pace);
  EXPECT_EQ(options.TopicFile, L"x.db");
}

TEST_F(KestrovaCliTest, MissingOrCorruptTopicDatabaseExitsWithThree) {
  EXPECT_EQ(Run({L"scan", L"--topics", L"C:\\Work\\none.db"}), kCliTopicDbError);
  EXPECT_NE(FConsole.Errors.find(L"C:\\Work\\none.db"), std::wstring::npos);
  Machine().AddTextFile(L"C:\\Work\\bad.db", "[GLOBAL]\nMAGICWORD=XYZ\n");
  EXPECT_EQ(Run({L"topics", L"--topics", L"C:\\Work\\bad.db"}), kCliTopicDbError);
  EXPECT_NE(FConsole.Errors.find(L"bad.db"), std::wstring::npos);
  // Without --topics the program's own database is meant.
  EXPECT_EQ(Run({L"scan"}), kCliTopicDbError);
  EXPECT_NE(FConsole.Errors.find(kProgram + L"data\\topic.db"), std::wstring::npos);
}

TEST_F(KestrovaCliTest, TopicsListTheirCategoryRuleStateAndLocations) {
  ASSERT_EQ(Run({L"topics", L"--topics", kTopics, L"--json"}), kCliSuccess);
  EXPECT_TRUE(Has(L"{\"name\": \"TestAppPaths\", \"category\": \"tcARegFix\", \"rule\": "
                  L"\"rsAppPaths\", \"enabled\": true, \"locations\": 1}"));
  EXPECT_TRUE(Has(L"\"rule\": \"rsJunkFile\", \"enabled\": false"));
  ASSERT_EQ(Run({L"topics", L"--topics", kTopics}), kCliSuccess);
  EXPECT_TRUE(Has(L"Registry Clean"));
  EXPECT_TRUE(Has(L"Junk Files Removal"));
}

TEST_F(KestrovaCliTest, ScanCureBackupsAndRestoreRoundTrip) {
  // The file's own choice: only the registry topic.
  ASSERT_EQ(Run({L"scan", L"--topics", kTopics, L"--json"}), kCliSuccess)
      << ToUtf8(FConsole.Errors);
  EXPECT_TRUE(Has(L"\"topic\": \"TestAppPaths\", \"category\": \"tcARegFix\", \"rule\": "
                  L"\"rsAppPaths\", \"reason\": \"frAppPathNotExists\", \"message\": \"File "
                  L"[Software\\\\KestrovaCli\\\\App Paths\\\\gone.exe] is not Exists.\""));
  EXPECT_TRUE(Has(L"\"MatchedAllCount\": 1"));
  EXPECT_TRUE(Has(L"\"status\": null"));
  EXPECT_TRUE(Has(L"\"backup\": null"));

  // Both categories; the junk finding (LEVEL 1) is not checked, so only --all cures it.
  ASSERT_EQ(Run({L"cure", L"--topics", kTopics, L"--category", L"regfix", L"--category", L"junk"}),
            kCliSuccess)
      << ToUtf8(FConsole.Errors);
  EXPECT_TRUE(Has(L"Application Path not exists"));
  EXPECT_TRUE(Has(L"Cured"));
  EXPECT_TRUE(Has(L"Backup file: "));
  EXPECT_FALSE(Machine().RegKeyExists(regroot::CurrentUser, kAppPaths + L"\\gone.exe"));
  EXPECT_TRUE(Machine().HasFile(kJunk + L"\\old.tmp"));
  ASSERT_EQ(Run({L"cure", L"--topics", kTopics, L"--all-topics", L"--all", L"--json"}),
            kCliSuccess);
  EXPECT_TRUE(Has(L"\"status\": \"csCured\", \"skipped\": null, \"undo\": true}"));
  EXPECT_TRUE(Has(L"\"undo\": {\"restorableFiles\": 1, \"restorableBytes\": 4, "
                  L"\"permanentFiles\": 0, \"permanentBytes\": 0, \"sweepActions\": 0}"));
  EXPECT_FALSE(Machine().HasFile(kJunk + L"\\old.tmp"));

  // The second run backed up no registry entry but kept the file it deleted.
  ASSERT_EQ(Run({L"backups", L"--json"}), kCliSuccess) << ToUtf8(FConsole.Errors);
  EXPECT_TRUE(Has(L"{\"index\": 1, \"datetime\": \"2026-03-02 10:00:00\", \"changes\": 0"));
  EXPECT_TRUE(Has(L"\"files\": 1, \"fileBytes\": 4}"));
  EXPECT_TRUE(Has(L"{\"index\": 2, \"datetime\": \"2026-03-02 10:00:00\", \"changes\": 1"));
  // What each run changed, before it is restored.
  ASSERT_EQ(Run({L"backups", L"1", L"--json"}), kCliSuccess) << ToUtf8(FConsole.Errors);
  EXPECT_TRUE(Has(L"\"keys\": [], \"files\": [\n {\"path\": \"C:\\\\Work\\\\junk\\\\old.tmp\", "
                  L"\"size\": 4, \"sha256\": "
                  L"\"ef875a1705a5fdac206be996f4dc1f726ea6b68861eb741c37def7277f179e37\"}\n], "
                  L"\"folders\": []}"))
      << ToUtf8(FConsole.Output);
  ASSERT_EQ(Run({L"backups", L"2"}), kCliSuccess) << ToUtf8(FConsole.Errors);
  EXPECT_TRUE(Has(L"Registry value  (Default)     HKEY_CURRENT_USER\\Software\\KestrovaCli\\App "
                  L"Paths\\gone.exe\n"))
      << ToUtf8(FConsole.Output);
  EXPECT_EQ(Run({L"backups", L"3"}), kCliFailed);
  EXPECT_EQ(Run({L"restore", L"3"}), kCliFailed);
  ASSERT_EQ(Run({L"restore", L"1", L"--json"}), kCliSuccess) << ToUtf8(FConsole.Errors);
  EXPECT_TRUE(Has(L"\"files\": 1, \"filesRestored\": 1, \"filesKept\": [], \"filesFailed\": []}"));
  EXPECT_TRUE(Machine().HasFile(kJunk + L"\\old.tmp"));

  ASSERT_EQ(Run({L"restore", L"2", L"--json"}), kCliSuccess) << ToUtf8(FConsole.Errors);
  EXPECT_TRUE(Has(L"\"entries\": 1, \"verified\": 1, \"failed\": [], \"files\": 0"));
  TRegKey key;
  ASSERT_EQ(key.Open(regroot::CurrentUser, kAppPaths + L"\\gone.exe"), err::Success);
  EXPECT_EQ(key.ReadString(L"").value_or(L""), L"C:\\Gone\\gone.exe");

  // A value the registry editor cannot write makes the restore fail and names the entry.
  ASSERT_EQ(Platform().Registry().DeleteKeyTree(regroot::CurrentUser, kAppPaths + L"\\gone.exe",
                                                TRegView::Default),
            err::Success);
  Machine().AddRegKey(regroot::CurrentUser, kAppPaths + L"\\gone.exe");
  Machine().FailSetValue(regroot::CurrentUser, kAppPaths + L"\\gone.exe");
  EXPECT_EQ(Run({L"restore", L"2"}), kCliFailed);
  EXPECT_TRUE(Has(L"1 of the 1 entries of"));
  EXPECT_TRUE(Has(L"  [HKEY_CURRENT_USER\\Software\\KestrovaCli\\App Paths\\gone.exe] @"));
}

TEST_F(KestrovaCliTest, RestoreRefusesAChangedBackupAndNeedsUncheckedForOneWithoutSeals) {
  ASSERT_EQ(Run({L"cure", L"--topics", kTopics, L"--category", L"regfix"}), kCliSuccess)
      << ToUtf8(FConsole.Errors);
  const size_t at = FConsole.Output.find(L"Backup file: ") + 13;
  const std::wstring backup = BackupFolderIn(GetCLSettings().UserDataPath()) + L"\\" +
                              FConsole.Output.substr(at, FConsole.Output.find(L'\n', at) - at);
  ASSERT_TRUE(Machine().FileContent(backup).has_value()) << ToUtf8(FConsole.Output);
  const std::wstring sealed = DecodeUtf16Le(*Machine().FileContent(backup));
  std::wstring edited = sealed;
  edited.replace(edited.find(L"gone.exe\""), 8, L"evil.exe");
  Machine().AddFileContent(backup, EncodeUtf16Le(edited));
  EXPECT_EQ(Run({L"restore", L"1", L"--unchecked"}), kCliFailed);
  EXPECT_NE(FConsole.Errors.find(L"was changed after its repair run wrote it"), std::wstring::npos);

  // As a version without seals wrote it: restored only when the user says so.
  std::wstring old = sealed;
  for (size_t seal; (seal = old.find(L"; seal ")) != std::wstring::npos;) {
    old.erase(seal, old.find(L'\n', seal) + 1 - seal);
  }
  Machine().AddFileContent(backup, EncodeUtf16Le(old));
  EXPECT_EQ(Run({L"restore", L"1"}), kCliFailed);
  EXPECT_NE(FConsole.Errors.find(L"--unchecked"), std::wstring::npos);
  EXPECT_FALSE(Machine().RegKeyExists(regroot::CurrentUser, kAppPaths + L"\\gone.exe"));
  ASSERT_EQ(Run({L"restore", L"1", L"--unchecked"}), kCliSuccess) << ToUtf8(FConsole.Errors);
  EXPECT_TRUE(Machine().RegKeyExists(regroot::CurrentUser, kAppPaths + L"\\gone.exe"));
}

TEST_F(KestrovaCliTest, SharesTheWindowsDataFolder) {
  Machine().SetProgramPath(kProgram + L"kestrova-cli.exe");
  ASSERT_EQ(Run({L"cure", L"--topics", kTopics}), kCliSuccess) << ToUtf8(FConsole.Errors);
  const std::wstring folder = L"\\C__Program Files_Kestrova_Kestrova.exe\\backup\\info.rec";
  EXPECT_TRUE(Machine().HasFile(L"C:\\ProgramData" + folder) ||
              Machine().HasFile(L"C:\\Users\\User\\AppData\\Roaming" + folder));
}

TEST_F(KestrovaCliTest, ARoamingProfileKeepsItsBackupsOnItsShare) {
  UseRoamingProfile(Machine());
  ASSERT_EQ(Run({L"cure", L"--topics", kTopics}), kCliSuccess) << ToUtf8(FConsole.Errors);
  const std::wstring backup = GetCLSettings().UserDataPath() + L"backup\\";
  ASSERT_EQ(backup.rfind(kRoamingAppData + L"\\", 0), 0u) << ToUtf8(backup);
  EXPECT_TRUE(Machine().HasFile(backup + L"info.rec"));
  EXPECT_TRUE(Machine().HasFile(backup + L"03022026100000.reg"));
  ASSERT_EQ(Run({L"backups"}), kCliSuccess) << ToUtf8(FConsole.Errors);
  EXPECT_TRUE(Has(L"2026-03-02 10:00:00"));
  EXPECT_FALSE(Has(L"2026-03-01"));
  ASSERT_EQ(Run({L"restore", L"1"}), kCliSuccess) << ToUtf8(FConsole.Errors);
  EXPECT_TRUE(Machine().RegKeyExists(regroot::CurrentUser, kAppPaths + L"\\gone.exe"));
  EXPECT_FALSE(Machine().RegKeyExists(regroot::CurrentUser, L"Software\\Planted"));
  EXPECT_TRUE(CurrentFolderUntouched(Machine()));
}

TEST_F(KestrovaCliTest, ARepairWhoseBackupIndexCannotBeWrittenChangesNothingAndFails) {
  const std::wstring backup = GetCLSettings().UserDataPath() + L"backup\\";
  Machine().FailOpenFile(backup + L"info.rec", err::AccessDenied);
  EXPECT_EQ(Run({L"cure", L"--topics", kTopics}), kCliFailed);
  EXPECT_NE(FConsole.Errors.find(L"The repair did not complete: Cannot write the backup index"),
            std::wstring::npos)
      << ToUtf8(FConsole.Errors);
  EXPECT_TRUE(Machine().RegKeyExists(regroot::CurrentUser, kAppPaths + L"\\gone.exe"));
  EXPECT_TRUE(Machine().ListFolder(backup).empty());
}

TEST(FigEngineSettings, EnablesTheUsersChoicesPerCategoryAndProfile) {
  fake::TFakeMachineScope scope;
  scope.Machine().AddTextFile(kProgram + L"const.dat",
                              "[setting]\nRegFix.A=1\nRegFix.B=0\nJunkFiles.J=1\n"
                              "SystemOptimization.CO=3\nSystemOptimization.NO=1\n");
  TFigEngine engine;
  const auto add = [&engine](const wchar_t* aName, TTopicCategory aCategory, int aLevel) {
    TFigTopic& topic = *engine.GetTopic(engine.AddTopic(aName));
    topic.SetCategory(aCategory);
    topic.ValueList().SetValue(kTopicKeyLevel, std::to_wstring(aLevel));
    topic.SetEnabled(true);
  };
  add(L"A", tcARegFix, 2);
  add(L"B", tcARegFix, 2);
  add(L"J", tcCJunkFile, 2);
  add(L"Usage5", tcDSystemOptimization, 5);
  add(L"Usage6", tcDSystemOptimization, 6);
  add(L"Net13", tcDSystemOptimization, 13);
  add(L"Net14", tcDSystemOptimization, 14);
  const auto enabled = [&engine] {
    std::wstring names;
    for (int i = 0; i < engine.TopicCount(); ++i) {
      if (engine.GetTopic(i)->Enabled()) {
        names += engine.GetTopic(i)->Name() + L" ";
      }
    }
    return names;
  };
  LoadFigEngineSettings(engine, {true, true, true, true});
  EXPECT_EQ(enabled(), L"A J Usage5 Net13 ");
  LoadFigEngineSettings(engine, {false, true, true, false});
  EXPECT_EQ(enabled(), L"J ");
  FreeCLSettings();
}

} // namespace

TEST_F(KestrovaCliTest, RepairAllSkipsKeptFilesRunningProgramsAndFilesInUseWithTheirReason) {
  const std::wstring profile = L"C:\\Work\\browser";
  Machine().AddTextFile(L"C:\\Work\\browser.db",
                        "[GLOBAL]\nMAGICWORD=FIG\nDATETIME=12/9/2026\n"
                        "[TOPIC_0]\nNAME=TestBrowser\nCategory=tcCJunkFile\nENABLED=1\n"
                        "LOCATION_0=lsDisk,C:\\Work\\browser\nRule=rsJunkFile,.*\nLEVEL=2\n"
                        "PROCESS=chrome.exe\n"
                        "[TOPIC_1]\nNAME=TestProfile\nCategory=tcCJunkFile\nENABLED=1\n"
                        "LOCATION_0=lsDisk,C:\\Work\\profile\nRule=rsJunkFile,.*\nLEVEL=2\n");
  Machine().AddTextFile(profile + L"\\History", "h");
  Machine().AddTextFile(L"C:\\Work\\profile\\Bookmarks", "b");
  Machine().AddTextFile(L"C:\\Work\\profile\\Open.tmp", "o");
  Machine().AddTextFile(L"C:\\Work\\profile\\Old.tmp", "x");
  Machine().FailDeleteFile(L"C:\\Work\\profile\\Open.tmp", err::SharingViolation);
  Machine().StartProgram(L"chrome.exe");

  ASSERT_EQ(Run({L"cure", L"--topics", L"C:\\Work\\browser.db", L"--all-topics", L"--all"}),
            kCliSuccess)
      << ToUtf8(FConsole.Errors);
  EXPECT_TRUE(Has(L"Skipped: Google Chrome is running"));
  EXPECT_TRUE(Has(L"Skipped: it may hold bookmarks, passwords or your own files"));
  EXPECT_TRUE(Has(L"In use"));
  EXPECT_FALSE(Has(L"Not cured"));
  EXPECT_TRUE(Machine().HasFile(profile + L"\\History"));
  EXPECT_TRUE(Machine().HasFile(L"C:\\Work\\profile\\Bookmarks"));
  EXPECT_FALSE(Machine().HasFile(L"C:\\Work\\profile\\Old.tmp"));

  Machine().EndProgram(L"chrome.exe");
  ASSERT_EQ(
      Run({L"cure", L"--topics", L"C:\\Work\\browser.db", L"--all-topics", L"--all", L"--json"}),
      kCliSuccess);
  EXPECT_TRUE(Has(L"\"name\": \"History\", \"valueCheck\": true, \"status\": \"csCured\", "
                  L"\"skipped\": null"));
  EXPECT_TRUE(Has(L"\"status\": \"csIgnored\", \"skipped\": \"Skipped: it may hold bookmarks, "
                  L"passwords or your own files\""));
  EXPECT_FALSE(Machine().HasFile(profile + L"\\History"));
}

TEST_F(KestrovaCliTest, ExclusionsAreListedAddedAndRemovedAndKeepTheirPlacesOutOfAScan) {
  ASSERT_EQ(Run({L"exclude", L"list", L"--json"}), kCliSuccess) << ToUtf8(FConsole.Errors);
  EXPECT_EQ(FConsole.Output, L"[]\n");
  for (const std::wstring& place :
       {kJunk + L"\\*.tmp", L"HKEY_CURRENT_USER\\" + kAppPaths + L"\\gone.exe",
        std::wstring(L"HKEY_CURRENT_USER\\Software\\Example|@")}) {
    ASSERT_EQ(Run({L"exclude", L"add", place}), kCliSuccess) << ToUtf8(FConsole.Errors);
    EXPECT_EQ(FConsole.Output, L"Excluded: " + place + L"\n");
  }
  ASSERT_EQ(Run({L"exclude", L"list", L"--json"}), kCliSuccess);
  EXPECT_EQ(FConsole.Output,
            L"[\n {\"index\": 1, \"place\": \"C:\\\\Work\\\\junk\\\\*.tmp\"},\n"
            L" {\"index\": 2, \"place\": "
            L"\"HKEY_CURRENT_USER\\\\Software\\\\KestrovaCli\\\\App Paths\\\\gone.exe\"},\n"
            L" {\"index\": 3, \"place\": \"HKEY_CURRENT_USER\\\\Software\\\\Example|@\"}\n]\n");

  ASSERT_EQ(Run({L"cure", L"--topics", kTopics, L"--all-topics", L"--all", L"--json"}),
            kCliSuccess);
  EXPECT_TRUE(Has(L"\"MatchedAllCount\": 0"));
  EXPECT_TRUE(Machine().HasFile(kJunk + L"\\old.tmp"));
  EXPECT_TRUE(Machine().RegKeyExists(regroot::CurrentUser, kAppPaths + L"\\gone.exe"));

  ASSERT_EQ(Run({L"exclude", L"remove", L"1"}), kCliSuccess);
  EXPECT_EQ(FConsole.Output, L"No longer excluded: " + kJunk + L"\\*.tmp\n");
  ASSERT_EQ(Run({L"exclude", L"list"}), kCliSuccess);
  EXPECT_EQ(FConsole.Output, L"No.  Place\n1    HKEY_CURRENT_USER\\" + kAppPaths +
                                 L"\\gone.exe\n2    HKEY_CURRENT_USER\\Software\\Example|@\n");
  EXPECT_EQ(Run({L"exclude", L"remove", L"3"}), kCliFailed);
  EXPECT_NE(FConsole.Errors.find(L"There is no exclusion number 3; 2 exclusion(s) are listed."),
            std::wstring::npos);
}

TEST_F(KestrovaCliTest, APlaceOfNoFormOrABadNumberIsRefusedWithTwoAndADamagedListIsKept) {
  const std::vector<std::pair<std::wstring, std::wstring>> refused = {
      {L"HKCU\\Software\\Example", L"by the long name, such as HKEY_CURRENT_USER"},
      {L"Temp\\*.log", L"nor a full path"},
      {L"C:\\*\\Cache", L"* and ? are allowed in the last part only"},
      {L"HKEY_CURRENT_USER\\Software|", L"write \"|@\" for the default value"},
  };
  for (const auto& [place, reason] : refused) {
    EXPECT_EQ(Run({L"exclude", L"add", place}), kCliUsageError) << ToUtf8(place);
    EXPECT_NE(FConsole.Errors.find(L"\"" + place + L"\" cannot be excluded: "), std::wstring::npos);
    EXPECT_NE(FConsole.Errors.find(reason), std::wstring::npos) << ToUtf8(FConsole.Errors);
  }
  for (const std::vector<std::wstring>& args :
       std::vector<std::vector<std::wstring>>{{L"exclude"},
                                              {L"exclude", L"add"},
                                              {L"exclude", L"remove", L"0"},
                                              {L"exclude", L"remove", L"x"},
                                              {L"exclude", L"list", L"--all"},
                                              {L"exclude", L"clear"}}) {
    EXPECT_EQ(Run(args), kCliUsageError) << ToUtf8(args.back());
    EXPECT_NE(FConsole.Errors.find(L"Usage:"), std::wstring::npos);
  }

  ASSERT_EQ(Run({L"exclude", L"add", L"C:\\Keep"}), kCliSuccess);
  const std::wstring file = ExclusionsFileIn(GetCLSettings().UserDataPath());
  Machine().AddTextFile(file, "C:\\Keep\r\nKeep this too\r\n");
  EXPECT_EQ(Run({L"exclude", L"list"}), kCliFailed);
  EXPECT_TRUE(Has(L"1    C:\\Keep"));
  EXPECT_NE(FConsole.Errors.find(L"is damaged (line 2 is no place)"), std::wstring::npos);
  EXPECT_EQ(Run({L"exclude", L"add", L"C:\\Other"}), kCliFailed);
  EXPECT_EQ(Run({L"exclude", L"remove", L"1"}), kCliFailed);
  EXPECT_EQ(
      Machine().FileContent(file),
      (std::vector<uint8_t>{'C', ':', '\\', 'K', 'e', 'e', 'p', '\r', '\n', 'K', 'e',  'e',
                            'p', ' ', 't',  'h', 'i', 's', ' ', 't',  'o',  'o', '\r', '\n'}));
}

TEST_F(KestrovaCliTest, CommunityRulesAreScannedCuredAndRestoredWithTheirFoldersKeysAndValues) {
  const std::wstring rules = L"C:\\Work\\winapp2.ini";
  const std::wstring app = L"C:\\Users\\User\\AppData\\Local\\Vendor\\";
  Machine().AddTextFile(rules, "; Version: 990103\r\n"
                               "[Vendor App *]\r\n"
                               "Section=Games\r\n"
                               "Detect=HKCU\\Software\\Vendor\r\n"
                               "FileKey1=%LocalAppData%\\Vendor\\Logs|*.log\r\n"
                               "FileKey2=%LocalAppData%\\Vendor\\Cache|*|REMOVESELF\r\n"
                               "FileKey3=%LocalAppData%\\Vendor\\Broken\r\n"
                               "RegKey1=HKCU\\Software\\Vendor\\Recent\r\n"
                               "RegKey2=HKCU\\Software\\Vendor\\Settings|LastPath\r\n"
                               "\r\n"
                               "[Absent App *]\r\n"
                               "Detect=HKCU\\Software\\Absent\r\n"
                               "RegKey1=HKCU\\Software\\Absent\r\n");
  Machine().AddTextFile(app + L"Logs\\run.log", "log");
  Machine().AddTextFile(app + L"Logs\\notes.txt", "own");
  Machine().AddTextFile(app + L"Cache\\Sub\\blob", "cache");
  Machine().AddFolder(app + L"Cache\\Empty");
  Machine().SetRegString(regroot::CurrentUser, L"Software\\Vendor\\Recent\\List", L"1", L"a");
  Machine().SetRegString(regroot::CurrentUser, L"Software\\Vendor\\Settings", L"LastPath",
                         L"C:\\x");
  Machine().SetRegString(regroot::CurrentUser, L"Software\\Vendor\\Settings", L"Keep", L"1");

  ASSERT_EQ(Run({L"topics", L"--winapp2", rules, L"--json"}), kCliSuccess);
  EXPECT_EQ(FConsole.Output,
            L"[\n {\"name\": \"Vendor App\", \"category\": \"tcBPrivacySweep\", \"rule\": "
            L"\"rsWinapp2\", \"enabled\": true, \"locations\": 0, \"winapp2Category\": "
            L"\"Games\"}\n]\n");
  // The malformed line is reported, and the command goes on.
  EXPECT_NE(FConsole.Errors.find(L"Line 7:"), std::wstring::npos);

  ASSERT_EQ(Run({L"scan", L"--winapp2", rules, L"--json"}), kCliSuccess);
  EXPECT_TRUE(Has(L"\"topic\": \"Vendor App\", \"category\": \"tcBPrivacySweep\", \"rule\": "
                  L"\"rsWinapp2\", \"reason\": \"frRegistryHistory\""));
  EXPECT_TRUE(Has(L"\"path\": \"C:\\\\Users\\\\User\\\\AppData\\\\Local\\\\Vendor\\\\Logs\\\\\", "
                  L"\"section\": \"C:\\\\Users\\\\User\\\\AppData\\\\Local\\\\Vendor\\\\Logs\", "
                  L"\"name\": \"run.log\""));
  EXPECT_TRUE(Has(L"\"root\": \"HKEY_CURRENT_USER\", \"path\": \"Software\\\\Vendor\\\\Settings\", "
                  L"\"section\": \"LastPath\""));
  // Two files, three folders, a key and a value; only the files count as files to keep.
  EXPECT_TRUE(Has(L"\"MatchedAllCount\": 7"));
  EXPECT_TRUE(Has(L"\"undo\": {\"restorableFiles\": 2, \"restorableBytes\": 8,"));

  ASSERT_EQ(Run({L"cure", L"--winapp2", rules, L"--all"}), kCliSuccess) << ToUtf8(FConsole.Errors);
  EXPECT_FALSE(Machine().HasFile(app + L"Logs\\run.log"));
  EXPECT_TRUE(Machine().HasFile(app + L"Logs\\notes.txt"));
  EXPECT_FALSE(FolderExists(app + L"Cache"));
  EXPECT_FALSE(Machine().RegKeyExists(regroot::CurrentUser, L"Software\\Vendor\\Recent"));
  EXPECT_FALSE(
      Machine().GetRegString(regroot::CurrentUser, L"Software\\Vendor\\Settings", L"LastPath"));
  EXPECT_TRUE(Machine().GetRegString(regroot::CurrentUser, L"Software\\Vendor\\Settings", L"Keep"));

  ASSERT_EQ(Run({L"restore", L"1"}), kCliSuccess) << ToUtf8(FConsole.Errors);
  EXPECT_TRUE(Machine().HasFile(app + L"Logs\\run.log"));
  EXPECT_TRUE(Machine().HasFile(app + L"Cache\\Sub\\blob"));
  EXPECT_TRUE(FolderExists(app + L"Cache\\Empty"));
  EXPECT_EQ(Machine().GetRegString(regroot::CurrentUser, L"Software\\Vendor\\Recent\\List", L"1"),
            L"a");
  EXPECT_EQ(
      Machine().GetRegString(regroot::CurrentUser, L"Software\\Vendor\\Settings", L"LastPath"),
      L"C:\\x");

  EXPECT_EQ(Run({L"scan", L"--winapp2", L"C:\\Work\\none.ini"}), kCliTopicDbError);
  EXPECT_NE(FConsole.Errors.find(L"none.ini"), std::wstring::npos);
}
