#include "cure/FigCure.h"
#include "base/CLMainThread.h"
#include "cure/RegFileReader.h"
#include "platform/RegKey.h"
#include "platform/TextCodec.h"
#include "platform/fake/FakeMachine.h"
#include "support/CountingPlatform.h"
#include "support/FakeRegEdit.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace kplat;

const std::wstring kBackup = L"C:\\Users\\User\\AppData\\Roaming\\Kestrova\\backup";
const std::wstring kIndex = kBackup + L"\\info.rec";
const std::wstring kHKCU = L"HKEY_CURRENT_USER";
constexpr uint32_t kRunLimitMs = 600000;

TFigScanedItem KeyFinding(const std::wstring& aPath, const std::wstring& aSection = L"") {
  TFigScanedItem item;
  item.TopicName = L"Keys";
  item.LocationStyle = lsRegistry;
  item.ScanedRoot = kHKCU;
  item.ScanedPath = aPath;
  item.ScanedSection = aSection;
  item.Checked = true;
  return item;
}

TFigScanedItem ValueFinding(const std::wstring& aPath, const std::wstring& aSection) {
  TFigScanedItem item = KeyFinding(aPath, aSection);
  item.TopicName = L"Values";
  item.ValueCheck = true;
  return item;
}

TFigScanedItem FileFinding(const std::wstring& aFolder, const std::wstring& aName) {
  TFigScanedItem item;
  item.TopicName = L"Junk";
  item.LocationStyle = lsDisk;
  item.RuleStyle = rsJunkFile;
  item.ScanedRoot = aFolder;
  item.ScanedPath = aFolder;
  item.ScanedName = aName;
  item.Checked = true;
  return item;
}

TFigScanedItem FixFinding(const std::wstring& aPath, const std::wstring& aSection,
                          const std::wstring& aLine) {
  TFigScanedItem item = KeyFinding(aPath, aSection);
  item.TopicName = L"Boost";
  item.LocationStyle = lsRegistryItem;
  item.ScanedName = aLine;
  return item;
}

TFigScanedItem SweepFinding() {
  TFigScanedItem item;
  item.TopicName = L"Sweep";
  item.LocationStyle = lsDisk;
  item.RuleStyle = rsSweepHelper;
  item.ScanedRoot = L"C:\\Program Files\\Kestrova\\sweephelper.exe";
  item.RuleParams = L"rsSweepHelper\r\n/clean history\r\n";
  item.Checked = true;
  return item;
}

class FigCureTest : public testing::Test {
protected:
  FigCureTest() {
    Machine().AddFolder(kBackup);
    InstallFakeRegEdit(Machine());
    FCure->SetBackupPath(kBackup);
    FCure->OnStarted = [this](TObject&) { FLog.push_back(L"started"); };
    FCure->OnCured = [this](const TFigScanedItem& aItem, TFigCureStatus aStatus, int aIndex,
                            int aMax) {
      FLog.push_back(L"cured " + std::to_wstring(aIndex) + L"/" + std::to_wstring(aMax) + L" " +
                     GetEnumName(aStatus));
      FCuredTicks.push_back(Platform().Clock().TickMs());
      FCuredItems.push_back(aItem);
    };
    FCure->OnTopicCured = [this](const std::wstring& aTopic, TTopicStatus aStatus) {
      FLog.push_back(L"topic " + aTopic + L" " + GetEnumName(aStatus));
    };
    FCure->OnAbort = [this](TObject&) { FLog.push_back(L"abort"); };
    FCure->OnFinished = [this](TObject&) { FLog.push_back(L"finished"); };
  }

  fake::TFakeMachine& Machine() { return FScope.Machine(); }

  // Starts a run and serves the main thread until it has ended.
  void Run() {
    ASSERT_TRUE(FCure->StartCure()) << ToUtf8(FCure->LastError());
    ASSERT_TRUE(FMain.RunUntil([this] { return !FCure->IsRunning(); }, kRunLimitMs));
  }

  std::string Index() {
    const auto bytes = Machine().FileContent(kIndex);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
  }

  // The backup file's keys as the registry editor would read them; the file must be valid.
  std::vector<TRegFileKey> BackupKeys(const std::wstring& aFile) {
    TRegFileReader reader;
    const auto bytes = Machine().FileContent(aFile);
    EXPECT_TRUE(bytes.has_value());
    EXPECT_TRUE(reader.LoadFromBytes(bytes.value_or(std::vector<uint8_t>())))
        << ToUtf8(reader.Error().Message);
    EXPECT_EQ(reader.Format(), TRegFileFormat::Version5);
    return reader.Keys();
  }

  fake::TFakeMachineScope FScope;
  TCLMainThreadQueue FMain;
  TCLScopedMainThread FMainScope{FMain};
  std::unique_ptr<TFigCure> FCure = std::make_unique<TFigCure>();
  std::vector<std::wstring> FLog;
  std::vector<uint64_t> FCuredTicks;
  std::vector<TFigScanedItem> FCuredItems;
};

TEST_F(FigCureTest, FindingsListIgnoresIndicesOutOfRange) {
  for (int i = 0; i < 20; ++i) {
    TFigScanedItem item = ValueFinding(L"K", L"v" + std::to_wstring(i));
    item.SID = i;
    item.Checked = i % 2 == 0;
    FCure->AddMatchedItem(item);
  }
  EXPECT_EQ(FCure->ItemCount(), 20);
  EXPECT_EQ(FCure->GetCheckedItem(), 10);
  FCure->SetChecked(1, true);
  FCure->SetChecked(20, true);
  FCure->SetChecked(-1, true);
  EXPECT_EQ(FCure->GetCheckedItem(), 11);
  EXPECT_EQ(FCure->GetMatchedItem(19).ScanedSection, L"v19");
  EXPECT_EQ(FCure->GetMatchedItem(20).ScanedSection, L"");
  EXPECT_EQ(FCure->GetMatchedItem(-1).SID, 0);
  FCure->Clear();
  EXPECT_EQ(FCure->ItemCount(), 0);
  EXPECT_EQ(FCure->GetCheckedItem(), 0);
}

