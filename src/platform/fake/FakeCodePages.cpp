// The code pages the in-memory machine converts: Windows-1250, -1251 and -1252 from tables, and
// 932 (Japanese, Shift-JIS with Microsoft's extensions) through the C library's converter where
// there is one. Undefined bytes decode as Wine's MultiByteToWideChar decodes them.

#include "platform/fake/FakeMachineImpl.h"

#include <array>
#include <span>

#if __has_include(<iconv.h>)
#include <iconv.h>
#define KESTROVA_FAKE_HAS_ICONV 1
#endif

namespace kplat::fake {

namespace {

// Bytes from 0x80 up; bytes past the end of a table stand for the character of the same number.
// A byte the code page leaves undefined is the C1 control of its number, as on Windows.
constexpr std::array<char16_t, 128> kCp1250 = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021, 0x0088, 0x2030, 0x0160, 0x2039,
    0x015A, 0x0164, 0x017D, 0x0179, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, 0x00A0, 0x02C7, 0x02D8, 0x0141,
    0x00A4, 0x0104, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x0105, 0x015F, 0x00BB,
    0x013D, 0x02DD, 0x013E, 0x017C, 0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E, 0x0110, 0x0143, 0x0147, 0x00D3,
    0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7, 0x010D, 0x00E9, 0x0119, 0x00EB,
    0x011B, 0x00ED, 0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9};

constexpr std::array<char16_t, 128> kCp1251 = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039,
    0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408,
    0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB,
    0x0458, 0x0405, 0x0455, 0x0457, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423,
    0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B,
    0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F};

// Only 0x80 to 0x9F differ from ISO 8859-1.
constexpr std::array<char16_t, 32> kCp1252 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr uint32_t kShiftJis = 932;
// What a byte sequence Shift-JIS does not define decodes to (KATAKANA MIDDLE DOT).
constexpr wchar_t kShiftJisUndefined = 0x30FB;

std::span<const char16_t> SingleByteTable(uint32_t aCodePage) {
  switch (aCodePage) {
  case 1250:
    return kCp1250;
  case 1251:
    return kCp1251;
  case 1252:
    return kCp1252;
  default:
    return {};
  }
}

wchar_t DecodeSingleByte(std::span<const char16_t> aTable, uint8_t aByte) {
  return aByte >= 0x80 && aByte - 0x80u < aTable.size() ? static_cast<wchar_t>(aTable[aByte - 0x80])
                                                        : static_cast<wchar_t>(aByte);
}

#ifdef KESTROVA_FAKE_HAS_ICONV

// One conversion of the C library, closed with the object.
class TIconv {
public:
  TIconv(const char* aTo, const char* aFrom) : FHandle(iconv_open(aTo, aFrom)) {}
  ~TIconv() {
    if (Valid()) {
      iconv_close(FHandle);
    }
  }
  TIconv(const TIconv&) = delete;
  TIconv& operator=(const TIconv&) = delete;
  bool Valid() const { return FHandle != reinterpret_cast<iconv_t>(-1); }
  // The whole input converted, or nothing when any of it is not convertible.
  bool Convert(std::string_view aIn, std::string& aOut) {
    iconv(FHandle, nullptr, nullptr, nullptr, nullptr);
    std::string in(aIn);
    char out[16];
    char* inPtr = in.data();
    size_t inLeft = in.size();
    char* outPtr = out;
    size_t outLeft = sizeof(out);
    if (iconv(FHandle, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) ||
        inLeft != 0) {
      return false;
    }
    aOut.assign(out, static_cast<size_t>(outPtr - out));
    return true;
  }

private:
  iconv_t FHandle;
};

bool IsShiftJisLead(uint8_t aByte) {
  return (aByte >= 0x81 && aByte <= 0x9F) || (aByte >= 0xE0 && aByte <= 0xFC);
}

