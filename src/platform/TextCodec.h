#pragma once
// Explicit text encodings. Portable code never assumes the size of wchar_t: on Windows it holds
// UTF-16 code units, on Linux whole code points, and these routines handle both.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kplat {

// UTF-16 little-endian bytes, optionally with a terminating NUL (two zero bytes).
std::vector<uint8_t> EncodeUtf16Le(std::wstring_view aText, bool aWithNul = false);
// Decodes UTF-16LE bytes; an odd trailing byte is ignored, unpaired surrogates become U+FFFD.
std::wstring DecodeUtf16Le(const uint8_t* aData, size_t aSize);
inline std::wstring DecodeUtf16Le(const std::vector<uint8_t>& aData) {
  return DecodeUtf16Le(aData.data(), aData.size());
}

std::string ToUtf8(std::wstring_view aText);
// Invalid sequences become U+FFFD.
std::wstring FromUtf8(std::string_view aText);

// ASCII-only case folding, for names the system compares without regard to case.
wchar_t AsciiUpper(wchar_t aChar);
// One UTF-16 unit upper-cased the way the system compares names (Unicode simple upper case, as
// Windows folds them).
wchar_t UpperChar(wchar_t aChar);
// Upper-cases the whole text the way the system compares names, one unit at a time.
std::wstring UpperCase(std::wstring_view aText);
bool SameText(std::wstring_view aLeft, std::wstring_view aRight);
// Negative, zero or positive, comparing upper-cased code units as the registry orders names.
int CompareText(std::wstring_view aLeft, std::wstring_view aRight);
// Whether aName matches aPattern, without regard to case: "*" stands for any run of characters,
// "?" for exactly one.
bool MatchesWildcard(std::wstring_view aName, std::wstring_view aPattern);

} // namespace kplat
