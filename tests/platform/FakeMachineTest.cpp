#include "platform/fake/FakeMachine.h"
#include "platform/FileIO.h"
#include "platform/RegKey.h"
#include "platform/TextCodec.h"

#include <gtest/gtest.h>

#include <thread>

using namespace kplat;
using kplat::fake::TFakeMachineScope;

namespace {
std::vector<uint8_t> Bytes(const std::string& aText) {
  return {aText.begin(), aText.end()};
}
} // namespace

class FakeMachine : public testing::Test {
protected:
  fake::TFakeMachine& M() { return FScope.Machine(); }
  IFileSystem& Files() { return Platform().Files(); }
  TFakeMachineScope FScope;
};

TEST_F(FakeMachine, DefaultMachineHasTheUsualFoldersAndValues) {
  for (const wchar_t* folder :
       {L"C:\\Windows\\System32", L"C:\\Users\\User\\AppData\\Roaming",
        L"C:\\Users\\User\\AppData\\Local\\Temp", L"C:\\Users\\User\\Desktop",
        L"C:\\Users\\User\\Documents", L"C:\\ProgramData", L"C:\\Program Files (x86)"}) {
    EXPECT_TRUE(M().HasFolder(folder)) << ToUtf8(folder);
  }
  EXPECT_TRUE(M().HasFile(L"C:\\Program Files\\Kestrova\\Kestrova.exe"));
  EXPECT_EQ(Platform().System().GetProgramPath(), L"C:\\Program Files\\Kestrova\\Kestrova.exe");
  EXPECT_EQ(Platform().System().ExpandEnvironmentStrings(L"%appdata%|%TMP%|%windir%"),
            L"C:\\Users\\User\\AppData\\Roaming|C:\\Users\\User\\AppData\\Local\\Temp|C:\\Windows");
  const std::wstring shellFolders =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  EXPECT_EQ(M().GetRegString(regroot::CurrentUser, shellFolders, L"Personal"),
            L"C:\\Users\\User\\Documents");
  EXPECT_EQ(M().GetRegString(regroot::LocalMachine, shellFolders, L"Common AppData"),
            L"C:\\ProgramData");
  const std::optional<TRegValue> user =
      M().GetRegValue(regroot::CurrentUser,
                      L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                      L"Local AppData");
  ASSERT_TRUE(user);
  EXPECT_EQ(user->Type, regtype::ExpandSz);
  EXPECT_EQ(RegDataToString(user->Data), L"%USERPROFILE%\\AppData\\Local");
}

TEST_F(FakeMachine, InjectedRegistryFailuresHitOnlyTheirTarget) {
  M().SetRegDword(regroot::CurrentUser, L"Software\\A", L"v", 1);
  M().SetRegDword(regroot::CurrentUser, L"Software\\B\\Sub", L"v", 1);
  M().FailOpenKey(regroot::CurrentUser, L"software\\a");
  M().FailSetValue(regroot::CurrentUser, L"Software\\B");
  M().FailDeleteValue(regroot::CurrentUser, L"Software\\B\\Sub", L"V", err::SharingViolation);
  M().FailDeleteKey(regroot::CurrentUser, L"Software\\B\\Sub");

  TRegKey key;
  EXPECT_EQ(key.Open(regroot::CurrentUser, L"Software\\A"), err::AccessDenied);
  ASSERT_EQ(key.Open(regroot::CurrentUser, L"Software\\B", TRegAccess::FullAccess), err::Success);
  EXPECT_EQ(key.WriteDword(L"x", 1), err::AccessDenied);
  ASSERT_EQ(key.Open(regroot::CurrentUser, L"Software\\B\\Sub", TRegAccess::FullAccess),
            err::Success);
  EXPECT_EQ(key.WriteDword(L"x", 1), err::Success);
  EXPECT_EQ(key.DeleteValue(L"v"), err::SharingViolation);
  EXPECT_EQ(key.DeleteValue(L"x"), err::Success);
  // A protected key below stops the whole tree, and nothing of it is lost.
  EXPECT_EQ(
      Platform().Registry().DeleteKeyTree(regroot::CurrentUser, L"Software\\B", TRegView::Default),
      err::AccessDenied);
  EXPECT_TRUE(M().GetRegValue(regroot::CurrentUser, L"Software\\B\\Sub", L"v"));
  // Seeding goes around the injected failures.
  EXPECT_TRUE(M().RegKeyExists(regroot::CurrentUser, L"Software\\A"));
}

