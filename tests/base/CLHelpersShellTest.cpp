#include "base/CLHelpers.h"

#include "platform/TextCodec.h"
#include "platform/fake/FakeMachine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using kplat::regroot::ClassesRoot;
using kplat::regroot::CurrentUser;
using kplat::regroot::LocalMachine;

namespace {

const wchar_t kShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const wchar_t kBrowserKey[] = L"HTTP\\shell\\open\\command";
const wchar_t kBrowser[] = L"\"C:\\Program Files\\Browser\\browser.exe\"";

} // namespace

class CLHelpersShell : public ::testing::Test {
protected:
  CLHelpersShell() {
    for (const wchar_t* program :
         {L"C:\\Program Files\\Browser\\browser.exe", L"C:\\Program Files\\B\\b.exe",
          L"C:\\Program Files\\Kestrova\\sweephelper.exe",
          L"C:\\Program Files\\Kestrova\\helper.exe", L"C:\\Tools\\sweephelper.exe",
          L"C:\\Tools\\sweep.exe", L"C:\\Windows\\regedit.exe",
          L"C:\\Windows\\System32\\rstrui.exe", L"C:\\Windows\\System32\\cmd.exe"}) {
      FMachine.AddFile(program, 1000);
    }
  }

  // The command line the browser was started with for an address, or "(none)".
  std::wstring BrowserLaunch(const std::wstring& aCommand, const std::wstring& aAddress) {
    FMachine.SetRegString(ClassesRoot, kBrowserKey, L"", aCommand);
    const size_t before = FMachine.Launches().size();
    const bool started = OpenURLInBrowser(aAddress);
    const auto launches = FMachine.Launches();
    EXPECT_EQ(started, launches.size() > before);
    return launches.size() > before ? launches.back().CommandLine : L"(none)";
  }

  kplat::fake::TFakeMachineScope FScope;
  kplat::fake::TFakeMachine& FMachine = FScope.Machine();
};

TEST_F(CLHelpersShell, RegistryStringsReadWriteAndDelete) {
  EXPECT_EQ(ReadRegString(CurrentUser, L"Software\\Kestrova", L"Name", L"dflt"), L"dflt");
  WriteRegString(CurrentUser, L"Software\\Kestrova\\Deep", L"Name", L"value");
  EXPECT_EQ(FMachine.GetRegString(CurrentUser, L"Software\\Kestrova\\Deep", L"Name"), L"value");
  EXPECT_EQ(ReadRegString(CurrentUser, L"software\\kestrova\\deep", L"name", L"dflt"), L"value");

  FMachine.SetRegDword(CurrentUser, L"Software\\Kestrova", L"Number", 5);
  EXPECT_EQ(ReadRegString(CurrentUser, L"Software\\Kestrova", L"Number", L"dflt"), L"dflt");
  FMachine.FailOpenKey(CurrentUser, L"Software\\Kestrova\\Deep");
  EXPECT_EQ(ReadRegString(CurrentUser, L"Software\\Kestrova\\Deep", L"Name", L"dflt"), L"dflt");
  EXPECT_FALSE(DeleteRegValue(CurrentUser, L"Software\\Kestrova\\Deep", L"Name"));

  EXPECT_TRUE(DeleteRegValue(CurrentUser, L"Software\\Kestrova", L"Number"));
  EXPECT_FALSE(FMachine.GetRegValue(CurrentUser, L"Software\\Kestrova", L"Number").has_value());
  EXPECT_FALSE(DeleteRegValue(CurrentUser, L"Software\\Kestrova", L"Number"));
  EXPECT_FALSE(DeleteRegValue(CurrentUser, L"Software\\Missing", L"Number"));
  EXPECT_EQ(FMachine.OpenRegHandleCount(), 0u);
}

TEST_F(CLHelpersShell, WriteFailuresAreSwallowed) {
  FMachine.FailSetValue(CurrentUser, L"Software\\Kestrova");
  WriteRegString(CurrentUser, L"Software\\Kestrova", L"Name", L"value");
  EXPECT_FALSE(FMachine.GetRegValue(CurrentUser, L"Software\\Kestrova", L"Name").has_value());
}

TEST_F(CLHelpersShell, ShellFolderFallsBackToTheMachine) {
  FMachine.SetRegString(CurrentUser, kShellFolders, L"AppData",
                        L"C:\\Users\\User\\AppData\\Roaming");
  FMachine.SetRegString(LocalMachine, kShellFolders, L"AppData", L"C:\\Machine");
  FMachine.SetRegString(CurrentUser, kShellFolders, L"Common AppData", L"");
  FMachine.SetRegString(LocalMachine, kShellFolders, L"Common AppData", L"C:\\ProgramData");
  EXPECT_EQ(GetShellFolder(L"AppData"), L"C:\\Users\\User\\AppData\\Roaming");
  EXPECT_EQ(GetShellFolder(L"Common AppData"), L"C:\\ProgramData");
  EXPECT_EQ(GetCommonShellFolder(L"AppData"), L"C:\\Machine");
  EXPECT_EQ(GetShellFolder(L"No Such Folder"), L"");
}

