#include "platform/ConformanceFixture.h"

#include "platform/FileIO.h"
#include "platform/Sha256.h"
#include "platform/TextCodec.h"

using namespace kplat;

class SystemConformance : public Conformance {};

TEST_F(SystemConformance, EnvironmentExpansionKeepsUndefinedNames) {
  ASSERT_EQ(System().SetEnv(L"KESTROVA_CONFORMANCE", L"abc"), err::Success);
  std::wstring value;
  ASSERT_TRUE(System().GetEnv(L"kestrova_conformance", value));
  EXPECT_EQ(value, L"abc");
  EXPECT_EQ(System().ExpandEnvironmentStrings(L"%kestrova_Conformance%\\x"), L"abc\\x");
  EXPECT_EQ(System().ExpandEnvironmentStrings(L"%KESTROVA_UNDEFINED_NAME%\\x"),
            L"%KESTROVA_UNDEFINED_NAME%\\x");
  EXPECT_EQ(System().ExpandEnvironmentStrings(L"100% sure"), L"100% sure");
  EXPECT_EQ(System().ExpandEnvironmentStrings(L"plain"), L"plain");
  EXPECT_FALSE(System().GetEnv(L"KESTROVA_UNDEFINED_NAME", value));
  const std::wstring windows = System().ExpandEnvironmentStrings(L"%SystemRoot%");
  EXPECT_EQ(windows.size() > 3 ? windows.substr(1, 2) : L"", L":\\");
}

TEST_F(SystemConformance, DateTimeFormatsNameEveryPartOfADateAndATime) {
  TDateTimeFormats formats;
  formats.ShortDate.clear();
  formats.DecimalSeparator.clear();
  ASSERT_EQ(System().GetDateTimeFormats(formats), err::Success);
  for (const wchar_t letter : {L'd', L'M', L'y'})
    EXPECT_NE(formats.ShortDate.find(letter), std::wstring::npos) << formats.ShortDate;
  EXPECT_NE(formats.LongTime.find_first_of(L"hH"), std::wstring::npos) << formats.LongTime;
  EXPECT_NE(formats.LongTime.find(L'm'), std::wstring::npos) << formats.LongTime;
  EXPECT_FALSE(formats.DateSeparator.empty());
  EXPECT_FALSE(formats.TimeSeparator.empty());
  EXPECT_FALSE(formats.DecimalSeparator.empty());
  if (formats.LongTime.find(L't') != std::wstring::npos) {
    EXPECT_NE(formats.TimeAM, formats.TimePM);
  }
}

TEST_F(SystemConformance, ProcessesReportStartFailuresAndExitCodes) {
  TProcessStart start;
  start.CommandLine = L"\"C:\\Kestrova Missing\\nothing-here.exe\" /x";
  start.WaitMs = 5000;
  TProcessResult result;
  EXPECT_NE(Backend().Platform().Processes().StartProcess(start, result), err::Success);
  if (Backend().RunsRealPrograms()) {
    start.CommandLine = L"cmd.exe /c exit 3";
    start.Hidden = true;
    start.WaitMs = 60000;
    ASSERT_EQ(Backend().Platform().Processes().StartProcess(start, result), err::Success);
    EXPECT_TRUE(result.Finished);
    EXPECT_EQ(result.ExitCode, 3u);
  }
}

TEST_F(SystemConformance, RunningProgramsAreListedByFileNameWithThisOneAmongThem) {
  std::vector<std::wstring> names;
  ASSERT_EQ(Backend().Platform().Processes().ListRunningPrograms(names), err::Success);
  const std::wstring path = System().GetProgramPath();
  const std::wstring self = path.substr(path.find_last_of(L'\\') + 1);
  bool found = false;
  for (const std::wstring& name : names) {
    EXPECT_EQ(name.find_first_of(L"\\/"), std::wstring::npos) << ToUtf8(name);
    found = found || SameText(name, self);
  }
  EXPECT_TRUE(found) << ToUtf8(self);
}

TEST_F(SystemConformance, ClockNeverGoesBackwards) {
  IClock& clock = Backend().Platform().Clock();
  uint64_t previous = clock.TickMs();
  const TFileTime start = clock.NowUtc();
  for (int i = 0; i < 5; ++i) {
    clock.SleepMs(2);
    const uint64_t now = clock.TickMs();
    EXPECT_GE(now, previous);
    previous = now;
  }
  EXPECT_GE(clock.NowUtc(), start);
  constexpr TFileTime kYear2020 = 132223104000000000ull;
  EXPECT_GT(start, kYear2020);
}

