#include "support/win32/WinTestPlatform.h"

#include <gtest/gtest.h>

namespace ktest::win32 {

void TTestClock::Set(WORD aYear, WORD aMonth, WORD aDay, WORD aHour, WORD aMinute, WORD aSecond) {
  SYSTEMTIME time{aYear, aMonth, 0, aDay, aHour, aMinute, aSecond, 0};
  FILETIME file{};
  ASSERT_TRUE(::SystemTimeToFileTime(&time, &file));
  Local = (static_cast<uint64_t>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
}

} // namespace ktest::win32
