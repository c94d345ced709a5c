#include "cure/FigQuarantine.h"

#include "base/CLHelpers.h"
#include "base/CLMainThread.h"
#include "cure/FigCure.h"
#include "cure/RestoreCenter.h"
#include "platform/FileIO.h"
#include "platform/RegKey.h"
#include "platform/Sha256.h"
#include "platform/TextCodec.h"
#include "platform/fake/FakeMachine.h"
#include "support/CountingPlatform.h"
#include "support/FakeRegEdit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include <string>
#include <vector>

namespace {

using namespace kplat;

const std::wstring kBackup = L"C:\\Users\\User\\AppData\\Roaming\\Kestrova\\backup";
constexpr uint32_t kRunLimitMs = 600000;
constexpr TFileTimes kTimes{132224714450000000ull, 132224714460000000ull, 132224714470000000ull};

std::vector<uint8_t> Bytes(const std::string& aText) {
  return {aText.begin(), aText.end()};
}

TFigScanedItem FileFinding(const std::wstring& aFile, bool aNoUndo = false) {
  TFigScanedItem item;
  item.TopicName = L"Junk";
  item.LocationStyle = lsDisk;
  item.RuleStyle = rsJunkFile;
  item.ScanedPath = aFile.substr(0, aFile.rfind(L'\\') + 1);
  item.ScanedRoot = item.ScanedPath;
  item.ScanedName = aFile.substr(aFile.rfind(L'\\') + 1);
  item.Checked = true;
  item.NoUndo = aNoUndo;
  return item;
}

TFigScanedItem ValueFinding(const std::wstring& aName) {
  TFigScanedItem value;
  value.LocationStyle = lsRegistry;
  value.ValueCheck = true;
  value.ScanedRoot = L"HKEY_CURRENT_USER";
  value.ScanedPath = L"Soft\\V";
  value.ScanedSection = aName;
  value.Checked = true;
  return value;
}

std::wstring Utf16Text(const std::vector<uint8_t>& aBytes) {
  return DecodeUtf16Le(aBytes);
}

std::string Replaced(std::string aText, const std::string& aFrom, const std::string& aTo) {
  const size_t at = aText.find(aFrom);
  EXPECT_NE(at, std::string::npos) << aFrom;
  return at == std::string::npos ? aText : aText.replace(at, aFrom.size(), aTo);
}

// The text without its seal lines, as a version without seals wrote it.
template <class TString> TString WithoutSeals(const TString& aText, const TString& aPrefix) {
  TString result;
  for (size_t start = 0; start < aText.size();) {
    const size_t end = std::min(aText.find('\n', start), aText.size() - 1) + 1;
    if (aText.compare(start, aPrefix.size(), aPrefix) != 0) {
      result += aText.substr(start, end - start);
    }
    start = end;
  }
  return result;
}

class QuarantineTest : public testing::Test {
protected:
  QuarantineTest() {
    Machine().AddFolder(kBackup);
    InstallFakeRegEdit(Machine());
    FCure.SetBackupPath(kBackup);
    FCure.SetPaced(false);
    FCure.OnCured = [this](const TFigScanedItem&, TFigCureStatus aStatus, int, int) {
      FOutcomes.push_back(GetEnumName(aStatus) + L" " + GetEnumName(FCure.CurrentFailure()));
    };
  }

  fake::TFakeMachine& Machine() { return FScope.Machine(); }

  // A file with its own content, times and attributes.
  void AddFile(const std::wstring& aPath, const std::string& aContent,
               uint32_t aAttributes = fileattr::Archive) {
    Machine().AddFileContent(aPath, Bytes(aContent), aAttributes);
    ASSERT_EQ(Platform().Files().SetFileTimes(aPath, kTimes), err::Success);
  }

  void Run() {
    ASSERT_TRUE(FCure.StartCure()) << ToUtf8(FCure.LastError());
    ASSERT_TRUE(FMain.RunUntil([this] { return !FCure.IsRunning(); }, kRunLimitMs));
  }

  // The newest backup's row, as the Restore Center lists it.
  TBackupRow NewestRow(TRestoreCenter& aCenter) {
    EXPECT_TRUE(aCenter.Load(20)) << ToUtf8(aCenter.LastError());
    EXPECT_FALSE(aCenter.Rows().empty());
    return aCenter.Rows().empty() ? TBackupRow() : aCenter.Rows().front();
  }

