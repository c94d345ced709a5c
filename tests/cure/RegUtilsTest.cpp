#include "cure/RegUtils.h"
#include "cure/RegFileReader.h"
#include "platform/RegKey.h"
#include "platform/TextCodec.h"
#include "platform/fake/FakeMachine.h"
#include "support/FakeRegEdit.h"

#include <gtest/gtest.h>

namespace {

using namespace kplat;

const std::wstring kKey = L"Software\\Kestrova\\Test";
const std::wstring kHeader = L"Windows Registry Editor Version 5.00\r\n\r\n";

class RegUtils : public ::testing::Test {
protected:
  fake::TFakeMachine& Machine() { return FScope.Machine(); }

  // The file's text after its byte-order mark, which must be there.
  static std::wstring Text(const TRegExporter& aExporter) {
    const auto& bytes = aExporter.Stream();
    EXPECT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xFE);
    return DecodeUtf16Le(bytes.data() + 2, bytes.size() - 2);
  }

  std::wstring BackupLine(const TRegValue& aValue, const std::wstring& aName = L"V") {
    Machine().SetRegValue(regroot::CurrentUser, kKey, aName, aValue);
    TRegExporter exporter;
    EXPECT_TRUE(exporter.AddItem(L"HKEY_CURRENT_USER", kKey, aName));
    const std::wstring text = Text(exporter);
    const std::wstring prefix = kHeader + L"[HKEY_CURRENT_USER\\" + kKey + L"]\r\n";
    EXPECT_EQ(text.substr(0, prefix.size()), prefix);
    EXPECT_EQ(text.substr(text.size() - 4), L"\r\n\r\n");
    return text.substr(prefix.size(), text.size() - prefix.size() - 4);
  }

private:
  fake::TFakeMachineScope FScope;
};

TEST_F(RegUtils, RootKeyFromNameTakesOnlyFullNamesInAnyCase) {
  EXPECT_EQ(RootKeyFromName(L"HKEY_CLASSES_ROOT"), 0x80000000u);
  EXPECT_EQ(RootKeyFromName(L"HKEY_CURRENT_USER"), 0x80000001u);
  EXPECT_EQ(RootKeyFromName(L"hkey_local_machine"), 0x80000002u);
  EXPECT_EQ(RootKeyFromName(L"HKEY_USERS"), 0x80000003u);
  EXPECT_EQ(RootKeyFromName(L"HKEY_PERFORMANCE_DATA"), 0x80000004u);
  EXPECT_EQ(RootKeyFromName(L"Hkey_Current_Config"), 0x80000005u);
  EXPECT_EQ(RootKeyFromName(L"HKEY_DYN_DATA"), 0x80000006u);
  EXPECT_EQ(RootKeyFromName(L"HKLM"), kNoRegHandle);
  EXPECT_EQ(RootKeyFromName(L"HKEY_LOCAL_MACHINE\\Software"), kNoRegHandle);
  EXPECT_EQ(RootKeyFromName(L""), kNoRegHandle);
}

TEST_F(RegUtils, EscapingDoublesEachCharacterOnce) {
  EXPECT_EQ(EscapeRegBackslashes(L"C:\\a\\\\b\\"), L"C:\\\\a\\\\\\\\b\\\\");
  EXPECT_EQ(EscapeRegQuotes(L"say \"hi\" \\"), L"say \\\"hi\\\" \\");
  EXPECT_EQ(NormalizeRegLine(L"\"Path\"=\"C:\\Windows\""), L"\"Path\"=\"C:\\\\Windows\"");
  EXPECT_EQ(NormalizeRegLine(L"\"X\"=DWORD:00000001"), L"\"X\"=dword:00000001");
  EXPECT_EQ(NormalizeRegLine(L"\"X\"=Dword:00000001"), L"\"X\"=Dword:00000001");
}

TEST_F(RegUtils, NewExporterIsTheEightyTwoByteHeader) {
  Machine().AddFolder(L"C:\\Backup");
  TRegExporter exporter;
  ASSERT_EQ(exporter.Stream().size(), 82u);
  EXPECT_EQ(Text(exporter), kHeader);
  ASSERT_EQ(exporter.SaveToFile(L"C:\\Backup\\empty.reg"), err::Success);
  EXPECT_EQ(Machine().FileContent(L"C:\\Backup\\empty.reg"), exporter.Stream());
}