TEST_F(FigCureTest, RunRepairsEveryKindOfFindingInOrder) {
  Machine().SetRegString(regroot::CurrentUser, L"Soft\\Dead", L"", L"gone");
  Machine().SetRegString(regroot::CurrentUser, L"Soft\\Vals", L"a", L"1");
  Machine().SetRegString(regroot::CurrentUser, L"Soft\\Vals", L"keep", L"2");
  Machine().SetRegString(regroot::CurrentUser, L"Soft\\Opt", L"Speed", L"slow");
  Machine().AddFile(L"C:\\Temp\\junk.tmp", 10);
  Machine().AddFile(L"C:\\Temp\\kept.tmp", 10);

  FCure->AddMatchedItem(KeyFinding(L"Soft\\Dead"));
  FCure->AddMatchedItem(ValueFinding(L"Soft\\Vals", L"a"));
  FCure->AddMatchedItem(ValueFinding(L"Soft\\Missing", L"a"));
  TFigScanedItem unchecked = FileFinding(L"C:\\Temp\\", L"kept.tmp");
  unchecked.Checked = false;
  FCure->AddMatchedItem(unchecked);
  FCure->AddMatchedItem(FileFinding(L"C:\\Temp\\", L"junk.tmp"));
  FCure->AddMatchedItem(FileFinding(L"C:\\Temp\\", L"gone.tmp"));
  FCure->AddMatchedItem(FixFinding(L"Soft\\Opt", L"Speed", L"\"Speed\"=\"fast\""));
  FCure->AddMatchedItem(FixFinding(L"Soft\\Opt", L"N", L"\"N\"=DWORD:00000002"));
  const uint64_t start = Platform().Clock().TickMs();
  Run();

  const std::vector<std::wstring> expected = {L"started",
                                              L"cured 0/8 csCured",
                                              L"topic Keys tsCured",
                                              L"cured 1/8 csCured",
                                              L"topic Values tsCured",
                                              L"cured 2/8 csIgnored",
                                              L"topic Values tsCured",
                                              L"cured 4/8 csCured",
                                              L"topic Junk tsCured",
                                              L"cured 5/8 csIgnored",
                                              L"topic Junk tsCured",
                                              L"cured 6/8 csIgnored",
                                              L"topic Boost tsCured",
                                              L"cured 7/8 csIgnored",
                                              L"topic Boost tsCured",
                                              L"finished"};
  EXPECT_EQ(FLog, expected);
  EXPECT_FALSE(Machine().RegKeyExists(regroot::CurrentUser, L"Soft\\Dead"));
  EXPECT_FALSE(Machine().GetRegValue(regroot::CurrentUser, L"Soft\\Vals", L"a"));
  EXPECT_TRUE(Machine().GetRegValue(regroot::CurrentUser, L"Soft\\Vals", L"keep"));
  EXPECT_FALSE(Machine().HasFile(L"C:\\Temp\\junk.tmp"));
  EXPECT_TRUE(Machine().HasFile(L"C:\\Temp\\kept.tmp"));
  // The fix lines reached the registry at the end, and their file is gone.
  EXPECT_EQ(Machine().GetRegString(regroot::CurrentUser, L"Soft\\Opt", L"Speed"), L"fast");
  EXPECT_EQ(FCure->LastImportStatus(), isImported);
  const auto launches = Machine().Launches();
  ASSERT_EQ(launches.size(), 1u);
  EXPECT_TRUE(launches[0].Hidden);
  EXPECT_GE(launches[0].WaitMs, 60000u);
  EXPECT_NE(launches[0].CommandLine.find(L"\" /s \"C:\\Users\\User\\AppData\\Local\\Temp\\regcure"),
            std::wstring::npos);
  EXPECT_TRUE(Machine().ListFolder(L"C:\\Users\\User\\AppData\\Local\\Temp").empty());
  // Each of the 8 slots took at least 1500 ms, the unchecked one too.
  EXPECT_GE(Platform().Clock().TickMs() - start, 12000u);
  EXPECT_GE(FCuredTicks[3] - FCuredTicks[2], 3000u);

  // One entry per value about to change: the dead key's value, the deleted value and the value
  // the fix line changed; nothing for what was not there.
  const auto keys = BackupKeys(FCure->LastBackupFile());
  ASSERT_EQ(keys.size(), 3u);
  EXPECT_EQ(keys[0].SubKey, L"Soft\\Dead");
  EXPECT_EQ(keys[1].SubKey, L"Soft\\Vals");
  ASSERT_EQ(keys[1].Values.size(), 1u);
  EXPECT_EQ(keys[1].Values[0].Name, L"a");
  EXPECT_EQ(keys[2].Values[0].Value.Data, MakeStringValue(L"slow").Data);
}

TEST_F(FigCureTest, KeyDeletionBacksUpTheWholeTreeAndRestoresIt) {
  const std::wstring key = L"Software\\Dead App";
  Machine().SetRegString(regroot::CurrentUser, key, L"", L"default");
  Machine().SetRegString(regroot::CurrentUser, key, L"back\\slash", L"say \"hi\"");
  Machine().SetRegValue(regroot::CurrentUser, key, L"multi", MakeMultiStringValue({L"a", L"b"}));
  Machine().SetRegDword(regroot::CurrentUser, key + L"\\Sub", L"n", 7);
  Machine().SetRegValue(regroot::CurrentUser, key + L"\\Sub\\Deeper", L"bin",
                        TRegValue{regtype::Binary, {1, 0xAB}});
  Machine().AddRegKey(regroot::CurrentUser, key + L"\\Empty");
  FCure->AddMatchedItem(KeyFinding(key, L"missing"));
  Run();
  ASSERT_FALSE(Machine().RegKeyExists(regroot::CurrentUser, key));

  TRegFileError error;
  ASSERT_TRUE(ImportRegFileDirect(FCure->LastBackupFile(), error)) << ToUtf8(error.Message);
  EXPECT_EQ(Machine().GetRegString(regroot::CurrentUser, key, L""), L"default");
  EXPECT_EQ(Machine().GetRegString(regroot::CurrentUser, key, L"back\\slash"), L"say \"hi\"");
  EXPECT_EQ(Machine().GetRegValue(regroot::CurrentUser, key, L"multi")->Data,
            MakeMultiStringValue({L"a", L"b"}).Data);
  EXPECT_EQ(Machine().GetRegValue(regroot::CurrentUser, key + L"\\Sub", L"n")->Data,
            MakeDwordValue(7).Data);
  EXPECT_EQ(Machine().GetRegValue(regroot::CurrentUser, key + L"\\Sub\\Deeper", L"bin")->Data,
            (std::vector<uint8_t>{1, 0xAB}));
  // A key without values comes back too.
  EXPECT_TRUE(Machine().RegKeyExists(regroot::CurrentUser, key + L"\\Empty"));
}

