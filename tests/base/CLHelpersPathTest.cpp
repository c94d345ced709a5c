#include "base/CLHelpers.h"

#include "platform/TextCodec.h"
#include "platform/fake/FakeMachine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using Lines = std::vector<std::wstring>;

TEST(JoinPath, DrivePathsJoinAndRootedOnesStartAtTheDrive) {
  EXPECT_EQ(JoinPath(L"C:\\Data", L"logs/a.txt"), L"C:\\Data\\logs\\a.txt");
  EXPECT_EQ(JoinPath(L"C:\\Data\\", L"a.txt"), L"C:\\Data\\a.txt");
  EXPECT_EQ(JoinPath(L"C:\\Data", L"\\logs"), L"C:\\logs");
  EXPECT_EQ(JoinPath(L"C:\\Data", L"/logs"), L"C:\\logs");
  // A lone backslash is too short to count as rooted.
  EXPECT_EQ(JoinPath(L"C:\\Data", L"\\"), L"C:\\Data\\\\");
  EXPECT_EQ(JoinPath(L"C:\\Data", L""), L"C:\\Data\\");
}

TEST(JoinPath, RelativeWithColonOrNetworkBaseStandsAlone) {
  EXPECT_EQ(JoinPath(L"C:\\Data", L"D:\\x"), L"D:\\x");
  EXPECT_EQ(JoinPath(L"C:\\Data", L"D:/x/y"), L"D:\\x\\y");
  EXPECT_EQ(JoinPath(L"\\\\srv\\share", L"dir/a.txt"), L"dir\\a.txt");
  EXPECT_EQ(JoinPath(L"\\\\srv\\share", L"\\a"), L"\\a");
}

TEST(JoinPath, OtherBasesGiveTheRelativePathUnchanged) {
  EXPECT_EQ(JoinPath(L"", L"logs/a.txt"), L"logs/a.txt");
  EXPECT_EQ(JoinPath(L"Data", L"a.txt"), L"a.txt");
  EXPECT_EQ(JoinPath(L"\\Data", L"a/b"), L"a/b");
}

TEST(ExcludeTrailingBackslash, DropsTheBackslashesButADrivesRootKeepsOne) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"C:\\Data\\", L"C:\\Data"},
      {L"C:\\Data\\\\", L"C:\\Data"},
      {L"C:\\Data", L"C:\\Data"},
      {L"C:\\", L"C:\\"},
      {L"\\\\srv\\share\\", L"\\\\srv\\share"},
      {L"", L""},
  };
  for (const auto& [path, expected] : cases)
    EXPECT_EQ(ExcludeTrailingBackslash(path), expected) << path;
  // Places compared by their start lose every trailing backslash, a drive's root too.
  EXPECT_EQ(StripTrailingBackslashes(L"C:\\"), L"C:");
  EXPECT_EQ(StripTrailingBackslashes(L"C:\\Data\\\\"), L"C:\\Data");
}

TEST(JoinFolderPath, JoinsBelowFullFoldersOnlyAndNeverLeavesThem) {
  const struct {
    const wchar_t* Folder;
    const wchar_t* Relative;
    const wchar_t* Joined;
  } cases[] = {
      {L"C:\\Data", L"a/b.txt", L"C:\\Data\\a\\b.txt"},
      {L"c:/Data/", L"a.txt", L"c:\\Data\\a.txt"},
      {L"C:\\", L"a.txt", L"C:\\a.txt"},
      {L"\\\\srv\\share", L"dir/a.txt", L"\\\\srv\\share\\dir\\a.txt"},
      {L"\\\\srv\\share\\User\\", L"backup", L"\\\\srv\\share\\User\\backup"},
      {L"\\\\?\\C:\\Data", L"a.txt", L"\\\\?\\C:\\Data\\a.txt"},
      // Folders the current folder or drive would complete.
      {L"", L"a.txt", L""},
      {L"Data", L"a.txt", L""},
      {L"\\Data", L"a.txt", L""},
      {L"C:", L"a.txt", L""},
      {L"C:Data", L"a.txt", L""},
      {L"\\\\", L"a.txt", L""},
      // Relative parts that are not relative.
      {L"C:\\Data", L"\\a.txt", L""},
      {L"C:\\Data", L"/a.txt", L""},
      {L"C:\\Data", L"D:\\a.txt", L""},
      {L"\\\\srv\\share", L"\\\\other\\a.txt", L""},
      {L"C:\\Data", L"a.txt:stream", L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JoinFolderPath(c.Folder, c.Relative), c.Joined)
        << kplat::ToUtf8(c.Folder) << " + " << kplat::ToUtf8(c.Relative);
  }
}

