// A real scan on the real registry and disk, with the Windows dispatcher: the events arrive on
// the thread that runs the message loop, and linked folders are not followed.

#include "base/win32/CLMainThreadWin.h"
#include "engine/FigEngine.h"
#include "platform/win32/Win32Platform.h"
#include "support/win32/WinScratch.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

constexpr uint32_t kLimitMs = 60000;

class FigEngineScanWinTest : public ::testing::Test {
protected:
  FigEngineScanWinTest() {
    kplat::win32::InstallWin32Platform();
    const std::wstring name = std::to_wstring(::GetCurrentProcessId());
    FKey = L"Software\\KestrovaScanTest-" + name;
    FFolder = ktest::win32::TempFolder() + L"KestrovaScanTest-" + name;
    FOutside = FFolder + L"-outside";
    ::CreateDirectoryW(FFolder.c_str(), nullptr);
    ::CreateDirectoryW(FOutside.c_str(), nullptr);
  }
  ~FigEngineScanWinTest() override {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, FKey.c_str());
    ktest::win32::RemoveTree(FFolder);
    ktest::win32::RemoveTree(FOutside);
  }

  void SetString(const std::wstring& aKey, const wchar_t* aName, const std::wstring& aText) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, aKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExW(key, aName, 0, REG_SZ, reinterpret_cast<const BYTE*>(aText.c_str()),
                     static_cast<DWORD>((aText.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
  }
  static void WriteFile(const std::wstring& aPath, size_t aSize) {
    const HANDLE file =
        ::CreateFileW(aPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const std::string content(aSize, 'x');
    DWORD written = 0;
    ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    ::CloseHandle(file);
  }
  void AddTopic(const std::wstring& aName, TTopicCategory aCategory,
                const std::vector<std::wstring>& aLines) {
    TFigTopic* topic = FEngine.GetTopic(FEngine.AddTopic(aName));
    topic->SetCategory(aCategory);
    topic->SetEnabled(true);
    for (const std::wstring& line : aLines) {
      const size_t equals = line.find(L'=');
      topic->ValueList().SetValue(line.substr(0, equals), line.substr(equals + 1));
    }
  }

  std::wstring FKey;
  std::wstring FFolder;
  std::wstring FOutside;
  TCLMainThreadWin FMain;
  TCLScopedMainThread FMainScope{FMain};
  TFigEngine FEngine;
};

} // namespace

TEST_F(FigEngineScanWinTest, ScansARealKeyAndFolderWithEventsOnTheMainThread) {
  SetString(FKey + L"\\Run", L"Gone", L"C:\\Nowhere\\gone.exe /start");
  SetString(FKey + L"\\Run", L"Notepad", L"notepad.exe");
  WriteFile(FFolder + L"\\a.tmp", 100);
  WriteFile(FFolder + L"\\keep.txt", 10);
  ::CreateDirectoryW((FFolder + L"\\Sub").c_str(), nullptr);
  WriteFile(FFolder + L"\\Sub\\b.tmp", 50);
  // A link back to the folder itself and one out to a folder that is not this location's.
  WriteFile(FOutside + L"\\victim.tmp", 1);
  const bool loopLinked = ktest::win32::MakeJunction(FFolder + L"\\Loop", FFolder);
  const bool outLinked = ktest::win32::MakeJunction(FFolder + L"\\Out", FOutside);

  FEngine.SetPacing(false);
  AddTopic(L"Start-up", tcARegFix,
           {L"Rule=rsStartup", L"LOCATION_0=lsRegistry,HKEY_CURRENT_USER\\" + FKey + L"\\Run",
            L"CHECKVALUES=1", L"LEVEL=2"});
  AddTopic(L"Temp files", tcCJunkFile,
           {L"Rule=rsJunkFile,.tmp", L"LOCATION_0=lsDisk," + FFolder, L"IncludeSubFolder=1",
            L"LEVEL=2"});

  const DWORD mainThread = ::GetCurrentThreadId();
  std::vector<TFigScanedItem> matched;
  std::vector<std::wstring> events;
  FEngine.OnTopicMatched = [&](const TFigScanedItem& aItem) {
    EXPECT_EQ(::GetCurrentThreadId(), mainThread);
    matched.push_back(aItem);
  };
  FEngine.OnCategoryStarted = [&](TTopicCategory aCategory) {
    EXPECT_EQ(::GetCurrentThreadId(), mainThread);
    events.push_back(L"+" + GetEnumName(aCategory));
  };
  FEngine.OnFinished = [&](TObject&) {
    EXPECT_EQ(::GetCurrentThreadId(), mainThread);
    events.push_back(L"finished");
  };
  FEngine.StartScan();
  ASSERT_TRUE(FMain.RunUntil([&] { return !FEngine.IsRunning(); }, kLimitMs));

  EXPECT_EQ(events, (std::vector<std::wstring>{L"+tcARegFix", L"+tcCJunkFile", L"finished"}));
  std::vector<std::wstring> found;
  for (const TFigScanedItem& item : matched) {
    found.push_back(item.ScanedSection + L"|" + item.ScanedName);
  }
  EXPECT_EQ(found, (std::vector<std::wstring>{L"Gone|C:\\Nowhere\\gone.exe /start",
                                              FFolder + L"|a.tmp", FFolder + L"\\Sub|b.tmp"}));
  const TFigSummary& summary = FEngine.Summary();
  EXPECT_EQ(summary.MatchedFileCount, 2);
  EXPECT_EQ(summary.MatchedFileSizeCount, 150);
  EXPECT_EQ(summary.FileSizeCount, 160);
  std::printf("[ junctions made: loop %s, out %s ]\n", loopLinked ? "yes" : "no",
              outLinked ? "yes" : "no");
  // Links are no places of their own either: a.tmp, keep.txt, Sub and b.tmp.
  EXPECT_EQ(summary.FileCount, 4);
}

TEST_F(FigEngineScanWinTest, LinkedFoldersAreNotFollowed) {
  // Made by the test tools beside the prefix (tools/wine-env): Scanned\Sub\Loop leads back to
  // Scanned, Scanned\Out to a folder outside it.
  const std::wstring scanned = L"C:\\KestrovaLinks\\Scanned";
  if (!ktest::win32::IsReparsePoint(scanned + L"\\Sub\\Loop")) {
    GTEST_SKIP() << "no linked folders prepared on this machine";
  }
  FEngine.SetPacing(false);
  AddTopic(L"Temp files", tcCJunkFile,
           {L"Rule=rsJunkFile,.tmp", L"LOCATION_0=lsDisk," + scanned, L"IncludeSubFolder=1"});
  std::vector<std::wstring> found;
  FEngine.OnTopicMatched = [&](const TFigScanedItem& aItem) {
    found.push_back(aItem.ScanedPath + aItem.ScanedName);
  };
  FEngine.StartScan();
  ASSERT_TRUE(FMain.RunUntil([&] { return !FEngine.IsRunning(); }, kLimitMs));
  EXPECT_EQ(found, (std::vector<std::wstring>{scanned + L"\\a.tmp", scanned + L"\\Sub\\b.tmp"}));
  // a.tmp, Sub and b.tmp; the two links are no places.
  EXPECT_EQ(FEngine.Summary().FileCount, 3);
}