TEST_F(RegUtils, AddRegItemWritesFixLinesAsGivenAndSkipsEmptyOnes) {
  TRegExporter exporter;
  exporter.AddRegItem(L"hkey_local_machine", L"Software\\X", L"");
  EXPECT_EQ(exporter.Stream().size(), 82u);
  exporter.AddRegItem(L"hkey_local_machine", L"Software\\X", L"\"Dir\"=\"C:\\Windows\"");
  exporter.AddRegItem(L"hkey_local_machine", L"Software\\X", L"\"N\"=DWORD:00000002");
  EXPECT_EQ(Text(exporter), kHeader + L"[hkey_local_machine\\Software\\X]\r\n"
                                      L"\"Dir\"=\"C:\\\\Windows\"\r\n\r\n"
                                      L"[hkey_local_machine\\Software\\X]\r\n"
                                      L"\"N\"=dword:00000002\r\n\r\n");
}

TEST_F(RegUtils, FormatRegValueGivesEachTypesNotation) {
  Machine().SetRegString(regroot::LocalMachine, kKey, L"Str", L"C:\\a \"b\"");
  Machine().SetRegString(regroot::LocalMachine, kKey, L"Exp", L"%WINDIR%", regtype::ExpandSz);
  Machine().SetRegValue(regroot::LocalMachine, kKey, L"Nul",
                        TRegValue{regtype::Sz, EncodeUtf16Le(std::wstring(L"ab\0cd", 5), true)});
  Machine().SetRegDword(regroot::LocalMachine, kKey, L"One", 1);
  Machine().SetRegDword(regroot::LocalMachine, kKey, L"Minus", 0xFFFFFFFFu);
  Machine().SetRegValue(regroot::LocalMachine, kKey, L"Bin", TRegValue{regtype::Binary, {1, 0xAB}});
  Machine().SetRegValue(regroot::LocalMachine, kKey, L"Empty", TRegValue{regtype::Binary, {}});
  Machine().SetRegString(regroot::LocalMachine, kKey, L"", L"def");
  Machine().SetRegString(regroot::LocalMachine, kKey, L"a\\b", L"x");

  const auto format = [](const std::wstring& aName) {
    return FormatRegValue(L"HKEY_LOCAL_MACHINE", kKey, aName);
  };
  EXPECT_EQ(format(L"Str").ValueLine, L"\"Str\"=\"C:\\a \\\"b\\\"\"");
  EXPECT_EQ(format(L"Exp").DataPart, L"\"%WINDIR%\"");
  EXPECT_EQ(format(L"Nul").DataPart, L"\"ab\"");
  EXPECT_EQ(format(L"One").DataPart, L"dword:00000001");
  EXPECT_EQ(format(L"Minus").DataPart, L"dword:FFFFFFFF");
  EXPECT_EQ(format(L"Bin").DataPart, L"hex:01,AB");
  EXPECT_EQ(format(L"Empty").ValueLine, L"\"Empty\"=hex:");
  const TRegValueText byDefault = format(L"");
  EXPECT_EQ(byDefault.NamePart, L"@");
  EXPECT_EQ(byDefault.ValueLine, L"@=\"def\"");
  EXPECT_EQ(format(L"a\\b").NamePart, L"\"a\\\\b\"");
}

TEST_F(RegUtils, FormatRegValueSpecialCases) {
  Machine().SetRegValue(regroot::CurrentUser, kKey, L"Multi", MakeMultiStringValue({L"a", L"b"}));
  Machine().SetRegValue(regroot::CurrentUser, kKey, L"Q", MakeQwordValue(5));

  const TRegValueText missing = FormatRegValue(L"HKEY_CURRENT_USER", kKey, L"a\\Gone");
  EXPECT_EQ(missing.NamePart, L"\"a\\Gone\"");
  EXPECT_EQ(missing.DataPart, L"Not Found!");
  EXPECT_EQ(missing.ValueLine, L"");

  for (const wchar_t* name : {L"Multi", L"Q"}) {
    const TRegValueText odd = FormatRegValue(L"HKEY_CURRENT_USER", kKey, name);
    EXPECT_EQ(odd.ValueLine + odd.DataPart + odd.NamePart, L"") << name;
  }

  const TRegValueText noKeyDefault = FormatRegValue(L"HKEY_CURRENT_USER", L"No\\Such", L"");
  EXPECT_EQ(noKeyDefault.NamePart, L"@");
  EXPECT_EQ(noKeyDefault.DataPart, L"");
  EXPECT_EQ(noKeyDefault.ValueLine, L"@=");
  const TRegValueText noKeyNamed = FormatRegValue(L"HKLM", kKey, L"Multi");
  EXPECT_EQ(noKeyNamed.ValueLine, L"\"Multi\"=\"\"");

  Machine().FailOpenKey(regroot::CurrentUser, kKey);
  EXPECT_EQ(FormatRegValue(L"HKEY_CURRENT_USER", kKey, L"Q").DataPart, L"\"\"");
}

