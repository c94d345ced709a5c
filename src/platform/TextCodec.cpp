#include "platform/TextCodec.h"

namespace kplat {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Code points of a wide string, joining surrogate pairs where wchar_t holds UTF-16.
template <typename F> void ForEachCodePoint(std::wstring_view aText, F&& aSink) {
  for (size_t i = 0; i < aText.size(); ++i) {
    char32_t c = static_cast<char32_t>(aText[i]);
    if constexpr (sizeof(wchar_t) == 2) {
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < aText.size()) {
        char32_t low = static_cast<char32_t>(aText[i + 1]);
        if (low >= 0xDC00 && low <= 0xDFFF) {
          c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
          ++i;
        }
      }
    }
    aSink(c);
  }
}

void AppendCodePoint(std::wstring& aOut, char32_t aCode) {
  if constexpr (sizeof(wchar_t) == 2) {
    if (aCode >= 0x10000) {
      aCode -= 0x10000;
      aOut.push_back(static_cast<wchar_t>(0xD800 + (aCode >> 10)));
      aOut.push_back(static_cast<wchar_t>(0xDC00 + (aCode & 0x3FF)));
      return;
    }
  }
  aOut.push_back(static_cast<wchar_t>(aCode));
}

} // namespace

std::vector<uint8_t> EncodeUtf16Le(std::wstring_view aText, bool aWithNul) {
  std::vector<uint8_t> out;
  out.reserve(aText.size() * 2 + 2);
  auto unit = [&out](uint32_t aUnit) {
    out.push_back(static_cast<uint8_t>(aUnit & 0xFF));
    out.push_back(static_cast<uint8_t>(aUnit >> 8));
  };
  ForEachCodePoint(aText, [&](char32_t c) {
    if (c >= 0x10000 && c <= 0x10FFFF) {
      c -= 0x10000;
      unit(0xD800 + (c >> 10));
      unit(0xDC00 + (c & 0x3FF));
    } else if (c > 0x10FFFF) {
      unit(kReplacement);
    } else {
      unit(c);
    }
  });
  if (aWithNul) {
    unit(0);
  }
  return out;
}

std::wstring DecodeUtf16Le(const uint8_t* aData, size_t aSize) {
  const size_t units = aSize / 2;
  // Text without surrogates, nearly all there is, maps unit for unit.
  std::wstring out(units, L'\0');
  size_t i = 0;
  for (; i < units; ++i) {
    const char32_t c = aData[2 * i] | (aData[2 * i + 1] << 8);
    if (c >= 0xD800 && c <= 0xDFFF) {
      break;
    }
    out[i] = static_cast<wchar_t>(c);
  }
  if (i == units) {
    return out;
  }
  out.resize(i);
  for (; i < units; ++i) {
    char32_t c = aData[2 * i] | (aData[2 * i + 1] << 8);
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 < units) {
        char32_t low = aData[2 * i + 2] | (aData[2 * i + 3] << 8);
        if (low >= 0xDC00 && low <= 0xDFFF) {
          AppendCodePoint(out, 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
          ++i;
          continue;
        }
      }
      c = kReplacement;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      c = kReplacement;
    }
    AppendCodePoint(out, c);
  }
  return out;
}

std::string ToUtf8(std::wstring_view aText) {
  std::string out;
  out.reserve(aText.size());
  ForEachCodePoint(aText, [&out](char32_t c) {
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
      c = kReplacement;
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  });
  return out;
}

std::wstring FromUtf8(std::string_view aText) {
  std::wstring out;
  out.reserve(aText.size());
  size_t i = 0;
  while (i < aText.size()) {
    const auto b0 = static_cast<uint8_t>(aText[i]);
    size_t len = b0 < 0x80 ? 1 : (b0 >> 5) == 6 ? 2 : (b0 >> 4) == 14 ? 3 : (b0 >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > aText.size()) {
      AppendCodePoint(out, kReplacement);
      ++i;
      continue;
    }
    char32_t c = len == 1 ? b0 : len == 2 ? (b0 & 0x1F) : len == 3 ? (b0 & 0x0F) : (b0 & 0x07);
    bool valid = true;
    for (size_t k = 1; k < len; ++k) {
      const auto b = static_cast<uint8_t>(aText[i + k]);
      if ((b & 0xC0) != 0x80) {
        valid = false;
        break;
      }
      c = (c << 6) | (b & 0x3F);
    }
    static constexpr char32_t kMinForLength[] = {0, 0, 0x80, 0x800, 0x10000};
    if (!valid || c < kMinForLength[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      AppendCodePoint(out, kReplacement);
      ++i;
      continue;
    }
    AppendCodePoint(out, c);
    i += len;
  }
  return out;
}

wchar_t AsciiUpper(wchar_t aChar) {
  return (aChar >= L'a' && aChar <= L'z') ? static_cast<wchar_t>(aChar - 32) : aChar;
}

std::wstring UpperCase(std::wstring_view aText) {
  std::wstring out(aText);
  for (wchar_t& c : out) {
    c = UpperChar(c);
  }
  return out;
}

int CompareText(std::wstring_view aLeft, std::wstring_view aRight) {
  const size_t n = aLeft.size() < aRight.size() ? aLeft.size() : aRight.size();
  const wchar_t* left = aLeft.data();
  const wchar_t* right = aRight.data();
  for (size_t i = 0; i < n; ++i) {
    // Most characters of two names met in a lookup are the same ones; only the others fold.
    if (left[i] == right[i]) {
      continue;
    }
    const wchar_t l = UpperChar(left[i]);
    const wchar_t r = UpperChar(right[i]);
    if (l != r) {
      return l < r ? -1 : 1;
    }
  }
  if (aLeft.size() == aRight.size()) {
    return 0;
  }
  return aLeft.size() < aRight.size() ? -1 : 1;
}

bool SameText(std::wstring_view aLeft, std::wstring_view aRight) {
  return aLeft.size() == aRight.size() && CompareText(aLeft, aRight) == 0;
}

bool MatchesWildcard(std::wstring_view aName, std::wstring_view aPattern) {
  const std::wstring name = UpperCase(aName);
  const std::wstring pattern = UpperCase(aPattern);
  // Greedy with one step back to the last "*": linear in practice, never recursive.
  size_t n = 0;
  size_t p = 0;
  size_t star = std::wstring::npos;
  size_t starName = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == L'?' || pattern[p] == name[n])) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == L'*') {
      star = p++;
      starName = n;
    } else if (star != std::wstring::npos) {
      p = star + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == L'*') {
    ++p;
  }
  return p == pattern.size();
}

} // namespace kplat
