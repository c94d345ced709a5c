// The rule styles that look at the registry and the disk, each against the fake machine.

#include "engine/FigRule.h"
#include "platform/fake/FakeMachine.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kplat::regroot::ClassesRoot;
using kplat::regroot::CurrentUser;
using kplat::regroot::LocalMachine;

const std::wstring kUninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::wstring kAppPaths = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const std::wstring kFileExts = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";

struct TVerdict {
  bool Found = false;
  TFigResultItem Result;
};

class FigRuleChecksTest : public ::testing::Test {
protected:
  kplat::fake::TFakeMachine& Machine() { return FScope.Machine(); }

  TVerdict Judge(const std::wstring& aRule, TLocationStyle aStyle, const std::wstring& aRoot,
                 const std::wstring& aPath, const std::wstring& aSection, const std::wstring& aName,
                 const std::wstring& aExceptOptions = L"") {
    const TFigRuleProcessor processor(aRule, L"caption", aStyle, aRoot, aPath, aSection, aName,
                                      FRegItems, tsUncured, aExceptOptions);
    TVerdict verdict;
    verdict.Found = processor.DoSearch(verdict.Result);
    return verdict;
  }
  TVerdict JudgeValue(const std::wstring& aRule, const std::wstring& aRoot,
                      const std::wstring& aPath, const std::wstring& aSection,
                      const std::wstring& aName) {
    return Judge(aRule, lsRegistry, aRoot, aPath, aSection, aName);
  }
  TVerdict JudgeFile(const std::wstring& aRule, const std::wstring& aFolder,
                     const std::wstring& aName, const std::wstring& aExceptOptions = L"") {
    return Judge(aRule, lsDisk, aFolder, aFolder, L"@Temp", aName, aExceptOptions);
  }

  kplat::fake::TFakeMachineScope FScope;
  TStringList FRegItems;
};

} // namespace

TEST_F(FigRuleChecksTest, RegistryBoostOrFixComparesTheExportNotationWithTheWantedLine) {
  const std::wstring key = L"Control Panel\\Desktop";
  FRegItems.Add(L"\"MenuShowDelay\"=\"200\"");
  FRegItems.Add(L"\"Count\"=dword:000000c8");
  FRegItems.Add(L"@=\"wanted\"");
  FRegItems.Add(L"\"Missing\"=\"on\"");
  auto judge = [&](const std::wstring& aName) {
    return Judge(L"rsRegistryBoostOrFix", lsRegistryItem, L"HKEY_CURRENT_USER", key, aName,
                 L"whole line");
  };

  Machine().SetRegString(CurrentUser, key, L"MenuShowDelay", L"400");
  const TVerdict differs = judge(L"MenuShowDelay");
  EXPECT_TRUE(differs.Found);
  EXPECT_EQ(differs.Result.Reason, frNeedRegistryBoostOrFix);
  EXPECT_EQ(differs.Result.Msg, L"caption") << "the finding says what the change does";
  Machine().SetRegString(CurrentUser, key, L"MenuShowDelay", L"200");
  EXPECT_FALSE(judge(L"menushowdelay").Found);

  Machine().SetRegDword(CurrentUser, key, L"Count", 200);
  EXPECT_FALSE(judge(L"Count").Found) << "hex digits compare ignoring case";
  Machine().SetRegDword(CurrentUser, key, L"Count", 1);
  EXPECT_TRUE(judge(L"Count").Found);
  Machine().SetRegString(CurrentUser, key, L"Count", L"200");
  EXPECT_TRUE(judge(L"Count").Found) << "a string where a number is wanted";

  EXPECT_FALSE(judge(L"").Found) << "a missing default value renders as \"\", not @";
  Machine().SetRegString(CurrentUser, key, L"", L"other");
  EXPECT_TRUE(judge(L"").Found);
  Machine().SetRegString(CurrentUser, key, L"", L"WANTED");
  EXPECT_FALSE(judge(L"").Found);

  EXPECT_TRUE(judge(L"missing").Found) << "a listed value that is missing renders as Not Found!";
  EXPECT_FALSE(judge(L"Unlisted").Found);
  Machine().SetRegValue(CurrentUser, key, L"Unlisted", kplat::TRegValue{kplat::regtype::Qword, {}});
  EXPECT_TRUE(judge(L"missing").Found) << "a listed value that is missing renders as Not Found!";
  EXPECT_FALSE(judge(L"Unlisted").Found);

  Machine().RemoveRegKey(CurrentUser, key);
  EXPECT_TRUE(judge(L"MenuShowDelay").Found) << "no key: a missing value is a finding";
}

