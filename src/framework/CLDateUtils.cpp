#include "framework/CLDateUtils.h"

#include "platform/Platform.h"

#include <cmath>
#include <cstdint>

namespace {

constexpr int64_t kMsPerDay = 86400000;
// Days from 1 January 1601 (where file times start) to 30 December 1899.
constexpr int64_t kFileTimeEpochDays = 109205;
constexpr int64_t kFileTimeUnitsPerMs = 10000;

bool IsLeapYear(int aYear) {
  return aYear % 4 == 0 && (aYear % 100 != 0 || aYear % 400 == 0);
}

int DaysInMonth(int aYear, int aMonth) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return aMonth == 2 && IsLeapYear(aYear) ? 29 : kDays[aMonth - 1];
}

// Days since 1 January 1970 of a proleptic Gregorian date, and back (H. Hinnant's algorithms).
constexpr int64_t DaysFromCivil(int64_t aYear, int aMonth, int aDay) {
  aYear -= aMonth <= 2;
  const int64_t era = (aYear >= 0 ? aYear : aYear - 399) / 400;
  const int64_t yoe = aYear - era * 400;
  const int64_t doy = (153 * (aMonth + (aMonth > 2 ? -3 : 9)) + 2) / 5 + aDay - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t aDays, int& aYear, int& aMonth, int& aDay) {
  aDays += 719468;
  const int64_t era = (aDays >= 0 ? aDays : aDays - 146096) / 146097;
  const int64_t doe = aDays - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  aDay = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  aMonth = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  aYear = static_cast<int>(yoe + era * 400 + (aMonth <= 2));
}

// 30 December 1899 counted from 1 January 1970.
constexpr int64_t kOleEpochDays = DaysFromCivil(1899, 12, 30);

TDateTime Compose(int64_t aDays, int64_t aMsOfDay) {
  const double fraction = static_cast<double>(aMsOfDay) / kMsPerDay;
  return aDays >= 0 ? static_cast<double>(aDays) + fraction : static_cast<double>(aDays) - fraction;
}

int ParseDigits(std::wstring_view aText, size_t aMinDigits, size_t aMaxDigits) {
  if (aText.size() < aMinDigits || aText.size() > aMaxDigits)
    return -1;
  int value = 0;
  for (wchar_t c : aText) {
    if (c < L'0' || c > L'9')
      return -1;
    value = value * 10 + (c - L'0');
  }
  return value;
}

std::wstring_view TrimBlanks(std::wstring_view aText) {
  while (!aText.empty() && aText.front() <= L' ')
    aText.remove_prefix(1);
  while (!aText.empty() && aText.back() <= L' ')
    aText.remove_suffix(1);
  return aText;
}

std::wstring Number(int aValue, bool aTwoDigits) {
  std::wstring text = std::to_wstring(aValue);
  if (aTwoDigits && text.size() < 2)
    text.insert(0, 1, L'0');
  return text;
}

} // namespace

std::optional<TDateTime> TryEncodeDate(int aYear, int aMonth, int aDay) {
  if (aYear < 1 || aYear > 9999 || aMonth < 1 || aMonth > 12 || aDay < 1 ||
      aDay > DaysInMonth(aYear, aMonth))
    return std::nullopt;
  return static_cast<double>(DaysFromCivil(aYear, aMonth, aDay) - kOleEpochDays);
}

std::optional<TDateTime> TryEncodeTime(int aHour, int aMinute, int aSecond, int aMilliSecond) {
  if (aHour < 0 || aHour > 23 || aMinute < 0 || aMinute > 59 || aSecond < 0 || aSecond > 59 ||
      aMilliSecond < 0 || aMilliSecond > 999)
    return std::nullopt;
  const int64_t ms = ((aHour * 60 + aMinute) * 60 + aSecond) * int64_t{1000} + aMilliSecond;
  return static_cast<double>(ms) / kMsPerDay;
}

