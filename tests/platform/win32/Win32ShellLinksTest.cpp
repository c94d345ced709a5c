#include "platform/ConformanceBackend.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

class Win32ShellLinks : public ::testing::Test {
protected:
  std::unique_ptr<TConformanceBackend> FBackend = MakeConformanceBackend();
  kplat::IShellLinks& FLinks = FBackend->Platform().ShellLinks();
  std::wstring FFolder = FBackend->ScratchFolder();
};

TEST_F(Win32ShellLinks, RoundTripKeepsTargetArgumentsAndFolder) {
  const std::wstring target = FFolder + L"\\Tool.exe";
  FBackend->MakeFile(target, 16);
  const std::wstring link = FFolder + L"\\Tool.lnk";
  const kplat::TShortcut written{target, L"/s \"C:\\Some Folder\\file.reg\"", FFolder};
  ASSERT_EQ(kplat::err::Success, FLinks.WriteShortcut(link, written));

  kplat::TShortcut read;
  ASSERT_EQ(kplat::err::Success, FLinks.ReadShortcut(link, read));
  EXPECT_EQ(target, read.Target);
  EXPECT_EQ(written.Arguments, read.Arguments);
  EXPECT_EQ(FFolder, read.WorkingFolder);
}

TEST_F(Win32ShellLinks, TargetThatIsGoneStillReadsBack) {
  // The scan judges such shortcuts by their target, so the target must come back unresolved.
  const std::wstring target = FFolder + L"\\Removed\\Old.exe";
  const std::wstring link = FFolder + L"\\Old.lnk";
  ASSERT_EQ(kplat::err::Success, FLinks.WriteShortcut(link, {target, L"", L""}));

  kplat::TShortcut read;
  ASSERT_EQ(kplat::err::Success, FLinks.ReadShortcut(link, read));
  EXPECT_EQ(target, read.Target);
  EXPECT_EQ(L"", read.Arguments);
  EXPECT_EQ(L"", read.WorkingFolder);
}

TEST_F(Win32ShellLinks, MissingOrBrokenShortcutFileIsAnError) {
  kplat::TShortcut read{L"stale", L"stale", L"stale"};
  EXPECT_EQ(kplat::err::FileNotFound, FLinks.ReadShortcut(FFolder + L"\\Nothing.lnk", read));
  EXPECT_EQ(L"", read.Target);
  EXPECT_EQ(L"", read.Arguments);

  const std::wstring junk = FFolder + L"\\Junk.lnk";
  ASSERT_EQ(kplat::err::Success,
            FBackend->Platform().Files().WriteFile(junk, {'n', 'o', 't', ' ', 'a', ' ', 'l'}));
  // Whatever the shell's reason, it arrives as a system error code, never as an HRESULT.
  const kplat::TErrorCode rc = FLinks.ReadShortcut(junk, read);
  EXPECT_GT(rc, 0);
  EXPECT_EQ(L"", read.Target);
}

TEST_F(Win32ShellLinks, WorkerThreadsInitialiseTheirOwnApartment) {
  const std::wstring target = FFolder + L"\\Worker.exe";
  const std::wstring link = FFolder + L"\\Worker.lnk";
  ASSERT_EQ(kplat::err::Success, FLinks.WriteShortcut(link, {target, L"-x", L""}));
  // Twice, so that a second thread finds no apartment left over from the first.
  for (int round = 0; round < 2; ++round) {
    kplat::TErrorCode rc = kplat::err::InvalidParameter;
    kplat::TShortcut read;
    std::thread worker([&] { rc = FLinks.ReadShortcut(link, read); });
    worker.join();
    EXPECT_EQ(kplat::err::Success, rc);
    EXPECT_EQ(target, read.Target);
    EXPECT_EQ(L"-x", read.Arguments);
  }
}

} // namespace