TEST_F(FigRuleChecksTest, ActiveXReportsEmptyKeysAndMissingTypeLibOrAppID) {
  auto judge = [&](const std::wstring& aPath, const std::wstring& aName = L"") {
    return JudgeValue(L"rsActiveX", L"HKEY_CLASSES_ROOT", aPath, L"", aName);
  };
  Machine().AddRegKey(ClassesRoot, L"CLSID\\{E}");
  const TVerdict empty = judge(L"CLSID\\{E}");
  EXPECT_TRUE(empty.Found);
  EXPECT_EQ(empty.Result.Reason, frActiveXEmptyKey);
  EXPECT_EQ(empty.Result.Msg, L"Empty key.");
  EXPECT_FALSE(judge(L"clsid").Found);
  EXPECT_FALSE(judge(L"CLSID\\{Missing}").Found);

  Machine().SetRegString(ClassesRoot, L"CLSID\\{D}", L"", L"");
  EXPECT_TRUE(judge(L"CLSID\\{D}").Found) << "only an empty default value";
  Machine().SetRegString(ClassesRoot, L"CLSID\\{D}", L"", L"Some control");
  EXPECT_FALSE(judge(L"CLSID\\{D}", L"Some control").Found);

  Machine().SetRegString(ClassesRoot, L"CLSID\\{T}\\TypeLib", L"", L" {LIB} ");
  const TVerdict noLib = judge(L"CLSID\\{T}");
  EXPECT_TRUE(noLib.Found);
  EXPECT_EQ(noLib.Result.Reason, frActiveXTypeLibNotExists);
  EXPECT_EQ(noLib.Result.Msg, L"TypeLib and AppID is not exists.");
  Machine().AddRegKey(ClassesRoot, L"TypeLib\\{LIB}");
  EXPECT_FALSE(judge(L"CLSID\\{T}").Found);
  Machine().SetRegString(ClassesRoot, L"CLSID\\{T}\\TypeLib", L"", L"{}");
  EXPECT_FALSE(judge(L"CLSID\\{T}").Found);

  Machine().SetRegString(ClassesRoot, L"CLSID\\{A}", L"AppID", L"{APP}");
  Machine().SetRegString(ClassesRoot, L"CLSID\\{A}", L"", L"x");
  EXPECT_TRUE(judge(L"CLSID\\{A}", L"x").Found);
  Machine().AddRegKey(ClassesRoot, L"AppID\\{APP}");
  EXPECT_FALSE(judge(L"CLSID\\{A}", L"x").Found);
}

TEST_F(FigRuleChecksTest, ActiveXTakesAnUnreadableRegistrationAsPresent) {
  Machine().SetRegString(ClassesRoot, L"CLSID\\{P}\\TypeLib", L"", L"{SEALED}");
  Machine().AddRegKey(ClassesRoot, L"TypeLib\\{SEALED}");
  Machine().FailOpenKey(ClassesRoot, L"TypeLib\\{SEALED}");
  EXPECT_FALSE(JudgeValue(L"rsActiveX", L"HKEY_CLASSES_ROOT", L"CLSID\\{P}", L"", L"").Found);
}

