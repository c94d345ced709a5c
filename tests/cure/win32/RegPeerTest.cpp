// The registry export writer and the file reader against the system's own registry editor: what
// regedit exports must read back to the values the registry API wrote, and what AddItem writes
// must import through regedit to the identical values.

#include "cure/RegFileReader.h"
#include "cure/RegUtils.h"
#include "platform/FileIO.h"
#include "platform/RegKey.h"
#include "platform/TextCodec.h"
#include "platform/win32/Win32Platform.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <utility>
#include <vector>

namespace {

using namespace kplat;

using TValues = std::vector<std::pair<std::wstring, TRegValue>>;

TValues CommonValues() {
  return {
      {L"", MakeStringValue(L"default text")},
      {L"path", MakeStringValue(L"C:\\Dir\\Sub\\")},
      {L"quote", MakeStringValue(L"say \"hi\" \\\"")},
      {L"unicode", MakeStringValue(L"caf\x00e9 \x4e2d\x6587 \x0416")},
      {L"empty", MakeStringValue(L"")},
      {L"back\\slash", MakeStringValue(L"x")},
      {L"d0", MakeDwordValue(0)},
      {L"d1", MakeDwordValue(1)},
      {L"dm1", MakeDwordValue(0xFFFFFFFFu)},
      {L"b0", TRegValue{regtype::Binary, {}}},
      {L"b2", TRegValue{regtype::Binary, {0x01, 0xAB}}},
      {L"blong", TRegValue{regtype::Binary, std::vector<uint8_t>(300, 0xC3)}},
  };
}

class RegPeer : public ::testing::Test {
protected:
  RegPeer()
      : FPlatform(win32::InstallWin32Platform()),
        FKey(L"Software\\KestrovaRegPeer\\" + std::to_wstring(GetCurrentProcessId())),
        FFolder(Platform().System().GetTempFolder() + L"kestrova-regpeer-" +
                std::to_wstring(GetCurrentProcessId())) {
    ForceFolders(FFolder);
  }
  ~RegPeer() override {
    Platform().Registry().DeleteKeyTree(regroot::CurrentUser, FKey, TRegView::Default);
    // The shared parent goes with the last process that used it.
    TRegKey parent;
    TRegKeyInfo info;
    if (parent.Open(regroot::CurrentUser, L"Software\\KestrovaRegPeer") == err::Success &&
        parent.Info(info) == err::Success && info.SubKeyCount == 0 && info.ValueCount == 0) {
      parent.Close();
      Platform().Registry().DeleteKeyTree(regroot::CurrentUser, L"Software\\KestrovaRegPeer",
                                          TRegView::Default);
    }
    for (const std::wstring& file : FFiles) {
      ::DeleteFileW(file.c_str());
    }
    ::RemoveDirectoryW(FFolder.c_str());
  }

  std::wstring File(const std::wstring& aName) {
    FFiles.push_back(FFolder + L"\\" + aName);
    return FFiles.back();
  }

  void WriteValues(const TValues& aValues) {
    TRegKey key;
    ASSERT_EQ(key.Create(regroot::CurrentUser, FKey), err::Success);
    for (const auto& [name, value] : aValues) {
      ASSERT_EQ(key.Write(name, value), err::Success) << ToUtf8(name);
    }
  }

  // Runs the system's registry editor with aArguments and waits for it to end.
  void RunRegEdit(const std::wstring& aArguments) {
    TProcessStart start;
    start.CommandLine =
        L"\"" + Platform().System().GetWindowsFolder() + L"\\regedit.exe\" " + aArguments;
    start.Hidden = true;
    start.WaitMs = 120000;
    TProcessResult result;
    ASSERT_EQ(Platform().Processes().StartProcess(start, result), err::Success);
    ASSERT_TRUE(result.Finished);
  }

  // The values of the scratch key in a registry file, as our reader sees them.
  std::map<std::wstring, TRegValue> ReadValues(const std::wstring& aFile) {
    TRegFileReader reader;
    std::map<std::wstring, TRegValue> values;
    EXPECT_TRUE(reader.LoadFromFile(aFile))
        << reader.Error().Line << ": " << ToUtf8(reader.Error().Message);
    for (const TRegFileKey& key : reader.Keys()) {
      EXPECT_EQ(key.Root, regroot::CurrentUser);
      if (SameText(key.SubKey, FKey)) {
        for (const TRegFileValue& value : key.Values) {
          values[value.Name] = value.Value;
        }
      }
    }
    return values;
  }

