// The repair run on the real registry and disk: whatever a run deletes comes back, exactly, when
// its backup file is imported with the system's registry editor, and a process killed in the
// middle of a run, at any of several points, leaves a backup of every value it deleted and every
// file it took in its quarantine, which bring them all back.

#include "base/CLHelpers.h"
#include "base/CLMainThread.h"
#include "cure/FigCure.h"
#include "cure/FigQuarantine.h"
#include "cure/RegFileReader.h"
#include "cure/RestoreCenter.h"
#include "engine/FigEngine.h"
#include "platform/FileIO.h"
#include "platform/RegKey.h"
#include "platform/TextCodec.h"
#include "platform/win32/Win32Platform.h"
#include "support/win32/TestProcess.h"
#include "support/win32/WinScratch.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace kplat;

using TKeyValues = std::map<std::wstring, TRegValue>;
using TTree = std::map<std::wstring, TKeyValues>; // upper-case key path below the root

const wchar_t kChildVariable[] = L"KESTROVA_CURE_KILL_CHILD";
const std::wstring kHKCU = L"HKEY_CURRENT_USER";
constexpr uint32_t kLimitMs = 120000;
constexpr int kKillValues = 300;
constexpr int kKillFiles = 60;

std::wstring Pid() {
  return std::to_wstring(GetCurrentProcessId());
}

// A finding of one value, as the scan reports it.
TFigScanedItem ValueFinding(const std::wstring& aKey, const std::wstring& aSection) {
  TFigScanedItem item;
  item.TopicName = L"Values";
  item.LocationStyle = lsRegistry;
  item.RuleStyle = rsRegistryHistory;
  item.ScanedRoot = kHKCU;
  item.ScanedPath = aKey;
  item.ScanedSection = aSection;
  item.ValueCheck = true;
  item.Checked = true;
  return item;
}

// Runs a program and waits for it to end.
bool RunAndWait(const std::wstring& aCommandLine) {
  TProcessStart start;
  start.CommandLine = aCommandLine;
  start.Hidden = true;
  start.WaitMs = kLimitMs;
  TProcessResult result;
  return Platform().Processes().StartProcess(start, result) == err::Success && result.Finished;
}

// A privacy topic whose rule takes every value (or, without CHECKVALUES, every key) it visits.
void AddHistoryTopic(TFigEngine& aEngine, const std::wstring& aName, const std::wstring& aKey,
                     bool aCheckValues) {
  TFigTopic* topic = aEngine.GetTopic(aEngine.AddTopic(aName));
  topic->SetCategory(tcBPrivacySweep);
  topic->SetEnabled(true);
  topic->ValueList().SetValue(L"LOCATION_0", L"lsRegistry," + kHKCU + L"\\" + aKey);
  topic->ValueList().SetValue(L"Rule", L"rsRegistryHistory,History");
  topic->ValueList().SetValue(L"LEVEL", L"2");
  topic->ValueList().SetValue(L"CHECKVALUES", aCheckValues ? L"-1" : L"0");
}

std::wstring RegEdit() {
  return L"\"" + Platform().System().GetWindowsFolder() + L"\\regedit.exe\" ";
}

// A scratch key in the current user's hive and a scratch folder, both removed afterwards.
class FigCureOnWindows : public ::testing::Test {
protected:
  FigCureOnWindows()
      : FPlatform(win32::InstallWin32Platform()), FKey(L"Software\\KestrovaCureProof\\" + Pid()),
        FFolder(Platform().System().GetTempFolder() + L"kestrova-cureproof-" + Pid()) {
    ForceFolders(FFolder);
  }
  ~FigCureOnWindows() override {
    Platform().Registry().DeleteKeyTree(regroot::CurrentUser, FKey, TRegView::Default);
    TRegKey parent;
    TRegKeyInfo info;
    if (parent.Open(regroot::CurrentUser, L"Software\\KestrovaCureProof") == err::Success &&
        parent.Info(info) == err::Success && info.SubKeyCount == 0 && info.ValueCount == 0) {
      parent.Close();
      Platform().Registry().DeleteKeyTree(regroot::CurrentUser, L"Software\\KestrovaCureProof",
                                          TRegView::Default);
    }
    ktest::win32::RemoveTree(FFolder);
  }