TEST_F(FakeMachine, Wow32ViewMapsMachineSoftwareIntoItsOwnBranch) {
  M().SetRegString(regroot::LocalMachine, L"SOFTWARE\\WOW6432Node\\Vendor", L"v", L"32");
  M().SetRegString(regroot::LocalMachine, L"SOFTWARE\\Vendor", L"v", L"64");
  IRegistry& reg = Platform().Registry();
  for (const auto& [view, expected] :
       {std::pair{TRegView::Wow32, L"32"}, std::pair{TRegView::Native64, L"64"},
        std::pair{TRegView::Default, L"64"}}) {
    TRegKey key;
    ASSERT_EQ(key.Open(regroot::LocalMachine, L"SOFTWARE\\Vendor", TRegAccess::Read, view),
              err::Success);
    EXPECT_EQ(key.ReadString(L"v"), expected);
  }
  TRegHandle created = kNoRegHandle;
  ASSERT_EQ(reg.CreateKey(regroot::LocalMachine, L"SOFTWARE\\New", TRegView::Wow32, created),
            err::Success);
  reg.CloseKey(created);
  EXPECT_TRUE(M().RegKeyExists(regroot::LocalMachine, L"SOFTWARE\\WOW6432Node\\New"));
  EXPECT_FALSE(M().RegKeyExists(regroot::LocalMachine, L"SOFTWARE\\New"));
  // Other roots have no 32-bit branch.
  ASSERT_EQ(reg.CreateKey(regroot::CurrentUser, L"Software\\New", TRegView::Wow32, created),
            err::Success);
  reg.CloseKey(created);
  EXPECT_TRUE(M().RegKeyExists(regroot::CurrentUser, L"Software\\New"));
}

TEST_F(FakeMachine, HandleCountersRevealLeaks) {
  const size_t keys = M().OpenRegHandleCount();
  const size_t finds = M().OpenFindHandleCount();
  {
    TRegKey key;
    ASSERT_EQ(key.Create(regroot::CurrentUser, L"Software\\Leak"), err::Success);
    TFileFind find;
    TFindData data;
    ASSERT_TRUE(find.First(L"C:\\Windows\\*", data));
    EXPECT_EQ(M().OpenRegHandleCount(), keys + 1);
    EXPECT_EQ(M().OpenFindHandleCount(), finds + 1);
  }
  EXPECT_EQ(M().OpenRegHandleCount(), keys);
  EXPECT_EQ(M().OpenFindHandleCount(), finds);
}

TEST_F(FakeMachine, InjectedFileFailuresAndProtection) {
  M().AddTextFile(L"C:\\Data\\busy.txt", "busy");
  M().AddTextFile(L"C:\\Data\\open.txt", "open");
  M().AddTextFile(L"C:\\Locked\\file.txt", "x");
  M().FailDeleteFile(L"c:/data/BUSY.txt");
  M().FailOpenFile(L"C:\\Data\\open.txt", err::AccessDenied);
  M().SetWriteProtected(L"C:\\Locked", true);

  EXPECT_EQ(Files().DeleteFile(L"C:\\Data\\busy.txt"), err::SharingViolation);
  std::vector<uint8_t> data;
  EXPECT_EQ(Files().ReadFile(L"C:\\Data\\open.txt", data, 100), err::AccessDenied);
  EXPECT_EQ(Files().WriteFile(L"C:\\Data\\open.txt", Bytes("y")), err::AccessDenied);
  EXPECT_EQ(Files().WriteFile(L"C:\\Locked\\new.txt", Bytes("y")), err::AccessDenied);
  EXPECT_EQ(Files().DeleteFile(L"C:\\Locked\\file.txt"), err::AccessDenied);
  bool writeable = true;
  ASSERT_EQ(Files().CheckWriteAccess(L"C:\\Locked", writeable), err::Success);
  EXPECT_FALSE(writeable);
  ASSERT_EQ(Files().CheckWriteAccess(L"C:\\Data", writeable), err::Success);
  EXPECT_TRUE(writeable);
  EXPECT_EQ(Files().CheckWriteAccess(L"C:\\Nowhere", writeable), err::FileNotFound);
  EXPECT_EQ(M().FileContent(L"C:\\Data\\open.txt"), Bytes("open"));
}

