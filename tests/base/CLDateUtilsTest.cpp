#include "base/CLDateUtils.h"

#include "platform/TextCodec.h"
#include "platform/fake/FakeMachine.h"

#include <gtest/gtest.h>

TEST(CLDateUtils, EncodesOleDatesAroundTheirStart) {
  EXPECT_EQ(*TryEncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(*TryEncodeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(*TryEncodeDate(2010, 5, 31), 40329.0);
  EXPECT_EQ(*TryEncodeDate(1899, 12, 29), -1.0);
  EXPECT_EQ(*TryEncodeDate(2000, 2, 29), 36585.0);
  EXPECT_DOUBLE_EQ(*TryEncodeTime(6, 0, 0), 0.25);

  EXPECT_FALSE(TryEncodeDate(2011, 2, 29));
  EXPECT_FALSE(TryEncodeDate(1900, 2, 29));
  EXPECT_FALSE(TryEncodeDate(2010, 13, 1));
  EXPECT_FALSE(TryEncodeDate(0, 1, 1));
  EXPECT_FALSE(TryEncodeTime(24, 0, 0));
  EXPECT_FALSE(TryEncodeTime(0, 0, 0, 1000));
}

TEST(CLDateUtils, TimesBeforeTheStartCountForwardWithinTheDay) {
  const TDateParts before{1899, 12, 29, 6, 0, 0, 0};
  EXPECT_DOUBLE_EQ(*TryEncodeDateTime(before), -1.25);
  EXPECT_EQ(*DecodeDateTime(-1.25), before);

  const TDateParts after{2026, 3, 5, 23, 59, 59, 999};
  EXPECT_EQ(*DecodeDateTime(*TryEncodeDateTime(after)), after);
  EXPECT_EQ(*DecodeDateTime(40329.5), (TDateParts{2010, 5, 31, 12, 0, 0, 0}));
  EXPECT_FALSE(DecodeDateTime(1.0e9));
  EXPECT_FALSE(DecodeDateTime(-700000.0));
}

TEST(CLDateUtils, ParsesOnlyWholeDatesInTheGivenOrder) {
  EXPECT_EQ(*TryStrToDate(L"5/31/2010", TDateOrder::MonthDayYear, L'/'), 40329.0);
  EXPECT_EQ(*TryStrToDate(L" 05/31/2010 ", TDateOrder::MonthDayYear, L'/'), 40329.0);
  EXPECT_EQ(*TryStrToDate(L"31.5.2010", TDateOrder::DayMonthYear, L'.'), 40329.0);
  EXPECT_EQ(*TryStrToDate(L"2010-05-31", TDateOrder::YearMonthDay, L'-'), 40329.0);

  for (const wchar_t* text : {L"31/5/2010", L"5/31/10", L"5/31", L"5/31/2010/1", L"5/31/2010 12:00",
                              L"a/b/cdef", L"/31/2010", L"5//2010", L"+5/31/2010", L""})
    EXPECT_FALSE(TryStrToDate(text, TDateOrder::MonthDayYear, L'/')) << text;
}

TEST(CLDateUtils, FormatsTheDatePart) {
  const TDateTime date = *TryEncodeDate(2026, 3, 5) + 0.75;
  EXPECT_EQ(DateToStr(date, TDateOrder::MonthDayYear, L'/'), L"3/5/2026");
  EXPECT_EQ(DateToStr(date, TDateOrder::DayMonthYear, L'/', true), L"05/03/2026");
  EXPECT_EQ(DateToStr(date, TDateOrder::YearMonthDay, L'-', true), L"2026-03-05");
  EXPECT_EQ(DateToStr(1.0e9, TDateOrder::MonthDayYear, L'/'), L"");
}

TEST(CLDateUtils, NowIsTheLocalTimeOfThePlatformClock) {
  kplat::fake::TFakeMachineScope scope;
  // 2 January 1601 00:00 UTC, then 1 January 2026 23:30 UTC.
  EXPECT_EQ(FileTimeToDateTime(864000000000ull), *TryEncodeDate(1601, 1, 2));
  const kplat::TFileTime newYearsEve =
      static_cast<kplat::TFileTime>(*TryEncodeDate(2026, 1, 1) + 109205) * 864000000000ull +
      (23 * 60 + 30) * 600000000ull;
  EXPECT_EQ(*DecodeDateTime(FileTimeToDateTime(newYearsEve)),
            (TDateParts{2026, 1, 1, 23, 30, 0, 0}));

  scope.Machine().SetNow(newYearsEve);
  scope.Machine().SetLocalOffsetMinutes(60);
  EXPECT_EQ(*DecodeDateTime(Now()), (TDateParts{2026, 1, 2, 0, 30, 0, 0}));
  EXPECT_EQ(Today(), *TryEncodeDate(2026, 1, 2));
}

TEST(CLDateUtils, FormatsAndReadsTheUsersPatterns) {
  const kplat::TDateTimeFormats us;
  const kplat::TDateTimeFormats german{L"dd.MM.yyyy", L"HH:mm:ss", L".", L":", L"", L""};
  const kplat::TDateTimeFormats quoted{
      L"yy'\u5E74'M'\u6708'd'''", L"tt h'h'mm", L"", L"", L"vorm.", L"nachm."};
  const TDateTime afternoon = *TryEncodeDateTime({2026, 3, 5, 14, 7, 9, 0});
  EXPECT_EQ(DateTimeToStr(afternoon, us), L"3/5/2026 2:07:09 PM");
  EXPECT_EQ(DateTimeToStr(afternoon, german), L"05.03.2026 14:07:09");
  EXPECT_EQ(DateTimeToStr(afternoon, quoted), L"26\u5E743\u67085' nachm. 2h07");
  EXPECT_EQ(FormatDateTimePattern(afternoon, L"ddd d MMM, H:m:s t", us), L" 5 03, 14:7:9 P");
  EXPECT_EQ(DateTimeToStr(0.0, us), L"12/30/1899 12:00:00 AM");
  EXPECT_EQ(DateTimeToStr(1.0e9, us), L"");

  // Every minute of a day and days across the years read back as written, to the second.
  for (const kplat::TDateTimeFormats& formats : {us, german, quoted}) {
    for (int minute = 0; minute < 24 * 60; minute += 7) {
      const TDateTime value =
          *TryEncodeDateTime({2029 - minute % 97, 1 + minute % 12, 1 + minute % 28, minute / 60,
                              minute % 60, minute % 60, 0});
      const std::wstring text = DateTimeToStr(value, formats);
      const std::optional<TDateTime> back = TryStrToDateTime(text, formats);
      ASSERT_TRUE(back) << kplat::ToUtf8(text);
      EXPECT_EQ(DateTimeToStr(*back, formats), text);
      if (formats.LongTime.find(L's') != std::wstring::npos) {
        EXPECT_DOUBLE_EQ(*back, value) << kplat::ToUtf8(text);
      }
    }
  }
  EXPECT_EQ(*TryStrToDateTime(L" 3/5/2026 ", us), *TryEncodeDate(2026, 3, 5));
  EXPECT_DOUBLE_EQ(*TryStrToDateTime(L"3/5/2026 12:30:00 am", us),
                   *TryEncodeDate(2026, 3, 5) + 0.5 / 24);
  EXPECT_EQ(*ParseDateTimePattern(L"7:05", L"H:m", us), *TryEncodeTime(7, 5, 0));
  // Where one half of the day has no designator, its times are written without one.
  const kplat::TDateTimeFormats pmOnly{L"M/d/yyyy", L"h:mmtt", L"/", L":", L"", L"PM"};
  for (const int hour : {7, 19}) {
    const TDateTime time = *TryEncodeTime(hour, 5, 0);
    const std::wstring text = FormatDateTimePattern(time, pmOnly.LongTime, pmOnly);
    EXPECT_EQ(ParseDateTimePattern(text, pmOnly.LongTime, pmOnly), time) << kplat::ToUtf8(text);
  }
  for (const wchar_t* text :
       {L"3/5/2026 2:07:09", L"3/5/2026 13:07:09 PM", L"2/30/2026", L"3/5/2026 2:07:09 PM x",
        L"3/5/2026  2:07:09 PM", L"3-5-2026", L"3/5/20260", L"", L"3/5/2026 2:60:09 PM"})
    EXPECT_FALSE(TryStrToDateTime(text, us)) << kplat::ToUtf8(text);
}

TEST(CLDateUtils, UserFormatsComeFromThePlatform) {
  kplat::fake::TFakeMachineScope scope;
  EXPECT_EQ(UserDateTimeFormats(), kplat::TDateTimeFormats{});
  const kplat::TDateTimeFormats german{L"dd.MM.yyyy", L"HH:mm:ss", L".", L":", L"", L""};
  scope.Machine().SetDateTimeFormats(german);
  EXPECT_EQ(UserDateTimeFormats(), german);
}
