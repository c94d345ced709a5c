#include "platform/ConformanceFixture.h"

#include "platform/FileIO.h"

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