  // A run that deletes value "v" of Soft\V and the files aFiles.
  void RunOver(const std::vector<std::wstring>& aFiles) {
    FCure.Clear();
    Machine().SetRegString(regroot::CurrentUser, L"Soft\\V", L"v", L"1");
    FCure.AddMatchedItem(ValueFinding(L"v"));
    for (const std::wstring& file : aFiles) {
      AddFile(file, "data of " + ToUtf8(file));
      FCure.AddMatchedItem(FileFinding(file));
    }
    Run();
    ASSERT_FALSE(Machine().GetRegString(regroot::CurrentUser, L"Soft\\V", L"v").has_value());
  }
  static void DeleteValue(const std::wstring& aName) {
    TRegKey key;
    ASSERT_EQ(key.Open(regroot::CurrentUser, L"Soft\\V", TRegAccess::FullAccess), err::Success);
    ASSERT_EQ(key.DeleteValue(aName), err::Success);
  }
  void SetContent(const std::wstring& aPath, const std::string& aText) {
    Machine().AddFileContent(aPath, Bytes(aText));
  }

  std::string Content(const std::wstring& aPath) {
    const auto bytes = Machine().FileContent(aPath);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("<none>");
  }

  fake::TFakeMachineScope FScope;
  TCLMainThreadQueue FMain;
  TCLScopedMainThread FMainScope{FMain};
  TFigCure FCure;
  std::vector<std::wstring> FOutcomes;
};

TEST_F(QuarantineTest, RepairedFilesComeBackWithContentTimesAndAttributes) {
  // One file on the backup's volume (moved) and one on another (copied and compared).
  const std::wstring same = L"C:\\Temp\\Cache\\a.tmp";
  const std::wstring other = L"D:\\Logs\\b.log";
  AddFile(same, "alpha", fileattr::Hidden | fileattr::Archive);
  AddFile(other, std::string(300000, 'b'), fileattr::System);
  Machine().SetRegString(regroot::CurrentUser, L"Soft\\V", L"v", L"1");
  FCure.AddMatchedItem(FileFinding(same));
  FCure.AddMatchedItem(FileFinding(other));
  TFigScanedItem value;
  value.LocationStyle = lsRegistry;
  value.ValueCheck = true;
  value.ScanedRoot = L"HKEY_CURRENT_USER";
  value.ScanedPath = L"Soft\\V";
  value.ScanedSection = L"v";
  value.Checked = true;
  FCure.AddMatchedItem(value);
  Run();
  EXPECT_EQ(FOutcomes, std::vector<std::wstring>(3, L"csCured cfNone"));
  EXPECT_FALSE(Machine().HasFile(same));
  EXPECT_FALSE(Machine().HasFile(other));

  TRestoreCenter center(kBackup);
  const TBackupRow row = NewestRow(center);
  EXPECT_EQ(row.Files, 2);
  EXPECT_EQ(row.FileBytes, 300005u);
  const TRestoreResult result = center.Restore(0);
  EXPECT_TRUE(result.Complete()) << ToUtf8(result.Error);
  EXPECT_EQ(result.Files.Files, 2);
  EXPECT_EQ(result.Files.Restored, 2);
  EXPECT_EQ(Content(same), "alpha");
  EXPECT_EQ(Content(other), std::string(300000, 'b'));
  for (const auto& [path, attributes] : {std::pair{same, fileattr::Hidden | fileattr::Archive},
                                         std::pair{other, fileattr::System}}) {
    TFileTimes times;
    ASSERT_EQ(Platform().Files().GetFileTimes(path, times), err::Success);
    EXPECT_EQ(times, kTimes) << ToUtf8(path);
    uint32_t read = 0;
    ASSERT_EQ(Platform().Files().GetAttributes(path, read), err::Success);
    EXPECT_EQ(read, attributes) << ToUtf8(path);
  }
  EXPECT_EQ(Machine().GetRegString(regroot::CurrentUser, L"Soft\\V", L"v"), L"1");
}

TEST_F(QuarantineTest, TheLinesOfABatchAreFlushedOnceBeforeItsFilesMoveAndUnusedOnesAreHarmless) {
  const std::vector<std::wstring> files = {L"C:\\Temp\\a.tmp", L"C:\\Temp\\b.tmp",
                                           L"C:\\Temp\\c.tmp", L"C:\\Temp\\d.tmp"};
  Machine().FailDeleteFile(files[2]);
  std::vector<std::string> manifests; // the manifest as each finding is reported
  FCure.OnCured = [&](const TFigScanedItem&, TFigCureStatus, int, int) {
    manifests.push_back(Content(QuarantineFolderOf(FCure.LastBackupFile()) + L"\\manifest.txt"));
  };
  RunOver(files);
  const auto count = [](const std::string& aText, const std::string& aKind) {
    size_t lines = aText.compare(0, aKind.size(), aKind) == 0 ? 1 : 0;
    for (size_t at = aText.find("\n" + aKind); at != std::string::npos;
         at = aText.find("\n" + aKind, at + 1)) {
      ++lines;
    }
    return lines;
  };
  // Before the first change every line is on disk, sealed once after the header's seal.
  ASSERT_EQ(manifests.size(), 5u);
  EXPECT_EQ(count(manifests[0], "F\t"), 4u);
  EXPECT_EQ(count(manifests[0], "S\t"), 2u);
  EXPECT_EQ(manifests[4], manifests[0]);
  EXPECT_TRUE(Machine().HasFile(files[2]));

  // The line of the file that stayed is marked unused: the run holds the three it took.
  const std::wstring backup = FCure.LastBackupFile();
  const std::wstring manifest = QuarantineFolderOf(backup) + L"\\manifest.txt";
  const std::string whole = Content(manifest);
  EXPECT_EQ(QuarantineTotals(backup).Files, 3);
  TRestoreResult result = RestoreBackupFile(backup);
  EXPECT_TRUE(result.Complete()) << ToUtf8(result.Error);
  EXPECT_EQ(result.Files.Files, 3);
  EXPECT_EQ(result.Files.Restored, 3);
  EXPECT_TRUE(result.Files.Kept.empty());

  // Cut where a killed run would have ended: the line of the file still in its place is kept.
  for (const std::wstring& file : {files[0], files[1], files[3]}) {
    ASSERT_EQ(Platform().Files().DeleteFile(file), err::Success);
  }
  SetContent(manifest, manifests[4]);
  result = RestoreBackupFile(backup);
  EXPECT_EQ(result.Files.Restored, 3);
  EXPECT_EQ(result.Files.Kept, std::vector<std::wstring>{files[2]});
  EXPECT_TRUE(result.Files.Failed.empty());
  EXPECT_NE(whole, manifests[4]);
}

TEST_F(QuarantineTest, ARemovedFolderIsMadeAgainAndNothingIsRestoredThroughALink) {
  const std::wstring backup = kBackup + L"\\01022020030405.reg";
  const std::wstring folder = L"C:\\Temp\\Gone";
  AddFile(folder + L"\\Deep\\x.tmp", "x");
  AddFile(L"C:\\Temp\\Linked\\y.tmp", "y");
  TFigQuarantine quarantine(backup, 1 << 20, LoadSealKey(true));
  ASSERT_EQ(quarantine.Take(folder + L"\\Deep\\x.tmp", L"C:\\Temp"), err::Success);
  ASSERT_EQ(quarantine.RecordFolder(folder + L"\\Deep"), err::Success);
  ASSERT_EQ(Platform().Files().RemoveFolder(folder + L"\\Deep"), err::Success);
  ASSERT_EQ(quarantine.RecordFolder(folder), err::Success);
  ASSERT_EQ(Platform().Files().RemoveFolder(folder), err::Success);
  ASSERT_EQ(quarantine.Take(L"C:\\Temp\\Linked\\y.tmp", L"C:\\Temp"), err::Success);
  // The folder the file lay in is now a junction to somewhere else.
  Machine().AddFolder(L"C:\\Elsewhere");
  Machine().AddFolderLink(L"C:\\Temp\\Linked", L"C:\\Elsewhere");

  const TFileRestoreResult result = RestoreQuarantine(backup);
  EXPECT_EQ(result.Files, 2);
  EXPECT_EQ(result.Restored, 1);
  EXPECT_EQ(Content(folder + L"\\Deep\\x.tmp"), "x");
  ASSERT_EQ(result.Failed.size(), 1u);
  EXPECT_EQ(result.Failed[0].Path, L"C:\\Temp\\Linked\\y.tmp");
  EXPECT_TRUE(Machine().ListFolder(L"C:\\Elsewhere").empty());
}

TEST_F(QuarantineTest, WhatAnEarlierDeletionLeftUnderTheRunsNameIsReplaced) {
  const std::wstring backup = kBackup + L"\\01022020030405.reg";
  const std::wstring folder = QuarantineFolderOf(backup);
  AddFile(folder + L"\\1", "stale");
  AddFile(folder + L"\\manifest.txt", "KESTROVA-QUARANTINE\t1\r\nD\tC:\\Stale\r\n");
  AddFile(L"C:\\Temp\\new.tmp", "new");
  TFigQuarantine quarantine(backup, 1 << 20, LoadSealKey(true));
  ASSERT_EQ(quarantine.Take(L"C:\\Temp\\new.tmp", L"C:\\Temp"), err::Success);
  std::vector<TQuarantineEntry> entries;
  std::wstring error;
  ASSERT_TRUE(ReadQuarantine(backup, entries, error)) << ToUtf8(error);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].Path, L"C:\\Temp\\new.tmp");
  EXPECT_EQ(Content(folder + L"\\" + entries[0].StoredName), "new");
}

