// Winapp2 detection on the real registry and disk: the 32-bit view of HKLM\Software, names in
// any case, wildcards in folder parts and both program-files folders.

#include "engine/FigWinapp2.h"
#include "platform/TextCodec.h"
#include "platform/win32/Win32Platform.h"
#include "support/win32/WinScratch.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

class FigWinapp2WinTest : public ::testing::Test {
protected:
  FigWinapp2WinTest() {
    kplat::win32::InstallWin32Platform();
    wchar_t local[MAX_PATH] = {};
    ::GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH);
    FFolder = std::wstring(local) + L"\\" + FName;
    const std::wstring profile = FFolder + L"\\Profiles\\p1";
    ::CreateDirectoryW(FFolder.c_str(), nullptr);
    ::CreateDirectoryW((FFolder + L"\\Profiles").c_str(), nullptr);
    ::CreateDirectoryW(profile.c_str(), nullptr);
    ::CloseHandle(::CreateFileW((profile + L"\\Data.DB").c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, 0, nullptr));
    CreateKey(HKEY_CURRENT_USER, L"Software\\" + FName + L"\\App", 0);
    CreateKey(HKEY_LOCAL_MACHINE, L"Software\\" + FName, KEY_WOW64_32KEY);
  }
  ~FigWinapp2WinTest() override {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\" + FName).c_str());
    ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, (L"Software\\" + FName).c_str(), KEY_WOW64_32KEY, 0);
    ktest::win32::RemoveTree(FFolder);
  }

  static void CreateKey(HKEY aRoot, const std::wstring& aKey, REGSAM aView) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(aRoot, aKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | aView, nullptr,
                                &key, nullptr),
              ERROR_SUCCESS);
    ::RegCloseKey(key);
  }

  const std::wstring FName = L"KestrovaWinapp2Test-" + std::to_wstring(::GetCurrentProcessId());
  std::wstring FFolder;
};

} // namespace

TEST_F(FigWinapp2WinTest, FindsKeysFilesAndFoldersOnTheRealSystem) {
  const std::vector<std::pair<std::wstring, bool>> cases = {
      {L"Detect=HKCU\\Software\\" + FName + L"\\App", true},
      {L"Detect=hkcu\\SOFTWARE\\" + FName + L"\\app", true},
      {L"Detect=HKCU\\Software\\" + FName + L"\\Other", false},
      {L"Detect=HKLM\\Software\\" + FName, true},
      {L"DetectFile=%LocalAppData%\\" + FName + L"\\profiles\\*\\data.db", true},
      {L"DetectFile=%LocalAppData%\\" + FName + L"\\Profiles\\p1\\other.db", false},
      {L"DetectFile=%LocalAppData%\\" + FName + L"\\Prof?les", true},
      {L"DetectFile=%WinDir%\\System32\\kernel32.dll", true},
      {L"DetectFile=%SystemDrive%\\" + FName, false},
  };
  TWinapp2Detector detector;
  for (const auto& [detection, applies] : cases) {
    const TWinapp2File file =
        ReadWinapp2Text(L"[Probe *]\n" + detection + L"\nFileKey1=%Temp%\\Probe|*.tmp\n");
    ASSERT_EQ(file.Entries.size(), 1u);
    EXPECT_EQ(detector.Applies(file.Entries[0]), applies) << kplat::ToUtf8(detection);
  }
  // A 64-bit system has two program-files folders; a rule's %ProgramFiles% stands for both.
  const std::vector<std::wstring> folders = detector.ExpandPath(L"%ProgramFiles%");
  ASSERT_EQ(folders.size(), 2u);
  EXPECT_TRUE(kplat::SameText(folders[0], L"C:\\Program Files"));
  EXPECT_TRUE(kplat::SameText(folders[1], L"C:\\Program Files (x86)"));
}