TEST_F(FigCureTest, AKeyTreeNestedToTheDeepestLevelIsBackedUpAndRestoredWhole) {
  // The registry allows 512 levels below a root; the tree below the finding fills them all.
  const std::wstring key = L"Software\\Deep";
  std::wstring bottom = key;
  for (int level = 2; level < 512; ++level) {
    bottom += L"\\k";
    if (level % 100 == 0) {
      Machine().SetRegString(regroot::CurrentUser, bottom, L"at", std::to_wstring(level));
    }
  }
  Machine().SetRegString(regroot::CurrentUser, bottom, L"at", L"bottom");
  FCure->AddMatchedItem(KeyFinding(key));
  Run();
  ASSERT_EQ(FLog[1], L"cured 0/1 csCured");
  ASSERT_FALSE(Machine().RegKeyExists(regroot::CurrentUser, key));
  EXPECT_EQ(Machine().OpenRegHandleCount(), 0u);

  TRegFileError error;
  ASSERT_TRUE(ImportRegFileDirect(FCure->LastBackupFile(), error)) << ToUtf8(error.Message);
  EXPECT_EQ(Machine().GetRegString(regroot::CurrentUser, bottom, L"at"), L"bottom");
  EXPECT_EQ(BackupKeys(FCure->LastBackupFile()).size(), 6u);
}

TEST_F(FigCureTest, EachBackupEntryIsOnDiskBeforeItsChange) {
  // Paced, each finding's entry is flushed in its own slot; without pacing, entries are flushed
  // for several findings at once, but always before the first of their changes.
  for (const bool paced : {true, false}) {
    for (int i = 0; i < 5; ++i) {
      Machine().SetRegDword(regroot::CurrentUser, L"Soft\\V", L"v" + std::to_wstring(i), i);
    }
    FCure->Clear();
    for (int i = 0; i < 5; ++i) {
      FCure->AddMatchedItem(ValueFinding(L"Soft\\V", L"v" + std::to_wstring(i)));
    }
    std::vector<size_t> entriesOnDisk;
    FCure->OnCured = [&](const TFigScanedItem& aItem, TFigCureStatus aStatus, int aIndex, int) {
      EXPECT_EQ(aStatus, csCured);
      const auto keys = BackupKeys(FCure->LastBackupFile());
      entriesOnDisk.push_back(keys.size());
      ASSERT_GT(keys.size(), static_cast<size_t>(aIndex));
      EXPECT_EQ(keys[static_cast<size_t>(aIndex)].Values[0].Name, aItem.ScanedSection);
    };
    FCure->SetPaced(paced);
    Run();
    EXPECT_EQ(entriesOnDisk,
              paced ? (std::vector<size_t>{1, 2, 3, 4, 5}) : (std::vector<size_t>{5, 5, 5, 5, 5}));
  }
}

// What the system is asked per value repaired: one read for its backup and one deletion, plus an
// open and a close of each key for the reads and for the deletions; the backup file is written once
// for the whole run, not once per value.
TEST_F(FigCureTest, EachValueCostsOneReadAndOneDeletionAndEachKeyOneOpen) {
  struct TCase {
    int ValuesPerKey;
    double OtherCallsPerValue; // besides the read and the deletion
  };
  TCountingPlatform counting(Machine());
  const TScopedPlatform countingScope(counting);
  FCure->SetPaced(false);
  // The first run makes the backup index and the seal, which every later run only reads.
  Run();
  for (const TCase& test : {TCase{25, 0}, TCase{5, 4.0 / 5}}) {
    SCOPED_TRACE("values per key: " + std::to_string(test.ValuesPerKey));
    std::vector<std::map<std::string, size_t>> counts;
    for (const int values : {5, 25}) {
      FCure->Clear();
      for (int i = 0; i < values; ++i) {
        const std::wstring key = L"Soft\\Many\\k" + std::to_wstring(i / test.ValuesPerKey);
        Machine().SetRegDword(regroot::CurrentUser, key, L"v" + std::to_wstring(i), i);
        FCure->AddMatchedItem(ValueFinding(key, L"v" + std::to_wstring(i)));
      }
      // A run of its own second: its backup file name is free at the first try.
      Machine().AdvanceMs(1000);
      counting.Reset();
      Run();
      counts.push_back(counting.Counts());
    }
    const auto added = [&counts](const std::string& aCall) {
      return static_cast<double>(counts[1][aCall] - counts[0][aCall]) / 20;
    };
    EXPECT_EQ(added("QueryValue"), 1);
    EXPECT_EQ(added("DeleteValue"), 1);
    double other = 0;
    for (const auto& [call, count] : counts[1]) {
      if (call != "QueryValue" && call != "DeleteValue") {
        EXPECT_GE(count, counts[0][call]) << call;
        other += added(call);
      }
    }
    EXPECT_LE(other, test.OtherCallsPerValue);
  }
}

