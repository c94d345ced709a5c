// The Restore Center on the real system: backups left by real repair runs over a scratch key,
// one restored through the window's own list and button, then again into a registry that refuses
// its key, one that cannot be read, and a restore point asked of the system's library; and a run
// that deleted junk files and a broken shortcut, shown and brought back from the window.
#include "windows/uRestore.h"

#include "base/CLHelpers.h"
#include "cure/FigCure.h"
#include "engine/FigEngine.h"
#include "platform/TextCodec.h"
#include "support/RunUntil.h"
#include "support/win32/WinScratch.h"
#include "support/win32/WinWindowTest.h"

#include <commctrl.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kScratchRoot[] = L"Software\\KestrovaRestoreWin";

std::wstring ValueName(int aRun, int aValue) {
  std::wstring name = L"run";
  name += std::to_wstring(aRun);
  name += L"-value";
  name += std::to_wstring(aValue);
  return name;
}

// Selects a row as the user's click does: in the system's list view.
void SelectRow(TfrmRestore& aWindow, int aRow) {
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  ::SendMessageW(ControlWindow(*aWindow.lvBackup), LVM_SETITEMSTATE, aRow,
                 reinterpret_cast<LPARAM>(&item));
  ASSERT_NE(aWindow.lvBackup->Selected(), nullptr);
  EXPECT_EQ(aWindow.lvBackup->Selected()->Index(), aRow);
}

class RestoreCenterWin : public WinEngineWindowTest {
protected:
  RestoreCenterWin() {
    FKey = kScratchRoot;
    FKey += L"\\";
    FKey += std::to_wstring(::GetCurrentProcessId());
    FBackup = ktest::win32::TempFolder() + L"KestrovaRestoreWin";
    FHost.BackupPath = FBackup;
    FHost.SmallImages = &FSmallImages;
    ktest::win32::RemoveTree(FBackup);
    ::CreateDirectoryW(FBackup.c_str(), nullptr);
    FSmallImages.SetSize(16, 16);
    FSmallImages.LoadFromFile(GetAppPath() + L"res\\16.png");
  }
  ~RestoreCenterWin() override {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratchRoot);
    ktest::win32::RemoveTree(FBackup);
  }

  void WriteValue(const std::wstring& aName, const std::wstring& aData) {
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, FKey.c_str(), aName.c_str(), REG_SZ,
                                aData.c_str(), static_cast<DWORD>((aData.size() + 1) * 2)),
              ERROR_SUCCESS);
  }
  std::wstring ReadValue(const std::wstring& aName) {
    wchar_t data[256] = {};
    DWORD size = sizeof(data);
    if (::RegGetValueW(HKEY_CURRENT_USER, FKey.c_str(), aName.c_str(), RRF_RT_REG_SZ, nullptr, data,
                       &size) != ERROR_SUCCESS)
      return L"<missing>";
    return data;
  }

  // Scans the scratch key, whose every value is a finding, and repairs them all: the run deletes
  // the values written for it and leaves its backup.
  void RepairRun(int aRun) {
    for (int v = 0; v <= aRun; ++v)
      WriteValue(ValueName(aRun, v), L"data of " + ValueName(aRun, v));
    TFigEngine engine;
    TFigTopic* topic = engine.GetTopic(engine.AddTopic(L"RestoreWinValues"));
    topic->SetCategory(tcBPrivacySweep);
    topic->SetEnabled(true);
    topic->ValueList().SetValue(L"LOCATION_0", L"lsRegistry,HKEY_CURRENT_USER\\" + FKey);
    topic->ValueList().SetValue(L"Rule", L"rsRegistryHistory,History");
    topic->ValueList().SetValue(L"LEVEL", L"2");
    topic->ValueList().SetValue(L"CHECKVALUES", L"-1");
    ScanAndRepair(engine, aRun + 1);
    EXPECT_EQ(ReadValue(ValueName(aRun, 0)), L"<missing>");
  }

  // The scratch folder's files that a topic takes: "*.tmp" files and shortcuts whose target is
  // gone. The run leaves its backup.
  void RepairFiles(const std::wstring& aFolder, int aFindings) {
    TFigEngine engine;
    TFigTopic* junk = engine.GetTopic(engine.AddTopic(L"RestoreWinJunk"));
    junk->SetCategory(tcCJunkFile);
    junk->ValueList().SetValue(L"Rule", L"rsJunkFile,.tmp");
    TFigTopic* shortcuts = engine.GetTopic(engine.AddTopic(L"RestoreWinShortcuts"));
    shortcuts->SetCategory(tcARegFix);
    shortcuts->ValueList().SetValue(L"Rule", L"rsShortcuts");
    for (TFigTopic* topic : {junk, shortcuts}) {
      topic->SetEnabled(true);
      topic->ValueList().SetValue(L"LOCATION_0", L"lsDisk," + aFolder);
      topic->ValueList().SetValue(L"LEVEL", L"2");
    }
    ScanAndRepair(engine, aFindings);
  }

  // Scans with aEngine's topics and repairs every finding, leaving the run's backup.
  void ScanAndRepair(TFigEngine& aEngine, int aFindings) {
    TFigCure cure;
    aEngine.SetFigCure(&cure);
    aEngine.SetPacing(false);
    aEngine.StartScan();
    ASSERT_TRUE(ktest::win32::PumpUntil([&] { return !aEngine.IsRunning(); }, kRunLimitMs));
    ASSERT_EQ(cure.GetCheckedItem(), aFindings);
    cure.SetBackupPath(FBackup);
    cure.SetPaced(false);
    ASSERT_TRUE(cure.StartCure()) << kplat::ToUtf8(cure.LastError());
    ASSERT_TRUE(ktest::win32::PumpUntil([&] { return !cure.IsRunning(); }, kRunLimitMs));
  }

  TImageList FSmallImages{nullptr};
  TRestoreWindowHost FHost;
  std::wstring FKey;
  std::wstring FBackup;
};