  void Write(const std::wstring& aKey, const std::wstring& aName, const TRegValue& aValue) {
    TRegKey key;
    ASSERT_EQ(key.Create(regroot::CurrentUser, aKey), err::Success);
    ASSERT_EQ(key.Write(aName, aValue), err::Success) << ToUtf8(aKey + L" " + aName);
  }

  // The scratch key as the registry editor exports it.
  TTree Export(const std::wstring& aName) {
    const std::wstring file = FFolder + L"\\" + aName;
    EXPECT_TRUE(RunAndWait(RegEdit() + L"/e \"" + file + L"\" \"" + kHKCU + L"\\" + FKey + L"\""));
    TRegFileReader reader;
    EXPECT_TRUE(reader.LoadFromFile(file)) << ToUtf8(reader.Error().Message);
    TTree tree;
    for (const TRegFileKey& key : reader.Keys()) {
      TKeyValues& values = tree[UpperCase(key.SubKey)];
      for (const TRegFileValue& value : key.Values) {
        values[value.Name] = value.Value;
      }
    }
    return tree;
  }

  // Serves the main thread until the run has ended.
  void Run(TFigCure& aCure) {
    ASSERT_TRUE(aCure.StartCure()) << ToUtf8(aCure.LastError());
    ASSERT_TRUE(GetCLMainThread().RunUntil([&] { return !aCure.IsRunning(); }, kLimitMs));
  }

  TScopedPlatform FPlatform;
  TCLMainThreadQueue FMain{TCLIdleWait::WaitForCall};
  TCLScopedMainThread FMainScope{FMain};
  std::wstring FKey;
  std::wstring FFolder;
};

TEST_F(FigCureOnWindows, RestoringTheBackupUndoesEveryRepair) {
  const std::wstring tree = FKey + L"\\Dead App";
  const std::wstring values = FKey + L"\\Values";
  const std::vector<std::pair<std::wstring, TRegValue>> kinds = {
      {L"", MakeStringValue(L"default text")},
      {L"path", MakeStringValue(L"C:\\Dir\\Sub\\")},
      {L"back\\slash", MakeStringValue(L"x")},
      {L"say \"quoted\"", MakeStringValue(L"say \"hi\" \\\"")},
      {L"unicode", MakeStringValue(L"caf\x00e9 \x4e2d\x6587 \x0416")},
      {L"empty", MakeStringValue(L"")},
      {L"expand", MakeStringValue(L"%SystemRoot%\\system32", regtype::ExpandSz)},
      {L"lines", MakeStringValue(L"one\r\ntwo")},
      {L"d1", MakeDwordValue(1)},
      {L"dm1", MakeDwordValue(0xFFFFFFFFu)},
      {L"b0", TRegValue{regtype::Binary, {}}},
      {L"b2", TRegValue{regtype::Binary, {0x01, 0xAB}}},
      {L"multi", MakeMultiStringValue({L"a", L"b\\c"})},
      {L"qword", MakeQwordValue(0x0102030405060708ull)},
      {L"none", TRegValue{regtype::None, {1, 2}}},
  };
  for (const auto& [name, value] : kinds) {
    Write(tree, name, value);
    Write(tree + L"\\Sub \x00e4", name, value);
    Write(values, name, value);
  }
  Write(tree + L"\\Sub \x00e4\\Deeper", L"n", MakeDwordValue(7));
  Write(values, L"untouched", MakeStringValue(L"stays"));
  TRegKey empty;
  ASSERT_EQ(empty.Create(regroot::CurrentUser, tree + L"\\Empty"), err::Success);
  empty.Close();

  // The scan finds every value of one key and the other key as a whole.
  TFigEngine engine;
  AddHistoryTopic(engine, L"Values", values, true);
  AddHistoryTopic(engine, L"Keys", tree, false);
  TFigCure cure;
  engine.SetFigCure(&cure);
  engine.SetPacing(false);
  engine.StartScan();
  ASSERT_TRUE(FMain.RunUntil([&] { return !engine.IsRunning(); }, kLimitMs));
  ASSERT_EQ(cure.ItemCount(), static_cast<int>(kinds.size()) + 2);
  for (int i = 0; i < cure.ItemCount(); ++i) {
    if (cure.GetMatchedItem(i).ScanedSection == L"untouched") {
      cure.SetChecked(i, false);
    }
  }
  EXPECT_EQ(cure.GetCheckedItem(), static_cast<int>(kinds.size()) + 1);
  cure.SetBackupPath(FFolder);
  cure.SetPaced(false);
  const TTree before = Export(L"before.reg");
  ASSERT_EQ(before.count(UpperCase(tree + L"\\Sub \x00e4\\Deeper")), 1u);
  ASSERT_EQ(before.at(UpperCase(values)).size(), kinds.size() + 1);
  Run(cure);
  TRegKey check;
  EXPECT_NE(check.Open(regroot::CurrentUser, tree), err::Success);
  ASSERT_EQ(check.Open(regroot::CurrentUser, values), err::Success);
  EXPECT_EQ(check.ValueNames(), std::vector<std::wstring>{L"untouched"});
  check.Close();

  ASSERT_TRUE(RunAndWait(RegEdit() + L"/s \"" + cure.LastBackupFile() + L"\""));
  const TTree after = Export(L"after.reg");
  for (const auto& [key, keyValues] : before) {
    ASSERT_TRUE(after.count(key)) << ToUtf8(key);
    const TKeyValues& restored = after.at(key);
    EXPECT_EQ(restored.size(), keyValues.size()) << ToUtf8(key);
    for (const auto& [name, value] : keyValues) {
      ASSERT_TRUE(restored.count(name)) << ToUtf8(key + L" " + name);
      EXPECT_EQ(restored.at(name).Type, value.Type) << ToUtf8(key + L" " + name);
      EXPECT_EQ(restored.at(name).Data, value.Data) << ToUtf8(key + L" " + name);
    }
  }
  for (const auto& [key, keyValues] : after) {
    EXPECT_TRUE(before.count(key)) << ToUtf8(key);
  }
}

