// The repair run on the real registry: whatever a run deletes comes back, exactly, when its
// backup file is imported with the system's registry editor, and a process killed in the middle
// of a run leaves a backup of every value it deleted.

#include "cure/FigCure.h"
#include "cure/RegFileReader.h"
#include "engine/FigEngine.h"
#include "framework/CLHelpers.h"
#include "framework/CLMainThread.h"
#include "platform/FileIO.h"
#include "platform/RegKey.h"
#include "platform/TextCodec.h"
#include "platform/win32/Win32Platform.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
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
    std::vector<std::wstring> files;
    FindFiles(FFolder + L"\\*", files, true);
    for (const std::wstring& file : files) {
      ::DeleteFileW(file.c_str());
    }
    ::RemoveDirectoryW(FFolder.c_str());
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

// Whether a key of the export, or one below it, holds a value.
bool HoldsValues(const TTree& aTree, const std::wstring& aKey) {
  for (const auto& [key, values] : aTree) {
    if ((key == aKey || key.rfind(aKey + L'\\', 0) == 0) && !values.empty()) {
      return true;
    }
  }
  return false;
}

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
    if (!HoldsValues(before, key)) {
      EXPECT_FALSE(after.count(key)) << "a key without values has no entry: " << ToUtf8(key);
      continue;
    }
    ASSERT_TRUE(after.count(key)) << ToUtf8(key);
    const TKeyValues& restored = after.at(key);
    EXPECT_EQ(restored.size(), keyValues.size()) << ToUtf8(key);
    for (const auto& [name, value] : keyValues) {
      ASSERT_TRUE(restored.count(name)) << ToUtf8(key + L" " + name);
      EXPECT_EQ(restored.at(name).Type, value.Type == regtype::ExpandSz ? regtype::Sz : value.Type)
          << ToUtf8(key + L" " + name);
      EXPECT_EQ(restored.at(name).Data, value.Data) << ToUtf8(key + L" " + name);
    }
  }
  for (const auto& [key, keyValues] : after) {
    EXPECT_TRUE(before.count(key)) << ToUtf8(key);
  }
}

// The run that the kill test stops: started as a child process of that test.
TEST_F(FigCureOnWindows, KilledRunChild) {
  wchar_t setting[1024];
  const DWORD length = ::GetEnvironmentVariableW(kChildVariable, setting, 1024);
  if (length == 0 || length >= 1024) {
    GTEST_SKIP() << "runs only as the kill test's child process";
  }
  const std::wstring text(setting, length);
  const size_t bar = text.find(L'|');
  ASSERT_NE(bar, std::wstring::npos);
  TFigCure cure;
  cure.SetBackupPath(text.substr(bar + 1));
  for (int i = 0; i < kKillValues; ++i) {
    cure.AddMatchedItem(ValueFinding(text.substr(0, bar), L"v" + std::to_wstring(i)));
  }
  Run(cure);
}

TEST_F(FigCureOnWindows, KilledRunLeavesABackupOfEveryDeletedValue) {
  std::vector<TRegValue> original;
  for (int i = 0; i < kKillValues; ++i) {
    original.push_back(i % 3 == 0   ? MakeDwordValue(static_cast<uint32_t>(i))
                       : i % 3 == 1 ? MakeStringValue(L"value \"" + std::to_wstring(i) + L"\"")
                                    : TRegValue{regtype::Binary, std::vector<uint8_t>(40, 7)});
    Write(FKey, L"v" + std::to_wstring(i), original.back());
  }

  wchar_t program[MAX_PATH];
  ASSERT_GT(::GetModuleFileNameW(nullptr, program, MAX_PATH), 0u);
  std::wstring commandLine =
      L"\"" + std::wstring(program) + L"\" --gtest_filter=FigCureOnWindows.KilledRunChild";
  ASSERT_TRUE(::SetEnvironmentVariableW(kChildVariable, (FKey + L"|" + FFolder).c_str()));
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION child{};
  const BOOL started = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &child);
  ::SetEnvironmentVariableW(kChildVariable, nullptr);
  ASSERT_TRUE(started);

  // Killed once a few dozen values are gone, well before the paced run of 12 seconds ends.
  TRegKey key;
  ASSERT_EQ(key.Open(regroot::CurrentUser, FKey), err::Success);
  const ULONGLONG deadline = ::GetTickCount64() + kLimitMs;
  TRegKeyInfo info;
  while (key.Info(info) == err::Success && info.ValueCount > kKillValues - 40 &&
         ::GetTickCount64() < deadline &&
         ::WaitForSingleObject(child.hProcess, 5) == WAIT_TIMEOUT) {
  }
  ::TerminateProcess(child.hProcess, 3);
  EXPECT_EQ(::WaitForSingleObject(child.hProcess, 30000), WAIT_OBJECT_0);
  DWORD exitCode = 0;
  ::GetExitCodeProcess(child.hProcess, &exitCode);
  ::CloseHandle(child.hThread);
  ::CloseHandle(child.hProcess);
  EXPECT_EQ(exitCode, 3u) << "the child ended before it was killed";

  std::vector<uint8_t> index;
  ASSERT_EQ(Platform().Files().ReadFile(FFolder + L"\\info.rec", index, 4096), err::Success);
  const std::string line(index.begin(), index.end());
  const size_t comma = line.rfind(',');
  ASSERT_NE(comma, std::string::npos);
  const std::wstring backup =
      FFolder + L"\\" + AnsiToWide(line.substr(comma + 1, line.find('\r', comma) - comma - 1));
  TRegFileReader reader;
  ASSERT_TRUE(reader.LoadFromFile(backup)) << ToUtf8(reader.Error().Message);
  std::map<std::wstring, TRegValue> saved;
  for (const TRegFileKey& entry : reader.Keys()) {
    for (const TRegFileValue& value : entry.Values) {
      saved[value.Name] = value.Value;
    }
  }
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
  EXPECT_GE(deleted, 40);
  EXPECT_LT(deleted, kKillValues);
}

} // namespace