TEST_F(FigRuleChecksTest, UninstallReportsOnlyEntriesWithoutProgramAndSource) {
  auto judge = [&](const std::wstring& aEntry, const std::wstring& aName = L"x") {
    return JudgeValue(L"rsUninstall", L"HKEY_LOCAL_MACHINE", kUninstall + L"\\" + aEntry, L"",
                      aName);
  };
  const TVerdict emptyInfo = judge(L"A", L"@Empty");
  EXPECT_TRUE(emptyInfo.Found);
  EXPECT_EQ(emptyInfo.Result.Reason, frEmptyUninstallInfo);
  EXPECT_EQ(emptyInfo.Result.Msg, L"Empty uninstall info");
  EXPECT_FALSE(JudgeValue(L"rsUninstall", L"HKEY_LOCAL_MACHINE", kUninstall, L"", L"@Empty").Found);
  EXPECT_FALSE(judge(L"NoSuchEntry").Found);

  const std::wstring gone = kUninstall + L"\\Gone";
  Machine().SetRegString(LocalMachine, gone, L"UninstallString", L"C:\\Tools\\remove");
  Machine().SetRegString(LocalMachine, gone, L"InstallSource", L"C:\\Setup\\");
  const TVerdict missing = judge(L"Gone");
  EXPECT_TRUE(missing.Found);
  EXPECT_EQ(missing.Result.Reason, frUninstallFileNotExists);
  EXPECT_EQ(missing.Result.Msg, L"Uninstall file [C:\\TOOLS\\REMOVE] is not exists");

  Machine().AddFolder(L"C:\\Setup");
  EXPECT_FALSE(judge(L"Gone").Found) << "the install source is still there";

  const std::wstring component = kUninstall + L"\\Component";
  Machine().SetRegString(LocalMachine, component, L"UninstallString", L"");
  Machine().SetRegDword(LocalMachine, component, L"SystemComponent", 1);
  EXPECT_FALSE(judge(L"Component").Found);

  const std::wstring named = kUninstall + L"\\Named";
  Machine().SetRegString(LocalMachine, named, L"UninstallString", L"C:\\Gone\\unins000.exe /x");
  EXPECT_FALSE(judge(L"Named").Found) << "a program name keeps the entry";
  Machine().SetRegString(LocalMachine, named, L"UninstallString", L"MsiExec.exe /X{1}");
  EXPECT_FALSE(judge(L"Named").Found);
  Machine().SetRegString(LocalMachine, named, L"UninstallString", L"");
  const TVerdict empty = judge(L"Named");
  EXPECT_TRUE(empty.Found);
  EXPECT_EQ(empty.Result.Msg, L"Uninstall file [] is not exists");
}

TEST_F(FigRuleChecksTest, AppPathsLooksForTheProgramByValueAndByFolder) {
  auto judge = [&](const std::wstring& aEntry, const std::wstring& aName) {
    return JudgeValue(L"rsAppPaths", L"HKEY_LOCAL_MACHINE", kAppPaths + L"\\" + aEntry, L"", aName);
  };
  const TVerdict missing = judge(L"gone.exe", L"C:\\Gone\\gone.exe");
  EXPECT_TRUE(missing.Found);
  EXPECT_EQ(missing.Result.Reason, frAppPathNotExists);
  EXPECT_EQ(missing.Result.Msg, L"File [" + kAppPaths + L"\\gone.exe] is not Exists.");
  EXPECT_FALSE(judge(L"INSTALL.EXE", L"C:\\Gone\\install.exe").Found);
  EXPECT_FALSE(JudgeValue(L"rsAppPaths", L"HKEY_LOCAL_MACHINE", kAppPaths, L"", L"").Found);
  EXPECT_FALSE(judge(L"cm.exe", L"C:\\Gone\\CmMgr32.exe").Found);

  Machine().AddFile(L"C:\\Program Files\\My App\\My App.exe");
  EXPECT_FALSE(judge(L"My App.exe", L"C:\\Program Files\\My App\\My App.exe").Found);

  Machine().AddFile(L"C:\\Tools\\tool.exe");
  Machine().SetRegString(LocalMachine, kAppPaths + L"\\tool.exe", L"Path", L"C:\\Tools");
  EXPECT_FALSE(judge(L"tool.exe", L"tool.exe").Found) << "Path joined with the value";
  EXPECT_FALSE(judge(L"tool.exe", L"").Found) << "Path joined with the key's name";

  Machine().SetRegString(LocalMachine, kAppPaths + L"\\setup.exe", L"RunAsOnNonAdminInstall", L"1");
  EXPECT_FALSE(judge(L"setup.exe", L"C:\\Gone\\setup.exe").Found);
}