// The setting a kill test hands its child, or "" when this process is no such child.
std::wstring ChildSetting() {
  wchar_t setting[1024];
  const DWORD length = ::GetEnvironmentVariableW(kChildVariable, setting, 1024);
  return length == 0 || length >= 1024 ? std::wstring() : std::wstring(setting, length);
}

// The run that the registry kill test stops: started as a child process of that test.
TEST_F(FigCureOnWindows, KilledRunChild) {
  const std::wstring text = ChildSetting();
  if (text.empty()) {
    GTEST_SKIP() << "runs only as the kill test's child process";
  }
  const size_t bar = text.find(L'|');
  ASSERT_NE(bar, std::wstring::npos);
  TFigCure cure;
  cure.SetBackupPath(text.substr(bar + 1));
  for (int i = 0; i < kKillValues; ++i) {
    cure.AddMatchedItem(ValueFinding(text.substr(0, bar), L"v" + std::to_wstring(i)));
  }
  Run(cure);
}

// The junk file kill test's file number aIndex in aFolder, and its content: each of its own
// length, so that a file that came back as another is caught.
std::wstring JunkFile(const std::wstring& aFolder, int aIndex) {
  return aFolder + L"\\junk" + std::to_wstring(aIndex) + L".tmp";
}
std::vector<uint8_t> JunkContent(int aIndex) {
  std::vector<uint8_t> content(static_cast<size_t>(100 + aIndex * 37));
  for (size_t i = 0; i < content.size(); ++i) {
    content[i] = static_cast<uint8_t>(i * 7 + static_cast<size_t>(aIndex));
  }
  return content;
}

// The run that the file kill test stops: it deletes kKillFiles junk files with the quarantine on.
TEST_F(FigCureOnWindows, KilledFileRunChild) {
  const std::wstring text = ChildSetting();
  if (text.empty()) {
    GTEST_SKIP() << "runs only as the file kill test's child process";
  }
  const size_t bar = text.find(L'|');
  ASSERT_NE(bar, std::wstring::npos);
  const std::wstring junk = text.substr(0, bar);
  TFigCure cure;
  cure.SetBackupPath(text.substr(bar + 1));
  for (int i = 0; i < kKillFiles; ++i) {
    TFigScanedItem item;
    item.TopicName = L"Junk";
    item.LocationStyle = lsDisk;
    item.RuleStyle = rsJunkFile;
    item.ScanedRoot = item.ScanedPath = junk + L"\\";
    item.ScanedName = ExtractFileName(JunkFile(junk, i));
    item.Checked = true;
    cure.AddMatchedItem(item);
  }
  Run(cure);
}

