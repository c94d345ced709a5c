#include "base/CLDateUtils.h"

#include "base/CLHelpers.h"
#include "platform/Platform.h"

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

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
  const std::wstring trimmed = Trim(aText);
  aText = trimmed;
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
  const std::wstring month = ZeroPadded(parts->Month, aTwoDigits ? 2 : 1);
  const std::wstring day = ZeroPadded(parts->Day, aTwoDigits ? 2 : 1);
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

namespace {

struct TPatternToken {
  wchar_t Letter = 0; // 0 for literal text
  size_t Count = 0;
  std::wstring Text;
};

bool IsPatternLetter(wchar_t aChar) {
  return std::wstring_view(L"dMyhHmstg").find(aChar) != std::wstring_view::npos;
}

std::vector<TPatternToken> TokenizePattern(std::wstring_view aPattern) {
  std::vector<TPatternToken> tokens;
  auto literal = [&tokens](wchar_t aChar) {
    if (tokens.empty() || tokens.back().Letter != 0)
      tokens.emplace_back();
    tokens.back().Text += aChar;
  };
  for (size_t i = 0; i < aPattern.size();) {
    const wchar_t c = aPattern[i];
    if (c == L'\'') {
      // Quoted text up to the closing quote; two quotes in a row are one quote.
      ++i;
      if (i < aPattern.size() && aPattern[i] == L'\'') {
        literal(L'\'');
        ++i;
        continue;
      }
      while (i < aPattern.size()) {
        if (aPattern[i] == L'\'') {
          if (i + 1 < aPattern.size() && aPattern[i + 1] == L'\'') {
            literal(L'\'');
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        literal(aPattern[i++]);
      }
      continue;
    }
    if (!IsPatternLetter(c)) {
      literal(c);
      ++i;
      continue;
    }
    size_t end = i;
    while (end < aPattern.size() && aPattern[end] == c)
      ++end;
    tokens.push_back({c, end - i, {}});
    i = end;
  }
  return tokens;
}

// Reads one to aMaxDigits digits; -1 when there is none.
int ReadNumber(std::wstring_view& aText, size_t aMaxDigits) {
  size_t length = 0;
  int value = 0;
  while (length < aMaxDigits && length < aText.size() && aText[length] >= L'0' &&
         aText[length] <= L'9')
    value = value * 10 + (aText[length++] - L'0');
  if (length == 0)
    return -1;
  aText.remove_prefix(length);
  return value;
}

} // namespace

std::wstring FormatDateTimePattern(TDateTime aDateTime, std::wstring_view aPattern,
                                   const kplat::TDateTimeFormats& aFormats) {
  const std::optional<TDateParts> parts = DecodeDateTime(aDateTime);
  if (!parts)
    return std::wstring();
  const std::wstring& designator = parts->Hour < 12 ? aFormats.TimeAM : aFormats.TimePM;
  std::wstring text;
  for (const TPatternToken& token : TokenizePattern(aPattern)) {
    const size_t digits = token.Count > 1 ? 2 : 1;
    switch (token.Letter) {
    case 0:
      text += token.Text;
      break;
    case L'd':
      if (token.Count <= 2)
        text += ZeroPadded(parts->Day, digits);
      break;
    case L'M':
      text += ZeroPadded(parts->Month, digits);
      break;
    case L'y':
      text += token.Count <= 2 ? ZeroPadded(parts->Year % 100, digits) : ZeroPadded(parts->Year, 4);
      break;
    case L'h':
      text += ZeroPadded(parts->Hour % 12 == 0 ? 12 : parts->Hour % 12, digits);
      break;
    case L'H':
      text += ZeroPadded(parts->Hour, digits);
      break;
    case L'm':
      text += ZeroPadded(parts->Minute, digits);
      break;
    case L's':
      text += ZeroPadded(parts->Second, digits);
      break;
    case L't':
      text += token.Count == 1 ? designator.substr(0, 1) : designator;
      break;
    default: // the era is left out
      break;
    }
  }
  return text;
}

namespace {

std::optional<TDateTime> ParseTokens(std::wstring_view aText,
                                     const std::vector<TPatternToken>& aTokens,
                                     const kplat::TDateTimeFormats& aFormats) {
  const std::wstring trimmed = Trim(aText);
  aText = trimmed;
  TDateParts parts{1899, 12, 30, 0, 0, 0, 0};
  int hour12 = -1;
  std::optional<bool> afternoon;
  for (const TPatternToken& token : aTokens) {
    if (token.Letter == 0) {
      if (aText.substr(0, token.Text.size()) != token.Text)
        return std::nullopt;
      aText.remove_prefix(token.Text.size());
      continue;
    }
    if (token.Letter == L't') {
      const std::wstring am = token.Count == 1 ? aFormats.TimeAM.substr(0, 1) : aFormats.TimeAM;
      const std::wstring pm = token.Count == 1 ? aFormats.TimePM.substr(0, 1) : aFormats.TimePM;
      // The longer text first, where one begins with the other.
      const bool pmFirst = pm.size() > am.size();
      for (int pass = 0; pass < 2 && !afternoon; ++pass) {
        const bool tryPm = (pass == 0) == pmFirst;
        const std::wstring& designator = tryPm ? pm : am;
        // An empty designator reads as nothing, as it was written: the other half's is missing.
        if (StartsText(aText, designator)) {
          aText.remove_prefix(designator.size());
          afternoon = tryPm;
        }
      }
      if (!afternoon && !(am.empty() && pm.empty()))
        return std::nullopt;
      continue;
    }
    if ((token.Letter == L'd' && token.Count > 2) || token.Letter == L'g')
      continue;
    const bool fullYear = token.Letter == L'y' && token.Count > 2;
    const int value = ReadNumber(aText, fullYear ? 4 : 2);
    if (value < 0)
      return std::nullopt;
    switch (token.Letter) {
    case L'd':
      parts.Day = value;
      break;
    case L'M':
      parts.Month = value;
      break;
    case L'y':
      parts.Year = fullYear ? value : value < 30 ? 2000 + value : 1900 + value;
      break;
    case L'h':
      if (value < 1 || value > 12)
        return std::nullopt;
      hour12 = value;
      break;
    case L'H':
      parts.Hour = value;
      break;
    case L'm':
      parts.Minute = value;
      break;
    default:
      parts.Second = value;
      break;
    }
  }
  if (!aText.empty())
    return std::nullopt;
  if (hour12 >= 0)
    parts.Hour = afternoon ? hour12 % 12 + (*afternoon ? 12 : 0) : hour12;
  return TryEncodeDateTime(parts);
}

} // namespace

std::optional<TDateTime> ParseDateTimePattern(std::wstring_view aText, std::wstring_view aPattern,
                                              const kplat::TDateTimeFormats& aFormats) {
  return ParseTokens(aText, TokenizePattern(aPattern), aFormats);
}

kplat::TDateTimeFormats UserDateTimeFormats() {
  kplat::TDateTimeFormats formats;
  if (kplat::Platform().System().GetDateTimeFormats(formats) != kplat::err::Success)
    formats = kplat::TDateTimeFormats{};
  return formats;
}

std::wstring DateTimeToStr(TDateTime aDateTime, const kplat::TDateTimeFormats& aFormats) {
  const std::wstring date = FormatDateTimePattern(aDateTime, aFormats.ShortDate, aFormats);
  if (date.empty())
    return date;
  return date + L' ' + FormatDateTimePattern(aDateTime, aFormats.LongTime, aFormats);
}

std::optional<TDateTime> TryStrToDateTime(std::wstring_view aText,
                                          const kplat::TDateTimeFormats& aFormats) {
  // Joined as token lists: a quote the date leaves open must not swallow the time.
  std::vector<TPatternToken> tokens = TokenizePattern(aFormats.ShortDate);
  const size_t dateTokens = tokens.size();
  tokens.push_back({0, 0, L" "});
  for (TPatternToken& token : TokenizePattern(aFormats.LongTime))
    tokens.push_back(std::move(token));
  if (const std::optional<TDateTime> value = ParseTokens(aText, tokens, aFormats))
    return value;
  tokens.resize(dateTokens);
  return ParseTokens(aText, tokens, aFormats);
}
