#include "cure/RestoreCenter.h"
#include "base/CLSettings.h"
#include "cure/FigCure.h"
#include "cure/RegFileReader.h"
#include "cure/RegUtils.h"
#include "platform/RegKey.h"
#include "platform/TextCodec.h"
#include "platform/fake/FakeMachine.h"
#include "support/FakeRegEdit.h"
#include "support/RoamingProfile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace kplat;

const std::wstring kBackup = L"C:\\Users\\User\\AppData\\Roaming\\Kestrova\\backup";
const std::wstring kIndex = kBackup + L"\\info.rec";
const std::wstring kKey = L"Software\\RestoreTest";

std::vector<uint8_t> AnsiBytes(const std::string& aText) {
  return {aText.begin(), aText.end()};
}

class RestoreCenterTest : public testing::Test {
protected:
  RestoreCenterTest() {
    Machine().AddFolder(kBackup);
    InstallFakeRegEdit(Machine());
  }

  fake::TFakeMachine& Machine() { return FScope.Machine(); }

  // A backup file of aEntries values "V0", "V1", ... of kKey, written as a repair run would.
  std::wstring AddBackup(const std::wstring& aName, int aEntries) {
    TRegExporter exporter;
    for (int i = 0; i < aEntries; ++i) {
      const std::wstring name = L"V" + std::to_wstring(i);
      Machine().SetRegString(regroot::CurrentUser, kKey, name, L"data " + name);
      EXPECT_TRUE(exporter.AddItem(L"HKEY_CURRENT_USER", kKey, name));
    }
    const std::wstring file = kBackup + L"\\" + aName;
    EXPECT_EQ(SaveSealedBackup(exporter, file), err::Success);
    return file;
  }

  static void DeleteTestKey() {
    ASSERT_EQ(Platform().Registry().DeleteKeyTree(regroot::CurrentUser, kKey, TRegView::Default),
              err::Success);
  }

  void SetIndex(const std::string& aText) { Machine().AddTextFile(kIndex, aText); }
  std::string Index() {
    const auto bytes = Machine().FileContent(kIndex);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("(none)");
  }

  // Five one-entry backups b1 (oldest) to b5.
  void AddFiveBackups() {
    std::string index;
    for (int i = 1; i <= 5; ++i) {
      // Built piece by piece: GCC 12 warns falsely (-Wrestrict) about "b" + std::to_string(i).
      std::string name = "b";
      name += std::to_string(i) + ".reg";
      AddBackup(std::wstring(name.begin(), name.end()), 1);
      index += "2026-03-0" + std::to_string(i) + " 10:00:00,1," + name + "\r\n";
    }
    SetIndex(index);
  }

  static std::vector<std::wstring> Files(const TRestoreCenter& aCenter) {
    std::vector<std::wstring> names;
    for (const TBackupRow& row : aCenter.Rows()) {
      names.push_back(row.FileName.substr(kBackup.size() + 1));
    }
    return names;
  }

  fake::TFakeMachineScope FScope;
};

TEST_F(RestoreCenterTest, ChangeCountIsTheEntriesAfterTheHeader) {
  EXPECT_EQ(GetBackupChangeCount(AddBackup(L"none.reg", 0)), L"0");
  EXPECT_EQ(GetBackupChangeCount(AddBackup(L"one.reg", 1)), L"1");
  EXPECT_EQ(GetBackupChangeCount(AddBackup(L"three.reg", 3)), L"3");
  EXPECT_EQ(GetBackupChangeCount(kBackup + L"\\missing.reg"), L"");
  // Files of other encodings and line ends, counted as a text list reads them.
  const struct {
    std::vector<uint8_t> Bytes;
    const wchar_t* Count;
  } cases[] = {
      {AnsiBytes("REGEDIT4\r\n\r\n[k]\r\n\"a\"=\"1\"\r\n\r\n"), L"1"},
      {AnsiBytes("h\rh\r[k]\rv\r\r[k]\nv\n\n[k]\r\nv"), L"2"},
      {AnsiBytes("\xEF\xBB\xBFh\nh\n[k]\nv\n\n[k]\nv\n\n"), L"2"},
      {EncodeUtf16Le(L"\xFEFFh\r\nh\r\n[k]\r\nv\r\n\r\n\r"), L"1"},
      {AnsiBytes(""), L"0"},
  };
  for (const auto& c : cases) {
    Machine().AddFileContent(kBackup + L"\\other.reg", c.Bytes);
    EXPECT_EQ(GetBackupChangeCount(kBackup + L"\\other.reg"), c.Count) << ToUtf8(c.Count);
  }
}