// Starts this program's child test aChild with aSetting in its environment and kills its paced
// run once aDeleted() counts at least aDeletions deletions; false when the child ended on its own
// before that.
bool KillChildAfter(const std::wstring& aChild, const std::wstring& aSetting, int aDeletions,
                    const std::function<int()>& aDeleted) {
  wchar_t program[MAX_PATH];
  if (::GetModuleFileNameW(nullptr, program, MAX_PATH) == 0) {
    return false;
  }
  const std::wstring commandLine =
      L"\"" + std::wstring(program) + L"\" --gtest_filter=FigCureOnWindows." + aChild;
  ::SetEnvironmentVariableW(kChildVariable, aSetting.c_str());
  PROCESS_INFORMATION child{};
  const bool started = ktest::win32::StartProcess(commandLine, child, {.Flags = CREATE_NO_WINDOW});
  ::SetEnvironmentVariableW(kChildVariable, nullptr);
  if (!started) {
    return false;
  }
  // The paced run takes 12 seconds; what it has deleted is watched while it goes.
  const bool killed = ktest::win32::KillWhen(
      child.hProcess, [&] { return aDeleted() >= aDeletions; }, kLimitMs);
  ::CloseHandle(child.hThread);
  ::CloseHandle(child.hProcess);
  return killed;
}

// Kill points drawn once from a fixed seed for a run of aTotal deletions: at the start, early, in
// the middle, late and near the end of the run, so that some fall inside a batch and some at its
// edge.
std::vector<int> KillPoints(int aTotal) {
  std::mt19937 draw(17);
  std::vector<int> points;
  for (const auto& [low, high] : {std::pair{1, 5}, std::pair{20, 50}, std::pair{60, 140},
                                  std::pair{180, 250}, std::pair{270, 290}}) {
    points.push_back(std::uniform_int_distribution<int>(std::max(low * aTotal / 300, 1),
                                                        high * aTotal / 300)(draw));
  }
  return points;
}

// The backup file of the newest run in the folder's index.
std::wstring NewestBackup(const std::wstring& aFolder) {
  std::vector<uint8_t> index;
  Platform().Files().ReadFile(aFolder + L"\\info.rec", index, 65536);
  const std::string text(index.begin(), index.end());
  const size_t comma = text.rfind(',');
  if (comma == std::string::npos) {
    return std::wstring();
  }
  return aFolder + L"\\" + AnsiToWide(text.substr(comma + 1, text.find('\r', comma) - comma - 1));
}

TEST_F(FigCureOnWindows, KilledRunLeavesABackupOfEveryDeletedValue) {
  std::vector<TRegValue> original;
  for (int i = 0; i < kKillValues; ++i) {
    original.push_back(i % 3 == 0   ? MakeDwordValue(static_cast<uint32_t>(i))
                       : i % 3 == 1 ? MakeStringValue(L"value \"" + std::to_wstring(i) + L"\"")
                                    : TRegValue{regtype::Binary, std::vector<uint8_t>(40, 7)});
    Write(FKey, L"v" + std::to_wstring(i), original.back());
  }

  TRegKey watched;
  ASSERT_EQ(watched.Open(regroot::CurrentUser, FKey), err::Success);
  const auto deleted = [&watched] {
    TRegKeyInfo info;
    return watched.Info(info) == err::Success ? kKillValues - static_cast<int>(info.ValueCount)
                                              : INT_MAX;
  };
  for (const int killPoint : KillPoints(kKillValues)) {
    SCOPED_TRACE("killed after " + std::to_string(killPoint) + " deletions");
    ASSERT_TRUE(KillChildAfter(L"KilledRunChild", FKey + L"|" + FFolder, killPoint, deleted))
        << "the child ended before it was killed";

    const std::wstring backup = NewestBackup(FFolder);
    TRegFileReader reader;
    ASSERT_TRUE(reader.LoadFromFile(backup)) << ToUtf8(backup + L" " + reader.Error().Message);
    std::map<std::wstring, TRegValue> saved;
    for (const TRegFileKey& entry : reader.Keys()) {
      for (const TRegFileValue& value : entry.Values) {
        saved[value.Name] = value.Value;
      }
    }
    TRegKey key;
    ASSERT_EQ(key.Open(regroot::CurrentUser, FKey), err::Success);
    int deleted = 0;
    for (int i = 0; i < kKillValues; ++i) {
      const std::wstring name = L"v" + std::to_wstring(i);
      if (key.ValueExists(name)) {
        continue;
      }
      ++deleted;
      ASSERT_TRUE(saved.count(name)) << ToUtf8(name) << " was deleted without a backup";
      EXPECT_EQ(saved.at(name).Type, original[static_cast<size_t>(i)].Type);
      EXPECT_EQ(saved.at(name).Data, original[static_cast<size_t>(i)].Data);
    }
    EXPECT_GE(deleted, killPoint);
    EXPECT_LT(deleted, kKillValues);

    // Importing the cut run's backup brings every value back as it was.
    ASSERT_TRUE(RunAndWait(RegEdit() + L"/s \"" + backup + L"\""));
    for (int i = 0; i < kKillValues; ++i) {
      const std::wstring name = L"v" + std::to_wstring(i);
      TRegValue value;
      ASSERT_EQ(key.Query(name, value), err::Success) << ToUtf8(name) << " was not restored";
      EXPECT_EQ(value.Type, original[static_cast<size_t>(i)].Type) << ToUtf8(name);
      EXPECT_EQ(value.Data, original[static_cast<size_t>(i)].Data) << ToUtf8(name);
    }
  }
}