  const std::wstring& Key() const { return FKey; }

private:
  TScopedPlatform FPlatform;
  std::wstring FKey;
  std::wstring FFolder;
  std::vector<std::wstring> FFiles;
};

TEST_F(RegPeer, BackupMeansWhatRegEditExports) {
  const TValues values = CommonValues();
  WriteValues(values);
  const std::wstring exported = File(L"exported.reg");
  RunRegEdit(L"/e \"" + exported + L"\" \"HKEY_CURRENT_USER\\" + Key() + L"\"");

  TRegExporter exporter;
  for (const auto& [name, value] : values) {
    ASSERT_TRUE(exporter.AddItem(L"HKEY_CURRENT_USER", Key(), name)) << ToUtf8(name);
  }
  const std::wstring ours = File(L"ours.reg");
  ASSERT_EQ(exporter.SaveToFile(ours), err::Success);

  const auto theirs = ReadValues(exported);
  const auto mine = ReadValues(ours);
  ASSERT_EQ(theirs.size(), values.size());
  for (const auto& [name, value] : values) {
    ASSERT_TRUE(theirs.count(name) && mine.count(name)) << ToUtf8(name);
    EXPECT_EQ(mine.at(name).Type, theirs.at(name).Type) << ToUtf8(name);
    EXPECT_EQ(mine.at(name).Data, theirs.at(name).Data) << ToUtf8(name);
    EXPECT_EQ(mine.at(name).Data, value.Data) << ToUtf8(name);
  }
}

TEST_F(RegPeer, RegEditImportsTheBackupToTheSameValues) {
  TValues values = CommonValues();
  values.emplace_back(L"expand", MakeStringValue(L"%SystemRoot%\\system32", regtype::ExpandSz));
  values.emplace_back(L"lines", MakeStringValue(L"one\r\ntwo"));
  values.emplace_back(L"multi", MakeMultiStringValue({L"a", L"b\\c"}));
  values.emplace_back(L"qword", MakeQwordValue(0x0102030405060708ull));
  WriteValues(values);
  TRegExporter exporter;
  for (const auto& [name, value] : values) {
    ASSERT_TRUE(exporter.AddItem(L"HKEY_CURRENT_USER", Key(), name)) << ToUtf8(name);
  }
  const std::wstring backup = File(L"backup.reg");
  ASSERT_EQ(exporter.SaveToFile(backup), err::Success);
  ASSERT_EQ(Platform().Registry().DeleteKeyTree(regroot::CurrentUser, Key(), TRegView::Default),
            err::Success);

  RunRegEdit(L"/s \"" + backup + L"\"");
  TRegKey key;
  ASSERT_EQ(key.Open(regroot::CurrentUser, Key()), err::Success);
  for (const auto& [name, value] : values) {
    TRegValue restored;
    ASSERT_EQ(key.Query(name, restored), err::Success) << ToUtf8(name);
    EXPECT_EQ(restored.Type, value.Type) << ToUtf8(name);
    EXPECT_EQ(restored.Data, value.Data) << ToUtf8(name);
  }
}

TEST_F(RegPeer, ImportRegFileRunsTheSystemEditor) {
  EXPECT_FALSE(ImportRegFile(File(L"missing.reg")));

  TRegExporter exporter;
  exporter.AddRegItem(L"HKEY_CURRENT_USER", Key(), L"\"Fix\"=DWORD:0000002A");
  exporter.AddRegItem(L"HKEY_CURRENT_USER", Key(), L"\"Dir\"=\"C:\\Windows\"");
  const std::wstring fix = File(L"fix file.reg");
  ASSERT_EQ(exporter.SaveToFile(fix), err::Success);
  ASSERT_TRUE(ImportRegFile(fix));
  TRegKey key;
  ASSERT_EQ(key.Open(regroot::CurrentUser, Key()), err::Success);
  EXPECT_EQ(key.ReadDword(L"Fix").value_or(0), 42u);
  EXPECT_EQ(key.ReadString(L"Dir").value_or(L""), L"C:\\Windows");
}

} // namespace
