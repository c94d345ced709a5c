// The shortcut rule on real shell links: shortcuts written through IShellLinkW and IPersistFile
// in a scratch folder, judged by the rule processor through the Windows backend.

#include "engine/FigRule.h"
#include "platform/FileIO.h"
#include "platform/TextCodec.h"
#include "platform/win32/Win32Platform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using kplat::Platform;

class FigRuleShortcut : public ::testing::Test {
protected:
  void SetUp() override {
    const uint64_t stamp = Platform().Clock().TickMs();
    FFolder = Platform().System().GetTempFolder() + L"KestrovaRule" + std::to_wstring(stamp);
    ASSERT_EQ(Platform().Files().CreateFolder(FFolder), kplat::err::Success);
    FFolders.push_back(FFolder);
  }

  void TearDown() override {
    for (auto it = FFiles.rbegin(); it != FFiles.rend(); ++it) {
      Platform().Files().DeleteFile(*it);
    }
    for (auto it = FFolders.rbegin(); it != FFolders.rend(); ++it) {
      Platform().Files().RemoveFolder(*it);
    }
    EXPECT_FALSE(kplat::PathExists(FFolder));
  }

  std::wstring MakeFolder(const std::wstring& aName) {
    const std::wstring path = FFolder + L"\\" + aName;
    EXPECT_EQ(Platform().Files().CreateFolder(path), kplat::err::Success);
    FFolders.push_back(path);
    return path;
  }

  std::wstring MakeFile(const std::wstring& aPath) {
    EXPECT_EQ(Platform().Files().WriteFile(aPath, {'M', 'Z'}), kplat::err::Success);
    FFiles.push_back(aPath);
    return aPath;
  }

  void MakeLink(const std::wstring& aName, const std::wstring& aTarget,
                const std::wstring& aArguments = L"") {
    const std::wstring link = FFolder + L"\\" + aName;
    FFiles.push_back(link);
    ASSERT_EQ(Platform().ShellLinks().WriteShortcut(link, {aTarget, aArguments, FFolder}),
              kplat::err::Success);
  }

  // The place as the disk scan hands it over: the folder with a trailing backslash, twice.
  bool Judge(const std::wstring& aName, TFigResultItem& aResult) {
    const std::wstring folder = FFolder + L"\\";
    const TFigRuleProcessor processor(L"rsShortcuts", L"Shortcuts", lsDisk, folder, folder, folder,
                                      aName, TStringList(), tsUncured, L"");
    return processor.DoSearch(aResult);
  }

  kplat::win32::TWin32Platform FPlatform;
  kplat::TScopedPlatform FScope{FPlatform};
  std::wstring FFolder;
  std::vector<std::wstring> FFiles;
  std::vector<std::wstring> FFolders;
};

TEST_F(FigRuleShortcut, ExistingTargetIsNoFinding) {
  const std::wstring program = MakeFile(FFolder + L"\\Tool.exe");
  MakeLink(L"Tool.lnk", program);
  TFigResultItem result;
  EXPECT_FALSE(Judge(L"Tool.lnk", result));

  // A target with blanks in its folder and its name is read whole, not cut at the first blank.
  const std::wstring folder = MakeFolder(L"My Tools");
  MakeLink(L"Blank.lnk", MakeFile(folder + L"\\My Tool.exe"));
  EXPECT_FALSE(Judge(L"Blank.lnk", result));

  MakeLink(L"Folder.lnk", folder);
  EXPECT_FALSE(Judge(L"Folder.lnk", result)) << "a shortcut to a folder is not broken";
}

TEST_F(FigRuleShortcut, MissingTargetIsReportedWithTheTestedPath) {
  const std::wstring target = FFolder + L"\\Removed\\Old.exe";
  MakeLink(L"Old.LNK", target);
  TFigResultItem result;
  ASSERT_TRUE(Judge(L"Old.LNK", result));
  EXPECT_EQ(result.Reason, frShortcutLinkError);
  EXPECT_EQ(result.Msg, L"Shortfile [" + kplat::UpperCase(target) + L"] is not correct");
  EXPECT_FALSE(result.MatchFlag);

  EXPECT_FALSE(Judge(L"Nothing.lnk", result)) << "no shortcut file";
}

TEST_F(FigRuleShortcut, TargetWithArgumentsIsJudgedByItsProgram) {
  const std::wstring program = MakeFile(FFolder + L"\\Runner.exe");
  MakeLink(L"Runner.lnk", program, L"/log \"C:\\Some Folder\\run.log\" -x");
  TFigResultItem result;
  EXPECT_FALSE(Judge(L"Runner.lnk", result));

  MakeLink(L"Gone.lnk", FFolder + L"\\Gone.exe", L"/start C:\\Data");
  ASSERT_TRUE(Judge(L"Gone.lnk", result));
  EXPECT_EQ(result.Msg,
            L"Shortfile [" + kplat::UpperCase(FFolder + L"\\Gone.exe") + L"] is not correct");
}

} // namespace