TEST_F(FigRuleChecksTest, FontsLooksInTheFontsShellFolder) {
  const std::wstring fonts = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
  Machine().AddFile(L"C:\\Windows\\Fonts\\arial.ttf");
  Machine().AddFile(L"D:\\MyFonts\\own.ttf");
  auto judge = [&](const std::wstring& aName) {
    return JudgeValue(L"rsFonts", L"HKEY_LOCAL_MACHINE", fonts, L"Font (TrueType)", aName);
  };
  EXPECT_FALSE(judge(L"ARIAL.TTF").Found);
  EXPECT_FALSE(judge(L"D:\\MyFonts\\own.ttf").Found);
  const TVerdict missing = judge(L"gone.ttf");
  EXPECT_TRUE(missing.Found);
  EXPECT_EQ(missing.Result.Reason, frFontNotFound);
  EXPECT_EQ(missing.Result.Msg, L"Font not found.");
  EXPECT_FALSE(JudgeValue(L"rsFonts", L"HKEY_LOCAL_MACHINE", fonts, L"", L"").Found)
      << "the key itself names no font";

  // Without the shell folder the fonts are still looked for in the Windows folder, not in the
  // current one.
  const std::wstring shellFolders =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  Machine().SetRegString(CurrentUser, shellFolders, L"Fonts", L"");
  Machine().SetRegString(LocalMachine, shellFolders, L"Fonts", L"");
  EXPECT_FALSE(judge(L"arial.ttf").Found);
}

TEST_F(FigRuleChecksTest, SharedDllsReportsAnUnusedCountBeforeAMissingFile) {
  const std::wstring key = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
  Machine().AddFile(L"C:\\Common\\used.dll");
  auto judge = [&](const std::wstring& aDll, const std::wstring& aCount) {
    return JudgeValue(L"rsSharedDlls", L"HKEY_LOCAL_MACHINE", key, aDll, aCount);
  };
  EXPECT_FALSE(judge(L"C:\\Common\\used.dll", L"3").Found);
  Machine().SetEnvVar(L"CommonFiles", L"C:\\Common");
  EXPECT_FALSE(judge(L"%CommonFiles%\\used.dll", L"1").Found);
  const TVerdict missing = judge(L"C:\\Common\\gone.dll", L"2");
  EXPECT_TRUE(missing.Found);
  EXPECT_EQ(missing.Result.Reason, frSharedDllNotFound);
  EXPECT_EQ(missing.Result.Msg, L"Shared Dll [C:\\Common\\gone.dll] not found.");
  const TVerdict unused = judge(L"C:\\Common\\gone.dll", L"0");
  EXPECT_TRUE(unused.Found);
  EXPECT_EQ(unused.Result.Reason, frSharedDllIsNotUsed);
  EXPECT_EQ(unused.Result.Msg, L"Shared Dll [C:\\Common\\gone.dll] is not used.");
  EXPECT_EQ(judge(L"C:\\Common\\used.dll", L"0").Result.Reason, frSharedDllIsNotUsed);
  EXPECT_FALSE(judge(L"", L"").Found);
}

TEST_F(FigRuleChecksTest, HelpJoinsTheFolderWithTheHelpFile) {
  const std::wstring key = L"SOFTWARE\\Microsoft\\Windows\\Help";
  Machine().AddFile(L"C:\\Docs\\tool.hlp");
  auto judge = [&](const std::wstring& aFile, const std::wstring& aFolder) {
    return JudgeValue(L"rsHelp", L"HKEY_LOCAL_MACHINE", key, aFile, aFolder);
  };
  EXPECT_FALSE(judge(L"tool.hlp", L"C:\\Docs\\").Found);
  EXPECT_FALSE(judge(L"tool.hlp", L"C:\\Docs").Found);
  Machine().AddFile(L"C:\\Windows\\Help\\win.hlp");
  EXPECT_FALSE(judge(L"win.hlp", L"%SystemRoot%\\Help").Found) << "an expandable folder";
  const TVerdict missing = judge(L"gone.hlp", L"C:\\Docs");
  EXPECT_TRUE(missing.Found);
  EXPECT_EQ(missing.Result.Reason, frHelpFileNotFound);
  EXPECT_EQ(missing.Result.Msg, L"Help not found.");
}

