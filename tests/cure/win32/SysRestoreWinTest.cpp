// Restore points against the system's own library.

#include "cure/sysrestore.h"
#include "platform/win32/Win32Platform.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>

namespace {

bool RunsUnderWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

} // namespace

TEST(SysRestoreWinTest, TheLibraryIsBoundAndItsAnswerIsTakenAsItIs) {
  kplat::win32::InstallWin32Platform();
  ASSERT_EQ(BindSystemRestore(), L"");
  int64_t sequence = 0;
  const uint32_t begun = BeginRestorePoint(L"Kestrova test restore point", sequence);
  if (RunsUnderWine()) {
    // Wine's library makes no restore point and answers false with a status of 0.
    EXPECT_NE(begun, 0u);
  }
  if (begun == 0) {
    // A system that makes restore points (real Windows, elevated): close the change again.
    EXPECT_EQ(EndRestorePoint(sequence), 0u);
  } else {
    std::printf("[ restore point refused with status %u ]\n", begun);
  }
}
