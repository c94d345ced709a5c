// The repair on the real file system with real links: a folder swapped for a link between the
// scan and the repair leads no deletion out of the folder the scan walked, and a location that is
// a link is repaired where it really is. Under Wine the links are Unix symbolic links.

#include "base/win32/CLMainThreadWin.h"
#include "cure/FigCure.h"
#include "engine/FigEngine.h"
#include "platform/FileIO.h"
#include "platform/win32/Win32Platform.h"
#include "support/win32/WinScratch.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kLimitMs = 60000;

class FigCureLinkTest : public ::testing::Test {
protected:
  FigCureLinkTest() {
    kplat::win32::InstallWin32Platform();
    FFolder = ktest::win32::TempFolder() + L"KestrovaCureLink-" +
              std::to_wstring(::GetCurrentProcessId());
    for (const std::wstring& folder : {FFolder, FOutside(), FBackup()}) {
      ::CreateDirectoryW(folder.c_str(), nullptr);
    }
  }
  ~FigCureLinkTest() override {
    for (const std::wstring& folder : {FFolder, FOutside(), FBackup()}) {
      ktest::win32::RemoveTree(folder);
    }
  }
  std::wstring FOutside() const { return FFolder + L"-outside"; }
  std::wstring FBackup() const { return FFolder + L"-backup"; }

  static void MakeFile(const std::wstring& aPath) {
    const HANDLE file =
        ::CreateFileW(aPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ::CloseHandle(file);
  }

  // Scans every ".tmp" file below aFolder, lets aBetween change the disk, then repairs every
  // finding; each finding's file with its status.
  std::vector<std::wstring> ScanAndRepair(const std::wstring& aFolder,
                                          const std::function<void()>& aBetween = {}) {
    TFigEngine engine;
    TFigTopic* topic = engine.GetTopic(engine.AddTopic(L"Junk"));
    topic->SetCategory(tcCJunkFile);
    topic->SetEnabled(true);
    for (const auto& [name, value] :
         {std::pair<std::wstring, std::wstring>{L"LOCATION_0", L"lsDisk," + aFolder},
          {L"Rule", L"rsJunkFile,.tmp"},
          {L"IncludeSubFolder", L"1"},
          {L"LEVEL", L"2"}}) {
      topic->ValueList().SetValue(name, value);
    }
    TFigCure cure;
    engine.SetFigCure(&cure);
    engine.SetPacing(false);
    engine.StartScan();
    EXPECT_TRUE(FMain.RunUntil([&] { return !engine.IsRunning(); }, kLimitMs));
    if (aBetween) {
      aBetween();
    }
    std::vector<std::wstring> repaired;
    cure.OnCured = [&](const TFigScanedItem& aItem, TFigCureStatus aStatus, int, int) {
      repaired.push_back(aItem.ScanedPath + aItem.ScanedName + L" " + GetEnumName(aStatus));
    };
    cure.SetBackupPath(FBackup());
    cure.SetPaced(false);
    EXPECT_TRUE(cure.StartCure());
    EXPECT_TRUE(FMain.RunUntil([&] { return !cure.IsRunning(); }, kLimitMs));
    return repaired;
  }

  std::wstring FFolder;
  TCLMainThreadWin FMain;
  TCLScopedMainThread FMainScope{FMain};
};

} // namespace

TEST_F(FigCureLinkTest, AFolderSwappedForALinkAfterTheScanKeepsTheFileOutside) {
  ::CreateDirectoryW((FFolder + L"\\A").c_str(), nullptr);
  ::CreateDirectoryW((FFolder + L"\\A\\B").c_str(), nullptr);
  ::CreateDirectoryW((FOutside() + L"\\B").c_str(), nullptr);
  MakeFile(FFolder + L"\\A\\B\\x.tmp");
  MakeFile(FOutside() + L"\\B\\x.tmp");
  bool linked = false;
  const std::vector<std::wstring> repaired = ScanAndRepair(FFolder, [&] {
    ktest::win32::RemoveTree(FFolder + L"\\A");
    linked = ktest::win32::MakeJunction(FFolder + L"\\A", FOutside());
  });
  ASSERT_TRUE(linked);
  ASSERT_EQ(repaired.size(), 1u);
  EXPECT_TRUE(repaired[0].ends_with(L"\\A\\B\\x.tmp csUncured"));
  EXPECT_TRUE(kplat::FileExists(FOutside() + L"\\B\\x.tmp"));
}

TEST_F(FigCureLinkTest, ALocationThatIsALinkIsRepairedWhereItReallyIs) {
  MakeFile(FOutside() + L"\\y.tmp");
  ASSERT_TRUE(ktest::win32::MakeJunction(FFolder + L"\\Moved", FOutside()));
  const std::vector<std::wstring> repaired = ScanAndRepair(FFolder + L"\\Moved");
  ASSERT_EQ(repaired.size(), 1u);
  EXPECT_TRUE(repaired[0].ends_with(L"-outside\\y.tmp csCured"));
  EXPECT_FALSE(kplat::FileExists(FOutside() + L"\\y.tmp"));
}
