// String helpers: splitting, trimming, replacing, numbers as text, URL parameters, placeholders,
// the HTTP form encoding, the 8-bit code pages and the rectangle fit.

#include "base/CLHelpers.h"

#include "platform/TextCodec.h"

#include <algorithm>
#include <array>

namespace {

// Windows-1252 from 0x80 to 0x9F. The five codes the code page leaves undefined map to the C1
// control of the same number, as the system's own conversion does.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char WideToAnsiChar(uint32_t aChar) {
  if (aChar < 0x80 || (aChar >= 0xA0 && aChar <= 0xFF)) {
    return static_cast<char>(aChar);
  }
  const auto found = std::find(kCp1252High.begin(), kCp1252High.end(), aChar);
  if (found != kCp1252High.end()) {
    return static_cast<char>(0x80 + (found - kCp1252High.begin()));
  }
  return '?';
}

bool IsUrlSafe(unsigned char aChar) {
  if ((aChar >= 'A' && aChar <= 'Z') || (aChar >= 'a' && aChar <= 'z') ||
      (aChar >= '0' && aChar <= '9')) {
    return true;
  }
  switch (aChar) {
  case '*':
  case '@':
  case '.':
  case '_':
  case '-':
  case '$':
  case '!':
  case '\'':
  case '(':
  case ')':
    return true;
  default:
    return false;
  }
}

// Sets "name=value" in a list of such lines, replacing the line of the same name.
void SetListValue(std::vector<std::wstring>& aList, const std::wstring& aName,
                  const std::wstring& aValue) {
  for (std::wstring& line : aList) {
    const size_t equals = line.find(L'=');
    if (equals != std::wstring::npos && kplat::SameText(line.substr(0, equals), aName)) {
      line = aName + L'=' + aValue;
      return;
    }
  }
  aList.push_back(aName + L'=' + aValue);
}

int64_t SideLength(int aLow, int aHigh) {
  const int64_t length = static_cast<int64_t>(aHigh) - aLow;
  return length < 0 ? 0 : length;
}

} // namespace

ECLError::ECLError(const std::wstring& aMessage, kplat::TErrorCode aErrorCode)
    : std::runtime_error(kplat::ToUtf8(aMessage)), FMessage(aMessage), FErrorCode(aErrorCode) {}

void SplitText(const std::wstring& aText, wchar_t aDelimiter, std::vector<std::wstring>& aList) {
  if (aText.empty()) {
    return;
  }
  size_t start = 0;
  for (;;) {
    const size_t end = aText.find(aDelimiter, start);
    if (end == std::wstring::npos) {
      aList.push_back(aText.substr(start));
      return;
    }
    aList.push_back(aText.substr(start, end - start));
    start = end + 1;
  }
}

void ParseURLParams(const std::wstring& aAddress, std::vector<std::wstring>& aList, bool aDecode) {
  std::wstring rest = aAddress;
  const size_t question = rest.find(L'?');
  if (question != std::wstring::npos) {
    rest.erase(0, question + 1);
  }
  const size_t colon = rest.find(L':');
  if (colon != std::wstring::npos) {
    rest.erase(0, colon + 1);
  }
  std::vector<std::wstring> pieces;
  SplitText(rest, L'&', pieces);
  if (!aDecode) {
    aList.insert(aList.end(), pieces.begin(), pieces.end());
    return;
  }
  for (const std::wstring& piece : pieces) {
    const size_t equals = piece.find(L'=');
    const std::wstring name = piece.substr(0, equals);
    if (name.empty()) {
      continue;
    }
    const std::wstring value =
        equals == std::wstring::npos ? std::wstring() : piece.substr(equals + 1);
    try {
      SetListValue(aList, name, AnsiToWide(HTTPDecode(WideToAnsi(value))));
    } catch (const ECLError&) {
      // A parameter that does not decode is left out; the others still count.
    }
  }
}

bool StartsText(std::wstring_view aText, std::wstring_view aPrefix) {
  return aText.size() >= aPrefix.size() &&
         kplat::SameText(aText.substr(0, aPrefix.size()), aPrefix);
}

