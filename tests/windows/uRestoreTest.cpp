#include "windows/uRestore.h"

#include "cure/RegUtils.h"
#include "engine/FigEngine.h"
#include "platform/TextCodec.h"
#include "support/FakeRegEdit.h"
#include "support/WindowTest.h"

#include <string>
#include <vector>

namespace {

using namespace kplat;

const std::wstring kBackup = L"C:\\Users\\User\\AppData\\Roaming\\Kestrova\\backup";
const std::wstring kKey = L"Software\\RestoreWindowTest";

class RestoreWindow : public WindowTest {
protected:
  RestoreWindow() {
    InstallFakeRegEdit(Machine());
    Machine().AddFolder(kBackup);
    Program().Settings("Backup.MaxBackup=10\nAPP.NAME=Kestrova\n");
    FHost.BackupPath = kBackup;
    FHost.Engine = &FFigEngine;
    FHost.OpenSettings = [this](int aPage) { FSettingsPages.push_back(aPage); };
  }
  // Backups b1 (oldest) to b<aCount>, backup i holding i values of kKey.
  void AddBackups(int aCount) {
    std::string index;
    for (int i = 1; i <= aCount; ++i) {
      TRegExporter exporter;
      for (int v = 0; v < i; ++v) {
        const std::wstring name = L"V" + std::to_wstring(v);
        Machine().SetRegString(regroot::CurrentUser, kKey, name, L"data");
        EXPECT_TRUE(exporter.AddItem(L"HKEY_CURRENT_USER", kKey, name));
      }
      std::string name = "b";
      name += std::to_string(i) + ".reg";
      EXPECT_EQ(
          SaveSealedBackup(exporter, kBackup + L"\\" + std::wstring(name.begin(), name.end())),
          err::Success);
      index +=
          "2026-03-0" + std::to_string(i) + " 10:00:00," + std::to_string(i) + "," + name + "\r\n";
    }
    Machine().AddTextFile(kBackup + L"\\info.rec", index);
  }

  static std::vector<std::wstring> Rows(const TfrmRestore& aWindow) {
    std::vector<std::wstring> rows;
    for (int i = 0; i < aWindow.lvBackup->Items().Count(); ++i) {
      const TListItem& item = aWindow.lvBackup->Items().Item(i);
      rows.push_back(item.Caption() + L"|" + item.SubItems().Strings(0) + L"|" +
                     std::to_wstring(item.ImageIndex()));
    }
    return rows;
  }

  TFigEngine FFigEngine;
  TRestoreWindowHost FHost;
  std::vector<int> FSettingsPages;
};

} // namespace

TEST_F(RestoreWindow, ListsNewestFirstAndDeletesExactlyTheChosenBackup) {
  AddBackups(3);
  TfrmRestore window(nullptr, FHost);
  EXPECT_EQ(window.Caption(), L"Restore Center");
  EXPECT_EQ(Rows(window),
            (std::vector<std::wstring>{L"2026-03-03 10:00:00|3|5", L"2026-03-02 10:00:00|2|5",
                                       L"2026-03-01 10:00:00|1|5"}));
  ASSERT_EQ(window.BkFileNames().size(), 3u);
  EXPECT_EQ(window.BkFileNames()[1], kBackup + L"\\b2.reg");

  // Nothing selected: the user is told and nothing changes.
  window.btnDelete->Click();
  window.btnRestore->Click();
  EXPECT_EQ(FBox.Texts, (std::vector<std::wstring>(2, L"Please select a backup first.")));
  EXPECT_EQ(window.lvBackup->Items().Count(), 3);

  window.lvBackup->Items().Item(1).SetSelected(true);
  window.btnDelete->Click();
  EXPECT_FALSE(Machine().HasFile(kBackup + L"\\b2.reg"));
  EXPECT_EQ(Rows(window),
            (std::vector<std::wstring>{L"2026-03-03 10:00:00|3|5", L"2026-03-01 10:00:00|1|5"}));
  EXPECT_EQ(window.BkFileNames(),
            (std::vector<std::wstring>{kBackup + L"\\b3.reg", kBackup + L"\\b1.reg"}));

  TfrmRestore reopened(nullptr, FHost);
  EXPECT_EQ(Rows(reopened), Rows(window));
}