TEST_F(FigCureOnWindows, KilledFileRunLeavesEveryFileInPlaceOrInTheQuarantine) {
  const std::wstring junk = FFolder + L"\\junk";
  const std::wstring backups = FFolder + L"\\backups";
  ASSERT_EQ(ForceFolders(junk), err::Success);
  ASSERT_EQ(ForceFolders(backups), err::Success);
  for (int i = 0; i < kKillFiles; ++i) {
    ASSERT_EQ(WriteFileAtomic(JunkFile(junk, i), JunkContent(i)), err::Success);
  }
  const auto deleted = [&] {
    int gone = 0;
    for (int i = 0; i < kKillFiles; ++i) {
      gone += FileExists(JunkFile(junk, i)) ? 0 : 1;
    }
    return gone;
  };
  for (const int killPoint : KillPoints(kKillFiles)) {
    SCOPED_TRACE("killed after " + std::to_string(killPoint) + " deletions");
    ASSERT_TRUE(KillChildAfter(L"KilledFileRunChild", junk + L"|" + backups, killPoint, deleted))
        << "the child ended before it was killed";

    // Each file is in its place, or in the quarantine, whole, with its manifest line.
    const std::wstring backup = NewestBackup(backups);
    std::vector<TQuarantineEntry> entries;
    std::wstring error;
    ASSERT_TRUE(ReadQuarantine(backup, entries, error)) << ToUtf8(error);
    std::map<std::wstring, std::wstring> kept; // upper-case original path: quarantine file
    for (const TQuarantineEntry& entry : entries) {
      kept[UpperCase(entry.Path)] = JoinPath(QuarantineFolderOf(backup), entry.StoredName);
    }
    int gone = 0;
    for (int i = 0; i < kKillFiles; ++i) {
      const std::wstring file = JunkFile(junk, i);
      std::vector<uint8_t> content;
      if (FileExists(file)) {
        ASSERT_EQ(Platform().Files().ReadFile(file, content, 1u << 20), err::Success);
      } else {
        ++gone;
        ASSERT_TRUE(kept.count(UpperCase(file))) << ToUtf8(file) << " was deleted and not kept";
        ASSERT_EQ(Platform().Files().ReadFile(kept.at(UpperCase(file)), content, 1u << 20),
                  err::Success)
            << ToUtf8(file) << " has a manifest line but no file in the quarantine";
      }
      EXPECT_EQ(content, JunkContent(i)) << ToUtf8(file);
    }
    EXPECT_GE(gone, killPoint);
    EXPECT_LT(gone, kKillFiles);

    // Restoring the cut run brings every file back as it was.
    const TRestoreResult restored = RestoreBackupFile(backup);
    EXPECT_TRUE(restored.Complete()) << ToUtf8(restored.Error);
    EXPECT_TRUE(restored.Files.Failed.empty());
    for (int i = 0; i < kKillFiles; ++i) {
      std::vector<uint8_t> content;
      ASSERT_EQ(Platform().Files().ReadFile(JunkFile(junk, i), content, 1u << 20), err::Success)
          << ToUtf8(JunkFile(junk, i)) << " was not restored";
      EXPECT_EQ(content, JunkContent(i)) << ToUtf8(JunkFile(junk, i));
    }
  }
}

} // namespace
