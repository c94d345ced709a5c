// The text side of the INI library: encodings, the line parser and value conversions.
#include "base/CLIniFiles.h"
#include "base/CLIniParse.h"

#include "platform/Platform.h"
#include "platform/TextCodec.h"

#include <cstdint>

namespace {

// Windows-1252 for 0x80..0x9F; the five unassigned bytes map to the same code point, as the
// system's conversion does.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Strictly well-formed UTF-8 (no overlong forms, no surrogates); reports whether any byte was
// beyond ASCII.
bool IsValidUtf8(const uint8_t* aData, size_t aSize, bool& aHasMultiByte) {
  aHasMultiByte = false;
  size_t i = 0;
  while (i < aSize) {
    const uint8_t b0 = aData[i];
    if (b0 < 0x80) {
      ++i;
      continue;
    }
    aHasMultiByte = true;
    size_t len = 0;
    char32_t c = 0;
    if ((b0 & 0xE0) == 0xC0) {
      len = 2;
      c = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
      len = 3;
      c = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
      len = 4;
      c = b0 & 0x07;
    } else {
      return false;
    }
    if (i + len > aSize) {
      return false;
    }
    for (size_t k = 1; k < len; ++k) {
      if ((aData[i + k] & 0xC0) != 0x80) {
        return false;
      }
      c = (c << 6) | (aData[i + k] & 0x3F);
    }
    static constexpr char32_t kMinForLength[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kMinForLength[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      return false;
    }
    i += len;
  }
  return true;
}

std::wstring DecodeCp1252(const uint8_t* aData, size_t aSize) {
  std::wstring out(aSize, L'\0');
  for (size_t i = 0; i < aSize; ++i) {
    const uint8_t b = aData[i];
    out[i] = b >= 0x80 && b < 0xA0 ? static_cast<wchar_t>(kCp1252High[b - 0x80])
                                   : static_cast<wchar_t>(b);
  }
  return out;
}

bool IsLineBreak(wchar_t aChar) {
  return aChar == L'\r' || aChar == L'\n';
}

} // namespace

namespace ini {

bool IsBlank(wchar_t aChar) {
  // The profile functions also take Ctrl-Z (the old end-of-file mark) for a blank. One test of a
  // mask: every character of every line meets it.
  constexpr uint64_t kBlanks = (1ull << 0x20) | (1ull << 0x09) | (1ull << 0x0D) | (1ull << 0x0A) |
                               (1ull << 0x0B) | (1ull << 0x0C) | (1ull << 0x1A);
  const auto code = static_cast<uint32_t>(aChar);
  return code <= 0x20u && ((kBlanks >> code) & 1) != 0;
}

std::wstring_view Unquote(std::wstring_view aValue) {
  if (aValue.size() >= 2 && (aValue.front() == L'"' || aValue.front() == L'\'') &&
      aValue.back() == aValue.front()) {
    return aValue.substr(1, aValue.size() - 2);
  }
  return aValue;
}

bool IsComment(const TIniEntry& aEntry) {
  return !aEntry.Key.empty() && aEntry.Key[0] == L';';
}

std::vector<TIniSection> Parse(std::wstring_view aText) {
  std::vector<TIniSection> sections(1); // the unnamed section always comes first
  size_t pos = 0;
  while (pos < aText.size()) {
    size_t end = pos;
    while (end < aText.size() && !IsLineBreak(aText[end])) {
      ++end;
    }
    const std::wstring_view line = TrimLine(aText.substr(pos, end - pos));
    pos = end;
    while (pos < aText.size() && IsLineBreak(aText[pos])) {
      ++pos;
    }
    if (line.empty()) {
      continue;
    }
    if (line[0] == L'[') {
      // The name runs to the last "]"; a "[" line without one is an ordinary line.
      const size_t close = line.rfind(L']');
      if (close != std::wstring_view::npos && close > 0) {
        sections.push_back({std::wstring(TrimLine(line.substr(1, close - 1))), {}});
        continue;
      }
    }
    TIniEntry entry;
    const size_t equals = line.find(L'=');
    if (equals == std::wstring_view::npos) {
      entry.Key = line;
      entry.HasValue = false;
    } else {
      entry.Key = TrimLine(line.substr(0, equals));
      entry.Value = TrimLine(line.substr(equals + 1));
    }
    sections.back().Entries.push_back(std::move(entry));
  }
  return sections;
}

} // namespace ini

std::wstring DecodeIniText(const std::vector<uint8_t>& aBytes, TIniEncoding* aEncoding) {
  TIniEncoding encoding = TIniEncoding::Ansi;
  std::wstring text;
  const size_t size = aBytes.size();
  const uint8_t* data = aBytes.data();
  bool multiByte = false;
  if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
    encoding = TIniEncoding::Utf8Bom;
    text = kplat::FromUtf8(std::string_view(reinterpret_cast<const char*>(data) + 3, size - 3));
  } else if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
    encoding = TIniEncoding::Utf16Le;
    text = kplat::DecodeUtf16Le(data + 2, size - 2);
  } else if (size >= 2 && data[0] == 0xFE && data[1] == 0xFF) {
    encoding = TIniEncoding::Utf16Be;
    std::vector<uint8_t> swapped(aBytes.begin() + 2, aBytes.end());
    for (size_t i = 0; i + 1 < swapped.size(); i += 2) {
      std::swap(swapped[i], swapped[i + 1]);
    }
    text = kplat::DecodeUtf16Le(swapped);
  } else if (IsValidUtf8(data, size, multiByte) && multiByte) {
    encoding = TIniEncoding::Utf8;
    text = kplat::FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
  } else {
    text = DecodeCp1252(data, size);
  }
  if (aEncoding != nullptr) {
    *aEncoding = encoding;
  }
  return text;
}