TEST_F(RestoreWindow, RestoreSaysSoOnlyWhenTheRegistryShowsEveryEntry) {
  AddBackups(2);
  const int topic = FFigEngine.AddTopic(L"Stale paths");
  FFigEngine.GetTopic(topic)->SetStatus(tsCured);
  TfrmRestore window(nullptr, FHost);
  window.lvBackup->Items().Item(0).SetSelected(true);

  ASSERT_EQ(Platform().Registry().DeleteKeyTree(regroot::CurrentUser, kKey, TRegView::Default),
            err::Success);
  window.btnRestore->Click();
  EXPECT_EQ(FBox.Last(), L"The backup has been restored.");
  EXPECT_EQ(FFigEngine.GetTopic(topic)->Status(), tsUncured);

  // Values the registry refuses: the user hears how many did not come back, and the topics are
  // still set back for what did.
  ASSERT_EQ(Platform().Registry().DeleteKeyTree(regroot::CurrentUser, kKey, TRegView::Default),
            err::Success);
  Machine().AddRegKey(regroot::CurrentUser, kKey);
  Machine().FailSetValue(regroot::CurrentUser, kKey);
  FFigEngine.GetTopic(topic)->SetStatus(tsCured);
  window.btnRestore->Click();
  EXPECT_EQ(FBox.Last(), L"2 of the 2 changes of this backup could not be restored. The "
                         L"registry may not allow them to be written.");
  EXPECT_EQ(FBox.Requests.back().DlgType, TMsgDlgType::mtWarning);
  EXPECT_EQ(FFigEngine.GetTopic(topic)->Status(), tsUncured);
}

TEST_F(RestoreWindow, NothingIsRestoredWhileARepairRuns) {
  AddBackups(1);
  bool repairing = true;
  FHost.RepairRunning = [&repairing] { return repairing; };
  TfrmRestore window(nullptr, FHost);
  window.lvBackup->Items().Item(0).SetSelected(true);
  ASSERT_EQ(Platform().Registry().DeleteKeyTree(regroot::CurrentUser, kKey, TRegView::Default),
            err::Success);
  window.btnRestore->Click();
  EXPECT_EQ(FBox.Last(), L"A repair is running. Please restore the backup when it has finished.");
  EXPECT_FALSE(Machine().RegKeyExists(regroot::CurrentUser, kKey));

  repairing = false;
  window.btnRestore->Click();
  EXPECT_EQ(FBox.Last(), L"The backup has been restored.");
  EXPECT_TRUE(Machine().RegKeyExists(regroot::CurrentUser, kKey));
}