TEST_F(CLHelpersShell, BrowserCommandWithoutPlaceholderGetsTheQuotedAddress) {
  EXPECT_EQ(BrowserLaunch(kBrowser, L"http://example.com/a b"),
            std::wstring(kBrowser) + L"  \"http://example.com/a b\"");
  const auto launch = FMachine.Launches().back();
  EXPECT_TRUE(launch.Application.empty());
  EXPECT_TRUE(launch.WorkingFolder.empty());
  EXPECT_FALSE(launch.InheritHandles);
}

TEST_F(CLHelpersShell, BrowserPlaceholderIsFilledOnceAsOneArgument) {
  const std::wstring browser = kBrowser;
  EXPECT_EQ(BrowserLaunch(browser + L" -url \"%1\"", L"https://x/?q=%1"),
            browser + L" -url \"https://x/?q=%1\"");
  EXPECT_EQ(BrowserLaunch(browser + L" %1 --new %1", L"http://x/"),
            browser + L" \"http://x/\" --new \"http://x/\"");
  EXPECT_EQ(BrowserLaunch(browser + L" \"--url=%1 \"", L"http://x y/"),
            browser + L" \"--url=http://x y/ \"");
}

TEST_F(CLHelpersShell, HostileAddressesStayOneArgument) {
  const std::wstring browser = kBrowser;
  EXPECT_EQ(BrowserLaunch(browser + L" \"%1\"", L"http://x/\" & calc"),
            browser + L" \"http://x/%22 & calc\"");
  EXPECT_EQ(BrowserLaunch(browser + L" %1", L"http://x/\" --disable-security \""),
            browser + L" \"http://x/%22 --disable-security %22\"");
  EXPECT_EQ(BrowserLaunch(browser, L"http://x/\r\nline\t\x7F"),
            browser + L"  \"http://x/%0D%0Aline%09%7F\"");
  // A trailing backslash must not escape the closing quote.
  EXPECT_EQ(BrowserLaunch(browser + L" \"%1\" -new", L"file://C:\\Docs\\"),
            browser + L" \"file://C:\\Docs\\\\\" -new");
  EXPECT_EQ(BrowserLaunch(browser, L"FILE://C:\\a\\\\"), browser + L"  \"FILE://C:\\a\\\\\\\\\"");
}

TEST_F(CLHelpersShell, OnlyWebAndFileAddressesOpen) {
  for (const wchar_t* address : {L"javascript:alert(1)", L"--headless", L"calc.exe", L" http://x",
                                 L"ftp://x", L"mailto:a@b", L""}) {
    EXPECT_EQ(BrowserLaunch(kBrowser, address), L"(none)") << kplat::ToUtf8(address);
  }
  EXPECT_TRUE(FMachine.ShellExecutions().empty());
  EXPECT_EQ(BrowserLaunch(kBrowser, L"HTTPS://X"), std::wstring(kBrowser) + L"  \"HTTPS://X\"");
}

TEST_F(CLHelpersShell, NoBrowserCommandLetsTheShellOpen) {
  FMachine.RemoveRegKey(ClassesRoot, L"HTTP");
  EXPECT_TRUE(OpenURLInBrowser(L"http://x/\"a"));
  ASSERT_EQ(FMachine.ShellExecutions().size(), 1u);
  const auto request = FMachine.ShellExecutions()[0];
  EXPECT_EQ(request.Verb, L"open");
  EXPECT_EQ(request.File, L"http://x/%22a");
  EXPECT_FALSE(request.Hidden);
  EXPECT_TRUE(FMachine.Launches().empty());

  FMachine.SetShellHandler([](const kplat::TShellExecute&) { return kplat::err::FileNotFound; });
  EXPECT_FALSE(OpenURLInBrowser(L"http://x/"));
}

TEST_F(CLHelpersShell, ExpandableBrowserCommandIsExpanded) {
  FMachine.SetRegString(ClassesRoot, kBrowserKey, L"", L"\"%ProgramFiles%\\B\\b.exe\" %1",
                        kplat::regtype::ExpandSz);
  ASSERT_TRUE(OpenURLInBrowser(L"http://x/"));
  EXPECT_EQ(FMachine.Launches().back().CommandLine,
            L"\"C:\\Program Files\\B\\b.exe\" \"http://x/\"");
}

TEST_F(CLHelpersShell, BrowserStartFailureIsFalse) {
  FMachine.SetLaunchHandler(
      [](const kplat::TProcessStart&, kplat::TProcessResult&) { return kplat::err::FileNotFound; });
  FMachine.SetRegString(ClassesRoot, kBrowserKey, L"", kBrowser);
  EXPECT_FALSE(OpenURLInBrowser(L"http://x/"));
}

