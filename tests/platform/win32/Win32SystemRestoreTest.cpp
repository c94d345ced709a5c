#include "platform/ConformanceBackend.h"

#include "platform/win32/Win32SystemRestore.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Wine's ntdll exports this; Windows' does not.
bool RunningUnderWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

class Win32SystemRestore : public ::testing::Test {
protected:
  std::unique_ptr<TConformanceBackend> FBackend = MakeConformanceBackend();
  kplat::ISystemRestore& FRestore = FBackend->Platform().SystemRestore();
};

TEST_F(Win32SystemRestore, LibraryLoadsWithBothEntryPoints) {
  std::wstring missing = L"stale";
  EXPECT_EQ(kplat::err::Success, FRestore.LoadLibrary(missing));
  EXPECT_EQ(L"", missing);
  // Loaded once for the process: a second backend gets the same answer.
  std::unique_ptr<TConformanceBackend> other = MakeConformanceBackend();
  EXPECT_EQ(kplat::err::Success, other->Platform().SystemRestore().LoadLibrary(missing));
}

TEST_F(Win32SystemRestore, RefusedCallIsReportedAsRefused) {
  if (!RunningUnderWine()) {
    GTEST_SKIP() << "would create a real restore point";
  }
  // Wine's library refuses every call but writes status 0 (success) into the status record and
  // leaves the sequence number alone: only the call's own result tells the truth.
  kplat::TRestorePointInfo begin;
  begin.EventType = 100;
  begin.Description = std::wstring(300, L'x');
  kplat::TRestorePointStatus status{77, 77};
  EXPECT_FALSE(FRestore.SetRestorePoint(begin, status));
  EXPECT_EQ(0u, status.Status);
  EXPECT_EQ(0, status.SequenceNumber);

  kplat::TRestorePointInfo end;
  end.EventType = 101;
  EXPECT_FALSE(FRestore.SetRestorePoint(end, status));
}

TEST(Win32RestorePointRecord, DescriptionIsCutAt128AndTheRestIsZero) {
  kplat::TRestorePointInfo info;
  info.EventType = 101;
  info.SequenceNumber = 0x123456789A;
  info.Description = std::wstring(127, L'a') + L"bc" + std::wstring(100, L'z');
  const kplat::win32::TRestorePointInfoW record = kplat::win32::MakeRestorePointRecord(info);
  EXPECT_EQ(101u, record.dwEventType);
  EXPECT_EQ(0u, record.dwRestorePtType);
  EXPECT_EQ(0x123456789A, record.llSequenceNumber);
  EXPECT_EQ(std::wstring(127, L'a') + L"b", std::wstring(record.szDescription, 128));
  EXPECT_TRUE(std::all_of(record.szDescription + 128, record.szDescription + 256,
                          [](WCHAR aChar) { return aChar == 0; }));

  // A pair that would be split at the cut is left out whole.
  info.Description = std::wstring(127, L'a') + L"\U0001F600";
  const kplat::win32::TRestorePointInfoW cut = kplat::win32::MakeRestorePointRecord(info);
  EXPECT_EQ(std::wstring(127, L'a'), std::wstring(cut.szDescription));

  info.Description.clear();
  EXPECT_EQ(0, kplat::win32::MakeRestorePointRecord(info).szDescription[0]);
}

} // namespace