TEST_F(RestoreCenterWin, RestoresARepairRunAndNeverCallsAFailureSuccess) {
  for (int run = 1; run <= 3; ++run) {
    RepairRun(run);
    if (HasFatalFailure())
      return;
  }
  TfrmRestore window(nullptr, FHost);
  window.ShowForm();
  HWND list = ControlWindow(*window.lvBackup);
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 3);
  EXPECT_TRUE(FBox.Texts.empty()) << kplat::ToUtf8(FBox.Last());

  // The newest run, with four changes, is listed first.
  wchar_t changes[32] = {};
  LVITEMW text{};
  text.iSubItem = 1;
  text.pszText = changes;
  text.cchTextMax = 32;
  ::SendMessageW(list, LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&text));
  EXPECT_EQ(std::wstring(changes), L"4");
  SelectRow(window, 0);
  ktest::win32::Shoot(FormWindow(window), L"restore-center");

  ktest::win32::Click(*window.btnRestore);
  EXPECT_EQ(FBox.Last(), L"The backup has been restored.");
  for (int v = 0; v <= 3; ++v)
    EXPECT_EQ(ReadValue(ValueName(3, v)), L"data of " + ValueName(3, v));
  EXPECT_EQ(ReadValue(ValueName(2, 0)), L"<missing>");

  // A registry that refuses the backup's key: below a volatile key no lasting key can be made.
  // The editor runs, nothing comes back, and the user hears how many changes are missing.
  ASSERT_EQ(::RegDeleteTreeW(HKEY_CURRENT_USER, kScratchRoot), ERROR_SUCCESS);
  HKEY scratch = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kScratchRoot, 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &scratch, nullptr),
            ERROR_SUCCESS);
  HKEY refused = nullptr;
  EXPECT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, FKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &refused, nullptr),
            ERROR_CHILD_MUST_BE_VOLATILE);
  ::RegCloseKey(scratch);
  ::SendMessageW(ControlWindow(*window.btnRestore), BM_CLICK, 0, 0);
  EXPECT_EQ(FBox.Last(), L"4 of the 4 changes of this backup could not be restored. The registry "
                         L"may not allow them to be written.");
  EXPECT_EQ(ReadValue(ValueName(3, 0)), L"<missing>");
  ASSERT_EQ(::RegDeleteTreeW(HKEY_CURRENT_USER, kScratchRoot), ERROR_SUCCESS);

  // A backup file damaged since it was listed is not imported, and the user hears so.
  std::ofstream(std::filesystem::path(window.BkFileNames()[1]), std::ios::trunc)
      << "not a registry file\r\n[HKEY_CURRENT_USER\\";
  // Without a seal it could be an older version's backup: the user is asked, and a yes still
  // imports nothing damaged.
  SelectRow(window, 1);
  FBox.Answers = {mr::Yes};
  ::SendMessageW(ControlWindow(*window.btnRestore), BM_CLICK, 0, 0);
  EXPECT_EQ(FBox.Last(), L"The backup could not be restored.");
  EXPECT_EQ(ReadValue(ValueName(2, 0)), L"<missing>");

  // Wine's System Restore library makes no point.
  HWND link = ControlWindow(*window.llCreateRestorePoint);
  NMHDR click{link, static_cast<UINT_PTR>(::GetDlgCtrlID(link)), static_cast<UINT>(NM_CLICK)};
  ::SendMessageW(::GetParent(link), WM_NOTIFY, click.idFrom, reinterpret_cast<LPARAM>(&click));
  EXPECT_EQ(FBox.Last(), L"Cannot create restore point.");
  EXPECT_FALSE(::IsWindowVisible(ControlWindow(*window.pnlLoading)));
}

