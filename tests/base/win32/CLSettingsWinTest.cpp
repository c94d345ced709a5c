// The settings store on the real registry, folders and access check.
#include "base/CLSettings.h"

#include "appengine/CLEngine.h"
#include "platform/win32/Win32Platform.h"

#include <aclapi.h>
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <iostream>
#include <string>

namespace {

std::wstring KnownFolder(int aCsidl) {
  wchar_t path[MAX_PATH] = {};
  return SUCCEEDED(SHGetFolderPathW(nullptr, aCsidl, nullptr, SHGFP_TYPE_CURRENT, path))
             ? std::wstring(path)
             : std::wstring();
}

// Sets a protected DACL on the folder that lets everyone read and nobody write, or, with
// aDenyWrite false, one that lets everyone do everything (so that it can be removed again).
bool SetFolderAccess(const std::wstring& aFolder, bool aDenyWrite) {
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) {
    return false;
  }
  EXPLICIT_ACCESSW access{};
  access.grfAccessPermissions = aDenyWrite ? FILE_GENERIC_READ | FILE_TRAVERSE : GENERIC_ALL;
  access.grfAccessMode = SET_ACCESS;
  access.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
  access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
  access.Trustee.ptstrName = static_cast<LPWSTR>(everyone);
  PACL acl = nullptr;
  bool ok = SetEntriesInAclW(1, &access, nullptr, &acl) == ERROR_SUCCESS;
  if (ok) {
    std::wstring path = aFolder;
    ok = SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT,
                               DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                               nullptr, nullptr, acl, nullptr) == ERROR_SUCCESS;
    LocalFree(acl);
  }
  FreeSid(everyone);
  return ok;
}

// Whether a new file can really be made in the folder.
bool CanCreateFileIn(const std::wstring& aFolder) {
  const std::wstring probe = aFolder + L"\\probe.tmp";
  HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  CloseHandle(file);
  DeleteFileW(probe.c_str());
  return true;
}

void RemoveFolderTree(const std::wstring& aFolder) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((aFolder + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") {
        continue;
      }
      const std::wstring path = aFolder + L"\\" + name;
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        RemoveFolderTree(path);
      } else {
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  RemoveDirectoryW(aFolder.c_str());
}

// The store under a folder word of its own, given by the engine's overwrite list, so that the
// test's data folders are its own and removed afterwards.
class CLSettingsWin : public ::testing::Test {
protected:
  CLSettingsWin() {
    TStringList overwrite;
    overwrite.Add(L"App.ConfigPath=" + FWord);
    FEngine.SetSettingOverwrite(overwrite);
  }
  ~CLSettingsWin() override {
    SetFolderAccess(FMachineFolder, false);
    RemoveFolderTree(FMachineFolder);
    RemoveFolderTree(FUserFolder);
  }

  kplat::win32::TWin32Platform FPlatform;
  kplat::TScopedPlatform FScope{FPlatform};
  TCLEngine FEngine{nullptr};
  std::wstring FWord = L"KestrovaSettingsTest-" + std::to_wstring(GetCurrentProcessId());
  std::wstring FUserFolder = KnownFolder(CSIDL_APPDATA) + L"\\" + FWord;
  std::wstring FMachineFolder = KnownFolder(CSIDL_COMMON_APPDATA) + L"\\" + FWord;
};

} // namespace

TEST_F(CLSettingsWin, StoreLivesInTheShellFolders) {
  ASSERT_FALSE(FUserFolder.empty());
  {
    TCLSettings settings;
    EXPECT_EQ(lstrcmpiW(settings.UserDataPathCurrentUser().c_str(), (FUserFolder + L"\\").c_str()),
              0);
    EXPECT_EQ(lstrcmpiW(settings.UserDataPathAllUsers().c_str(), (FMachineFolder + L"\\").c_str()),
              0);
    // An open folder for everyone: the per-machine one is chosen.
    EXPECT_EQ(settings.IsAllUserPathWriteable(), CanCreateFileIn(FMachineFolder));
    EXPECT_EQ(settings.AllUser(), settings.IsAllUserPathWriteable());
    EXPECT_EQ(settings.RunTimes(), 0);
    settings.SetSettingstring(L"Skin", L"Blue \u00e9t\u00e9");
  }
  TCLSettings settings;
  EXPECT_EQ(settings.RunTimes(), 1);
  EXPECT_EQ(settings.GetSettingString(L"Skin"), L"Blue \u00e9t\u00e9");
  // The system's profile functions read what the store wrote.
  wchar_t value[64] = {};
  GetPrivateProfileStringW(L"setting", L"Skin", L"", value, 64,
                           (settings.UserDataPath() + L"setting.dat").c_str());
  EXPECT_STREQ(value, L"Blue \u00e9t\u00e9");
  GetPrivateProfileStringW(L"Flag", L"AllUsers", L"", value, 64,
                           (FUserFolder + L"\\UserFlag.ini").c_str());
  EXPECT_STREQ(value, settings.AllUser() ? L"1" : L"0");
}

TEST_F(CLSettingsWin, FolderClosedForWritingKeepsTheUserOut) {
  ASSERT_TRUE(CreateDirectoryW(FMachineFolder.c_str(), nullptr));
  ASSERT_TRUE(SetFolderAccess(FMachineFolder, true));
  const bool reallyWriteable = CanCreateFileIn(FMachineFolder);
  TCLSettings settings;
  // Windows refuses the write; Wine keeps the descriptor only as Unix permissions, so the check
  // follows what the file system really allows there.
  EXPECT_EQ(settings.IsAllUserPathWriteable(), reallyWriteable);
  EXPECT_EQ(settings.AllUser(), reallyWriteable);
  if (!reallyWriteable) {
    EXPECT_EQ(lstrcmpiW(settings.UserDataPath().c_str(), (FUserFolder + L"\\").c_str()), 0);
  }
  std::wcout << L"[ note ] folder closed for writing: access check says "
             << (settings.IsAllUserPathWriteable() ? L"writeable" : L"not writeable")
             << L", creating a file there " << (reallyWriteable ? L"works" : L"fails") << L"\n";
}
