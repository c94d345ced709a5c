#include "platform/Sha256.h"

namespace kplat {

std::wstring DigestText(const TSha256Digest& aDigest) {
  static constexpr wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring text;
  text.reserve(aDigest.size() * 2);
  for (const uint8_t byte : aDigest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0xF];
  }
  return text;
}

bool ParseDigest(const std::wstring& aText, TSha256Digest& aDigest) {
  if (aText.size() != aDigest.size() * 2) {
    return false;
  }
  const auto digit = [](wchar_t aChar) {
    return aChar >= L'0' && aChar <= L'9'   ? aChar - L'0'
           : aChar >= L'a' && aChar <= L'f' ? aChar - L'a' + 10
                                            : -1;
  };
  for (size_t i = 0; i < aDigest.size(); ++i) {
    const int high = digit(aText[2 * i]);
    const int low = digit(aText[2 * i + 1]);
    if (high < 0 || low < 0) {
      return false;
    }
    aDigest[i] = static_cast<uint8_t>(high * 16 + low);
  }
  return true;
}

} // namespace kplat
