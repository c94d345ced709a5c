// Restore points: the records handed to the system, and what counts as a restore point made.

#include "cure/sysrestore.h"
#include "platform/fake/FakeMachine.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class SysRestoreTest : public ::testing::Test {
protected:
  kplat::fake::TFakeMachine& Machine() { return FScope.Machine(); }
  kplat::fake::TFakeMachineScope FScope;
};

} // namespace

TEST_F(SysRestoreTest, BeginAndEndHandTheSystemOneChangeWithACutDescription) {
  const std::wstring description = L"Kestrova Restore point " + std::wstring(200, L'x');
  int64_t sequence = 0;
  ASSERT_EQ(BeginRestorePoint(description, sequence), 0u);
  EXPECT_NE(sequence, 0);
  ASSERT_EQ(EndRestorePoint(sequence), 0u);

  const auto calls = Machine().RestorePointCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].EventType, 100u);
  EXPECT_EQ(calls[0].RestorePointType, 0u);
  EXPECT_EQ(calls[0].SequenceNumber, 0);
  EXPECT_EQ(calls[0].Description, description.substr(0, 128));
  EXPECT_EQ(calls[1].EventType, 101u);
  EXPECT_EQ(calls[1].SequenceNumber, sequence);
  EXPECT_EQ(calls[1].Description, L"");
}

TEST_F(SysRestoreTest, ARefusedCallIsAFailureWhateverItsStatusSays) {
  int64_t sequence = 0;
  Machine().SetRestorePointStatus(1058);
  EXPECT_EQ(BeginRestorePoint(L"x", sequence), 1058u);
  // Wine's library refuses with a status of 0: still no restore point.
  Machine().SetRestorePointStatus(0);
  Machine().SetRestorePointRefused(true);
  EXPECT_EQ(BeginRestorePoint(L"x", sequence), kRestorePointRefused);
  EXPECT_EQ(EndRestorePoint(7), kRestorePointRefused);
}

TEST_F(SysRestoreTest, BindingNamesWhatIsMissing) {
  EXPECT_EQ(BindSystemRestore(), L"");
  Machine().SetRestoreLibrary(kplat::err::ModuleNotFound);
  EXPECT_EQ(BindSystemRestore(), L"System Restore Interface Not Present.");
  Machine().SetRestoreLibrary(kplat::err::ProcNotFound, L"SRRemoveRestorePoint");
  EXPECT_EQ(BindSystemRestore(), L"Did not find SRRemoveRestorePoint");
}