TEST_F(FakeMachine, FullDiskKeepsTheOldFileOfAnAtomicWrite) {
  const std::wstring file = L"C:\\Users\\User\\AppData\\Roaming\\Kestrova\\settings.ini";
  M().AddTextFile(file, "old settings");
  M().SetDiskFull(true);
  EXPECT_EQ(WriteFileAtomic(file, Bytes("new settings")), err::DiskFull);
  EXPECT_EQ(Files().CreateFolder(L"C:\\NewFolder"), err::DiskFull);
  M().SetDiskFull(false);

  M().SetDiskSpace(5);
  EXPECT_EQ(WriteFileAtomic(file, Bytes("new settings")), err::DiskFull);
  EXPECT_EQ(M().FileContent(file), Bytes("old settings"));
  EXPECT_EQ(M().ListFolder(L"C:\\Users\\User\\AppData\\Roaming\\Kestrova"),
            std::vector<std::wstring>{L"settings.ini"});
  // A plain write that runs out of space keeps the part that fitted.
  M().SetDiskSpace(5);
  EXPECT_EQ(Files().WriteFile(L"C:\\part.bin", Bytes("abcdef")), err::DiskFull);
  EXPECT_EQ(M().FileContent(L"C:\\part.bin"), Bytes("abcde"));
}

TEST_F(FakeMachine, LaunchesAreRecordedAndDecidedByTheHandler) {
  IProcesses& processes = Platform().Processes();
  TProcessStart start;
  start.CommandLine = L"regedit.exe /s \"C:\\x.reg\"";
  start.WaitMs = kWaitForever;
  TProcessResult result;
  ASSERT_EQ(processes.StartProcess(start, result), err::Success); // found on the search path
  EXPECT_TRUE(result.Finished);
  start.CommandLine = L"nothing.exe";
  EXPECT_EQ(processes.StartProcess(start, result), err::FileNotFound);
  start.CommandLine = L"C:\\Nowhere\\nothing.exe";
  EXPECT_EQ(processes.StartProcess(start, result), err::PathNotFound);
  start.CommandLine.clear();
  EXPECT_EQ(processes.StartProcess(start, result), err::InvalidParameter);

  M().SetLaunchHandler([this](const TProcessStart& aStart, TProcessResult& aResult) {
    M().AddTextFile(L"C:\\ran.txt", ToUtf8(aStart.CommandLine));
    aResult.Finished = true;
    aResult.ExitCode = 9;
    return err::Success;
  });
  start.CommandLine = L"tool.exe --go";
  ASSERT_EQ(processes.StartProcess(start, result), err::Success);
  EXPECT_EQ(result.ExitCode, 9u);
  EXPECT_EQ(M().FileContent(L"C:\\ran.txt"), Bytes("tool.exe --go"));
  ASSERT_EQ(M().Launches().size(), 5u);
  EXPECT_EQ(M().Launches()[0].CommandLine, L"regedit.exe /s \"C:\\x.reg\"");

  TShellExecute shell;
  shell.Verb = L"runas";
  shell.File = L"C:\\missing.exe";
  EXPECT_EQ(processes.ShellExecute(shell), err::FileNotFound);
  M().SetShellHandler([](const TShellExecute&) { return err::AccessDenied; });
  shell.File = L"https://example.org/";
  EXPECT_EQ(processes.ShellExecute(shell), err::AccessDenied);
  ASSERT_EQ(M().ShellExecutions().size(), 2u);
  EXPECT_EQ(M().ShellExecutions()[1].Verb, L"runas");

  // A machine that serves many runs forgets the records of the last one, and records again.
  M().ClearRecords();
  EXPECT_TRUE(M().Launches().empty());
  EXPECT_TRUE(M().ShellExecutions().empty());
  ASSERT_EQ(processes.StartProcess(start, result), err::Success);
  EXPECT_EQ(M().Launches().size(), 1u);
}