std::wstring Trim(std::wstring_view aText) {
  return std::wstring(TrimBy(aText, [](wchar_t aChar) { return aChar <= L' '; }));
}

std::wstring_view TrimBy(std::wstring_view aText, bool (*aIsBlank)(wchar_t)) {
  while (!aText.empty() && aIsBlank(aText.front())) {
    aText.remove_prefix(1);
  }
  while (!aText.empty() && aIsBlank(aText.back())) {
    aText.remove_suffix(1);
  }
  return aText;
}

std::wstring_view TrimSpaces(std::wstring_view aText) {
  return TrimBy(aText, [](wchar_t aChar) { return aChar == L' ' || aChar == L'\t'; });
}

namespace {

// aText with every occurrence of aFrom in aSearched (aText itself or its upper-case form, of the
// same length) replaced by aTo.
std::wstring ReplaceFound(std::wstring_view aText, std::wstring_view aSearched,
                          std::wstring_view aFrom, std::wstring_view aTo) {
  std::wstring result;
  size_t start = 0;
  if (!aFrom.empty()) {
    for (size_t at = aSearched.find(aFrom); at != std::wstring_view::npos;
         at = aSearched.find(aFrom, start)) {
      result.append(aText.substr(start, at - start)).append(aTo);
      start = at + aFrom.size();
    }
  }
  return result.append(aText.substr(start));
}

} // namespace

std::wstring ReplaceAll(std::wstring_view aText, std::wstring_view aFrom, std::wstring_view aTo) {
  return ReplaceFound(aText, aText, aFrom, aTo);
}

std::wstring ReplaceText(std::wstring_view aText, std::wstring_view aFrom, std::wstring_view aTo) {
  return ReplaceFound(aText, kplat::UpperCase(aText), kplat::UpperCase(aFrom), aTo);
}

std::wstring ZeroPadded(int aValue, size_t aDigits) {
  std::wstring text = std::to_wstring(aValue);
  if (text.size() < aDigits) {
    text.insert(aValue < 0 ? 1 : 0, aDigits - text.size(), L'0');
  }
  return text;
}

std::wstring UpperHex(uint32_t aValue, size_t aMinDigits) {
  static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
  std::wstring text;
  do {
    text.insert(text.begin(), kDigits[aValue & 0xF]);
    aValue >>= 4;
  } while (aValue != 0 || text.size() < aMinDigits);
  return text;
}

int HexDigitValue(wchar_t aChar) {
  if (aChar >= L'0' && aChar <= L'9') {
    return aChar - L'0';
  }
  if (aChar >= L'A' && aChar <= L'F') {
    return aChar - L'A' + 10;
  }
  if (aChar >= L'a' && aChar <= L'f') {
    return aChar - L'a' + 10;
  }
  return -1;
}

std::wstring FormatArgs(const std::wstring& aText, const std::vector<std::wstring>& aArgs) {
  std::wstring result;
  size_t i = 0;
  while (i < aText.size()) {
    if (aText[i] == L'{') {
      size_t end = i + 1;
      size_t number = 0;
      while (end < aText.size() && aText[end] >= L'0' && aText[end] <= L'9' &&
             number <= aArgs.size()) {
        number = number * 10 + static_cast<size_t>(aText[end] - L'0');
        ++end;
      }
      const bool placeholder = end > i + 1 && aText[i + 1] != L'0' && end < aText.size() &&
                               aText[end] == L'}' && number >= 1 && number <= aArgs.size();
      if (placeholder) {
        result += aArgs[number - 1];
        i = end + 1;
        continue;
      }
    }
    result += aText[i];
    ++i;
  }
  return result;
}

std::string HTTPEncode(const std::string& aText) {
  std::string result;
  result.reserve(aText.size());
  for (const char c : aText) {
    const auto byte = static_cast<unsigned char>(c);
    if (IsUrlSafe(byte)) {
      result += c;
    } else if (byte == ' ') {
      result += '+';
    } else {
      result += '%';
      for (const wchar_t digit : UpperHex(byte, 2)) {
        result += static_cast<char>(digit);
      }
    }
  }
  return result;
}

