#include "cure/RegFileReader.h"
#include "platform/RegKey.h"
#include "platform/TextCodec.h"
#include "platform/fake/FakeMachine.h"
#include "support/FakeRegEdit.h"

#include <gtest/gtest.h>

namespace {

using namespace kplat;

const std::wstring kVersion5 = L"Windows Registry Editor Version 5.00\r\n\r\n";

std::vector<uint8_t> Utf16File(const std::wstring& aText) {
  std::vector<uint8_t> bytes{0xFF, 0xFE};
  const auto text = EncodeUtf16Le(aText);
  bytes.insert(bytes.end(), text.begin(), text.end());
  return bytes;
}

std::vector<uint8_t> AnsiFile(const std::string& aText) {
  return {aText.begin(), aText.end()};
}

class RegFileReader : public ::testing::Test {
protected:
  fake::TFakeMachine& Machine() { return FScope.Machine(); }

  // The line of the error a malformed version 5.00 file gives; nothing may be kept.
  int ErrorLine(const std::wstring& aBody) {
    TRegFileReader reader;
    EXPECT_FALSE(reader.LoadFromBytes(Utf16File(kVersion5 + aBody))) << ToUtf8(aBody);
    EXPECT_TRUE(reader.Keys().empty());
    EXPECT_FALSE(reader.Error().Message.empty());
    return reader.Error().Line;
  }