// A list of findings changed while a run goes on (the window unticks, adds or clears findings)
// changes neither what that run repairs nor what it reports; the list shows the change.
TEST_F(FigCureTest, FindingsChangedDuringARunLeaveTheRunAsItStarted) {
  struct TCase {
    const char* Name;
    std::function<void(TFigCure&)> Change;
    int CountAfter;
    bool SecondCheckedAfter;
  };
  const std::vector<TCase> cases = {
      {"unticked", [](TFigCure& aCure) { aCure.SetChecked(1, false); }, 3, false},
      {"added", [](TFigCure& aCure) { aCure.AddMatchedItem(ValueFinding(L"Soft\\Run", L"late")); },
       4, true},
      {"cleared", [](TFigCure& aCure) { aCure.Clear(); }, 0, false},
  };
  for (const TCase& test : cases) {
    SCOPED_TRACE(test.Name);
    FCure->Clear();
    for (const wchar_t* name : {L"a", L"b", L"c", L"late"}) {
      Machine().SetRegString(regroot::CurrentUser, L"Soft\\Run", name, name);
    }
    for (const wchar_t* name : {L"a", L"b", L"c"}) {
      FCure->AddMatchedItem(ValueFinding(L"Soft\\Run", name));
    }
    std::vector<std::wstring> cured;
    FCure->OnCured = [&](const TFigScanedItem& aItem, TFigCureStatus aStatus, int aIndex, int) {
      cured.push_back(aItem.ScanedSection + L" " + GetEnumName(aStatus));
      if (aIndex == 0) {
        test.Change(*FCure);
      }
    };
    Run();
    EXPECT_EQ(cured, (std::vector<std::wstring>{L"a csCured", L"b csCured", L"c csCured"}));
    for (const wchar_t* name : {L"a", L"b", L"c"}) {
      EXPECT_FALSE(Machine().GetRegString(regroot::CurrentUser, L"Soft\\Run", name));
    }
    EXPECT_TRUE(Machine().GetRegString(regroot::CurrentUser, L"Soft\\Run", L"late"));
    EXPECT_EQ(FCure->ItemCount(), test.CountAfter);
    EXPECT_EQ(FCure->GetMatchedItem(1).Checked, test.SecondCheckedAfter);
  }
}

TEST_F(FigCureTest, TheEndOfARunLetsTheOwnerUntickWithoutACopyOfTheFindings) {
  for (const wchar_t* name : {L"a", L"b"}) {
    Machine().SetRegString(regroot::CurrentUser, L"Soft\\Run", name, name);
    FCure->AddMatchedItem(ValueFinding(L"Soft\\Run", name));
  }
  const TFigScanedItem* before = &FCure->GetMatchedItem(0);
  const TFigScanedItem* atEnd = nullptr;
  FCure->OnFinished = [&](TObject&) {
    FCure->SetChecked(0, false);
    atEnd = &FCure->GetMatchedItem(0);
  };
  Run();
  EXPECT_EQ(atEnd, before);
  EXPECT_FALSE(FCure->GetMatchedItem(0).Checked);
}

TEST_F(FigCureTest, EveryRunGetsItsOwnBackupFileAndIndexLine) {
  Machine().AddTextFile(kIndex, "2026-03-01 08:00:00,3,03012026080000.reg");
  Machine().SetRegString(regroot::CurrentUser, L"Soft\\V", L"a", L"first");
  FCure->AddMatchedItem(ValueFinding(L"Soft\\V", L"a"));
  FCure->AddMatchedItem(FileFinding(L"C:\\Temp\\", L"x.tmp"));
  const TFileTime start = Platform().Clock().NowUtc();
  Run();
  const std::wstring first = FCure->LastBackupFile();
  // The second run starts in the same second as the first.
  Machine().SetNow(start);
  Machine().SetRegString(regroot::CurrentUser, L"Soft\\V", L"b", L"second");
  FCure->SetChecked(0, false);
  FCure->AddMatchedItem(ValueFinding(L"Soft\\V", L"b"));
  Run();
  EXPECT_EQ(first, kBackup + L"\\03022026100000.reg");
  EXPECT_EQ(FCure->LastBackupFile(), kBackup + L"\\03022026100000_2.reg");
  EXPECT_EQ(Index(), "2026-03-01 08:00:00,3,03012026080000.reg\r\n"
                     "2026-03-02 10:00:00,2,03022026100000.reg\r\n"
                     "2026-03-02 10:00:00,3,03022026100000_2.reg\r\n");
  const auto firstKeys = BackupKeys(first);
  ASSERT_EQ(firstKeys.size(), 1u);
  EXPECT_EQ(firstKeys[0].Values[0].Name, L"a");
  const auto secondKeys = BackupKeys(FCure->LastBackupFile());
  ASSERT_EQ(secondKeys.size(), 1u);
  EXPECT_EQ(secondKeys[0].Values[0].Name, L"b");
}

TEST_F(FigCureTest, ABackupFolderOnANetworkShareKeepsItsFilesThere) {
  // A roaming profile puts the user data folder, and so the backups, on a server.
  const std::wstring share = L"\\\\server\\profiles\\User\\backup";
  Machine().AddFolder(share);
  Machine().SetCurrentFolder(L"C:\\Work");
  FCure->SetBackupPath(share);
  Machine().SetRegString(regroot::CurrentUser, L"Soft\\V", L"a", L"first");
  FCure->AddMatchedItem(ValueFinding(L"Soft\\V", L"a"));
  Run();
  EXPECT_EQ(FCure->LastBackupFile(), share + L"\\03022026100000.reg");
  EXPECT_EQ(BackupKeys(FCure->LastBackupFile()).size(), 1u);
  EXPECT_TRUE(Machine().HasFile(share + L"\\info.rec"));
  EXPECT_FALSE(Machine().HasFile(L"C:\\Work\\info.rec"));
}