TEST_F(RestoreCenterTest, MissingIndexIsCreatedEmpty) {
  TRestoreCenter center(kBackup);
  EXPECT_TRUE(center.Load(10));
  EXPECT_TRUE(center.Rows().empty());
  EXPECT_EQ(Index(), "");
}

TEST_F(RestoreCenterTest, ListsNewestFirstAndPrunesCountingEveryLine) {
  // MaxBackup 3 with five backups: the two oldest go with their lines.
  AddFiveBackups();
  TRestoreCenter center(kBackup);
  ASSERT_TRUE(center.Load(3));
  EXPECT_EQ(Files(center), (std::vector<std::wstring>{L"b5.reg", L"b4.reg", L"b3.reg"}));
  EXPECT_EQ(center.Rows()[0].DateTime, L"2026-03-05 10:00:00");
  EXPECT_EQ(center.Rows()[0].Changes, L"1");
  EXPECT_FALSE(Machine().HasFile(kBackup + L"\\b1.reg"));
  EXPECT_FALSE(Machine().HasFile(kBackup + L"\\b2.reg"));
  EXPECT_EQ(Index(), "2026-03-03 10:00:00,1,b3.reg\r\n2026-03-04 10:00:00,1,b4.reg\r\n"
                     "2026-03-05 10:00:00,1,b5.reg\r\n");

  // A line without commas, a header-only backup and a line whose file is missing are kept and
  // not listed, but each counts toward the limit.
  AddBackup(L"empty.reg", 0);
  SetIndex("x,1,b3.reg\r\nno commas\r\nx,0,empty.reg\r\nx,1,gone.reg\r\ny,1,b5.reg\r\n");
  ASSERT_TRUE(center.Load(3));
  EXPECT_EQ(Files(center), (std::vector<std::wstring>{L"b5.reg"}));
  EXPECT_TRUE(Machine().HasFile(kBackup + L"\\empty.reg"));
  EXPECT_FALSE(Machine().HasFile(kBackup + L"\\b3.reg"));
  EXPECT_EQ(Index(), "no commas\r\nx,0,empty.reg\r\nx,1,gone.reg\r\ny,1,b5.reg\r\n");

  // MaxBackup 0: every existing file goes; the line of a missing one stays.
  ASSERT_TRUE(center.Load(0));
  EXPECT_TRUE(center.Rows().empty());
  EXPECT_FALSE(Machine().HasFile(kBackup + L"\\b5.reg"));
  EXPECT_FALSE(Machine().HasFile(kBackup + L"\\empty.reg"));
  EXPECT_EQ(Index(), "no commas\r\nx,1,gone.reg\r\n");
}

TEST_F(RestoreCenterTest, SettingsWithoutTheLimitKeepTwentyBackupsNotNone) {
  AddFiveBackups();
  for (const auto& [setting, listed] :
       std::vector<std::pair<std::wstring, size_t>>{{L"", 5}, {L"many", 5}, {L"4", 4}}) {
    GetCLSettings().SetSettingstring(L"Backup.MaxBackup", setting);
    TRestoreCenter center(kBackup);
    ASSERT_TRUE(center.Load(MaxBackupSetting()));
    EXPECT_EQ(center.Rows().size(), listed) << ToUtf8(setting);
  }
}