TEST_F(RestoreWindow, AnEditorThatFailsOrHangsIsJudgedByWhatTheRegistryHolds) {
  AddBackups(3);
  const int topic = FFigEngine.AddTopic(L"Stale paths");
  TfrmRestore window(nullptr, FHost);
  window.lvBackup->Items().Item(0).SetSelected(true);
  // The editor stops with an error before the last value, or has not ended in time when the
  // window stops waiting.
  bool hangs = false;
  Machine().SetLaunchHandler([this, &hangs](const TProcessStart& aStart, TProcessResult& aResult) {
    TErrorCode error = err::Success;
    RunFakeRegEdit(aStart, aResult, error);
    if (!hangs)
      Machine().SetRegString(regroot::CurrentUser, kKey, L"V2", L"not restored");
    aResult.Finished = !hangs;
    aResult.ExitCode = hangs ? 0 : 1;
    return error;
  });

  ASSERT_EQ(Platform().Registry().DeleteKeyTree(regroot::CurrentUser, kKey, TRegView::Default),
            err::Success);
  FFigEngine.GetTopic(topic)->SetStatus(tsCured);
  window.btnRestore->Click();
  EXPECT_EQ(FBox.Last(), L"1 of the 3 changes of this backup could not be restored. The "
                         L"registry may not allow them to be written.");
  EXPECT_EQ(FFigEngine.GetTopic(topic)->Status(), tsUncured);

  // Everything is back although the editor had not ended: the registry is what counts.
  hangs = true;
  FFigEngine.GetTopic(topic)->SetStatus(tsCured);
  window.btnRestore->Click();
  EXPECT_EQ(FBox.Last(), L"The backup has been restored.");
  EXPECT_EQ(FFigEngine.GetTopic(topic)->Status(), tsUncured);

  // An editor that cannot be started changed nothing: the topics keep their state.
  ASSERT_EQ(
      Platform().Files().DeleteFile(Platform().System().GetWindowsFolder() + L"\\regedit.exe"),
      err::Success);
  FFigEngine.GetTopic(topic)->SetStatus(tsCured);
  window.btnRestore->Click();
  EXPECT_EQ(FBox.Last(), L"The backup could not be restored.");
  EXPECT_EQ(FFigEngine.GetTopic(topic)->Status(), tsCured);
}

TEST_F(RestoreWindow, AnIndexThatCannotBeReadIsReportedAsSuchAndNothingIsDeleted) {
  AddBackups(3);
  Machine().AddTextFile(kProgram + L"const.dat", "[setting]\nBackup.MaxBackup=1\n");
  Machine().FailOpenFile(kBackup + L"\\info.rec", err::AccessDenied);
  TfrmRestore window(nullptr, FHost);
  ASSERT_EQ(FBox.Texts.size(), 1u);
  EXPECT_EQ(
      FBox.Texts[0].rfind(L"The list of backups could not be read, so nothing was changed: ", 0),
      0u)
      << ToUtf8(FBox.Texts[0]);
  EXPECT_EQ(window.lvBackup->Items().Count(), 0);
  EXPECT_TRUE(Machine().HasFile(kBackup + L"\\b1.reg"));
  EXPECT_TRUE(Machine().HasFile(kBackup + L"\\b2.reg"));
}

TEST_F(RestoreWindow, AnIndexThatCannotBeSavedIsReportedAndTheListIsWhatTheDiskHolds) {
  AddBackups(3);
  Machine().AddTextFile(kProgram + L"const.dat", "[setting]\nBackup.MaxBackup=1\n");
  Machine().SetDiskFull(true);
  TfrmRestore window(nullptr, FHost);
  ASSERT_EQ(FBox.Texts.size(), 1u);
  EXPECT_EQ(FBox.Texts[0].rfind(L"The list of backups could not be saved", 0), 0u) << FBox.Texts[0];
  EXPECT_EQ(window.lvBackup->Items().Count(), 3);
  EXPECT_TRUE(Machine().HasFile(kBackup + L"\\b1.reg"));

  window.lvBackup->Items().Item(2).SetSelected(true);
  window.btnDelete->Click();
  EXPECT_EQ(FBox.Texts.size(), 2u);
  EXPECT_EQ(window.lvBackup->Items().Count(), 3);
  EXPECT_TRUE(Machine().HasFile(kBackup + L"\\b1.reg"));
}