TEST_F(FigCureTest, NothingIsTakenFromTheCurrentFolder) {
  Machine().SetCurrentFolder(L"C:\\Work");
  Machine().AddTextFile(L"C:\\Work\\info.rec", "2026-03-01 08:00:00,1,a.reg\r\n");
  Machine().AddFile(L"C:\\Work\\junk.tmp", 1);
  Machine().SetRegString(regroot::CurrentUser, L"Soft\\V", L"a", L"1");
  FCure->AddMatchedItem(ValueFinding(L"Soft\\V", L"a"));
  // A backup folder that is not a full path is refused before anything changes.
  for (const std::wstring folder : {L"", L"backup", L"\\backup", L"C:backup"}) {
    FCure->SetBackupPath(folder);
    EXPECT_FALSE(FCure->StartCure()) << ToUtf8(folder);
    EXPECT_NE(FCure->LastError().find(L"not a full path"), std::wstring::npos);
  }
  EXPECT_EQ(Machine().ListFolder(L"C:\\Work").size(), 2u);
  EXPECT_EQ(Machine().FileContent(L"C:\\Work\\info.rec")->size(), 29u);
  EXPECT_TRUE(FLog.empty());
  EXPECT_TRUE(Machine().GetRegValue(regroot::CurrentUser, L"Soft\\V", L"a"));

  // A file finding whose folder is not a full path is not repaired.
  FCure->SetBackupPath(kBackup);
  FCure->Clear();
  FCure->AddMatchedItem(FileFinding(L"Temp", L"junk.tmp"));
  FCure->OnTopicCured = nullptr;
  FCure->OnCured = [&](const TFigScanedItem&, TFigCureStatus aStatus, int, int) {
    FLog.push_back(GetEnumName(aStatus));
  };
  Run();
  EXPECT_EQ(FLog, (std::vector<std::wstring>{L"started", L"csUncured", L"finished"}));
  EXPECT_TRUE(Machine().HasFile(L"C:\\Work\\junk.tmp"));
}

TEST_F(FigCureTest, ARunThatCannotWriteTheIndexOrItsBackupChangesNothingAndSaysWhy) {
  Machine().SetRegString(regroot::CurrentUser, L"Soft\\V", L"a", L"1");
  FCure->AddMatchedItem(ValueFinding(L"Soft\\V", L"a"));

  // Found out by the worker, before its first change; the run ends as every run does.
  Machine().FailOpenFile(kIndex, err::AccessDenied);
  Run();
  EXPECT_TRUE(FCure->LastRunNotStarted());
  EXPECT_NE(FCure->LastError().find(kIndex), std::wstring::npos) << ToUtf8(FCure->LastError());
  EXPECT_NE(FCure->LastError().find(L"Access is denied"), std::wstring::npos);
  EXPECT_TRUE(Machine().ListFolder(kBackup).empty());
  EXPECT_EQ(FLog, (std::vector<std::wstring>{L"started", L"finished"}));

  {
    fake::TFakeMachineScope fresh;
    fresh.Machine().AddFolder(kBackup);
    fresh.Machine().SetDiskFull(true);
    FLog.clear();
    Run();
    EXPECT_TRUE(FCure->LastRunNotStarted());
    EXPECT_NE(FCure->LastError().find(L"backup file"), std::wstring::npos);
    EXPECT_EQ(FLog, (std::vector<std::wstring>{L"started", L"finished"}));
  }

  // A backup folder that is missing is known before the run starts.
  fake::TFakeMachineScope noFolder;
  FLog.clear();
  EXPECT_FALSE(FCure->StartCure());
  EXPECT_NE(FCure->LastError().find(L"backup file"), std::wstring::npos);
  EXPECT_FALSE(FCure->IsRunning());
  EXPECT_TRUE(FLog.empty());
  EXPECT_TRUE(Machine().GetRegValue(regroot::CurrentUser, L"Soft\\V", L"a"));
}

TEST_F(FigCureTest, ADiskFillingAtAnyByteOfTheStartLeavesTheIndexWholeAndChangesNothing) {
  Machine().SetRegString(regroot::CurrentUser, L"Soft\\V", L"a", L"1");
  FCure->AddMatchedItem(ValueFinding(L"Soft\\V", L"a"));
  const std::string earlier = "02.03.2026 08:00:00,3,03022026080000.reg\r\n"
                              "02.03.2026 08:30:00,1,03022026083000.reg\r\n";
  Machine().AddFileContent(kIndex, std::vector<uint8_t>(earlier.begin(), earlier.end()));
  uint64_t room = 0;
  for (;; ++room) {
    Machine().SetDiskSpace(room);
    Run();
    if (!FCure->LastRunNotStarted()) {
      break;
    }
    ASSERT_LT(room, 1000u);
    EXPECT_EQ(Index(), earlier) << room;
    EXPECT_EQ(Machine().ListFolder(kBackup), std::vector<std::wstring>{L"info.rec"}) << room;
    EXPECT_TRUE(FCure->LastError().find(L"backup file") != std::wstring::npos ||
                FCure->LastError().find(L"backup index") != std::wstring::npos)
        << ToUtf8(FCure->LastError());
    EXPECT_TRUE(Machine().GetRegValue(regroot::CurrentUser, L"Soft\\V", L"a"));
  }
  // With room for the empty backup file and the index, the run starts; the backup entry itself
  // finds no room, so the value stays.
  EXPECT_GT(room, 82u);
  EXPECT_EQ(Index().rfind(earlier, 0), 0u);
  EXPECT_TRUE(Machine().GetRegValue(regroot::CurrentUser, L"Soft\\V", L"a"));
  EXPECT_TRUE(BackupKeys(FCure->LastBackupFile()).empty());
}

TEST_F(FigCureTest, RefusedChangesAndAFullDiskLeaveThingsInPlace) {
  Machine().SetRegString(regroot::CurrentUser, L"Soft\\K", L"", L"x");
  Machine().SetRegString(regroot::CurrentUser, L"Soft\\V", L"a", L"1");
  Machine().SetRegString(regroot::CurrentUser, L"Soft\\V", L"b", std::wstring(200, L'b'));
  Machine().AddFile(L"C:\\Temp\\locked.tmp", 1);
  Machine().FailDeleteKey(regroot::CurrentUser, L"Soft\\K");
  Machine().FailDeleteValue(regroot::CurrentUser, L"Soft\\V", L"a");
  Machine().FailDeleteFile(L"C:\\Temp\\locked.tmp", err::AccessDenied);
  FCure->AddMatchedItem(KeyFinding(L"Soft\\K"));
  FCure->AddMatchedItem(ValueFinding(L"Soft\\V", L"a"));
  FCure->AddMatchedItem(FileFinding(L"C:\\Temp\\", L"locked.tmp"));
  FCure->AddMatchedItem(ValueFinding(L"Soft\\V", L"b"));
  // The disk fills up part way through the last backup entry.
  FCure->OnTopicCured = nullptr;
  FCure->OnCured = [&](const TFigScanedItem&, TFigCureStatus aStatus, int aIndex, int) {
    // Why each was left: refused by the system, or not backed up.
    FLog.push_back(GetEnumName(aStatus) + L" " + GetEnumName(FCure->CurrentFailure()));
    if (aIndex == 2) {
      Machine().SetDiskSpace(100);
    }
  };
  Run();
  EXPECT_EQ(FLog, (std::vector<std::wstring>{L"started", L"csUncured cfNotChanged",
                                             L"csUncured cfNotChanged", L"csUncured cfNotChanged",
                                             L"csUncured cfNotBackedUp", L"finished"}));
  EXPECT_TRUE(Machine().RegKeyExists(regroot::CurrentUser, L"Soft\\K"));
  EXPECT_TRUE(Machine().GetRegValue(regroot::CurrentUser, L"Soft\\V", L"b"));
  EXPECT_TRUE(Machine().HasFile(L"C:\\Temp\\locked.tmp"));
  // Still a valid export file, without a partial entry for the value that stayed.
  EXPECT_EQ(BackupKeys(FCure->LastBackupFile()).size(), 2u);
}