TEST_F(SystemConformance, FoldersAreReportedInTheirDocumentedForms) {
  const std::wstring temp = System().GetTempFolder();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), L'\\');
  for (const std::wstring& folder : {System().GetWindowsFolder(), System().GetSystemFolder()}) {
    ASSERT_GT(folder.size(), 3u);
    EXPECT_NE(folder.back(), L'\\');
    EXPECT_TRUE(FolderExists(folder));
  }
}

TEST_F(SystemConformance, KeyedHashesMatchTheStandardAndRandomBytesDiffer) {
  // RFC 4231, test case 2, given in two parts and twice over the same object.
  const std::string key = "Jefe";
  const std::string data = "what do ya want for nothing?";
  THmacSha256 hmac(reinterpret_cast<const uint8_t*>(key.data()), key.size());
  for (int round = 0; round < 2; ++round) {
    hmac.Update(reinterpret_cast<const uint8_t*>(data.data()), 10);
    hmac.Update(reinterpret_cast<const uint8_t*>(data.data()) + 10, data.size() - 10);
    TSha256Digest mac{};
    ASSERT_TRUE(hmac.Final(mac));
    EXPECT_EQ(DigestText(mac), L"5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
  }
  std::vector<uint8_t> first(48), second(48);
  ASSERT_EQ(System().GetRandomBytes(first.data(), first.size()), err::Success);
  ASSERT_EQ(System().GetRandomBytes(second.data(), second.size()), err::Success);
  EXPECT_NE(first, second);
  EXPECT_NE(first, std::vector<uint8_t>(48));
}

TEST_F(SystemConformance, CodePagesConvertAsTheSystemDoes) {
  struct TCase {
    uint32_t CodePage;
    std::string Bytes;
    std::wstring Text;
  };
  // Undefined single bytes stand for the control of their number; Shift-JIS maps the bytes it
  // leaves undefined to private characters and a sequence it cannot read to one stand-in.
  const TCase cases[] = {
      {1252, "Caf\xE9 \x80\x81", L"Caf\u00E9 \u20AC\u0081"},
      {1251, "\xCF\xF0\xE8\xE2\xE5\xF2 \x98", L"\u041F\u0440\u0438\u0432\u0435\u0442 \u0098"},
      {1250, "Za\xBF\xF3\xB3\xE6 \x81", L"Za\u017C\u00F3\u0142\u0107 \u0081"},
      {932, "\x93\xFA\x96\x7B\x8C\xEA\xB1 \\", L"\u65E5\u672C\u8A9E\uFF71 \\"},
      {932, "\xA0\xFD\x80\x85\x40\x82", L"\uF8F0\uF8F1\u0080\u30FB\u30FB"},
  };
  for (const TCase& c : cases) {
    std::wstring text;
    ASSERT_EQ(System().DecodeCodePage(c.CodePage, c.Bytes, text), err::Success) << c.CodePage;
    EXPECT_EQ(text, c.Text) << c.CodePage;
  }
  for (const TCase& c : std::initializer_list<TCase>{cases[0], cases[1], cases[2], cases[3]}) {
    std::string bytes;
    ASSERT_EQ(System().EncodeCodePage(c.CodePage, c.Text, bytes), err::Success) << c.CodePage;
    EXPECT_EQ(bytes, c.Bytes) << c.CodePage;
  }
  // A character the page lacks is "?", not a look-alike.
  std::string bytes;
  ASSERT_EQ(System().EncodeCodePage(1252, L"\u0100\u4E2D\u0410", bytes), err::Success);
  EXPECT_EQ(bytes, "???");
  ASSERT_EQ(System().EncodeCodePage(1251, L"\u00E9\u0410", bytes), err::Success);
  EXPECT_EQ(bytes, "?\xC0");

  std::wstring text = L"kept";
  EXPECT_EQ(System().DecodeCodePage(12345, "a", text), err::InvalidParameter);
  EXPECT_EQ(System().EncodeCodePage(12345, L"a", bytes), err::InvalidParameter);
  EXPECT_EQ(System().DecodeCodePage(1252, "", text), err::Success);
  EXPECT_EQ(text, L"");
  EXPECT_NE(System().GetAnsiCodePage(), 0u);
}