TEST_F(QuarantineTest, AFileThatCameBackIsKeptAndAnAlteredCopyIsRefused) {
  const std::wstring back = L"C:\\Temp\\back.tmp";
  const std::wstring altered = L"C:\\Temp\\altered.tmp";
  AddFile(back, "old");
  AddFile(altered, "original");
  FCure.AddMatchedItem(FileFinding(back));
  FCure.AddMatchedItem(FileFinding(altered));
  Run();
  AddFile(back, "new");
  std::vector<TQuarantineEntry> entries;
  std::wstring error;
  ASSERT_TRUE(ReadQuarantine(FCure.LastBackupFile(), entries, error)) << ToUtf8(error);
  for (const TQuarantineEntry& entry : entries) {
    if (entry.Path == altered) {
      Machine().AddFileContent(
          QuarantineFolderOf(FCure.LastBackupFile()) + L"\\" + entry.StoredName, Bytes("tampered"));
    }
  }

  TRestoreCenter center(kBackup);
  NewestRow(center);
  const TRestoreResult result = center.Restore(0);
  EXPECT_FALSE(result.Complete());
  EXPECT_EQ(result.Files.Kept, std::vector<std::wstring>{back});
  ASSERT_EQ(result.Files.Failed.size(), 1u);
  EXPECT_EQ(result.Files.Failed[0].Path, altered);
  EXPECT_EQ(Content(back), "new");
  EXPECT_FALSE(Machine().HasFile(altered));
}