TEST_F(FigCureTest, AFileOpenInAnotherProgramIsLeftInUseNotFailed) {
  Machine().AddFile(L"C:\\Temp\\open.tmp", 1);
  Machine().AddFile(L"C:\\Temp\\refused.tmp", 1);
  Machine().AddFile(L"C:\\Temp\\free.tmp", 1);
  Machine().FailDeleteFile(L"C:\\Temp\\open.tmp", err::SharingViolation);
  Machine().FailDeleteFile(L"C:\\Temp\\refused.tmp", err::AccessDenied);
  for (const wchar_t* name : {L"open.tmp", L"refused.tmp", L"free.tmp"}) {
    FCure->AddMatchedItem(FileFinding(L"C:\\Temp\\", name));
  }
  FCure->OnTopicCured = nullptr;
  FCure->OnCured = [&](const TFigScanedItem& aItem, TFigCureStatus aStatus, int, int) {
    FLog.push_back(aItem.ScanedName + L" " + GetEnumName(aStatus) + L" " +
                   GetEnumName(FCure->CurrentFailure()));
  };
  Run();
  EXPECT_EQ(FLog, (std::vector<std::wstring>{L"started", L"open.tmp csUncured cfInUse",
                                             L"refused.tmp csUncured cfNotChanged",
                                             L"free.tmp csCured cfNone", L"finished"}));
  EXPECT_TRUE(Machine().HasFile(L"C:\\Temp\\open.tmp"));
  EXPECT_FALSE(Machine().HasFile(L"C:\\Temp\\free.tmp"));
}

TEST_F(FigCureTest, AnUnpacedRunChangesTheMachineWhileTheMainThreadIsBusy) {
  // The main thread only hears the outcomes, later and together; each one still says why its
  // finding was left as it was.
  for (int i = 0; i < 50; ++i) {
    Machine().SetRegDword(regroot::CurrentUser, L"Soft\\V", L"v" + std::to_wstring(i), i);
    FCure->AddMatchedItem(ValueFinding(L"Soft\\V", L"v" + std::to_wstring(i)));
  }
  Machine().AddFile(L"C:\\Temp\\open.tmp", 1);
  Machine().FailDeleteFile(L"C:\\Temp\\open.tmp", err::SharingViolation);
  FCure->AddMatchedItem(FileFinding(L"C:\\Temp\\", L"open.tmp"));
  Machine().SetRegString(regroot::CurrentUser, L"Soft\\W", L"refused", L"1");
  Machine().FailDeleteValue(regroot::CurrentUser, L"Soft\\W", L"refused");
  FCure->AddMatchedItem(ValueFinding(L"Soft\\W", L"refused"));
  FCure->AddMatchedItem(ValueFinding(L"Soft\\Gone", L"x"));
  FCure->OnTopicCured = nullptr;
  FCure->OnCured = [&](const TFigScanedItem&, TFigCureStatus aStatus, int aIndex, int aMax) {
    if (aIndex >= 50) {
      FLog.push_back(GetEnumName(aStatus) + L" " + GetEnumName(FCure->CurrentFailure()));
    }
    EXPECT_EQ(aIndex, static_cast<int>(FCuredTicks.size()));
    FCuredTicks.push_back(static_cast<uint64_t>(aMax));
  };
  FCure->SetPaced(false);
  ASSERT_TRUE(FCure->StartCure());
  const auto valuesLeft = [this] {
    int left = 0;
    for (int i = 0; i < 50; ++i) {
      left += Machine().GetRegValue(regroot::CurrentUser, L"Soft\\V", L"v" + std::to_wstring(i))
                  ? 1
                  : 0;
    }
    return left;
  };
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (valuesLeft() > 0 && std::chrono::steady_clock::now() < limit) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(valuesLeft(), 0);
  EXPECT_TRUE(FLog == std::vector<std::wstring>{L"started"});
  ASSERT_TRUE(FMain.RunUntil([this] { return !FCure->IsRunning(); }, kRunLimitMs));
  EXPECT_EQ(FLog,
            (std::vector<std::wstring>{L"started", L"csUncured cfInUse", L"csUncured cfNotChanged",
                                       L"csIgnored cfNone", L"finished"}));
  EXPECT_EQ(FCuredTicks.size(), 53u);
}