TEST_F(RegUtils, AddItemEscapesEachCharacterOnce) {
  EXPECT_EQ(BackupLine(MakeStringValue(L"C:\\x \"q\""), L"n\\\"m"),
            L"\"n\\\\\\\"m\"=\"C:\\\\x \\\"q\\\"\"");
  EXPECT_EQ(BackupLine(MakeStringValue(L"%T%", regtype::ExpandSz)),
            L"\"V\"=hex(2):25,00,54,00,25,00,00,00");
  EXPECT_EQ(BackupLine(MakeStringValue(L"")), L"\"V\"=\"\"");
  EXPECT_EQ(BackupLine(MakeDwordValue(0)), L"\"V\"=dword:00000000");
  EXPECT_EQ(BackupLine(MakeDwordValue(0xFFFFFFFFu)), L"\"V\"=dword:FFFFFFFF");
  EXPECT_EQ(BackupLine(TRegValue{regtype::Binary, {0, 0x7F, 0xFE}}), L"\"V\"=hex:00,7F,FE");
  EXPECT_EQ(BackupLine(MakeStringValue(L"d"), L""), L"@=\"d\"");
  const std::wstring longLine =
      BackupLine(TRegValue{regtype::Binary, std::vector<uint8_t>(300, 0xAA)});
  EXPECT_EQ(longLine.size(), 8u + 300 * 3 - 1);
  EXPECT_EQ(longLine.find_first_of(L"\\\r\n"), std::wstring::npos);
}

TEST_F(RegUtils, AddItemKeepsValuesWithoutShortNotationInTypedHex) {
  EXPECT_EQ(BackupLine(MakeMultiStringValue({L"a"})), L"\"V\"=hex(7):61,00,00,00,00,00");
  EXPECT_EQ(BackupLine(MakeQwordValue(0x0102)), L"\"V\"=hex(b):02,01,00,00,00,00,00,00");
  EXPECT_EQ(BackupLine(TRegValue{regtype::Dword, {1, 2}}), L"\"V\"=hex(4):01,02");
  EXPECT_EQ(BackupLine(MakeStringValue(L"a\r\nb")), L"\"V\"=hex(1):61,00,0D,00,0A,00,62,00,00,00");
}

TEST_F(RegUtils, AddItemWritesNothingForWhatCannotBeRead) {
  Machine().SetRegString(regroot::CurrentUser, kKey, L"V", L"x");
  Machine().SetRegString(regroot::CurrentUser, L"Bad\nKey", L"V", L"x");
  TRegExporter exporter;
  EXPECT_FALSE(exporter.AddItem(L"HKEY_CURRENT_USER", kKey, L"Missing"));
  EXPECT_FALSE(exporter.AddItem(L"HKCU", kKey, L"V"));
  EXPECT_FALSE(exporter.AddItem(L"HKEY_CURRENT_USER", L"No\\Such", L"V"));
  EXPECT_FALSE(exporter.AddItem(L"HKEY_CURRENT_USER", L"Bad\nKey", L"V"));
  EXPECT_EQ(exporter.Stream().size(), 82u);
}