std::optional<TDateTime> TryEncodeDateTime(const TDateParts& aParts) {
  const std::optional<TDateTime> date = TryEncodeDate(aParts.Year, aParts.Month, aParts.Day);
  const std::optional<TDateTime> time =
      TryEncodeTime(aParts.Hour, aParts.Minute, aParts.Second, aParts.MilliSecond);
  if (!date || !time)
    return std::nullopt;
  return Compose(static_cast<int64_t>(*date), std::llround(*time * kMsPerDay));
}

std::optional<TDateParts> DecodeDateTime(TDateTime aDateTime) {
  // Years 1 to 9999 lie well inside these bounds; the check keeps the rounding below defined.
  if (!std::isfinite(aDateTime) || std::fabs(aDateTime) > 3.0e6)
    return std::nullopt;
  const int64_t totalMs = std::llround(aDateTime * kMsPerDay);
  const int64_t days = totalMs / kMsPerDay; // truncates toward zero, like the whole part
  const int64_t msOfDay = (totalMs < 0 ? -totalMs : totalMs) % kMsPerDay;
  TDateParts parts;
  CivilFromDays(days + kOleEpochDays, parts.Year, parts.Month, parts.Day);
  if (parts.Year < 1 || parts.Year > 9999)
    return std::nullopt;
  parts.Hour = static_cast<int>(msOfDay / 3600000);
  parts.Minute = static_cast<int>(msOfDay / 60000 % 60);
  parts.Second = static_cast<int>(msOfDay / 1000 % 60);
  parts.MilliSecond = static_cast<int>(msOfDay % 1000);
  return parts;
}

TDateTime FileTimeToDateTime(kplat::TFileTime aFileTime) {
  const int64_t ms = static_cast<int64_t>(aFileTime / kFileTimeUnitsPerMs);
  return Compose(ms / kMsPerDay - kFileTimeEpochDays, ms % kMsPerDay);
}

TDateTime Now() {
  kplat::IClock& clock = kplat::Platform().Clock();
  return FileTimeToDateTime(clock.UtcToLocal(clock.NowUtc()));
}

TDateTime Today() {
  return std::trunc(Now());
}

std::optional<TDateTime> TryStrToDate(std::wstring_view aText, TDateOrder aOrder,
                                      wchar_t aSeparator) {
  aText = TrimBlanks(aText);
  const size_t first = aText.find(aSeparator);
  if (first == std::wstring_view::npos)
    return std::nullopt;
  const size_t second = aText.find(aSeparator, first + 1);
  if (second == std::wstring_view::npos)
    return std::nullopt;
  const std::wstring_view fields[3] = {aText.substr(0, first),
                                       aText.substr(first + 1, second - first - 1),
                                       aText.substr(second + 1)};
  int year = 0;
  int month = 0;
  int day = 0;
  switch (aOrder) {
  case TDateOrder::MonthDayYear:
    month = ParseDigits(fields[0], 1, 2);
    day = ParseDigits(fields[1], 1, 2);
    year = ParseDigits(fields[2], 4, 4);
    break;
  case TDateOrder::DayMonthYear:
    day = ParseDigits(fields[0], 1, 2);
    month = ParseDigits(fields[1], 1, 2);
    year = ParseDigits(fields[2], 4, 4);
    break;
  case TDateOrder::YearMonthDay:
    year = ParseDigits(fields[0], 4, 4);
    month = ParseDigits(fields[1], 1, 2);
    day = ParseDigits(fields[2], 1, 2);
    break;
  }
  return TryEncodeDate(year, month, day);
}

std::wstring DateToStr(TDateTime aDateTime, TDateOrder aOrder, wchar_t aSeparator,
                       bool aTwoDigits) {
  const std::optional<TDateParts> parts = DecodeDateTime(aDateTime);
  if (!parts)
    return std::wstring();
  const std::wstring year = std::to_wstring(parts->Year);
  const std::wstring month = Number(parts->Month, aTwoDigits);
  const std::wstring day = Number(parts->Day, aTwoDigits);
  switch (aOrder) {
  case TDateOrder::MonthDayYear:
    return month + aSeparator + day + aSeparator + year;
  case TDateOrder::DayMonthYear:
    return day + aSeparator + month + aSeparator + year;
  case TDateOrder::YearMonthDay:
    break;
  }
  return year + aSeparator + month + aSeparator + day;
}