TEST_F(RestoreWindow, SelectingABackupListsItsChangesWithoutReadingPastWhatIsShown) {
  // One run of more values than the list shows, which also kept two files and a folder.
  const int values = static_cast<int>(TfrmRestore::kDetailEntries) + 20;
  TRegExporter exporter;
  for (int v = 0; v < values; ++v) {
    const std::wstring name = L"V" + std::to_wstring(v);
    Machine().SetRegString(regroot::CurrentUser, kKey, name, L"data");
    ASSERT_TRUE(exporter.AddItem(L"HKEY_CURRENT_USER", kKey, name));
  }
  ASSERT_EQ(exporter.SaveToFile(kBackup + L"\\big.reg"), err::Success);
  Machine().AddTextFile(kBackup + L"\\info.rec", "2026-03-01 10:00:00,1,big.reg\r\n");
  TFigQuarantine quarantine(kBackup + L"\\big.reg", 1u << 20, LoadSealKey(true));
  Machine().AddTextFile(L"C:\\Junk\\Sub\\a.tmp", "12345");
  ASSERT_EQ(quarantine.Take(L"C:\\Junk\\Sub\\a.tmp", L"C:\\Junk\\Sub"), err::Success);
  ASSERT_EQ(quarantine.RecordFolder(L"C:\\Junk\\Sub"), err::Success);

  TfrmRestore window(nullptr, FHost);
  EXPECT_EQ(window.lvDetails->Items().Count(), 0);
  window.lvBackup->Items().Item(0).SetSelected(true);
  const TListItems& rows = window.lvDetails->Items();
  ASSERT_EQ(rows.Count(), values - 20 + 3);
  auto row = [&rows](int aIndex) {
    const TListItem& item = rows.Item(aIndex);
    return item.Caption() + L"|" + item.SubItems().Strings(0) + L"|" + item.SubItems().Strings(1);
  };
  EXPECT_EQ(row(0), L"Registry value|V0|HKEY_CURRENT_USER\\" + kKey);
  EXPECT_EQ(row(values - 21),
            L"Registry value|V" + std::to_wstring(values - 21) + L"|HKEY_CURRENT_USER\\" + kKey);
  EXPECT_EQ(row(values - 20), L"||... and 20 more registry changes");
  EXPECT_EQ(row(values - 19), L"File|5 bytes|C:\\Junk\\Sub\\a.tmp");
  EXPECT_EQ(row(values - 18), L"Folder||C:\\Junk\\Sub");

  window.lvBackup->Items().Item(0).SetSelected(false);
  EXPECT_EQ(rows.Count(), 0);
  window.lvBackup->Items().Item(0).SetSelected(true);
  window.btnDelete->Click();
  EXPECT_EQ(rows.Count(), 0);
}

TEST_F(RestoreWindow, RestorePointsAndTheSystemRestoreProgram) {
  TfrmRestore window(nullptr, FHost);
  EXPECT_TRUE(Machine().HasFile(kBackup + L"\\info.rec"));
  EXPECT_EQ(window.lvBackup->Items().Count(), 0);

  window.llCreateRestorePoint->Click();
  EXPECT_EQ(FBox.Last(), L"The restore point has been created.");
  const auto calls = Machine().RestorePointCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].Description, L"Kestrova Restore point");
  EXPECT_FALSE(window.pnlLoading->Visible());

  // Refused with a status of 0, as Wine's library answers: no point exists.
  Machine().SetRestorePointRefused(true);
  window.llCreateRestorePoint->Click();
  EXPECT_EQ(FBox.Last(), L"Cannot create restore point.");
  EXPECT_EQ(FBox.Requests.back().DlgType, TMsgDlgType::mtError);
  EXPECT_EQ(Machine().RestorePointCalls().size(), 3u);
  EXPECT_FALSE(window.pnlLoading->Visible());

  // The machine has only "rstrui.exe" in the system folder, as older systems do.
  const std::wstring system = Platform().System().GetSystemFolder();
  EXPECT_EQ(SystemRestoreProgram(), system + L"\\rstrui.exe");
  ASSERT_EQ(Platform().Files().DeleteFile(system + L"\\rstrui.exe"), err::Success);
  window.btnViewSystemRestore->Click();
  EXPECT_EQ(FBox.Last(), L"The System Restore program was not found on this computer.");
  Machine().AddFile(system + L"\\restore\\rstrui.exe");
  window.btnViewSystemRestore->Click();
  ASSERT_FALSE(Machine().Launches().empty());
  EXPECT_EQ(Machine().Launches().back().Application, system + L"\\restore\\rstrui.exe");

  window.btnSettings->Click();
  EXPECT_EQ(FSettingsPages, (std::vector<int>{3}));
}