TErrorCode DecodeShiftJis(std::string_view aBytes, std::wstring& aText) {
  TIconv convert("UTF-16LE", "CP932");
  if (!convert.Valid()) {
    return err::InvalidParameter;
  }
  std::wstring text;
  for (size_t i = 0; i < aBytes.size(); ++i) {
    const auto byte = static_cast<uint8_t>(aBytes[i]);
    if (!IsShiftJisLead(byte)) {
      // Single bytes the converter refuses, mapped as Windows maps them.
      switch (byte) {
      case 0x80:
        text += L'\x80';
        continue;
      case 0xA0:
        text += static_cast<wchar_t>(0xF8F0);
        continue;
      case 0xFD:
      case 0xFE:
      case 0xFF:
        text += static_cast<wchar_t>(0xF8F1 + (byte - 0xFD));
        continue;
      default:
        break;
      }
    }
    // A lead byte takes the next byte with it, even when the pair means nothing.
    const size_t length = IsShiftJisLead(byte) ? 2 : 1;
    std::string unit;
    if (i + length <= aBytes.size() && convert.Convert(aBytes.substr(i, length), unit) &&
        unit.size() == 2) {
      text +=
          static_cast<wchar_t>(static_cast<uint8_t>(unit[0]) | static_cast<uint8_t>(unit[1]) << 8);
    } else {
      text += kShiftJisUndefined;
    }
    i += length - 1;
  }
  aText = std::move(text);
  return err::Success;
}

TErrorCode EncodeShiftJis(std::wstring_view aText, std::string& aBytes) {
  TIconv convert("CP932", "UTF-16LE");
  if (!convert.Valid()) {
    return err::InvalidParameter;
  }
  std::string bytes;
  for (const wchar_t c : aText) {
    const auto code = static_cast<uint32_t>(c);
    std::string unit;
    if (code > 0xFFFF) {
      bytes += "??"; // two UTF-16 units, as Windows counts them
    } else if (code < 0x80) {
      bytes += static_cast<char>(code);
    } else if (convert.Convert(
                   std::string{static_cast<char>(code & 0xFF), static_cast<char>(code >> 8)},
                   unit)) {
      bytes += unit;
    } else {
      bytes += '?';
    }
  }
  aBytes = std::move(bytes);
  return err::Success;
}

#else

TErrorCode DecodeShiftJis(std::string_view, std::wstring&) {
  return err::InvalidParameter;
}
TErrorCode EncodeShiftJis(std::wstring_view, std::string&) {
  return err::InvalidParameter;
}

#endif

} // namespace

TErrorCode DecodeFakeCodePage(uint32_t aCodePage, std::string_view aBytes, std::wstring& aText) {
  if (aCodePage == kShiftJis) {
    return DecodeShiftJis(aBytes, aText);
  }
  const std::span<const char16_t> table = SingleByteTable(aCodePage);
  if (table.empty()) {
    return err::InvalidParameter;
  }
  std::wstring text;
  text.reserve(aBytes.size());
  for (const char c : aBytes) {
    text += DecodeSingleByte(table, static_cast<uint8_t>(c));
  }
  aText = std::move(text);
  return err::Success;
}

TErrorCode EncodeFakeCodePage(uint32_t aCodePage, std::wstring_view aText, std::string& aBytes) {
  if (aCodePage == kShiftJis) {
    return EncodeShiftJis(aText, aBytes);
  }
  const std::span<const char16_t> table = SingleByteTable(aCodePage);
  if (table.empty()) {
    return err::InvalidParameter;
  }
  std::string bytes;
  bytes.reserve(aText.size());
  for (const wchar_t c : aText) {
    const auto code = static_cast<uint32_t>(c);
    if (code > 0xFFFF) {
      bytes += "??"; // two UTF-16 units, as Windows counts them
      continue;
    }
    char found = '?';
    for (uint32_t byte = 0; byte <= 0xFF; ++byte) {
      if (static_cast<uint32_t>(DecodeSingleByte(table, static_cast<uint8_t>(byte))) == code) {
        found = static_cast<char>(byte);
        break;
      }
    }
    bytes += found;
  }
  aBytes = std::move(bytes);
  return err::Success;
}

} // namespace kplat::fake