TEST_F(FakeMachine, VirtualClockAdvancesOnlyWhenAsked) {
  IClock& clock = Platform().Clock();
  constexpr TFileTime kStart = 134169156000000000ull; // 2026-03-02 09:00 UTC
  EXPECT_EQ(clock.NowUtc(), kStart);
  const uint64_t tick = clock.TickMs();
  clock.SleepMs(1500);
  EXPECT_EQ(clock.TickMs(), tick + 1500);
  EXPECT_EQ(clock.NowUtc(), kStart + 1500 * 10000ull);
  M().AdvanceMs(60000);
  EXPECT_EQ(clock.TickMs(), tick + 61500);
  M().SetLocalOffsetMinutes(-300);
  EXPECT_EQ(clock.UtcToLocal(kStart), kStart - 300ull * 60 * 10000000);
  M().SetNow(kStart);
  EXPECT_EQ(clock.NowUtc(), kStart);
  EXPECT_EQ(clock.TickMs(), tick + 61500); // the tick never goes back
}

TEST_F(FakeMachine, ShortNamesShortcutsRestorePointsAndDebugLines) {
  M().AddShortName(L"C:\\PROGRA~1", L"C:\\Program Files");
  std::wstring longPath;
  ASSERT_EQ(Files().GetLongPath(L"C:\\PROGRA~1\\Kestrova\\Kestrova.exe", longPath), err::Success);
  EXPECT_EQ(longPath, L"C:\\Program Files\\Kestrova\\Kestrova.exe");
  ASSERT_EQ(Files().GetLongPath(L"C:\\Windows", longPath), err::Success);
  EXPECT_EQ(longPath, L"C:\\Windows");
  EXPECT_EQ(Files().GetLongPath(L"C:\\PROGRA~1\\Missing", longPath), err::FileNotFound);

  const TShortcut link{L"C:\\Windows\\notepad.exe", L"/a \u00e9", L"C:\\Windows"};
  ASSERT_EQ(Platform().ShellLinks().WriteShortcut(L"C:\\Users\\User\\Desktop\\n.lnk", link),
            err::Success);
  TShortcut read;
  ASSERT_EQ(Platform().ShellLinks().ReadShortcut(L"C:\\Users\\User\\Desktop\\n.lnk", read),
            err::Success);
  EXPECT_EQ(read.Target, link.Target);
  EXPECT_EQ(read.Arguments, link.Arguments);
  EXPECT_EQ(read.WorkingFolder, link.WorkingFolder);
  M().AddTextFile(L"C:\\Users\\User\\Desktop\\bad.lnk", "not a shortcut");
  EXPECT_EQ(Platform().ShellLinks().ReadShortcut(L"C:\\Users\\User\\Desktop\\bad.lnk", read),
            13); // ERROR_INVALID_DATA
  EXPECT_EQ(Platform().ShellLinks().ReadShortcut(L"C:\\Nowhere\\x.lnk", read), err::PathNotFound);

  std::wstring missing;
  M().SetRestoreLibrary(err::ProcNotFound, L"SRRemoveRestorePoint");
  EXPECT_EQ(Platform().SystemRestore().LoadLibrary(missing), err::ProcNotFound);
  EXPECT_EQ(missing, L"SRRemoveRestorePoint");
  M().SetRestoreLibrary(err::Success);
  TRestorePointStatus status;
  ASSERT_TRUE(Platform().SystemRestore().SetRestorePoint({100, 0, 0, L"Before repair"}, status));
  EXPECT_NE(status.SequenceNumber, 0);
  M().SetRestorePointStatus(1058);
  EXPECT_FALSE(Platform().SystemRestore().SetRestorePoint({101, 0, 5, L""}, status));
  EXPECT_EQ(status.Status, 1058u);
  // Refused with a success status, as Wine's stub answers.
  M().SetRestorePointStatus(0);
  M().SetRestorePointRefused(true);
  EXPECT_FALSE(Platform().SystemRestore().SetRestorePoint({100, 0, 0, L"Before"}, status));
  EXPECT_EQ(status.Status, 0u);
  EXPECT_EQ(M().RestorePointCalls().size(), 3u);

  Platform().Debug().Output(L"Settings", L"loaded");
  ASSERT_EQ(M().DebugLines().size(), 1u);
  EXPECT_EQ(M().DebugLines()[0].Tag, L"Settings");
}