TEST_F(FigRuleChecksTest, DriversLookAsGivenAndInTheSystemFolder) {
  const std::wstring key = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
  Machine().AddFile(L"C:\\Windows\\System32\\msacm32.drv");
  Machine().AddFile(L"D:\\Codecs\\own.dll");
  auto judge = [&](const std::wstring& aFile) {
    return JudgeValue(L"rsDrivers", L"HKEY_LOCAL_MACHINE", key, L"wavemapper", aFile);
  };
  EXPECT_FALSE(judge(L"msacm32.drv").Found);
  EXPECT_FALSE(judge(L"D:\\Codecs\\own.dll").Found);
  const TVerdict missing = judge(L"gone.dll");
  EXPECT_TRUE(missing.Found);
  EXPECT_EQ(missing.Result.Reason, frDriverNotFound);
  EXPECT_EQ(missing.Result.Msg, L"Driver [C:\\Windows\\system32\\gone.dll] not found.");
}

TEST_F(FigRuleChecksTest, StartupTriesTheLineAndTheWindowsFolder) {
  const std::wstring run = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  Machine().AddFile(L"C:\\Program Files\\Tray Tool\\tray.exe");
  Machine().AddFile(L"C:\\Windows\\helper.exe");
  auto judge = [&](const std::wstring& aLine) {
    return JudgeValue(L"rsStartup", L"HKEY_CURRENT_USER", run, L"Item", aLine);
  };
  EXPECT_FALSE(judge(L"\"C:\\Program Files\\Tray Tool\\tray.exe\" /background").Found);
  EXPECT_FALSE(judge(L"helper.exe -quiet").Found) << "found in the Windows folder";
  EXPECT_FALSE(judge(L"@Empty").Found);
  const TVerdict missing = judge(L"gone.exe /start");
  EXPECT_TRUE(missing.Found);
  EXPECT_EQ(missing.Result.Reason, frStartupItemNotCorrect);
  EXPECT_EQ(missing.Result.Msg, L"Startup [C:\\Windows\\GONE.EXE]Item is not correct.");
  EXPECT_FALSE(JudgeValue(L"rsStartup", L"HKEY_CURRENT_USER", run, L"", L"").Found)
      << "a Run key without values holds no item";
}

TEST_F(FigRuleChecksTest, FileTypeNeedsOneOfTheOpenWithKeys) {
  auto judge = [&](const std::wstring& aPath) {
    return JudgeValue(L"rsFileType", L"HKEY_CURRENT_USER", aPath, L"", L"");
  };
  Machine().AddRegKey(CurrentUser, kFileExts + L"\\.abc");
  const TVerdict none = judge(kFileExts + L"\\.abc");
  EXPECT_TRUE(none.Found);
  EXPECT_EQ(none.Result.Reason, frNoAppOpenWithFile);
  EXPECT_EQ(none.Result.Msg, L"OpenWithProgids");
  EXPECT_FALSE(judge(kFileExts).Found);
  EXPECT_FALSE(judge(kFileExts + L"\\.vanished").Found);

  Machine().AddRegKey(CurrentUser, kFileExts + L"\\.txt\\OpenWithList");
  EXPECT_FALSE(judge(kFileExts + L"\\.txt").Found);
  Machine().AddRegKey(CurrentUser, kFileExts + L"\\.doc\\OpenWithProgids");
  EXPECT_FALSE(judge(kFileExts + L"\\.doc").Found);
}