TEST_F(QuarantineTest, WhatIsDeletedForGoodIsPlannedAndKeptToTheBudget) {
  struct TCase {
    const char* Name;
    uint64_t BudgetBytes;
    bool NoUndo;
    std::vector<bool> Undo; // for files of 600 and 500 bytes
  };
  const TCase cases[] = {
      {"all fit", 2048, false, {true, true}},
      {"the second is over the budget", 1000, false, {true, false}},
      {"off", 0, false, {false, false}},
      {"topic says UNDO=0", 2048, true, {false, false}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    FCure.Clear();
    const std::wstring first = L"C:\\Temp\\first.tmp";
    const std::wstring second = L"D:\\Temp\\second.tmp";
    AddFile(first, std::string(600, '1'));
    AddFile(second, std::string(500, '2'));
    FCure.AddMatchedItem(FileFinding(first, c.NoUndo));
    FCure.AddMatchedItem(FileFinding(second, c.NoUndo));
    FCure.SetQuarantineBytes(c.BudgetBytes);
    const TUndoPlan plan = FCure.PlanUndo();
    EXPECT_EQ(plan.Undo, c.Undo);
    Run();
    EXPECT_FALSE(Machine().HasFile(first));
    EXPECT_FALSE(Machine().HasFile(second));
    const TQuarantineTotals kept = QuarantineTotals(FCure.LastBackupFile());
    EXPECT_EQ(kept.Files, plan.RestorableFiles);
    EXPECT_EQ(kept.Bytes, plan.RestorableBytes);
    EXPECT_EQ(plan.PermanentFiles, 2 - plan.RestorableFiles);
    EXPECT_EQ(RestoreQuarantine(FCure.LastBackupFile()).Restored, plan.RestorableFiles);
  }
}

TEST_F(QuarantineTest, AFullDiskDeletesNothingThatIsNotKept) {
  struct TCase {
    const char* Name;
    std::wstring File;
    std::optional<uint64_t> SpaceLeft; // none: the disk is full
  };
  const TCase cases[] = {
      {"full disk", L"C:\\Temp\\a.tmp", std::nullopt},
      {"manifest line cut off", L"C:\\Temp\\b.tmp", 60},
      {"copy from another volume cut off", L"D:\\Temp\\c.tmp", 2000},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    FCure.Clear();
    FOutcomes.clear();
    Machine().SetDiskFull(false);
    Machine().SetDiskSpace(std::nullopt);
    AddFile(c.File, std::string(4000, 'z'));
    FCure.AddMatchedItem(FileFinding(c.File));
    // The disk fills once the run's backup file and index line are written: the header, with
    // its seal (the key made here when the run has not made it yet), and the index with one more
    // line ("yyyy-mm-dd hh:mm:ss,1,<name>" CR LF), each written whole through a file of its own.
    FCure.OnStarted = [&](TObject&) {
      kplat::TSha256Digest seal{};
      const uint64_t start =
          TSealWriter(LoadSealKey(true), TSealKind::RegistryBackup, FCure.LastBackupFile())
              .Seal(TRegExporter().Stream(), seal)
              .size() +
          Content(kBackup + L"\\info.rec").size() + 23 +
          ExtractFileName(FCure.LastBackupFile()).size();
      Machine().SetDiskSpace(c.SpaceLeft.value_or(0) + start);
    };
    Run();
    EXPECT_EQ(FOutcomes, std::vector<std::wstring>{L"csUncured cfNotBackedUp"});
    EXPECT_EQ(Content(c.File), std::string(4000, 'z'));
    Machine().SetDiskFull(false);
    Machine().SetDiskSpace(std::nullopt);
    std::vector<TQuarantineEntry> entries;
    std::wstring error;
    EXPECT_TRUE(ReadQuarantine(FCure.LastBackupFile(), entries, error)) << ToUtf8(error);
    // A copy cut off leaves the line its batch wrote, with no room to mark it unused: it names
    // a file still in its place, which a restore leaves as it is.
    EXPECT_EQ(entries.size(), c.SpaceLeft == 2000u ? 1u : 0u);
    const TRestoreResult restored = RestoreBackupFile(FCure.LastBackupFile());
    EXPECT_TRUE(restored.Files.Failed.empty());
    EXPECT_EQ(restored.Files.Restored, 0);
    EXPECT_EQ(Content(c.File), std::string(4000, 'z'));
  }
}

TEST_F(QuarantineTest, DeletingOrPruningABackupDeletesItsQuarantine) {
  std::vector<std::wstring> folders;
  for (const wchar_t* file : {L"C:\\Temp\\1.tmp", L"C:\\Temp\\2.tmp", L"C:\\Temp\\3.tmp"}) {
    AddFile(file, "data");
    FCure.Clear();
    FCure.AddMatchedItem(FileFinding(file));
    Run();
    folders.push_back(QuarantineFolderOf(FCure.LastBackupFile()));
    Machine().AdvanceMs(1000);
  }
  TRestoreCenter center(kBackup);
  ASSERT_TRUE(center.Load(2));
  EXPECT_FALSE(Machine().HasFolder(folders[0]));
  ASSERT_EQ(center.Rows().size(), 2u);
  ASSERT_TRUE(center.Delete(0));
  EXPECT_FALSE(Machine().HasFolder(folders[2]));
  EXPECT_TRUE(Machine().HasFolder(folders[1]));
}

TEST_F(QuarantineTest, ARunChangedAfterItsRepairIsRefused) {
  RunOver({L"C:\\Temp\\a.tmp"});
  const std::wstring backup = FCure.LastBackupFile();
  const std::wstring manifest = QuarantineFolderOf(backup) + L"\\manifest.txt";
  const std::string backupBytes = Content(backup);
  const std::string manifestText = Content(manifest);
  Machine().AdvanceMs(1000);
  RunOver({L"C:\\Temp\\b.tmp"});
  const std::wstring other = FCure.LastBackupFile();
  const std::string otherBackup = Content(other);
  const std::string otherManifest = Content(QuarantineFolderOf(other) + L"\\manifest.txt");
  const auto editBackup = [&](const std::wstring& aFrom, const std::wstring& aTo) {
    std::wstring text = Utf16Text(Bytes(backupBytes));
    text.replace(text.find(aFrom), aFrom.size(), aTo);
    Machine().AddFileContent(backup, EncodeUtf16Le(text));
  };
  struct TCase {
    const char* Name;
    std::function<void()> Tamper;
  };
  const TCase cases[] = {
      {"backup edited", [&] { editBackup(L"\"v\"=\"1\"", L"\"v\"=\"2\""); }},
      {"manifest edited",
       [&] { SetContent(manifest, Replaced(manifestText, "\\a.tmp", "\\z.tmp")); }},
      {"a sealed manifest line cut out",
       [&] {
         const size_t line = manifestText.find("F\t");
         SetContent(manifest, manifestText.substr(0, line) +
                                  manifestText.substr(manifestText.find('\n', line) + 1));
       }},
      {"backup planted with another key",
       [&] {
         TRegExporter exporter;
         Machine().SetRegString(regroot::CurrentUser, L"Soft\\V", L"v", L"planted");
         exporter.AddItem(L"HKEY_CURRENT_USER", L"Soft\\V", L"v");
         DeleteValue(L"v");
         TSha256Digest seal{};
         TSealKey guessed{};
         guessed.fill(7);
         Machine().AddFileContent(
             backup,
             TSealWriter(guessed, TSealKind::RegistryBackup, backup).Seal(exporter.Stream(), seal));
       }},
      {"files moved from another run",
       [&] {
         SetContent(backup, otherBackup);
         SetContent(manifest, otherManifest);
       }},
      {"unsealed manifest planted in a sealed run",
       [&] { SetContent(manifest, WithoutSeals(manifestText, std::string("S\t"))); }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    SetContent(backup, backupBytes);
    SetContent(manifest, manifestText);
    c.Tamper();
    const TRestoreResult result = RestoreBackupFile(backup, true);
    EXPECT_EQ(result.Seal, TSealState::Broken);
    EXPECT_FALSE(result.Started);
    EXPECT_NE(result.Error.find(ExtractFileName(backup)), std::wstring::npos);
    EXPECT_FALSE(Machine().GetRegString(regroot::CurrentUser, L"Soft\\V", L"v").has_value());
    EXPECT_FALSE(Machine().HasFile(L"C:\\Temp\\a.tmp"));
  }
  // As the run left them, they come back.
  SetContent(backup, backupBytes);
  SetContent(manifest, manifestText);
  const TRestoreResult result = RestoreBackupFile(backup);
  EXPECT_EQ(result.Seal, TSealState::Sealed);
  EXPECT_TRUE(result.Complete()) << ToUtf8(result.Error);
  EXPECT_EQ(Content(L"C:\\Temp\\a.tmp"), "data of C:\\Temp\\a.tmp");
}

TEST_F(QuarantineTest, ABackupWhoseLinesAreLongerThanASealLineIsRestoredWhole) {
  // Each value's line is longer than a seal line, and each is followed by a short one.
  const std::wstring text(120, L'x');
  for (const wchar_t* name : {L"v", L"w"}) {
    Machine().SetRegString(regroot::CurrentUser, L"Soft\\V", name, text);
    FCure.AddMatchedItem(ValueFinding(name));
  }
  Run();
  ASSERT_FALSE(Machine().GetRegString(regroot::CurrentUser, L"Soft\\V", L"v").has_value());
  const TRestoreResult result = RestoreBackupFile(FCure.LastBackupFile());
  EXPECT_EQ(result.Seal, TSealState::Sealed);
  EXPECT_TRUE(result.Complete()) << ToUtf8(result.Error);
  EXPECT_EQ(result.Entries, 2);
  EXPECT_EQ(Machine().GetRegString(regroot::CurrentUser, L"Soft\\V", L"v"), text);
  EXPECT_EQ(Machine().GetRegString(regroot::CurrentUser, L"Soft\\V", L"w"), text);
}

TEST_F(QuarantineTest, ARunThatCannotBeCheckedIsRestoredOnlyWhenTheUserAgrees) {
  const std::wstring windowsFile = Platform().System().GetWindowsFolder() + L"\\Temp\\w.tmp";
  struct TCase {
    const char* Name;
    bool KeyUnreadable; // else the run's seals are taken out, as a version without them wrote it
  };
  // The key's failure stays for the rest of the test: it comes last.
  for (const TCase& c :
       {TCase{"backup from before seals", false}, TCase{"seal key unreadable", true}}) {
    SCOPED_TRACE(c.Name);
    if (c.KeyUnreadable) {
      Machine().FailOpenKey(regroot::LocalMachine, std::wstring(kSealKeyPath));
    }
    RunOver({L"C:\\Temp\\a.tmp", windowsFile});
    EXPECT_EQ(FCure.LastRunSealed(), !c.KeyUnreadable);
    const std::wstring backup = FCure.LastBackupFile();
    const std::wstring manifest = QuarantineFolderOf(backup) + L"\\manifest.txt";
    if (!c.KeyUnreadable) {
      Machine().AddFileContent(backup,
                               EncodeUtf16Le(WithoutSeals(Utf16Text(*Machine().FileContent(backup)),
                                                          std::wstring(L"; seal "))));
      SetContent(manifest, WithoutSeals(Content(manifest), std::string("S\t")));
    }
    TRestoreResult result = RestoreBackupFile(backup);
    EXPECT_TRUE(result.NeedsConsent);
    EXPECT_FALSE(result.Started);
    EXPECT_FALSE(Machine().HasFile(L"C:\\Temp\\a.tmp"));

    result = RestoreBackupFile(backup, true);
    EXPECT_EQ(result.Seal, TSealState::Unsealed);
    EXPECT_EQ(result.Verified, 1);
    EXPECT_EQ(Machine().GetRegString(regroot::CurrentUser, L"Soft\\V", L"v"), L"1");
    EXPECT_EQ(Content(L"C:\\Temp\\a.tmp"), "data of C:\\Temp\\a.tmp");
    // What an unchecked manifest names in the Windows folder stays where it is.
    EXPECT_FALSE(Machine().HasFile(windowsFile));
    ASSERT_EQ(result.Files.Failed.size(), 1u);
    EXPECT_EQ(result.Files.Failed[0].Path, windowsFile);
    Platform().Files().DeleteFile(L"C:\\Temp\\a.tmp");
    Machine().AdvanceMs(1000);
  }
}

TEST_F(QuarantineTest, NoRestoreWritesWhereWindowsKeepsItsOwnFiles) {
  const std::wstring windows = Platform().System().GetWindowsFolder();
  struct TCase {
    std::wstring File;
    bool Refused;
  };
  const TCase cases[] = {
      {windows + L"\\System32\\old.dll", true},
      {windows + L"\\WinSxS\\Backup\\old.manifest", true},
      {windows + L"\\Fonts\\old.fon", true},
      {windows + L"\\win.tmp", true},
      {windows + L"\\Temp\\w.tmp", false},
      {windows + L"\\System32\\LogFiles\\w.log", false},
      {L"C:\\Temp\\a.tmp", false},
  };
  std::vector<std::wstring> files;
  for (const TCase& c : cases) {
    files.push_back(c.File);
  }
  RunOver(files);
  ASSERT_TRUE(FCure.LastRunSealed());
  const TRestoreResult result = RestoreBackupFile(FCure.LastBackupFile());
  EXPECT_EQ(result.Seal, TSealState::Sealed);
  for (const TCase& c : cases) {
    SCOPED_TRACE(ToUtf8(c.File));
    const auto failed =
        std::find_if(result.Files.Failed.begin(), result.Files.Failed.end(),
                     [&c](const TFileRestoreFailure& aFailure) { return aFailure.Path == c.File; });
    EXPECT_EQ(failed != result.Files.Failed.end(), c.Refused);
    EXPECT_EQ(failed != result.Files.Failed.end() && failed->WindowsFile, c.Refused);
    EXPECT_EQ(Machine().HasFile(c.File), !c.Refused);
  }
  EXPECT_EQ(result.Files.Restored, 3);
}

TEST_F(QuarantineTest, TheEditorImportsTheCheckedBytesFromACopyNoOtherProgramCanChange) {
  RunOver({});
  const std::wstring backup = FCure.LastBackupFile();
  // Another program swaps the backup file between its check and its import.
  Machine().SetRegString(regroot::CurrentUser, L"Soft\\V", L"v", L"planted");
  TRegExporter planted;
  planted.AddItem(L"HKEY_CURRENT_USER", L"Soft\\V", L"v");
  DeleteValue(L"v");
  const std::wstring copies = GetWindowsDir() + L"Temp\\kestrova-restore-*";
  std::vector<std::wstring> imported;
  Machine().SetLaunchHandler([&](const TProcessStart& aStart, TProcessResult& aResult) {
    Machine().AddFileContent(backup, planted.Stream());
    FindFiles(copies, imported, true);
    for (const std::wstring& copy : imported) {
      EXPECT_TRUE(Machine().IsAdminOnly(copy)) << ToUtf8(copy);
      EXPECT_NE(aStart.CommandLine.find(copy), std::wstring::npos);
    }
    TErrorCode error = err::Success;
    EXPECT_TRUE(RunFakeRegEdit(aStart, aResult, error));
    return error;
  });
  const TRestoreResult result = RestoreBackupFile(backup);
  EXPECT_TRUE(result.Complete()) << ToUtf8(result.Error);
  EXPECT_EQ(imported.size(), 1u);
  EXPECT_EQ(Machine().GetRegString(regroot::CurrentUser, L"Soft\\V", L"v"), L"1");
  std::vector<std::wstring> left;
  FindFiles(copies, left, true);
  EXPECT_TRUE(left.empty());

  // Where the copy cannot be made, the restore says so rather than blame the backup.
  ASSERT_EQ(Platform().Files().RemoveFolder(GetWindowsDir() + L"Temp"), err::Success);
  Machine().AddTextFile(GetWindowsDir() + L"Temp", "not a folder");
  const TRestoreResult denied = RestoreBackupFile(backup);
  EXPECT_FALSE(denied.Complete());
  EXPECT_NE(denied.Error.find(L"administrator rights"), std::wstring::npos) << ToUtf8(denied.Error);
}

TEST_F(QuarantineTest, AKilledRunsSealedPartIsRestoredAndItsUnsealedTailDropped) {
  RunOver({L"C:\\Temp\\a.tmp"});
  const std::wstring backup = FCure.LastBackupFile();
  const std::wstring manifest = QuarantineFolderOf(backup) + L"\\manifest.txt";
  const std::string sealed = Content(backup);
  // What a run killed in the middle of its next appends left: batches without their seals.
  Machine().SetRegString(regroot::CurrentUser, L"Soft\\V", L"w", L"unsealed");
  TRegExporter tail;
  tail.AddItem(L"HKEY_CURRENT_USER", L"Soft\\V", L"w");
  DeleteValue(L"w");
  SetContent(backup, sealed + std::string(tail.Stream().begin() + 82, tail.Stream().end()));
  SetContent(manifest, Content(manifest) + "D\tC:\\Unsealed\r\n");

  TRestoreCenter center(kBackup);
  NewestRow(center);
  const TRestoreResult result = center.Restore(0);
  EXPECT_EQ(result.Seal, TSealState::Sealed);
  EXPECT_TRUE(result.Complete()) << ToUtf8(result.Error);
  EXPECT_EQ(result.Entries, 1);
  EXPECT_EQ(Machine().GetRegString(regroot::CurrentUser, L"Soft\\V", L"v"), L"1");
  EXPECT_FALSE(Machine().GetRegString(regroot::CurrentUser, L"Soft\\V", L"w").has_value());
  EXPECT_FALSE(Machine().HasFolder(L"C:\\Unsealed"));
  EXPECT_EQ(Content(L"C:\\Temp\\a.tmp"), "data of C:\\Temp\\a.tmp");
  EXPECT_EQ(Content(backup), sealed);
}

// What the system is asked per file a run keeps, however many it keeps: a look at the file as its
// manifest line is written and one before it moves, a look at its folder (no link since the
// scan), one read for its hash and one move.
TEST_F(QuarantineTest, EachKeptFileCostsThreeLooksOneReadAndOneMove) {
  TCountingPlatform counting(Machine());
  const TScopedPlatform countingScope(counting);
  // The first run makes the backup index and the seal, which every later run only reads.
  RunOver({L"C:\\Temp\\first.tmp"});
  std::vector<std::map<std::string, size_t>> counts;
  for (const int files : {20, 60}) {
    FCure.Clear();
    for (int i = 0; i < files; ++i) {
      const std::wstring file = L"C:\\Temp\\Many\\f" + std::to_wstring(i) + L".tmp";
      AddFile(file, "junk " + std::to_string(i));
      FCure.AddMatchedItem(FileFinding(file));
    }
    // A run of its own second: its backup file name is free at the first try.
    Machine().AdvanceMs(1000);
    FOutcomes.clear();
    counting.Reset();
    Run();
    EXPECT_EQ(FOutcomes, std::vector<std::wstring>(static_cast<size_t>(files), L"csCured cfNone"));
    counts.push_back(counting.Counts());
  }
  const auto perFile = [&counts](const std::string& aCall) {
    return static_cast<double>(counts[1][aCall] - counts[0][aCall]) / 40;
  };
  EXPECT_EQ(perFile("GetFileInfo") + perFile("GetAttributes"), 3);
  EXPECT_EQ(perFile("ReadFilePart"), 1);
  EXPECT_EQ(perFile("MoveFileInFolder"), 1);
  for (const auto& [call, count] : counts[1]) {
    if (call != "GetFileInfo" && call != "GetAttributes" && call != "ReadFilePart" &&
        call != "MoveFileInFolder") {
      EXPECT_EQ(count, counts[0][call]) << call;
    }
  }
}

// A run keeps no more than a thousand files in one folder of its quarantine (a name that does not
// exist yet is found by reading its whole folder on some systems), and every one comes back.
TEST_F(QuarantineTest, ALargeRunKeepsAThousandFilesAFolderAndRestoresThemAll) {
  constexpr int kFiles = 2500;
  std::vector<std::wstring> files;
  for (int i = 0; i < kFiles; ++i) {
    files.push_back(L"C:\\Temp\\Many\\f" + std::to_wstring(i) + L".tmp");
  }
  RunOver(files);
  const std::wstring backup = FCure.LastBackupFile();
  const std::wstring folder = QuarantineFolderOf(backup);
  size_t kept = 0;
  for (const std::wstring& name : Machine().ListFolder(folder)) {
    if (Machine().HasFolder(folder + L"\\" + name)) {
      const size_t held = Machine().ListFolder(folder + L"\\" + name).size();
      EXPECT_LE(held, 1000u) << ToUtf8(name);
      kept += held;
    }
  }
  EXPECT_EQ(kept, static_cast<size_t>(kFiles));
  const TRestoreResult result = RestoreBackupFile(backup);
  EXPECT_TRUE(result.Complete()) << ToUtf8(result.Error);
  EXPECT_EQ(result.Files.Restored, kFiles);
  EXPECT_EQ(Content(files.back()), "data of " + ToUtf8(files.back()));
}

// A quarantine written before the folders of a thousand holds each file under its number alone;
// it is read and restored as it is.
TEST_F(QuarantineTest, AQuarantineOfFilesUnderTheirNumberAloneIsStillRestored) {
  const std::wstring backup = kBackup + L"\\01022020030405.reg";
  const std::wstring folder = QuarantineFolderOf(backup);
  const std::string content = "kept by an earlier version";
  AddFile(folder + L"\\1", content);
  TSha256 hash;
  hash.Update(reinterpret_cast<const uint8_t*>(content.data()), content.size());
  TSha256Digest digest{};
  ASSERT_TRUE(hash.Final(digest));
  AddFile(folder + L"\\manifest.txt",
          "KESTROVA-QUARANTINE\t1\r\nF\t1\t" + std::to_string(content.size()) + "\t20\t" +
              std::to_string(kTimes.Creation) + "\t" + std::to_string(kTimes.LastAccess) + "\t" +
              std::to_string(kTimes.LastWrite) + "\t" + ToUtf8(DigestText(digest)) +
              "\tC:\\Temp\\old.tmp\r\n");
  std::vector<TQuarantineEntry> entries;
  std::wstring error;
  ASSERT_TRUE(ReadQuarantine(backup, entries, error)) << ToUtf8(error);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].StoredName, L"1");
  const TFileRestoreResult result = RestoreQuarantine(backup, entries, false);
  EXPECT_EQ(result.Restored, 1);
  EXPECT_EQ(Content(L"C:\\Temp\\old.tmp"), content);
}

} // namespace