TEST(PathNames, SplitFolderNameAndExtension) {
  EXPECT_EQ(UnixToDosPath(L"a/b/c"), L"a\\b\\c");
  EXPECT_EQ(NormalizeFolder(L"C:/Data"), L"C:\\Data\\");
  EXPECT_EQ(NormalizeFolder(L"C:\\Data\\"), L"C:\\Data\\");
  EXPECT_EQ(NormalizeFolder(L""), L"");

  EXPECT_EQ(ExtractFilePath(L"C:\\Data\\a.txt"), L"C:\\Data\\");
  EXPECT_EQ(ExtractFilePath(L"C:a.txt"), L"C:");
  EXPECT_EQ(ExtractFilePath(L"a.txt"), L"");
  EXPECT_EQ(ExtractFileDir(L"C:\\Data\\a.txt"), L"C:\\Data");
  EXPECT_EQ(ExtractFileDir(L"C:\\a.txt"), L"C:\\");
  EXPECT_EQ(ExtractFileName(L"C:\\Data/a.txt"), L"a.txt");

  EXPECT_EQ(GetFileNameNoExt(L"C:\\Data.d\\a.tar.gz"), L"a.tar");
  EXPECT_EQ(GetFileNameNoExt(L"C:\\Data.d\\readme"), L"readme");
  EXPECT_EQ(GetFileNameNoExt(L".profile"), L"");

  EXPECT_EQ(GetRelativeFile(L"C:\\Rules\\topic.db", L"../lang/en.lan"),
            L"C:\\Rules\\..\\lang\\en.lan");
  EXPECT_EQ(GetRelativeFile(L"topic.db", L"en.lan"), L"en.lan");
}

class CLHelpersPath : public ::testing::Test {
protected:
  kplat::fake::TFakeMachineScope FScope;
  kplat::fake::TFakeMachine& FMachine = FScope.Machine();
};

TEST_F(CLHelpersPath, ProgramPathsAreLongWithAndWithoutSlash) {
  FMachine.SetProgramPath(L"C:\\PROGRA~1\\Kestrova\\Kestrova.exe");
  FMachine.AddShortName(L"C:\\PROGRA~1\\Kestrova\\Kestrova.exe",
                        L"C:\\Program Files\\Kestrova\\Kestrova.exe");
  EXPECT_EQ(GetAppExeName(), L"C:\\PROGRA~1\\Kestrova\\Kestrova.exe");
  EXPECT_EQ(GetAppPath(), L"C:\\Program Files\\Kestrova\\");
  EXPECT_EQ(GetAppPathNoSlash(), L"C:\\Program Files\\Kestrova");
}

TEST_F(CLHelpersPath, SystemFoldersEndInABackslash) {
  FMachine.SetTempFolder(L"C:\\Temp\\");
  EXPECT_EQ(GetTempDir(), L"C:\\Temp\\");
  EXPECT_EQ(GetWindowsDir(), L"C:\\Windows\\");
}

TEST_F(CLHelpersPath, LongPathFallsBackToTheInput) {
  FMachine.AddFolder(L"C:\\Long Folder Name");
  FMachine.AddShortName(L"C:\\LONGFO~1", L"C:\\Long Folder Name");
  EXPECT_EQ(GetLongPath(L"C:\\LONGFO~1"), L"C:\\Long Folder Name");
  EXPECT_EQ(GetLongPath(L"C:\\Missing\\X~1"), L"C:\\Missing\\X~1");
  EXPECT_EQ(GetLongPath(L""), L"");
}