TEST_F(FigRuleChecksTest, ShortcutsReportLinksWhoseTargetIsGone) {
  const std::wstring desktop = L"C:\\Users\\User\\Desktop\\";
  auto link = [&](const std::wstring& aName, const std::wstring& aTarget) {
    ASSERT_EQ(kplat::Platform().ShellLinks().WriteShortcut(desktop + aName,
                                                           kplat::TShortcut{aTarget, L"-x", L""}),
              kplat::err::Success);
  };
  Machine().AddFolder(desktop);
  Machine().AddFile(L"C:\\Program Files\\My App\\My App.exe");
  Machine().AddFolder(L"C:\\Projects");
  link(L"app.lnk", L"C:\\Program Files\\My App\\My App.exe");
  link(L"gone.LNK", L"C:\\Gone\\old.exe");
  link(L"folder.lnk", L"C:\\Projects");
  link(L"printer.lnk", L"");
  Machine().AddFile(desktop + L"broken.lnk", 10);
  Machine().AddFile(desktop + L"notes.txt");

  auto judge = [&](const std::wstring& aName) {
    return Judge(L"rsShortcuts", lsDisk, desktop, desktop, L"@Desktop", aName);
  };
  EXPECT_FALSE(judge(L"app.lnk").Found);
  const TVerdict gone = judge(L"gone.LNK");
  EXPECT_TRUE(gone.Found);
  EXPECT_EQ(gone.Result.Reason, frShortcutLinkError);
  EXPECT_EQ(gone.Result.Msg, L"Shortfile [C:\\GONE\\OLD.EXE] is not correct");
  EXPECT_FALSE(judge(L"folder.lnk").Found);
  EXPECT_FALSE(judge(L"printer.lnk").Found);
  EXPECT_FALSE(judge(L"broken.lnk").Found);
  EXPECT_FALSE(judge(L"missing.lnk").Found);
  EXPECT_FALSE(judge(L"notes.txt").Found);
}

TEST_F(FigRuleChecksTest, JunkFileMatchesListedExtensionsOutsideTheExceptions) {
  const std::wstring temp = L"C:\\Temp\\";
  Machine().AddFolder(temp + L"cache.tmp");
  auto judge = [&](const std::wstring& aRule, const std::wstring& aName,
                   const std::wstring& aExcept = L"") {
    return JudgeFile(aRule, temp, aName, aExcept);
  };

  const TVerdict tmp = judge(L"rsJunkFile,.tmp,.chk", L"A.TMP");
  EXPECT_TRUE(tmp.Found);
  EXPECT_EQ(tmp.Result.Reason, frJunkFile);
  EXPECT_EQ(tmp.Result.Msg, L"rsJunkFile");
  EXPECT_TRUE(tmp.Result.MatchFlag);
  EXPECT_TRUE(judge(L"rsJunkFile,.tmp,.chk", L"b.chk").Found);
  EXPECT_FALSE(judge(L"rsJunkFile,.tmp,.chk", L"c.log").Found);
  EXPECT_FALSE(judge(L"rsJunkFile,.tmp,.chk", L"tmp").Found);
  EXPECT_FALSE(judge(L"rsJunkFile,.tmp,.chk", L"cache.tmp").Found) << "a folder is never junk";

  EXPECT_TRUE(judge(L"rsJunkFile,.*", L"c.log").Found);
  EXPECT_TRUE(judge(L"rsJunkFile,.*", L"noext").Found);
  EXPECT_TRUE(judge(L"rsJunkFile,.tmp,", L"noext").Found);
  EXPECT_FALSE(judge(L"rsJunkFile,.tmp", L"noext").Found);
  EXPECT_TRUE(judge(L"rsJunkFile,History,Visited Links", L"visited links").Found);
  EXPECT_FALSE(judge(L"rsJunkFile,History", L"History.bak").Found);
  EXPECT_TRUE(judge(L"rsJunkFile, .tmp, .chk", L"d.chk").Found);
  EXPECT_TRUE(judge(L"rsJunkFile,.gz", L"a.tar.gz").Found);

  const std::wstring except = L"index.dat, desktop.ini";
  EXPECT_FALSE(judge(L"rsJunkFile,.*", L"INDEX.DAT", except).Found);
  EXPECT_FALSE(judge(L"rsJunkFile,.*", L"Desktop.ini", except).Found);
  EXPECT_TRUE(judge(L"rsJunkFile,.*", L"other.ini", except).Found);
}