TEST_F(RestoreCenterTest, IndexIsReadInTheSystemCodePage) {
  // A Russian system's index: its date and file name in Windows-1251.
  Machine().SetAnsiCodePage(1251);
  AddBackup(L"\u0421\u0431\u043E\u0439.reg", 2);
  SetIndex("02.03.2026 \xE3.,2,\xD1\xE1\xEE\xE9.reg\r\n");
  TRestoreCenter center(kBackup);
  ASSERT_TRUE(center.Load(10));
  EXPECT_EQ(Files(center), (std::vector<std::wstring>{L"\u0421\u0431\u043E\u0439.reg"}));
  ASSERT_EQ(center.Rows().size(), 1u);
  EXPECT_EQ(center.Rows()[0].DateTime, L"02.03.2026 \u0433.");
}

TEST_F(RestoreCenterTest, ALineNamingAFileOutsideTheFolderIsKeptButNeverListedOrDeleted) {
  const std::wstring data = kBackup.substr(0, kBackup.rfind(L'\\'));
  TRegExporter exporter;
  Machine().SetRegString(regroot::CurrentUser, kKey, L"V0", L"data");
  ASSERT_TRUE(exporter.AddItem(L"HKEY_CURRENT_USER", kKey, L"V0"));
  ASSERT_EQ(exporter.SaveToFile(data + L"\\victim.reg"), err::Success);
  AddBackup(L"b1.reg", 1);
  const std::string outside = "x,1," + ToUtf8(data) +
                              "\\victim.reg\r\n"
                              "x,1,..\\victim.reg\r\nx,1,.\\b1.reg\r\nx,1,..\r\n"
                              "x,1,ADS.reg:stream\r\nx,1,sub/b1.reg\r\n";
  SetIndex(outside + "y,1,b1.reg\r\n");

  TRestoreCenter center(kBackup);
  ASSERT_TRUE(center.Load(10));
  EXPECT_EQ(Files(center), (std::vector<std::wstring>{L"b1.reg"}));
  // Pruning everything deletes only the folder's own backup.
  ASSERT_TRUE(center.Load(0));
  EXPECT_TRUE(center.Rows().empty());
  EXPECT_TRUE(Machine().HasFile(data + L"\\victim.reg"));
  EXPECT_FALSE(Machine().HasFile(kBackup + L"\\b1.reg"));
  EXPECT_EQ(Index(), outside);
}

TEST_F(RestoreCenterTest, AShareFolderIsThatFolderAndARelativeOneIsRefused) {
  UseRoamingProfile(Machine());
  const std::wstring share = kRoamingAppData + L"\\Kestrova\\backup";
  Machine().AddFolder(share);
  TRegExporter exporter;
  Machine().SetRegString(regroot::CurrentUser, kKey, L"V0", L"data");
  ASSERT_TRUE(exporter.AddItem(L"HKEY_CURRENT_USER", kKey, L"V0"));
  ASSERT_EQ(SaveSealedBackup(exporter, share + L"\\a.reg"), err::Success);
  Machine().AddTextFile(share + L"\\info.rec", "2026-03-02 10:00:00,1,a.reg\r\n");

  TRestoreCenter center(share);
  ASSERT_TRUE(center.Load(10));
  EXPECT_EQ(center.Rows().at(0).FileName, share + L"\\a.reg");
  DeleteTestKey();
  EXPECT_TRUE(center.Restore(0).Complete());
  ASSERT_TRUE(center.Load(0));
  EXPECT_FALSE(Machine().HasFile(share + L"\\a.reg"));
  EXPECT_TRUE(CurrentFolderUntouched(Machine()));

  for (const std::wstring folder : {L"", L"backup", L"\\backup", L"C:backup"}) {
    TRestoreCenter relative(folder);
    EXPECT_FALSE(relative.Load(0)) << ToUtf8(folder);
    EXPECT_TRUE(relative.IndexUnreadable());
    EXPECT_NE(relative.LastError().find(L"not a full path"), std::wstring::npos);
    EXPECT_TRUE(relative.Rows().empty());
  }
  EXPECT_TRUE(CurrentFolderUntouched(Machine()));
}