TEST_F(FigCureTest, RunningProgramsAndKeptFilesAreSkippedNotFailed) {
  const std::wstring profile =
      L"C:\\Users\\User\\AppData\\Local\\Google\\Chrome\\User Data\\Default\\";
  const struct {
    const wchar_t* Case;
    bool Unattended;
    bool ChromeRuns;
    bool ListFails; // the system refuses to list the running programs
    bool KeptFlag;  // as the scan marked it; the repair judges the place again too
    const wchar_t* Name;
    std::wstring Outcome;
    bool Deleted;
  } cases[] = {
      {L"running", false, true, false, false, L"History", L"csIgnored cfProgramRunning chrome.exe",
       false},
      {L"ended", false, false, false, false, L"History", L"csCured cfNone ", true},
      // Not knowing what runs is no proof that nothing does.
      {L"not listed", true, false, true, false, L"History",
       L"csIgnored cfProgramRunning msedge.exe", false},
      {L"kept, unattended", true, false, false, true, L"Bookmarks", L"csIgnored cfKept ", false},
      {L"kept by name only", true, false, false, false, L"Login Data", L"csIgnored cfKept ", false},
      {L"kept, ticked by the user", false, false, false, true, L"Bookmarks", L"csCured cfNone ",
       true},
  };
  for (const auto& test : cases) {
    fake::TFakeMachineScope scope;
    scope.Machine().AddFolder(kBackup);
    scope.Machine().AddFile(profile + test.Name, 1);
    if (test.ChromeRuns) {
      scope.Machine().StartProgram(L"chrome.exe");
    }
    if (test.ListFails) {
      scope.Machine().FailListRunningPrograms(err::AccessDenied);
    }
    TFigCure cure;
    cure.SetBackupPath(kBackup);
    cure.SetPaced(false);
    cure.SetUnattended(test.Unattended);
    TFigScanedItem item = FileFinding(profile, test.Name);
    item.Programs = L"msedge.exe; chrome.exe";
    item.Kept = test.KeptFlag;
    cure.AddMatchedItem(item);
    std::wstring outcome;
    cure.OnCured = [&](const TFigScanedItem&, TFigCureStatus aStatus, int, int) {
      outcome = GetEnumName(aStatus) + L" " + GetEnumName(cure.CurrentFailure()) + L" " +
                cure.CurrentProgram();
    };
    ASSERT_TRUE(cure.StartCure());
    ASSERT_TRUE(FMain.RunUntil([&cure] { return !cure.IsRunning(); }, kRunLimitMs));
    EXPECT_EQ(outcome, test.Outcome) << test.Case;
    EXPECT_EQ(!scope.Machine().HasFile(profile + test.Name), test.Deleted) << test.Case;
  }
}

TEST_F(FigCureTest, WhatChangedSinceTheScanIsNotRepairedAndTheRunGoesOn) {
  Machine().SetRegString(regroot::CurrentUser, L"Soft\\Gone", L"a", L"1");
  Machine().SetRegString(regroot::CurrentUser, L"Soft\\GoneKey", L"b", L"2");
  Machine().SetRegString(regroot::CurrentUser, L"Soft\\V", L"last", L"3");
  // A scanned folder that became a junction since the scan, and a name that leads out of its
  // folder: neither deletion may reach the files they lead to.
  Machine().AddFolder(L"C:\\Temp\\Swapped", fileattr::Directory | fileattr::ReparsePoint);
  Machine().AddFile(L"C:\\Temp\\Swapped\\keep.tmp", 1);
  Machine().AddFile(L"C:\\Temp\\outside.tmp", 1);
  FCure->AddMatchedItem(ValueFinding(L"Soft\\Gone", L"a"));
  FCure->AddMatchedItem(KeyFinding(L"Soft\\GoneKey"));
  FCure->AddMatchedItem(FileFinding(L"C:\\Temp\\Swapped\\", L"keep.tmp"));
  FCure->AddMatchedItem(FileFinding(L"C:\\Temp\\Sub\\", L"..\\outside.tmp"));
  FCure->AddMatchedItem(ValueFinding(L"Soft\\V", L"last"));
  Machine().RemoveRegKey(regroot::CurrentUser, L"Soft\\Gone");
  Machine().RemoveRegKey(regroot::CurrentUser, L"Soft\\GoneKey");
  FCure->OnTopicCured = nullptr;
  FCure->OnCured = [&](const TFigScanedItem&, TFigCureStatus aStatus, int, int) {
    FLog.push_back(GetEnumName(aStatus));
  };
  Run();
  ASSERT_EQ(FLog.size(), 7u);
  EXPECT_NE(FLog[1], L"csCured");
  // A key that is gone needs no repair: it is not reported as one that failed.
  EXPECT_EQ(FLog[2], L"csIgnored");
  EXPECT_EQ(FLog[3], L"csUncured");
  EXPECT_EQ(FLog[4], L"csUncured");
  EXPECT_EQ(FLog[5], L"csCured");
  EXPECT_TRUE(Machine().HasFile(L"C:\\Temp\\Swapped\\keep.tmp"));
  EXPECT_TRUE(Machine().HasFile(L"C:\\Temp\\outside.tmp"));
  EXPECT_FALSE(Machine().GetRegValue(regroot::CurrentUser, L"Soft\\V", L"last"));
  // Only the value that went is in the backup.
  EXPECT_EQ(BackupKeys(FCure->LastBackupFile()).size(), 1u);
}

TEST_F(FigCureTest, AbortStopsAtTheNextFindingAndAppliesNoFixLines) {
  // Paced, each finding is reported before the next begins. Without pacing the worker may be
  // further on than the outcome being reported: it stops at the first finding it has not begun,
  // and every change it made is still reported before the abort.
  for (const bool paced : {true, false}) {
    SCOPED_TRACE(paced ? "paced" : "unpaced");
    Machine().SetRegString(regroot::CurrentUser, L"Soft\\V", L"a", L"1");
    Machine().SetRegString(regroot::CurrentUser, L"Soft\\V", L"b", L"2");
    FCure->Clear();
    FCure->SetPaced(paced);
    FCure->AddMatchedItem(FixFinding(L"Soft\\Opt", L"N", L"\"N\"=DWORD:00000002"));
    FCure->AddMatchedItem(ValueFinding(L"Soft\\V", L"a"));
    FCure->AddMatchedItem(ValueFinding(L"Soft\\V", L"b"));
    FCure->OnCured = [&](const TFigScanedItem&, TFigCureStatus, int aIndex, int) {
      FLog.push_back(L"cured " + std::to_wstring(aIndex));
      if (aIndex == 1) {
        FCure->Abort();
        EXPECT_TRUE(FCure->IsRunning());
      }
    };
    FLog.clear();
    Run();
    std::vector<std::wstring> expected{L"started", L"cured 0", L"topic Boost tsCured", L"cured 1",
                                       L"topic Values tsCured"};
    const bool bRepaired = !Machine().GetRegValue(regroot::CurrentUser, L"Soft\\V", L"b");
    if (bRepaired) {
      EXPECT_FALSE(paced);
      expected.insert(expected.end(), {L"cured 2", L"topic Values tsCured"});
    }
    expected.insert(expected.end(), {L"abort", L"finished"});
    EXPECT_EQ(FLog, expected);
    EXPECT_FALSE(Machine().RegKeyExists(regroot::CurrentUser, L"Soft\\Opt"));
    EXPECT_TRUE(Machine().Launches().empty());
    EXPECT_EQ(FCure->LastImportStatus(), isNone);
    // Unpaced, b's entry was flushed with a's before a went; b itself stays.
    EXPECT_EQ(BackupKeys(FCure->LastBackupFile()).size(), paced ? 1u : 2u);
  }
}

