#include "platform/ConformanceBackend.h"

#include "platform/win32/Win32Handle.h"

#include <aclapi.h>
#include <gtest/gtest.h>

namespace {

class Win32Files : public ::testing::Test {
protected:
  std::unique_ptr<TConformanceBackend> FBackend = MakeConformanceBackend();
  kplat::IFileSystem& FFiles = FBackend->Platform().Files();
  std::wstring FFolder = FBackend->ScratchFolder();
};

// Gives the file a protected DACL that lets everyone read and nobody write.
bool DenyWrite(const std::wstring& aPath) {
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  if (!::AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) {
    return false;
  }
  EXPLICIT_ACCESSW access{};
  access.grfAccessPermissions = FILE_GENERIC_READ;
  access.grfAccessMode = SET_ACCESS;
  access.grfInheritance = NO_INHERITANCE;
  access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
  access.Trustee.ptstrName = static_cast<LPWSTR>(everyone);
  PACL acl = nullptr;
  bool ok = ::SetEntriesInAclW(1, &access, nullptr, &acl) == ERROR_SUCCESS;
  if (ok) {
    std::wstring path = aPath;
    ok = ::SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT,
                                 DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                 nullptr, nullptr, acl, nullptr) == ERROR_SUCCESS;
    ::LocalFree(acl);
  }
  ::FreeSid(everyone);
  return ok;
}

bool OpensForWriting(const std::wstring& aPath) {
  kplat::win32::THandle file(::CreateFileW(aPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.IsValid();
}

TEST_F(Win32Files, WriteAccessAgreesWithTheSystem) {
  bool writeable = false;
  ASSERT_EQ(kplat::err::Success,
            FFiles.CheckWriteAccess(FBackend->Platform().System().GetTempFolder(), writeable));
  EXPECT_TRUE(writeable);

  const std::wstring file = FFolder + L"\\Locked.dat";
  FBackend->MakeFile(file, 4);
  ASSERT_EQ(kplat::err::Success, FFiles.CheckWriteAccess(file, writeable));
  EXPECT_TRUE(writeable);
  // Windows then refuses the write. Wine keeps the descriptor only as Unix permissions, which do
  // not bind a root user, and both the access check and a real open say writeable there.
  ASSERT_TRUE(DenyWrite(file));
  ASSERT_EQ(kplat::err::Success, FFiles.CheckWriteAccess(file, writeable));
  EXPECT_EQ(OpensForWriting(file), writeable);

  writeable = true;
  EXPECT_NE(kplat::err::Success, FFiles.CheckWriteAccess(FFolder + L"\\Missing.dat", writeable));
  EXPECT_FALSE(writeable);
}

TEST_F(Win32Files, CreationTimeOfFilesAndFolders) {
  const std::wstring file = FFolder + L"\\Dated.txt";
  FBackend->MakeFile(file, 1);
  kplat::TFileTime fileTime = 0;
  ASSERT_EQ(kplat::err::Success, FFiles.GetCreationTime(file, fileTime));
  kplat::TFileTime folderTime = 0;
  ASSERT_EQ(kplat::err::Success, FFiles.GetCreationTime(FFolder, folderTime));
  // Both lie within the last day of the machine's clock.
  const kplat::TFileTime now = FBackend->Platform().Clock().NowUtc();
  const kplat::TFileTime day = 24ull * 3600 * 10000000;
  EXPECT_LT(now - fileTime, day);
  EXPECT_LT(now - folderTime, day);
  EXPECT_NE(kplat::err::Success, FFiles.GetCreationTime(FFolder + L"\\Missing", fileTime));
}

} // namespace