std::string FileBytes(const std::wstring& aPath) {
  std::ifstream file(std::filesystem::path(aPath), std::ios::binary);
  return file ? std::string(std::istreambuf_iterator<char>(file), {}) : std::string("<missing>");
}

TEST_F(RestoreCenterWin, JunkFilesAndABrokenShortcutComeBackByteForByteFromTheWindow) {
  const std::wstring folder = ktest::win32::TempFolder() + L"KestrovaRestoreWinFiles";
  ktest::win32::RemoveTree(folder);
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  struct TScratch {
    std::wstring Folder;
    ~TScratch() { ktest::win32::RemoveTree(Folder); }
  } scratch{folder};
  std::string big(300000, '\0');
  for (size_t i = 0; i < big.size(); ++i)
    big[i] = static_cast<char>(i * 31 + i / 977);
  const std::vector<std::pair<std::wstring, std::string>> junk = {{folder + L"\\cache.tmp", big},
                                                                  {folder + L"\\empty.tmp", ""}};
  for (const auto& [path, content] : junk)
    std::ofstream(std::filesystem::path(path), std::ios::binary) << content;
  const std::wstring shortcut = folder + L"\\Old Tool.lnk";
  ASSERT_EQ(kplat::Platform().ShellLinks().WriteShortcut(
                shortcut, {folder + L"\\Removed\\Old Tool.exe", L"", folder}),
            kplat::err::Success);
  const std::string shortcutBytes = FileBytes(shortcut);
  RepairFiles(folder, 3);
  if (HasFatalFailure())
    return;
  for (const auto& [path, content] : junk)
    ASSERT_EQ(FileBytes(path), "<missing>") << kplat::ToUtf8(path);
  ASSERT_EQ(FileBytes(shortcut), "<missing>");

  TfrmRestore window(nullptr, FHost);
  window.ShowForm();
  HWND list = ControlWindow(*window.lvBackup);
  ASSERT_EQ(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 1);
  EXPECT_EQ(ktest::win32::ListText(list, 0, 2).substr(0, 2), L"3 ");

  // Selecting the run lists its files before anything is restored.
  SelectRow(window, 0);
  HWND details = ControlWindow(*window.lvDetails);
  ASSERT_TRUE(ktest::win32::PumpUntil(
      [&] { return ::SendMessageW(details, LVM_GETITEMCOUNT, 0, 0) == 3; }, 10000));
  std::vector<std::wstring> places;
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(ktest::win32::ListText(details, row, 0), L"File");
    places.push_back(ktest::win32::ListText(details, row, 2));
  }
  std::vector<std::wstring> deleted{junk[0].first, junk[1].first, shortcut};
  std::sort(places.begin(), places.end());
  std::sort(deleted.begin(), deleted.end());
  EXPECT_EQ(places, deleted);
  ktest::win32::Shoot(FormWindow(window), L"restore-center-details");

  FBox.Answers = {mr::Yes};
  ktest::win32::Click(*window.btnRestore);
  EXPECT_EQ(FBox.Last(), L"The backup has been restored.");
  for (const auto& [path, content] : junk)
    EXPECT_TRUE(FileBytes(path) == content) << kplat::ToUtf8(path);
  EXPECT_TRUE(FileBytes(shortcut) == shortcutBytes);
}

} // namespace