TEST_F(CLHelpersPath, FindFilesAppendsMatchesWithOrWithoutFolder) {
  FMachine.AddFile(L"C:\\Lang\\en.lan");
  FMachine.AddFile(L"C:\\Lang\\de.LAN");
  FMachine.AddFile(L"C:\\Lang\\readme.txt");
  FMachine.AddFolder(L"C:\\Lang\\old.lan");

  Lines names{L"kept"};
  FindFiles(L"C:\\Lang\\*.lan", names, false);
  std::sort(names.begin() + 1, names.end());
  EXPECT_EQ(names, (Lines{L"kept", L"de.LAN", L"en.lan", L"old.lan"}));

  Lines paths;
  FindFiles(L"C:\\Lang\\*", paths, true);
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ(paths, (Lines{L"C:\\Lang\\de.LAN", L"C:\\Lang\\en.lan", L"C:\\Lang\\old.lan",
                          L"C:\\Lang\\readme.txt"}));

  Lines none;
  FindFiles(L"C:\\Missing\\*", none, true);
  EXPECT_TRUE(none.empty());
  EXPECT_EQ(FMachine.OpenFindHandleCount(), 0u);
}

TEST_F(CLHelpersPath, FileSizeIsSixtyFourBitOrMinusOne) {
  FMachine.AddFile(L"C:\\Big.bin", 5'000'000'000ull);
  FMachine.AddFile(L"C:\\Locked.bin", 10);
  FMachine.FailOpenFile(L"C:\\Locked.bin");
  EXPECT_EQ(GetFileSizeByName(L"C:\\Big.bin"), 5'000'000'000ll);
  EXPECT_EQ(GetFileSizeByName(L"C:\\Locked.bin"), -1);
  EXPECT_EQ(GetFileSizeByName(L"C:\\Missing.bin"), -1);
  EXPECT_EQ(GetFileSizeByName(L"C:\\Windows"), -1);
}

TEST_F(CLHelpersPath, CreationTimeOfFilesAndFolders) {
  FMachine.AddFile(L"C:\\Data\\a.txt");
  FMachine.SetCreationTime(L"C:\\Data\\a.txt", 133'000'000'000'000'000ull);
  FMachine.SetCreationTime(L"C:\\Data", 132'000'000'000'000'000ull);
  kplat::TFileTime time = 0;
  ASSERT_TRUE(GetFileCreationTime(L"C:\\Data\\a.txt", time));
  EXPECT_EQ(time, 133'000'000'000'000'000ull);
  ASSERT_TRUE(GetFileCreationTime(L"C:\\Data", time));
  EXPECT_EQ(time, 132'000'000'000'000'000ull);
  EXPECT_FALSE(GetFileCreationTime(L"C:\\Data\\missing.txt", time));
}

TEST_F(CLHelpersPath, WriteableFollowsTheAccessCheck) {
  FMachine.AddFolder(L"C:\\ProgramData\\Kestrova");
  EXPECT_TRUE(IsPathWriteable(L"C:\\ProgramData\\Kestrova"));
  FMachine.SetWriteProtected(L"C:\\ProgramData\\Kestrova", true);
  EXPECT_FALSE(IsPathWriteable(L"C:\\ProgramData\\Kestrova"));
  EXPECT_FALSE(IsPathWriteable(L"C:\\Missing"));
}

TEST_F(CLHelpersPath, UniqueTempNameSkipsExistingFilesAndFolders) {
  FMachine.AddFile(L"C:\\Temp\\regcureABC.reg");
  FMachine.AddFolder(L"C:\\Temp\\regcure0.reg");
  std::vector<uint32_t> draws{0xABC, 0, 0xFFFFF + 0x10, 7};
  size_t next = 0;
  const auto random = [&] { return draws[next++]; };
  // 0xFFFFF + 0x10 reduces to 0x10.
  EXPECT_EQ(MakeUniqueTempName(L"C:\\Temp\\", L"regcure", L"reg", random),
            L"C:\\Temp\\regcure10.reg");
  EXPECT_EQ(next, 3u);
}

TEST_F(CLHelpersPath, UniqueTempNameIsUpperHexBelowTheLimit) {
  for (int i = 0; i < 200; ++i) {
    const std::wstring path = MakeUniqueTempName(L"C:\\Temp", L"sg", L"tmp");
    ASSERT_TRUE(path.starts_with(L"C:\\Temp\\sg")) << kplat::ToUtf8(path);
    ASSERT_TRUE(path.ends_with(L".tmp"));
    const std::wstring number = path.substr(10, path.size() - 14);
    ASSERT_FALSE(number.empty());
    ASSERT_LE(number.size(), 5u);
    ASSERT_TRUE(number == L"0" || number[0] != L'0');
    ASSERT_EQ(number.find_first_not_of(L"0123456789ABCDEF"), std::wstring::npos);
  }
}
