// The Restore Center on the real system: backups left by real repair runs over a scratch key,
// one restored through the window's own list and button, then again into a registry that refuses
// its key, one that cannot be read, and a restore point asked of the system's library.
#include "windows/uRestore.h"

#include "base/CLHelpers.h"
#include "cure/FigCure.h"
#include "engine/FigEngine.h"
#include "platform/TextCodec.h"
#include "support/RunUntil.h"
#include "support/win32/WinScratch.h"
#include "support/win32/WinWindowTest.h"

#include <commctrl.h>

#include <filesystem>
#include <fstream>
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
    TFigCure cure;
    engine.SetFigCure(&cure);
    engine.SetPacing(false);
    engine.StartScan();
    ASSERT_TRUE(ktest::win32::PumpUntil([&] { return !engine.IsRunning(); }, kRunLimitMs));
    ASSERT_EQ(cure.GetCheckedItem(), aRun + 1);
    cure.SetBackupPath(FBackup);
    cure.SetPaced(false);
    ASSERT_TRUE(cure.StartCure()) << kplat::ToUtf8(cure.LastError());
    ASSERT_TRUE(ktest::win32::PumpUntil([&] { return !cure.IsRunning(); }, kRunLimitMs));
    EXPECT_EQ(ReadValue(ValueName(aRun, 0)), L"<missing>");
  }

  TImageList FSmallImages{nullptr};
  std::wstring FKey;
  std::wstring FBackup;
};

TEST_F(RestoreCenterWin, RestoresARepairRunAndNeverCallsAFailureSuccess) {
  for (int run = 1; run <= 3; ++run) {
    RepairRun(run);
    if (HasFatalFailure())
      return;
  }
  TRestoreWindowHost host;
  host.BackupPath = FBackup;
  host.SmallImages = &FSmallImages;
  TfrmRestore window(nullptr, host);
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
  SelectRow(window, 1);
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

} // namespace
