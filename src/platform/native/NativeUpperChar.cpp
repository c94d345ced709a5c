#include "platform/TextCodec.h"

namespace kplat {

namespace {

// A run of letters whose capitals lie a fixed distance before them.
struct TShiftRange {
  char32_t First;
  char32_t Last;
  char32_t Distance;
};

// A run of capital and small letter pairs; the small one follows its capital.
struct TPairRange {
  char32_t First; // the first capital
  char32_t Last;  // the last small letter
};

constexpr TShiftRange kShifts[] = {
    {0x00E0, 0x00F6, 0x20}, {0x00F8, 0x00FE, 0x20}, {0x03AD, 0x03AF, 0x25}, {0x03B1, 0x03C1, 0x20},
    {0x03C3, 0x03CB, 0x20}, {0x03CD, 0x03CE, 0x3F}, {0x0430, 0x044F, 0x20}, {0x0450, 0x045F, 0x50},
    {0x0561, 0x0586, 0x30}, {0x2170, 0x217F, 0x10}, {0x24D0, 0x24E9, 0x1A}, {0xFF41, 0xFF5A, 0x20},
};

constexpr TPairRange kPairs[] = {
    {0x0100, 0x012F}, {0x0132, 0x0137}, {0x0139, 0x0148}, {0x014A, 0x0177}, {0x0179, 0x017E},
    {0x01CD, 0x01DC}, {0x01DE, 0x01EF}, {0x01F8, 0x021F}, {0x0222, 0x0233}, {0x0460, 0x0481},
    {0x048A, 0x04BF}, {0x04C1, 0x04CE}, {0x04D0, 0x052F}, {0x1E00, 0x1E95}, {0x1EA0, 0x1EFF},
};

// Single letters outside the runs.
constexpr char32_t kSingles[][2] = {
    {0x00FF, 0x0178},
    {0x03AC, 0x0386},
    {0x03CC, 0x038C},
    {0x04CF, 0x04C0},
};

} // namespace

// Windows folds names with the simple upper case of Unicode, one UTF-16 unit at a time; this
// table holds the letters of the European, Greek, Cyrillic and Armenian scripts and the
// full-width Latin ones. Letters it does not hold stay as they are.
wchar_t UpperChar(wchar_t aChar) {
  if (aChar < 0x80) {
    return AsciiUpper(aChar);
  }
  const auto c = static_cast<char32_t>(aChar);
  for (const TShiftRange& range : kShifts) {
    if (c >= range.First && c <= range.Last) {
      return static_cast<wchar_t>(c - range.Distance);
    }
  }
  for (const TPairRange& range : kPairs) {
    if (c >= range.First && c <= range.Last) {
      return (c - range.First) % 2 == 1 ? static_cast<wchar_t>(c - 1) : aChar;
    }
  }
  for (const auto& single : kSingles) {
    if (c == single[0]) {
      return static_cast<wchar_t>(single[1]);
    }
  }
  return aChar;
}

} // namespace kplat