TEST_F(RestoreCenterTest, IndexThatCannotBeWrittenDeletesNothing) {
  AddFiveBackups();
  const std::string before = Index();
  Machine().SetDiskFull(true);
  TRestoreCenter center(kBackup);
  EXPECT_FALSE(center.Load(3));
  EXPECT_NE(center.LastError().find(L"info.rec"), std::wstring::npos);
  EXPECT_EQ(center.Rows().size(), 5u);
  EXPECT_TRUE(Machine().HasFile(kBackup + L"\\b1.reg"));
  EXPECT_EQ(Index(), before);

  // Deleting then fails the same way and keeps the row, its line and its file.
  EXPECT_FALSE(center.Delete(1));
  EXPECT_EQ(center.Rows().size(), 5u);
  EXPECT_TRUE(Machine().HasFile(kBackup + L"\\b4.reg"));
  EXPECT_EQ(Index(), before);
}

TEST_F(RestoreCenterTest, DeleteRemovesExactlyTheRowsLineAndFile) {
  AddFiveBackups();
  TRestoreCenter center(kBackup);
  ASSERT_TRUE(center.Load(10));
  EXPECT_FALSE(center.Delete(5));
  EXPECT_FALSE(center.Delete(-1));
  ASSERT_TRUE(center.Delete(1));
  EXPECT_FALSE(Machine().HasFile(kBackup + L"\\b4.reg"));
  EXPECT_EQ(Files(center), (std::vector<std::wstring>{L"b5.reg", L"b3.reg", L"b2.reg", L"b1.reg"}));
  // The rows after it still name their own lines.
  ASSERT_TRUE(center.Delete(3));
  EXPECT_FALSE(Machine().HasFile(kBackup + L"\\b1.reg"));
  EXPECT_EQ(Index(), "2026-03-02 10:00:00,1,b2.reg\r\n2026-03-03 10:00:00,1,b3.reg\r\n"
                     "2026-03-05 10:00:00,1,b5.reg\r\n");
  TRestoreCenter reopened(kBackup);
  ASSERT_TRUE(reopened.Load(10));
  EXPECT_EQ(Files(reopened), (std::vector<std::wstring>{L"b5.reg", L"b3.reg", L"b2.reg"}));
}

TEST_F(RestoreCenterTest, RestoreReportsWhatTheRegistryHoldsAfterwards) {
  AddBackup(L"run.reg", 3);
  SetIndex("2026-03-02 10:00:00,3,run.reg\r\n");
  TRestoreCenter center(kBackup);
  ASSERT_TRUE(center.Load(10));
  EXPECT_FALSE(center.Restore(1).Complete());

  DeleteTestKey();
  TRestoreResult result = center.Restore(0);
  EXPECT_TRUE(result.Complete()) << ToUtf8(result.Error);
  EXPECT_EQ(result.Entries, 3);
  EXPECT_EQ(result.Verified, 3);
  TRegKey key;
  ASSERT_EQ(key.Open(regroot::CurrentUser, kKey), err::Success);
  EXPECT_EQ(key.ReadString(L"V2").value_or(L""), L"data V2");

  // A value the editor cannot write is named, and the restore is not complete.
  DeleteTestKey();
  Machine().AddRegKey(regroot::CurrentUser, kKey);
  Machine().FailSetValue(regroot::CurrentUser, kKey);
  result = center.Restore(0);
  EXPECT_FALSE(result.Complete());
  EXPECT_EQ(result.Verified, 0);
  EXPECT_EQ(result.Failed.front(), L"[HKEY_CURRENT_USER\\Software\\RestoreTest] V0");
}