  std::optional<TRegValue> Value(const std::wstring& aName) {
    return Machine().GetRegValue(regroot::CurrentUser, L"Software\\T", aName);
  }

private:
  fake::TFakeMachineScope FScope;
};

TEST_F(RegFileReader, ReadsEveryDataNotation) {
  TRegFileReader reader;
  ASSERT_TRUE(reader.LoadFromBytes(
      Utf16File(kVersion5 + L"; a comment\r\n"
                            L"[HKEY_CURRENT_USER\\Software\\T]\r\n"
                            L"@=\"default\"\r\n"
                            L"\"a\\\\b \\\"q\\\"\" = \"C:\\\\x \\\"y\\\" \\n\x4e2d\"\r\n"
                            L"\"d\"=dword:0000002a\r\n"
                            L"\"short\"=dword:F\r\n"
                            L"\"bin\"=hex:01,ab,\\\r\n"
                            L"  FF\r\n"
                            L"\"empty\"=hex:\r\n"
                            L"\"multi\"=hex(7):61,00,00,00,00,00\r\n"
                            L"\"gone\"=-\r\n"
                            L"\r\n"
                            L"[-HKEY_LOCAL_MACHINE\\Software\\Old\\]\r\n")))
      << reader.Error().Message;
  EXPECT_EQ(reader.Format(), TRegFileFormat::Version5);
  ASSERT_EQ(reader.Keys().size(), 2u);
  const TRegFileKey& key = reader.Keys()[0];
  EXPECT_EQ(key.Root, regroot::CurrentUser);
  EXPECT_EQ(key.SubKey, L"Software\\T");
  EXPECT_EQ(key.Line, 4);
  ASSERT_EQ(key.Values.size(), 8u);
  EXPECT_EQ(key.Values[0].Name, L"");
  EXPECT_EQ(key.Values[1].Name, L"a\\b \"q\"");
  EXPECT_EQ(key.Values[1].Value.Data, MakeStringValue(L"C:\\x \"y\" \n\x4e2d").Data);
  EXPECT_EQ(key.Values[2].Value.Data, MakeDwordValue(42).Data);
  EXPECT_EQ(key.Values[3].Value.Data, MakeDwordValue(15).Data);
  EXPECT_EQ(key.Values[4].Value.Type, regtype::Binary);
  EXPECT_EQ(key.Values[4].Value.Data, (std::vector<uint8_t>{1, 0xAB, 0xFF}));
  EXPECT_TRUE(key.Values[5].Value.Data.empty());
  EXPECT_EQ(key.Values[6].Value.Type, regtype::MultiSz);
  EXPECT_EQ(key.Values[6].Value.Data, MakeMultiStringValue({L"a"}).Data);
  EXPECT_TRUE(key.Values[7].Delete);
  EXPECT_EQ(key.Values[7].Line, 13);
  EXPECT_TRUE(reader.Keys()[1].Delete);
  EXPECT_EQ(reader.Keys()[1].SubKey, L"Software\\Old");
}

TEST_F(RegFileReader, ReadsTheEightBitFormWithAnsiStrings) {
  TRegFileReader reader;
  ASSERT_TRUE(reader.LoadFromBytes(AnsiFile("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\T]\n"
                                            "\"s\"=\"caf\xe9\"\n"
                                            "\"e\"=hex(2):25,41,25,00\n")))
      << reader.Error().Message;
  EXPECT_EQ(reader.Format(), TRegFileFormat::Regedit4);
  ASSERT_TRUE(reader.Apply());
  EXPECT_EQ(Machine().GetRegString(regroot::CurrentUser, L"Software\\T", L"s"), L"caf\x00e9");
  EXPECT_EQ(Value(L"e")->Type, regtype::ExpandSz);
  EXPECT_EQ(Value(L"e")->Data, MakeStringValue(L"%A%").Data);
}

TEST_F(RegFileReader, MalformedLinesAreReportedWithTheirNumber) {
  EXPECT_EQ(ErrorLine(L"\"v\"=\"x\"\r\n"), 3);
  EXPECT_EQ(ErrorLine(L"[HKEY_CURRENT_USER\\A\r\n"), 3);
  EXPECT_EQ(ErrorLine(L"[HKCU\\A]\r\n"), 3);
  EXPECT_EQ(ErrorLine(L"[-HKEY_CURRENT_USER]\r\n"), 3);
  EXPECT_EQ(ErrorLine(L"[-HKEY_CURRENT_USER\\A]\r\n\"v\"=\"x\"\r\n"), 4);
  const std::wstring key = L"[HKEY_CURRENT_USER\\A]\r\n";
  for (const wchar_t* line :
       {L"\"v\"=\"unterminated", L"\"v\"=\"C:\\temp\"", L"\"v\"=DWORD:00000001", L"\"v\"=dword:",
        L"\"v\"=dword:123456789", L"\"v\"=dword:1x", L"\"v\"=hex:1,,2", L"\"v\"=hex:01,",
        L"\"v\"=hex:0g", L"\"v\"=hex:012", L"\"v\"=hex(7:00", L"\"v\"=hex()", L"\"v\"=",
        L"\"v\"=\"x\" junk", L"\"v\" \"x\"", L"v=\"x\"", L"\"v\"=-x"}) {
    EXPECT_EQ(ErrorLine(key + L"\r\n" + line + L"\r\n"), 5) << ToUtf8(line);
  }
  EXPECT_EQ(ErrorLine(key + L"\"v\"=hex:01,\\\r\n"), 5);
  EXPECT_EQ(ErrorLine(key + L"\"v\"=hex:01,\\\r\n02,\\\r\n  zz\r\n"), 6);
}

TEST_F(RegFileReader, RefusesWhatIsNotARegistryFile) {
  TRegFileReader reader;
  for (const auto& bytes : {std::vector<uint8_t>{}, AnsiFile("REGEDIT5\r\n"),
                            Utf16File(L"Windows Registry Editor Version 4.00\r\n"),
                            std::vector<uint8_t>{0xFE, 0xFF, 0, 'R'}}) {
    EXPECT_FALSE(reader.LoadFromBytes(bytes));
    EXPECT_EQ(reader.Error().Line, 1);
  }
  EXPECT_FALSE(reader.LoadFromFile(L"C:\\missing.reg"));
  EXPECT_EQ(reader.Error().Line, 0);
  Machine().AddFile(L"C:\\huge.reg", kMaxRegFileBytes + 1);
  EXPECT_FALSE(reader.LoadFromFile(L"C:\\huge.reg"));
  EXPECT_NE(reader.Error().Message.find(L"larger"), std::wstring::npos);
}

TEST_F(RegFileReader, ReadingEntryByEntryInPartsGivesWhatTheWholeFileGives) {
  const std::wstring key = L"[HKEY_CURRENT_USER\\Software\\T]";
  const std::vector<std::vector<uint8_t>> files = {
      Utf16File(kVersion5 + key +
                L"\r\n@=\"\x4e2d\xD83D\xDE00\"\r\n\"b\"=hex:01,\\\r\n  02\r\n\r\n" +
                L"[-HKEY_CURRENT_USER\\Software\\Old]\r\n" + key + L"\r\n\"d\"=dword:2a\r\n"),
      Utf16File(kVersion5 + key + L"\n\"a\"=\"x\"\n" + key),
      AnsiFile("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\T]\r\n\"a\"=hex(2):41,00\n"),
      Utf16File(kVersion5 + key + L"\r\n\"a\"=\"no line break\""),
      Utf16File(kVersion5 + key + L"\r\n\"a\"=hex:01,\\\r\n"),
      Utf16File(kVersion5 + L"\"a\"=\"before any key\"\r\n"),
      Utf16File(L"Windows Registry Editor Version 4.00\r\n"),
      std::vector<uint8_t>{0xFF, 0xFE, 0x57},
      std::vector<uint8_t>{},
  };
  for (size_t f = 0; f < files.size(); ++f) {
    TRegFileReader whole;
    const bool loaded = whole.LoadFromBytes(files[f]);
    const std::wstring file = L"C:\\file" + std::to_wstring(f) + L".reg";
    Machine().AddFileContent(file, files[f]);
    for (const uint32_t part : {1u, 2u, 3u, 5u, 64u, kRegFilePartBytes}) {
      std::vector<TRegFileKey> keys;
      TRegFileReader reader;
      const bool read = reader.ReadEntries(
          file,
          [&keys](const TRegFileKey& aKey, const TRegFileValue* aValue) {
            EXPECT_TRUE(aKey.Values.empty());
            if (aValue == nullptr) {
              keys.push_back(aKey);
            } else {
              keys.back().Values.push_back(*aValue);
            }
          },
          part);
      EXPECT_EQ(read, loaded) << f << " " << part;
      EXPECT_EQ(reader.Error().Line, whole.Error().Line) << f << " " << part;
      EXPECT_EQ(reader.Error().Message, whole.Error().Message) << f << " " << part;
      EXPECT_TRUE(reader.Keys().empty());
      if (!loaded) {
        continue;
      }
      ASSERT_EQ(keys.size(), whole.Keys().size()) << f << " " << part;
      for (size_t k = 0; k < keys.size(); ++k) {
        const TRegFileKey& expected = whole.Keys()[k];
        EXPECT_EQ(keys[k].SubKey, expected.SubKey);
        EXPECT_EQ(keys[k].Delete, expected.Delete);
        EXPECT_EQ(keys[k].Line, expected.Line);
        ASSERT_EQ(keys[k].Values.size(), expected.Values.size());
        for (size_t v = 0; v < keys[k].Values.size(); ++v) {
          EXPECT_EQ(keys[k].Values[v].Name, expected.Values[v].Name);
          EXPECT_EQ(keys[k].Values[v].Value.Type, expected.Values[v].Value.Type);
          EXPECT_EQ(keys[k].Values[v].Value.Data, expected.Values[v].Value.Data)
              << f << " " << part;
          EXPECT_EQ(keys[k].Values[v].Line, expected.Values[v].Line);
        }
      }
    }
  }
}

TEST_F(RegFileReader, ALineBeyondTheBoundIsRefused) {
  // A file of zero bytes has no line break at all.
  Machine().AddFile(L"C:\\garbage.reg", kMaxRegFileLineChars + 2);
  TRegFileReader reader;
  EXPECT_FALSE(reader.ReadEntries(L"C:\\garbage.reg", nullptr));
  EXPECT_EQ(reader.Error().Line, 1);
  EXPECT_NE(reader.Error().Message.find(L"longer than"), std::wstring::npos);
}

TEST_F(RegFileReader, MalformedFileChangesNothing) {
  Machine().SetRegString(regroot::CurrentUser, L"Software\\T", L"keep", L"old");
  Machine().AddFileContent(L"C:\\bad.reg",
                           Utf16File(kVersion5 + L"[HKEY_CURRENT_USER\\Software\\T]\r\n"
                                                 L"\"keep\"=\"new\"\r\n"
                                                 L"\"broken\"=hex:zz\r\n"));
  TRegFileError error;
  EXPECT_FALSE(ImportRegFileDirect(L"C:\\bad.reg", error));
  EXPECT_EQ(error.Line, 5);
  EXPECT_EQ(Machine().GetRegString(regroot::CurrentUser, L"Software\\T", L"keep"), L"old");
}

TEST_F(RegFileReader, ApplyCreatesKeysAndDeletesWhatIsMarked) {
  Machine().SetRegString(regroot::CurrentUser, L"Software\\T", L"gone", L"x");
  Machine().SetRegString(regroot::CurrentUser, L"Software\\Old\\Sub", L"v", L"x");
  TRegFileReader reader;
  ASSERT_TRUE(reader.LoadFromBytes(Utf16File(kVersion5 +
                                             L"[HKEY_CURRENT_USER\\Software\\T]\r\n"
                                             L"\"gone\"=-\r\n"
                                             L"\"never\"=-\r\n"
                                             L"[HKEY_CURRENT_USER\\Software\\New\\Deep]\r\n"
                                             L"\"n\"=dword:00000001\r\n"
                                             L"[-HKEY_CURRENT_USER\\Software\\Old]\r\n"
                                             L"[-HKEY_CURRENT_USER\\Software\\NeverThere]\r\n")));
  ASSERT_TRUE(reader.Apply()) << reader.Error().Message;
  EXPECT_FALSE(Value(L"gone").has_value());
  EXPECT_TRUE(Machine().RegKeyExists(regroot::CurrentUser, L"Software\\T"));
  EXPECT_EQ(Machine().GetRegValue(regroot::CurrentUser, L"Software\\New\\Deep", L"n")->Data,
            MakeDwordValue(1).Data);
  EXPECT_FALSE(Machine().RegKeyExists(regroot::CurrentUser, L"Software\\Old"));
  EXPECT_EQ(Machine().OpenRegHandleCount(), 0u);
}

TEST_F(RegFileReader, ApplyGoesOnAfterAFailureAndReportsIt) {
  Machine().FailSetValue(regroot::CurrentUser, L"Software\\T");
  TRegFileReader reader;
  ASSERT_TRUE(reader.LoadFromBytes(Utf16File(kVersion5 + L"[HKEY_CURRENT_USER\\Software\\T]\r\n"
                                                         L"\"a\"=\"x\"\r\n"
                                                         L"[HKEY_CURRENT_USER\\Software\\U]\r\n"
                                                         L"\"b\"=\"y\"\r\n")));
  EXPECT_FALSE(reader.Apply());
  EXPECT_EQ(reader.Error().Line, 4);
  EXPECT_EQ(Machine().GetRegString(regroot::CurrentUser, L"Software\\U", L"b"), L"y");
}

TEST_F(RegFileReader, FakeRegEditImportsSilentLaunchesOnly) {
  InstallFakeRegEdit(Machine());
  Machine().AddFileContent(L"C:\\Temp\\a b.reg",
                           Utf16File(kVersion5 + L"[HKEY_CURRENT_USER\\Software\\T]\r\n"
                                                 L"\"v\"=\"1\"\r\n"));
  auto start = [](const std::wstring& aCommandLine) {
    TProcessStart process;
    process.CommandLine = aCommandLine;
    process.WaitMs = 3000;
    TProcessResult result;
    const TErrorCode rc = Platform().Processes().StartProcess(process, result);
    return std::make_pair(rc, result);
  };

  auto [rc, result] = start(L"\"C:\\Windows\\regedit.exe\" \"C:\\Temp\\a b.reg\"");
  EXPECT_EQ(rc, err::Success);
  EXPECT_FALSE(result.Finished);
  EXPECT_FALSE(Value(L"v").has_value());

  std::tie(rc, result) = start(L"\"C:\\WINDOWS\\RegEdit.exe\" /S \"C:\\Temp\\a b.reg\"");
  EXPECT_EQ(rc, err::Success);
  EXPECT_TRUE(result.Finished);
  EXPECT_EQ(result.ExitCode, 0u);
  EXPECT_EQ(Machine().GetRegString(regroot::CurrentUser, L"Software\\T", L"v"), L"1");

  std::tie(rc, result) = start(L"\"C:\\Windows\\RegEdit.exe\" /s \"C:\\Temp\\missing.reg\"");
  EXPECT_EQ(rc, err::Success);
  EXPECT_TRUE(result.Finished);
  EXPECT_EQ(result.ExitCode, 0u);

  EXPECT_EQ(start(L"regedit /e C:\\out.reg HKEY_CURRENT_USER").first, err::NotSupported);
  EXPECT_EQ(start(L"C:\\Other\\regedit.exe /s C:\\Temp\\a.reg").first, err::Success);
  ASSERT_EQ(Platform().Files().DeleteFile(L"C:\\Windows\\regedit.exe"), err::Success);
  EXPECT_EQ(start(L"\"C:\\Windows\\RegEdit.exe\" /s \"C:\\Temp\\a b.reg\"").first,
            err::FileNotFound);
}

TEST_F(RegFileReader, FakeRegEditLeavesOtherProgramsToTheNextHandler) {
  TProcessStart other;
  other.CommandLine = L"\"C:\\Program Files\\Kestrova\\sweephelper.exe\" /x";
  TProcessResult result;
  TErrorCode error = err::Success;
  EXPECT_FALSE(RunFakeRegEdit(other, result, error));
  other.Application = L"C:\\Windows\\regedit.exe";
  other.CommandLine = L"regedit.exe /s";
  EXPECT_TRUE(RunFakeRegEdit(other, result, error));
  EXPECT_EQ(error, err::Success);
}

} // namespace