TEST_F(FigCureTest, AnUnpacedRunTellsValuesOfAKeyItDeletedFromValuesItCouldNotDelete) {
  Machine().SetRegString(regroot::CurrentUser, L"Soft\\K", L"a", L"1");
  Machine().SetRegString(regroot::CurrentUser, L"Soft\\K", L"b", L"2");
  Machine().SetRegString(regroot::CurrentUser, L"Soft\\Other", L"c", L"3");
  FCure->SetPaced(false);
  FCure->AddMatchedItem(ValueFinding(L"Soft\\K", L"a"));
  FCure->AddMatchedItem(KeyFinding(L"Soft\\K"));
  FCure->AddMatchedItem(ValueFinding(L"Soft\\K", L"b"));
  FCure->AddMatchedItem(ValueFinding(L"Soft\\Other", L"c"));
  FCure->OnTopicCured = nullptr;
  Run();
  EXPECT_EQ(FLog,
            (std::vector<std::wstring>{L"started", L"cured 0/4 csCured", L"cured 1/4 csCured",
                                       L"cured 2/4 csIgnored", L"cured 3/4 csCured", L"finished"}));
  EXPECT_FALSE(Machine().RegKeyExists(regroot::CurrentUser, L"Soft\\K"));
  EXPECT_FALSE(Machine().GetRegValue(regroot::CurrentUser, L"Soft\\Other", L"c"));
  // Without fix lines there is nothing to import, and no registry editor is started.
  EXPECT_TRUE(Machine().Launches().empty());
  EXPECT_EQ(FCure->LastImportStatus(), isImported);
}

TEST_F(FigCureTest, SweepHelperStartsElevatedAboveWindowsSixAndARefusalEndsTheRun) {
  FCure->AddMatchedItem(SweepFinding());
  Run();
  auto shell = Machine().ShellExecutions();
  ASSERT_EQ(shell.size(), 1u);
  EXPECT_EQ(shell[0].Verb, L"runas");
  EXPECT_EQ(shell[0].File, L"C:\\Program Files\\Kestrova\\sweephelper.exe");
  EXPECT_EQ(shell[0].Parameters, L"/clean history");
  EXPECT_TRUE(shell[0].NoErrorUi);
  EXPECT_FALSE(shell[0].Hidden);

  FCure->Clear();
  FLog.clear();
  Machine().SetShellHandler([](const TShellExecute&) { return TErrorCode{1223}; });
  FCure->AddMatchedItem(FixFinding(L"Soft\\Opt", L"N", L"\"N\"=DWORD:00000002"));
  FCure->AddMatchedItem(SweepFinding());
  FCure->AddMatchedItem(ValueFinding(L"Soft\\V", L"a"));
  Machine().SetRegString(regroot::CurrentUser, L"Soft\\V", L"a", L"1");
  Run();
  EXPECT_EQ(FLog, (std::vector<std::wstring>{L"started", L"cured 0/3 csIgnored",
                                             L"topic Boost tsCured", L"finished"}));
  EXPECT_FALSE(Machine().RegKeyExists(regroot::CurrentUser, L"Soft\\Opt"));
  EXPECT_TRUE(Machine().GetRegValue(regroot::CurrentUser, L"Soft\\V", L"a"));

  FCure->Clear();
  TOSVersion seven;
  seven.Major = 6;
  seven.Minor = 1;
  Machine().SetVersion(seven);
  FCure->AddMatchedItem(SweepFinding());
  Run();
  const auto launches = Machine().Launches();
  ASSERT_GE(launches.size(), 1u);
  const TProcessStart& helper = launches.back(); // no import follows: the run has no fix lines
  // The program's path is quoted, so that its blank cannot start "C:\Program.exe" instead.
  EXPECT_EQ(helper.CommandLine, L"\"C:\\Program Files\\Kestrova\\sweephelper.exe\" /clean history");
  EXPECT_FALSE(helper.Hidden);
  EXPECT_EQ(helper.WaitMs, kNoWait);
}

TEST_F(FigCureTest, ImportThatFailsOrDoesNotEndIsReported) {
  FCure->AddMatchedItem(FixFinding(L"Soft\\Opt", L"N", L"\"N\"=DWORD:00000002"));
  Machine().SetLaunchHandler([](const TProcessStart&, TProcessResult& aResult) {
    aResult.Finished = false;
    return err::Success;
  });
  Run();
  EXPECT_EQ(FCure->LastImportStatus(), isTimedOut);
  EXPECT_NE(FCure->LastError().find(L"did not finish"), std::wstring::npos);
  // The editor may still be reading the fix file: it stays.
  EXPECT_EQ(Machine().ListFolder(L"C:\\Users\\User\\AppData\\Local\\Temp").size(), 1u);

  Machine().SetLaunchHandler([](const TProcessStart&, TProcessResult& aResult) {
    aResult.Finished = true;
    aResult.ExitCode = 1;
    return err::Success;
  });
  Run();
  EXPECT_EQ(FCure->LastImportStatus(), isFailed);
  Machine().SetLaunchHandler(
      [](const TProcessStart&, TProcessResult&) { return err::FileNotFound; });
  Run();
  EXPECT_EQ(FCure->LastImportStatus(), isFailed);
  EXPECT_NE(FCure->LastError().find(L"Cannot start the registry editor"), std::wstring::npos);
}

} // namespace
