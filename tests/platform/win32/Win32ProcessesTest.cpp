#include "platform/ConformanceBackend.h"
#include "platform/FileIO.h"

#include <gtest/gtest.h>

namespace {

class Win32Processes : public ::testing::Test {
protected:
  std::unique_ptr<TConformanceBackend> FBackend = MakeConformanceBackend();
  kplat::IPlatform& FPlatform = FBackend->Platform();
  std::wstring FCmd = FPlatform.System().GetSystemFolder() + L"\\cmd.exe";
};

TEST_F(Win32Processes, WaitedProcessReportsItsExitCode) {
  kplat::TProcessStart start;
  start.CommandLine = L"cmd.exe /c exit 3";
  start.WaitMs = kplat::kWaitForever;
  kplat::TProcessResult result;
  ASSERT_EQ(kplat::err::Success, FPlatform.Processes().StartProcess(start, result));
  EXPECT_TRUE(result.Finished);
  EXPECT_EQ(3u, result.ExitCode);
}

TEST_F(Win32Processes, HiddenStartRunsInTheGivenFolder) {
  kplat::TProcessStart start;
  start.Application = FCmd;
  start.CommandLine = L"cmd.exe /c echo started> started.txt";
  start.WorkingFolder = FBackend->ScratchFolder();
  start.Hidden = true;
  start.WaitMs = kplat::kWaitForever;
  kplat::TProcessResult result;
  ASSERT_EQ(kplat::err::Success, FPlatform.Processes().StartProcess(start, result));
  EXPECT_TRUE(result.Finished);
  EXPECT_EQ(0u, result.ExitCode);
  EXPECT_TRUE(kplat::FileExists(FBackend->ScratchFolder() + L"\\started.txt"));
}

TEST_F(Win32Processes, MissingProgramIsAnErrorAndNothingRuns) {
  kplat::TProcessStart start;
  start.Application = FBackend->ScratchFolder() + L"\\Missing.exe";
  start.CommandLine = L"Missing.exe /s";
  start.WaitMs = kplat::kWaitForever;
  kplat::TProcessResult result;
  const kplat::TErrorCode rc = FPlatform.Processes().StartProcess(start, result);
  EXPECT_TRUE(rc == kplat::err::FileNotFound || rc == kplat::err::PathNotFound) << rc;
  EXPECT_FALSE(result.Finished);

  start = kplat::TProcessStart{};
  EXPECT_EQ(kplat::err::InvalidParameter, FPlatform.Processes().StartProcess(start, result));
}

TEST_F(Win32Processes, ShellExecuteOfAMissingFileIsAnError) {
  kplat::TShellExecute request;
  request.Verb = L"open";
  request.File = FBackend->ScratchFolder() + L"\\Missing.exe";
  request.NoErrorUi = true;
  request.WaitForStart = true;
  const kplat::TErrorCode rc = FPlatform.Processes().ShellExecute(request);
  EXPECT_TRUE(rc == kplat::err::FileNotFound || rc == kplat::err::PathNotFound) << rc;
}

TEST_F(Win32Processes, ShellExecuteStartsAProgram) {
  kplat::TShellExecute request;
  request.Verb = L"open";
  request.File = FCmd;
  // Nothing to wait for: the shell gives no process back, so the child must leave no trace.
  request.Parameters = L"/c exit 0";
  request.Hidden = true;
  request.NoErrorUi = true;
  request.WaitForStart = true;
  ASSERT_EQ(kplat::err::Success, FPlatform.Processes().ShellExecute(request));
}

} // namespace
