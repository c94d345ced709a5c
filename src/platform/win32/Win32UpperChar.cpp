#include "platform/TextCodec.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <vector>

namespace kplat {

namespace {

// The system's upper case of every UTF-16 unit, asked once. The surrogates, which name no
// character alone, stay as they are.
std::array<wchar_t, 0x10000> MakeUpperTable() {
  std::array<wchar_t, 0x10000> table{};
  for (size_t i = 0; i < table.size(); ++i) {
    table[i] = static_cast<wchar_t>(i);
  }
  const auto mapRun = [&table](size_t aFirst, size_t aLast) {
    const int length = static_cast<int>(aLast - aFirst + 1);
    std::vector<wchar_t> upper(static_cast<size_t>(length));
    if (::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, &table[aFirst], length,
                        upper.data(), length, nullptr, nullptr, 0) == length) {
      std::copy(upper.begin(), upper.begin() + length, table.begin() + aFirst);
    }
  };
  mapRun(1, 0xD7FF);
  mapRun(0xE000, 0xFFFF);
  return table;
}

} // namespace

wchar_t UpperChar(wchar_t aChar) {
  if (aChar < 0x80) {
    return AsciiUpper(aChar);
  }
  static const std::array<wchar_t, 0x10000> table = MakeUpperTable();
  return table[static_cast<uint16_t>(aChar)];
}

} // namespace kplat