std::string HTTPDecode(const std::string& aText) {
  std::string result;
  result.reserve(aText.size());
  size_t i = 0;
  while (i < aText.size()) {
    const char c = aText[i];
    if (c == '+') {
      result += ' ';
      ++i;
    } else if (c != '%') {
      result += c;
      ++i;
    } else if (i + 1 < aText.size() && aText[i + 1] == '%') {
      result += '%';
      i += 2;
    } else {
      const std::wstring position = std::to_wstring(i + 1);
      if (i + 2 >= aText.size()) {
        throw ECLError(L"Error decoding URL style (%XX) encoded string at position " + position);
      }
      const int high = HexDigitValue(static_cast<unsigned char>(aText[i + 1]));
      const int low = HexDigitValue(static_cast<unsigned char>(aText[i + 2]));
      if (high < 0 || low < 0) {
        throw ECLError(L"Invalid URL encoded character (" + AnsiToWide(aText.substr(i + 1, 2)) +
                       L") at position " + position);
      }
      result += static_cast<char>(high * 16 + low);
      i += 3;
    }
  }
  return result;
}

std::string WideToAnsi(const std::wstring& aText) {
  std::string result;
  result.reserve(aText.size());
  for (size_t i = 0; i < aText.size(); ++i) {
    const auto c = static_cast<uint32_t>(aText[i]);
    // Where wchar_t holds UTF-16, a surrogate pair is one character and one "?".
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < aText.size() &&
        static_cast<uint32_t>(aText[i + 1]) >= 0xDC00 &&
        static_cast<uint32_t>(aText[i + 1]) <= 0xDFFF) {
      ++i;
    }
    result += WideToAnsiChar(c);
  }
  return result;
}

std::wstring AnsiToWide(const std::string& aText) {
  std::wstring result;
  result.reserve(aText.size());
  for (const char c : aText) {
    const auto byte = static_cast<unsigned char>(c);
    result += byte >= 0x80 && byte <= 0x9F ? static_cast<wchar_t>(kCp1252High[byte - 0x80])
                                           : static_cast<wchar_t>(byte);
  }
  return result;
}

std::wstring SystemAnsiToWide(std::string_view aText) {
  kplat::ISystem& system = kplat::Platform().System();
  std::wstring text;
  if (system.DecodeCodePage(system.GetAnsiCodePage(), aText, text) != kplat::err::Success) {
    text = AnsiToWide(std::string(aText));
  }
  return text;
}

std::string WideToSystemAnsi(std::wstring_view aText) {
  kplat::ISystem& system = kplat::Platform().System();
  std::string bytes;
  if (system.EncodeCodePage(system.GetAnsiCodePage(), aText, bytes) != kplat::err::Success) {
    bytes = WideToAnsi(std::wstring(aText));
  }
  return bytes;
}

TRect FitRect(const TRect& aSource, const TRect& aTarget) {
  const int64_t sourceWidth = SideLength(aSource.Left, aSource.Right);
  const int64_t sourceHeight = SideLength(aSource.Top, aSource.Bottom);
  const int64_t targetWidth = SideLength(aTarget.Left, aTarget.Right);
  const int64_t targetHeight = SideLength(aTarget.Top, aTarget.Bottom);
  int64_t width = 0;
  int64_t height = 0;
  if (targetWidth == 0 || targetHeight == 0) {
    width = targetWidth;
    height = targetHeight;
  } else if (sourceWidth == 0 || sourceHeight == 0) {
    width = sourceWidth;
    height = sourceHeight;
  } else if (targetWidth * sourceHeight <= targetHeight * sourceWidth) {
    // The width is the limit: the scale is targetWidth / sourceWidth.
    width = targetWidth;
    height = sourceHeight * targetWidth / sourceWidth;
  } else {
    height = targetHeight;
    width = sourceWidth * targetHeight / sourceHeight;
  }
  TRect result;
  result.Left = aTarget.Left + static_cast<int>((targetWidth - width) / 2);
  result.Top = aTarget.Top + static_cast<int>((targetHeight - height) / 2);
  result.Right = result.Left + static_cast<int>(width);
  result.Bottom = result.Top + static_cast<int>(height);
  return result;
}
