#pragma once
// Dates as the program keeps them: an OLE date, the number of days since 30 December 1899 with
// the time of day as the fraction. Before that day the whole part counts backwards while the
// fraction still counts forwards (-1.25 is 29 December 1899, 06:00).

#include "platform/PlatformTypes.h"

#include <optional>
#include <string>
#include <string_view>

using TDateTime = double;

struct TDateParts {
  int Year = 0;
  int Month = 0;
  int Day = 0;
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
  int MilliSecond = 0;
  bool operator==(const TDateParts&) const = default;
};

// Years 1 to 9999; nothing for a day that does not exist.
std::optional<TDateTime> TryEncodeDate(int aYear, int aMonth, int aDay);
// Hours 0 to 23 and so on; nothing for a time that does not exist.
std::optional<TDateTime> TryEncodeTime(int aHour, int aMinute, int aSecond, int aMilliSecond = 0);
std::optional<TDateTime> TryEncodeDateTime(const TDateParts& aParts);
// Rounded to the millisecond; nothing outside years 1 to 9999.
std::optional<TDateParts> DecodeDateTime(TDateTime aDateTime);

// A file time (UTC or local, as given) as a date.
TDateTime FileTimeToDateTime(kplat::TFileTime aFileTime);
// The local date and time from the platform's clock, and the local date alone.
TDateTime Now();
TDateTime Today();

enum class TDateOrder { MonthDayYear, DayMonthYear, YearMonthDay };

// A date of three numbers in the given order with the separator between them, blanks around the
// whole allowed; the day and month have one or two digits, the year four. Nothing for any other
// text or a day that does not exist.
std::optional<TDateTime> TryStrToDate(std::wstring_view aText, TDateOrder aOrder,
                                      wchar_t aSeparator);
// The date part in the same form, day and month without leading zeros ("5/31/2010"), or with
// them when aTwoDigits is set ("05/31/2010"). "" outside years 1 to 9999.
std::wstring DateToStr(TDateTime aDateTime, TDateOrder aOrder, wchar_t aSeparator,
                       bool aTwoDigits = false);

// Dates and times in the system's pattern language (the user's locale formats): d dd day,
// M MM month, y yy two-digit year, yyyy year, h hh 12-hour and H HH 24-hour hour, m mm minute,
// s ss second, t tt the first letter or the whole of the AM/PM text; anything else, and text in
// single quotes ('' is a quote), is literal. Day and month names (ddd, MMM and longer) are written
// and read as numbers, the day name not at all, so a text always reads back as written. Years
// of two digits read back as 1930 to 2029. Milliseconds are not written.
std::wstring FormatDateTimePattern(TDateTime aDateTime, std::wstring_view aPattern,
                                   const kplat::TDateTimeFormats& aFormats);
// The whole text, blanks around it allowed, must follow the pattern; fields the pattern lacks
// are those of 30 December 1899, 00:00. Nothing for any other text or a value that does not exist.
std::optional<TDateTime> ParseDateTimePattern(std::wstring_view aText, std::wstring_view aPattern,
                                              const kplat::TDateTimeFormats& aFormats);

// The user's formats from the platform; the United States ones when it gives none.
kplat::TDateTimeFormats UserDateTimeFormats();
// The default date-time text: the short date, a blank, the long time.
std::wstring DateTimeToStr(TDateTime aDateTime, const kplat::TDateTimeFormats& aFormats);
// Reads that text back, or the short date alone (midnight).
std::optional<TDateTime> TryStrToDateTime(std::wstring_view aText,
                                          const kplat::TDateTimeFormats& aFormats);