TEST_F(RestoreCenterTest, ABackupLargerThanAnyWholeFileReadIsListedRestoredAndVerified) {
  // Three string values, each well within a line's bound, make a file above the bound of the
  // readers that hold a file whole.
  constexpr size_t kChars = kMaxRegFileBytes / 6 + 4096;
  static_assert(kChars < kMaxRegFileLineChars);
  std::vector<uint8_t> file = EncodeUtf16Le(L"\xFEFFWindows Registry Editor Version 5.00\r\n\r\n");
  for (const wchar_t* name : {L"V0", L"V1", L"V2"}) {
    const std::vector<uint8_t> entry =
        EncodeUtf16Le(L"[HKEY_CURRENT_USER\\" + kKey + L"]\r\n\"" + name + L"\"=\"");
    file.insert(file.end(), entry.begin(), entry.end());
    const std::vector<uint8_t> text = EncodeUtf16Le(std::wstring(kChars, L'a'));
    file.insert(file.end(), text.begin(), text.end());
    const std::vector<uint8_t> end = EncodeUtf16Le(L"\"\r\n\r\n");
    file.insert(file.end(), end.begin(), end.end());
  }
  ASSERT_GT(file.size(), kMaxRegFileBytes);
  Machine().AddFileContent(kBackup + L"\\big.reg", file);
  file = {};
  SetIndex("2026-03-02 10:00:00,3,big.reg\r\n");

  TRestoreCenter center(kBackup);
  ASSERT_TRUE(center.Load(10));
  ASSERT_EQ(Files(center), std::vector<std::wstring>{L"big.reg"});
  EXPECT_EQ(center.Rows()[0].Changes, L"3");
  const TRestoreResult result = center.Restore(0, true);
  EXPECT_TRUE(result.Complete()) << ToUtf8(result.Error);
  EXPECT_EQ(result.Entries, 3);
  EXPECT_EQ(result.Verified, 3);
  const std::optional<std::wstring> restored =
      Machine().GetRegString(regroot::CurrentUser, kKey, L"V2");
  ASSERT_TRUE(restored.has_value());
  EXPECT_EQ(*restored, std::wstring(kChars, L'a'));
}

TEST_F(RestoreCenterTest, RestoreVerifiesDeletedKeysAndKeysWithoutValuesInFileOrder) {
  const std::wstring key = L"HKEY_CURRENT_USER\\" + kKey;
  Machine().AddFileContent(kBackup + L"\\keys.reg",
                           EncodeUtf16Le(L"\xFEFFWindows Registry Editor Version 5.00\r\n\r\n[-" +
                                         key + L"\\Old]\r\n\r\n[" + key + L"\\Empty]\r\n\r\n[" +
                                         key + L"]\r\n\"V\"=\"1\"\r\n\r\n[" + key +
                                         L"\\Last]\r\n"));
  Machine().AddRegKey(regroot::CurrentUser, kKey + L"\\Old");
  TRestoreResult result = RestoreBackupFile(kBackup + L"\\keys.reg", true);
  EXPECT_TRUE(result.Complete()) << ToUtf8(result.Error);
  EXPECT_EQ(result.Entries, 4);
  EXPECT_FALSE(Machine().RegKeyExists(regroot::CurrentUser, kKey + L"\\Old"));

  // Nothing the editor was asked for happened: every entry is named, in the file's order.
  DeleteTestKey();
  Machine().AddRegKey(regroot::CurrentUser, kKey + L"\\Old");
  Machine().FailOpenKey(regroot::CurrentUser, kKey);
  Machine().FailOpenKey(regroot::CurrentUser, kKey + L"\\Empty");
  Machine().FailDeleteKey(regroot::CurrentUser, kKey + L"\\Old");
  result = RestoreBackupFile(kBackup + L"\\keys.reg", true);
  EXPECT_EQ(result.Verified, 1);
  EXPECT_EQ(result.Failed,
            (std::vector<std::wstring>{L"-[" + key + L"\\Old]", L"[" + key + L"\\Empty]",
                                       L"[" + key + L"] V"}));
}