TEST_F(FakeMachine, ConcurrentCallersSeeEveryChange) {
  auto work = [this](int aThread) {
    for (int i = 0; i < 200; ++i) {
      const std::wstring name = std::to_wstring(aThread) + L"-" + std::to_wstring(i);
      TRegKey key;
      if (key.Create(regroot::CurrentUser, L"Software\\Threads") == err::Success) {
        key.WriteDword(name, static_cast<uint32_t>(i));
      }
      Files().WriteFile(L"C:\\Threads\\" + name, Bytes("x"));
    }
  };
  M().AddFolder(L"C:\\Threads");
  std::thread other(work, 1);
  work(2);
  other.join();
  TRegKey key;
  ASSERT_EQ(key.Open(regroot::CurrentUser, L"Software\\Threads"), err::Success);
  EXPECT_EQ(key.ValueNames().size(), 400u);
  EXPECT_EQ(M().ListFolder(L"C:\\Threads").size(), 400u);
}

TEST_F(FakeMachine, SnapshotPutsBackEverythingARunChanged) {
  const std::wstring file = L"C:\\Data\\kept.txt";
  M().AddTextFile(file, "kept");
  M().SetRegString(regroot::CurrentUser, L"Software\\Kept", L"Name", L"kept");
  const auto snapshot = M().TakeSnapshot();
  const TFileTime now = Platform().Clock().NowUtc();

  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(Files().WriteFile(file, Bytes("changed")), err::Success);
    ASSERT_EQ(Files().WriteFile(L"C:\\Data\\new\\added.txt", Bytes("new")), err::PathNotFound);
    M().AddTextFile(L"C:\\Data\\new\\added.txt", "new");
    M().RemoveRegKey(regroot::CurrentUser, L"Software\\Kept");
    M().SetRegDword(regroot::LocalMachine, L"Software\\Added", L"Value", 1);
    M().SetEnvVar(L"ADDED", L"1");
    M().SetDiskFull(true);
    M().AdvanceMs(60000);
    Platform().Debug().Output(L"Test", L"line");

    M().RestoreSnapshot(*snapshot);
    EXPECT_EQ(M().FileContent(file), Bytes("kept"));
    EXPECT_FALSE(M().HasFolder(L"C:\\Data\\new"));
    EXPECT_EQ(M().GetRegString(regroot::CurrentUser, L"Software\\Kept", L"Name"), L"kept");
    EXPECT_FALSE(M().RegKeyExists(regroot::LocalMachine, L"Software\\Added"));
    std::wstring value;
    EXPECT_FALSE(Platform().System().GetEnv(L"ADDED", value));
    EXPECT_EQ(Files().WriteFile(L"C:\\Data\\other.txt", Bytes("x")), err::Success);
    EXPECT_EQ(Platform().Clock().NowUtc(), now);
    EXPECT_TRUE(M().DebugLines().empty());
  }
}