std::vector<uint8_t> EncodeIniText(std::wstring_view aText) {
  std::vector<uint8_t> out{0xFF, 0xFE};
  const std::vector<uint8_t> body = kplat::EncodeUtf16Le(aText);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

TIniLoadResult IniLoadResultOf(kplat::TErrorCode aCode) {
  switch (aCode) {
  case kplat::err::Success:
    return {TIniLoadStatus::Loaded, aCode};
  case kplat::err::FileNotFound:
  case kplat::err::PathNotFound:
  case kplat::err::InvalidName:
    return {TIniLoadStatus::Missing, aCode};
  case kplat::err::NotEnoughMemory:
    return {TIniLoadStatus::TooLarge, aCode};
  default:
    return {TIniLoadStatus::Unreadable, aCode};
  }
}

TIniLoadResult ReadIniTextFile(const std::wstring& aFileName, std::wstring& aText,
                               TIniEncoding* aEncoding) {
  aText.clear();
  std::vector<uint8_t> bytes;
  const kplat::TErrorCode rc =
      kplat::Platform().Files().ReadFile(aFileName, bytes, kMaxIniFileBytes);
  const TIniLoadResult result = IniLoadResultOf(rc);
  if (result)
    aText = DecodeIniText(bytes, aEncoding);
  return result;
}

std::optional<int32_t> ParseIniInteger(std::wstring_view aText, bool aAllowHex) {
  if (aText.empty()) {
    return std::nullopt;
  }
  if (aAllowHex && aText[0] == L'$') {
    if (aText.size() < 2 || aText.size() > 9) {
      return std::nullopt;
    }
    uint32_t value = 0;
    for (const wchar_t c : aText.substr(1)) {
      const int digit = HexDigitValue(c);
      if (digit < 0) {
        return std::nullopt;
      }
      value = value * 16 + static_cast<uint32_t>(digit);
    }
    return static_cast<int32_t>(value); // "$FFFFFFFF" is -1, as 32 bits are
  }
  size_t i = 0;
  const bool negative = aText[0] == L'-';
  if (aText[0] == L'-' || aText[0] == L'+') {
    i = 1;
  }
  if (i == aText.size()) {
    return std::nullopt;
  }
  int64_t value = 0;
  for (; i < aText.size(); ++i) {
    const wchar_t c = aText[i];
    if (c < L'0' || c > L'9') {
      return std::nullopt;
    }
    value = value * 10 + (c - L'0');
    if (value > int64_t{INT32_MAX} + 1) {
      return std::nullopt;
    }
  }
  value = negative ? -value : value;
  if (value > INT32_MAX) {
    return std::nullopt;
  }
  return static_cast<int32_t>(value);
}

std::optional<bool> ParseIniBool(std::wstring_view aText) {
  if (const std::optional<int32_t> number = ParseIniInteger(aText)) {
    return *number != 0;
  }
  if (kplat::SameText(aText, L"true")) {
    return true;
  }
  if (kplat::SameText(aText, L"false")) {
    return false;
  }
  return std::nullopt;
}