TEST_F(CLHelpersShell, RunAsAdminAsksForElevationAndRaisesFailures) {
  RunAsAdmin(L"C:\\Tools\\sweephelper.exe", L"/clean \"C:\\x\"");
  ASSERT_EQ(FMachine.ShellExecutions().size(), 1u);
  const auto request = FMachine.ShellExecutions()[0];
  EXPECT_EQ(request.Verb, L"runas");
  EXPECT_EQ(request.File, L"C:\\Tools\\sweephelper.exe");
  EXPECT_EQ(request.Parameters, L"/clean \"C:\\x\"");
  EXPECT_TRUE(request.NoErrorUi);
  EXPECT_TRUE(request.WaitForStart);
  EXPECT_FALSE(request.Hidden);

  FMachine.SetShellHandler([](const kplat::TShellExecute&) { return kplat::TErrorCode{1223}; });
  try {
    RunAsAdmin(L"C:\\Tools\\sweephelper.exe", L"");
    FAIL() << "a refused elevation must raise";
  } catch (const ECLError& e) {
    EXPECT_EQ(e.ErrorCode(), 1223);
    EXPECT_EQ(e.Message(), L"System error 1223: The operation was canceled by the user.");
  }
}

TEST_F(CLHelpersShell, RunProgramStartsShippedProgramsBesideTheApplication) {
  ASSERT_TRUE(RunProgram(L"sweephelper.exe", L"/s \"a b\"", true, 5000));
  auto launch = FMachine.Launches().back();
  EXPECT_EQ(launch.CommandLine, L"\"C:\\Program Files\\Kestrova\\sweephelper.exe\" /s \"a b\"");
  EXPECT_EQ(launch.WorkingFolder, L"C:\\Program Files\\Kestrova");
  EXPECT_TRUE(launch.Application.empty());
  EXPECT_TRUE(launch.Hidden);
  EXPECT_FALSE(launch.InheritHandles);
  EXPECT_EQ(launch.WaitMs, 5000u);

  // A full path is kept as it is, as the registry editor import does.
  ASSERT_TRUE(RunProgram(L"C:\\Windows\\regedit.exe", L"/s \"C:\\t.reg\"", true, 0));
  launch = FMachine.Launches().back();
  EXPECT_EQ(launch.CommandLine, L"\"C:\\Windows\\regedit.exe\" /s \"C:\\t.reg\"");
  EXPECT_EQ(launch.WorkingFolder, L"C:\\Windows");

  ASSERT_TRUE(RunProgram(L"", L"cmd.exe /c exit", false, 0));
  launch = FMachine.Launches().back();
  EXPECT_EQ(launch.CommandLine, L"cmd.exe /c exit");
  EXPECT_TRUE(launch.WorkingFolder.empty());
  EXPECT_FALSE(launch.Hidden);

  FMachine.SetLaunchHandler(
      [](const kplat::TProcessStart&, kplat::TProcessResult&) { return kplat::err::FileNotFound; });
  EXPECT_FALSE(RunProgram(L"missing.exe", L"", false, 0));
}

TEST_F(CLHelpersShell, RunProcessPassesTheCommandLineAndInheritsHandles) {
  ASSERT_TRUE(RunProcess(L"C:\\Windows\\System32\\rstrui.exe", L"", L"", false, false, 1000));
  auto launch = FMachine.Launches().back();
  EXPECT_EQ(launch.Application, L"C:\\Windows\\System32\\rstrui.exe");
  EXPECT_EQ(launch.CommandLine, L"");
  EXPECT_EQ(launch.WorkingFolder, L"C:\\Windows\\System32");
  EXPECT_TRUE(launch.InheritHandles);
  EXPECT_EQ(launch.WaitMs, kplat::kNoWait);

  ASSERT_TRUE(RunProcess(L"helper.exe", L"helper.exe -x", L"D:\\Work", true, true, -1));
  launch = FMachine.Launches().back();
  EXPECT_EQ(launch.Application, L"C:\\Program Files\\Kestrova\\helper.exe");
  EXPECT_EQ(launch.WorkingFolder, L"D:\\Work");
  EXPECT_TRUE(launch.Hidden);
  EXPECT_EQ(launch.WaitMs, kplat::kWaitForever);

  ASSERT_TRUE(RunProcess(L"", L"C:\\Tools\\sweep.exe /a", L"", false, true, 250));
  launch = FMachine.Launches().back();
  EXPECT_TRUE(launch.Application.empty());
  EXPECT_EQ(launch.CommandLine, L"C:\\Tools\\sweep.exe /a");
  EXPECT_TRUE(launch.WorkingFolder.empty());
  EXPECT_EQ(launch.WaitMs, 250u);
}