TEST_F(RegUtils, SaveToFileReportsFailureAndKeepsTheContent) {
  Machine().SetRegString(regroot::CurrentUser, kKey, L"V", L"x");
  Machine().AddFileContent(L"C:\\Backup\\b.reg", {1, 2, 3});
  TRegExporter exporter;
  ASSERT_TRUE(exporter.AddItem(L"HKEY_CURRENT_USER", kKey, L"V"));
  const auto content = exporter.Stream();

  Machine().SetDiskFull(true);
  EXPECT_EQ(exporter.SaveToFile(L"C:\\Backup\\b.reg"), err::DiskFull);
  EXPECT_EQ(Machine().FileContent(L"C:\\Backup\\b.reg"), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(exporter.Stream(), content);
  EXPECT_NE(exporter.SaveToFile(L"C:\\No\\Folder\\b.reg"), err::Success);

  Machine().SetDiskFull(false);
  ASSERT_EQ(exporter.SaveToFile(L"C:\\Backup\\b.reg"), err::Success);
  EXPECT_EQ(Machine().FileContent(L"C:\\Backup\\b.reg"), content);
  ASSERT_TRUE(exporter.AddItem(L"HKEY_CURRENT_USER", kKey, L"V"));
  EXPECT_EQ(exporter.Stream().size(), 2 * content.size() - 82);
}

TEST_F(RegUtils, BackupImportsBackToTheSameValues) {
  const std::vector<std::pair<std::wstring, TRegValue>> values{
      {L"", MakeStringValue(L"default")},
      {L"back\\slash \"quoted\"", MakeStringValue(L"C:\\Dir\\ \"x\" \x00e9\x4e2d\U0001F600")},
      {L"empty", MakeStringValue(L"")},
      {L"expand", MakeStringValue(L"%SystemRoot%\\x", regtype::ExpandSz)},
      {L"lines", MakeStringValue(L"one\r\ntwo")},
      {L"minus", MakeDwordValue(0xFFFFFFFFu)},
      {L"bin", TRegValue{regtype::Binary, std::vector<uint8_t>(200, 0x5A)}},
      {L"multi", MakeMultiStringValue({L"a", L"b"})},
  };
  TRegExporter exporter;
  for (const auto& [name, value] : values) {
    Machine().SetRegValue(regroot::CurrentUser, kKey, name, value);
    ASSERT_TRUE(exporter.AddItem(L"HKEY_CURRENT_USER", kKey, name));
  }
  ASSERT_EQ(exporter.SaveToFile(L"C:\\b.reg"), err::Success);
  Machine().RemoveRegKey(regroot::CurrentUser, kKey);

  TRegFileReader reader;
  ASSERT_TRUE(reader.LoadFromFile(L"C:\\b.reg")) << reader.Error().Message;
  ASSERT_TRUE(reader.Apply());
  for (const auto& [name, value] : values) {
    const auto restored = Machine().GetRegValue(regroot::CurrentUser, kKey, name);
    ASSERT_TRUE(restored.has_value()) << ToUtf8(name);
    EXPECT_EQ(restored->Type, value.Type) << ToUtf8(name);
    EXPECT_EQ(restored->Data, value.Data) << ToUtf8(name);
  }
}

TEST_F(RegUtils, ImportRegFileStartsTheHiddenEditorWithTheQuotedFile) {
  InstallFakeRegEdit(Machine());
  EXPECT_FALSE(ImportRegFile(L"C:\\Missing file.reg"));
  EXPECT_TRUE(Machine().Launches().empty());

  Machine().AddFolder(L"C:\\Temp dir");
  TRegExporter exporter;
  exporter.AddRegItem(L"HKEY_CURRENT_USER", kKey, L"\"Fix\"=DWORD:0000000A");
  ASSERT_EQ(exporter.SaveToFile(L"C:\\Temp dir\\fix.reg"), err::Success);
  ASSERT_TRUE(ImportRegFile(L"C:\\Temp dir\\fix.reg"));
  const auto launches = Machine().Launches();
  ASSERT_EQ(launches.size(), 1u);
  EXPECT_EQ(launches[0].CommandLine, L"\"C:\\Windows\\RegEdit.exe\" /s \"C:\\Temp dir\\fix.reg\"");
  EXPECT_EQ(launches[0].WorkingFolder, L"C:\\Windows");
  EXPECT_TRUE(launches[0].Hidden);
  EXPECT_EQ(launches[0].WaitMs, 3000u);
  EXPECT_EQ(Machine().GetRegValue(regroot::CurrentUser, kKey, L"Fix")->Data,
            MakeDwordValue(10).Data);
}

TEST_F(RegUtils, ImportRegFileIsFalseOnlyWhenTheEditorCannotStart) {
  Machine().AddTextFile(L"C:\\bad.reg", "not a registry file");
  InstallFakeRegEdit(Machine());
  EXPECT_TRUE(ImportRegFile(L"C:\\bad.reg"));
  Machine().SetLaunchHandler(
      [](const TProcessStart&, TProcessResult&) { return err::FileNotFound; });
  EXPECT_FALSE(ImportRegFile(L"C:\\bad.reg"));
}

} // namespace