TEST_F(RestoreCenterTest, CorruptBackupIsNotImported) {
  const std::wstring file = AddBackup(L"bad.reg", 2);
  std::vector<uint8_t> bytes = EncodeUtf16Le(L"\xFEFFWindows Registry Editor Version 5.00\r\n\r\n"
                                             L"[HKEY_CURRENT_USER\\Software\\RestoreTest]\r\n"
                                             L"\"V0\"=dword:zz\r\n\r\n");
  Machine().AddFileContent(file, bytes);
  const size_t launches = Machine().Launches().size();
  const TRestoreResult result = RestoreBackupFile(file, true);
  EXPECT_FALSE(result.Complete());
  EXPECT_FALSE(result.Imported);
  EXPECT_NE(result.Error.find(L"bad.reg"), std::wstring::npos);
  EXPECT_EQ(Machine().Launches().size(), launches);
}

} // namespace

TEST_F(RestoreCenterTest, DetailsListWhatARunChangedAndReadNoFurtherThanTheLimit) {
  const std::wstring key = L"HKEY_CURRENT_USER\\" + kKey;
  const std::wstring file = kBackup + L"\\details.reg";
  // Past the fifth entry the file is damaged: a reader that stops at the limit never sees it.
  Machine().AddFileContent(
      file, EncodeUtf16Le(L"\xFEFFWindows Registry Editor Version 5.00\r\n\r\n"
                          L"[-" +
                          key + L"\\Old]\r\n\r\n[" + key + L"\\Empty]\r\n\r\n[" + key +
                          L"]\r\n\"V\"=\"1\"\r\n\r\n[" + key + L"]\r\n\"W\"=-\r\n\r\n[" + key +
                          L"]\r\n@=\"x\"\r\n\r\nnot an entry\r\n"));
  TFigQuarantine quarantine(file, 1u << 20, LoadSealKey(true));
  Machine().AddFileContent(L"C:\\Junk\\a.tmp", AnsiBytes("12345"));
  Machine().AddFileContent(L"C:\\Junk\\Sub\\b.tmp", AnsiBytes("12"));
  ASSERT_EQ(quarantine.Take(L"C:\\Junk\\a.tmp", L"C:\\Junk"), err::Success);
  ASSERT_EQ(quarantine.Take(L"C:\\Junk\\Sub\\b.tmp", L"C:\\Junk\\Sub"), err::Success);
  ASSERT_EQ(quarantine.RecordFolder(L"C:\\Junk\\Sub"), err::Success);

  TBackupDetails details;
  std::wstring error;
  ASSERT_TRUE(ReadBackupDetails(file, 4, 2, details, error)) << ToUtf8(error);
  ASSERT_EQ(details.Keys.size(), 3u);
  EXPECT_TRUE(details.Keys[0].Delete);
  EXPECT_EQ(details.Keys[0].Path, kKey + L"\\Old");
  EXPECT_EQ(details.Keys[1].Path, kKey + L"\\Empty");
  EXPECT_TRUE(details.Keys[1].Values.empty());
  EXPECT_EQ(details.Keys[2].Root, L"HKEY_CURRENT_USER");
  ASSERT_EQ(details.Keys[2].Values.size(), 2u);
  EXPECT_EQ(details.Keys[2].Values[0].Name, L"V");
  EXPECT_FALSE(details.Keys[2].Values[0].Delete);
  EXPECT_TRUE(details.Keys[2].Values[1].Delete);
  EXPECT_EQ(details.Entries, 4);
  EXPECT_TRUE(details.MoreEntries);
  ASSERT_EQ(details.Files.size(), 2u);
  EXPECT_EQ(details.Files[1].Path, L"C:\\Junk\\Sub\\b.tmp");
  EXPECT_EQ(details.Files[0].Size, 5u);
  EXPECT_TRUE(details.Folders.empty());
  EXPECT_EQ(details.MoreFiles, 1);

  // Read to its end, the damage is reported with what came before it.
  EXPECT_FALSE(ReadBackupDetails(file, 100, 100, details, error));
  EXPECT_NE(error.find(L"line 16"), std::wstring::npos) << ToUtf8(error);
  EXPECT_EQ(details.Entries, 5);
  EXPECT_FALSE(details.MoreEntries);
}
