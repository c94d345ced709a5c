#include "platform/FileIO.h"
#include "platform/win32/Win32Handle.h"
#include "platform/win32/Win32Parts.h"

#include <sddl.h>

namespace kplat::win32 {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Reads and writes go in pieces a DWORD can count.
constexpr DWORD kChunk = 1u << 20;
// What a part read holds beyond the file's size, so that its last read finds the end.
constexpr uint64_t kEndRoom = 4096;

void FillFindData(const WIN32_FIND_DATAW& aFound, TFindData& aData) {
  aData.Name = aFound.cFileName;
  aData.Attributes = aFound.dwFileAttributes;
  aData.Size = ToUInt64(aFound.nFileSizeHigh, aFound.nFileSizeLow);
  aData.CreationTime = ToFileTime(aFound.ftCreationTime);
  aData.LastWriteTime = ToFileTime(aFound.ftLastWriteTime);
}

TErrorCode WriteAll(HANDLE aFile, const std::vector<uint8_t>& aData) {
  size_t done = 0;
  while (done < aData.size()) {
    const DWORD part = static_cast<DWORD>(std::min<size_t>(aData.size() - done, kChunk));
    DWORD written = 0;
    if (!::WriteFile(aFile, aData.data() + done, part, &written, nullptr)) {
      return LastError();
    }
    if (written == 0) {
      return err::DiskFull;
    }
    done += written;
  }
  return ::FlushFileBuffers(aFile) ? err::Success : LastError();
}

// Where an open file or folder really is, in the ordinary form of a drive or network path.
TErrorCode FinalPathOf(HANDLE aFile, std::wstring& aPath) {
  std::wstring path;
  const bool ok = ReadGrowingText(
      [aFile](wchar_t* aBuffer, DWORD aSize) {
        return ::GetFinalPathNameByHandleW(aFile, aBuffer, aSize,
                                           FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
      },
      path);
  if (!ok || path.empty()) {
    return LastError();
  }
  aPath = WithoutLongPathPrefix(path);
  return err::Success;
}

// Opens the file aPath, which must lie inside aFolder, for deleting or renaming, as the link it may
// be and never as its target: StoppedOnLink when it is a link or really lies elsewhere. Wine
// follows a Unix symbolic link anyway and shows the target's attributes: there the final path
// tells.
TErrorCode OpenInFolder(const std::wstring& aPath, const std::wstring& aFolder, THandle& aFile) {
  if (!PathInFolder(aPath, aFolder)) {
    return err::InvalidParameter;
  }
  *aFile.Receive() =
      ::CreateFileW(aPath.c_str(), DELETE | FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (!aFile.IsValid()) {
    return LastError();
  }
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (!::GetFileInformationByHandleEx(aFile.Get(), FileAttributeTagInfo, &tag, sizeof(tag))) {
    return LastError();
  }
  if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return err::StoppedOnLink;
  }
  if ((tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return err::AccessDenied;
  }
  std::wstring finalPath;
  if (const TErrorCode rc = FinalPathOf(aFile.Get(), finalPath); rc != err::Success) {
    return rc;
  }
  if (!SamePath(finalPath, aPath) || !PathInFolder(finalPath, aFolder)) {
    return err::StoppedOnLink;
  }
  return err::Success;
}

// Security information GetFileSecurityW reads for the access check.
constexpr SECURITY_INFORMATION kSecurityParts =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

class TWin32Files : public IFileSystem {
public:
  TErrorCode FindFirst(const std::wstring& aPattern, TFindHandle& aFind,
                       TFindData& aData) override {
    aFind = kNoFindHandle;
    WIN32_FIND_DATAW found;
    // Nobody reads the short names, and a folder is read in large parts: the cheapest walk the
    // system offers.
    const HANDLE handle =
        ::FindFirstFileExW(aPattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                           nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (handle == INVALID_HANDLE_VALUE) {
      return LastError(err::FileNotFound);
    }
    aFind = reinterpret_cast<TFindHandle>(handle);
    FillFindData(found, aData);
    return err::Success;
  }

  TErrorCode FindNext(TFindHandle aFind, TFindData& aData) override {
    if (aFind == kNoFindHandle) {
      return err::InvalidHandle;
    }
    WIN32_FIND_DATAW found;
    if (!::FindNextFileW(reinterpret_cast<HANDLE>(aFind), &found)) {
      return LastError(err::NoMoreItems);
    }
    FillFindData(found, aData);
    return err::Success;
  }

  void FindClose(TFindHandle aFind) override {
    if (aFind != kNoFindHandle) {
      ::FindClose(reinterpret_cast<HANDLE>(aFind));
    }
  }

  TErrorCode GetAttributes(const std::wstring& aPath, uint32_t& aAttributes) override {
    const DWORD attributes = ::GetFileAttributesW(aPath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      aAttributes = fileattr::Invalid;
      return LastError(err::FileNotFound);
    }
    aAttributes = attributes;
    return err::Success;
  }

  TErrorCode SetAttributes(const std::wstring& aPath, uint32_t aAttributes) override {
    return ::SetFileAttributesW(aPath.c_str(), aAttributes) ? err::Success : LastError();
  }

  TErrorCode GetFileSize(const std::wstring& aPath, uint64_t& aSize) override {
    aSize = 0;
    THandle file(::CreateFileW(aPath.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
      return LastError();
    }
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.Get(), &size)) {
      return LastError();
    }
    aSize = static_cast<uint64_t>(size.QuadPart);
    return err::Success;
  }

  TErrorCode GetCreationTime(const std::wstring& aPath, TFileTime& aTime) override {
    aTime = 0;
    THandle file(::CreateFileW(aPath.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
      const TErrorCode rc = LastError();
      // A folder opens only with backup semantics; a file keeps the first answer.
      const DWORD attributes = ::GetFileAttributesW(aPath.c_str());
      if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return rc;
      }
      *file.Receive() = ::CreateFileW(aPath.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
      if (!file.IsValid()) {
        return LastError();
      }
    }
    FILETIME created;
    if (!::GetFileTime(file.Get(), &created, nullptr, nullptr)) {
      return LastError();
    }
    aTime = ToFileTime(created);
    return err::Success;
  }

  TErrorCode GetFileTimes(const std::wstring& aPath, TFileTimes& aTimes) override {
    aTimes = TFileTimes();
    THandle file(::CreateFileW(aPath.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.IsValid()) {
      return LastError();
    }
    FILETIME created;
    FILETIME accessed;
    FILETIME written;
    if (!::GetFileTime(file.Get(), &created, &accessed, &written)) {
      return LastError();
    }
    aTimes = {ToFileTime(created), ToFileTime(accessed), ToFileTime(written)};
    return err::Success;
  }

  TErrorCode GetFileInfo(const std::wstring& aPath, TFileInfo& aInfo) override {
    aInfo = TFileInfo();
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(aPath.c_str(), GetFileExInfoStandard, &data)) {
      return LastError(err::FileNotFound);
    }
    aInfo.Attributes = data.dwFileAttributes;
    aInfo.Times = {ToFileTime(data.ftCreationTime), ToFileTime(data.ftLastAccessTime),
                   ToFileTime(data.ftLastWriteTime)};
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      aInfo.Size = ToUInt64(data.nFileSizeHigh, data.nFileSizeLow);
    }
    return err::Success;
  }

  TErrorCode SetFileTimes(const std::wstring& aPath, const TFileTimes& aTimes) override {
    THandle file(::CreateFileW(aPath.c_str(), FILE_WRITE_ATTRIBUTES, kShareAll, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.IsValid()) {
      return LastError();
    }
    const FILETIME created = ToWin32FileTime(aTimes.Creation);
    const FILETIME accessed = ToWin32FileTime(aTimes.LastAccess);
    const FILETIME written = ToWin32FileTime(aTimes.LastWrite);
    return ::SetFileTime(file.Get(), &created, &accessed, &written) ? err::Success : LastError();
  }

  TErrorCode DeleteFile(const std::wstring& aPath) override {
    return ::DeleteFileW(aPath.c_str()) ? err::Success : LastError();
  }

  TErrorCode DeleteFileInFolder(const std::wstring& aPath, const std::wstring& aFolder) override {
    THandle file;
    if (const TErrorCode rc = OpenInFolder(aPath, aFolder, file); rc != err::Success) {
      return rc;
    }
    // The file goes when this handle closes; a read-only file is refused here, as by DeleteFileW.
    // Its one member is named after a macro the headers define, so it is set by position.
    FILE_DISPOSITION_INFO disposition{TRUE};
    return ::SetFileInformationByHandle(file.Get(), FileDispositionInfo, &disposition,
                                        sizeof(disposition))
               ? err::Success
               : LastError();
  }

  TErrorCode MoveFileInFolder(const std::wstring& aPath, const std::wstring& aFolder,
                              const std::wstring& aTo) override {
    THandle file;
    if (const TErrorCode rc = OpenInFolder(aPath, aFolder, file); rc != err::Success) {
      return rc;
    }
    // Renamed through the handle that was checked, so no link swapped in meanwhile is followed.
    // The record ends in the new name, its size counted in bytes.
    const size_t nameBytes = aTo.size() * sizeof(wchar_t);
    std::vector<uint8_t> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(nameBytes);
    std::copy(aTo.begin(), aTo.end(), rename->FileName);
    if (::SetFileInformationByHandle(file.Get(), FileRenameInfo, rename,
                                     static_cast<DWORD>(buffer.size()))) {
      return err::Success;
    }
    const TErrorCode rc = LastError();
    return rc == ERROR_FILE_EXISTS ? err::AlreadyExists : rc;
  }

  TErrorCode RemoveFolder(const std::wstring& aPath) override {
    return ::RemoveDirectoryW(aPath.c_str()) ? err::Success : LastError();
  }

  TErrorCode CreateFolder(const std::wstring& aPath) override {
    return ::CreateDirectoryW(aPath.c_str(), nullptr) ? err::Success : LastError();
  }

  TErrorCode ReadFile(const std::wstring& aPath, std::vector<uint8_t>& aData,
                      uint64_t aMaxBytes) override {
    aData.clear();
    THandle file(::CreateFileW(aPath.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.IsValid()) {
      return LastError();
    }
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.Get(), &size)) {
      return LastError();
    }
    if (static_cast<uint64_t>(size.QuadPart) > aMaxBytes) {
      return err::NotEnoughMemory;
    }
    // Others may write while we read (the share mode allows it): read to the end rather than to
    // the size seen at the start, and hold the bound all the way.
    std::vector<uint8_t> data;
    data.reserve(static_cast<size_t>(size.QuadPart));
    for (;;) {
      const size_t done = data.size();
      data.resize(done + kChunk);
      DWORD got = 0;
      if (!::ReadFile(file.Get(), data.data() + done, kChunk, &got, nullptr)) {
        return LastError();
      }
      data.resize(done + got);
      if (got == 0) {
        break;
      }
      if (data.size() > aMaxBytes) {
        return err::NotEnoughMemory;
      }
    }
    aData = std::move(data);
    return err::Success;
  }

  TErrorCode ReadFilePart(const std::wstring& aPath, uint64_t aOffset, uint32_t aMaxBytes,
                          std::vector<uint8_t>& aData) override {
    aData.clear();
    THandle file(::CreateFileW(aPath.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.IsValid()) {
      return LastError();
    }
    LARGE_INTEGER offset;
    offset.QuadPart = static_cast<LONGLONG>(aOffset);
    if (!::SetFilePointerEx(file.Get(), offset, nullptr, FILE_BEGIN)) {
      return LastError();
    }
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.Get(), &size)) {
      return LastError();
    }
    // Sized by what the file holds, not by the bound: most files are small, and a buffer of the
    // whole bound would be allocated and cleared for each of them. The room beyond lets a read
    // see the end; a file that grows meanwhile is read on in larger buffers, up to the bound.
    const uint64_t bytes = static_cast<uint64_t>(size.QuadPart);
    const uint64_t left = bytes > aOffset ? bytes - aOffset : 0;
    std::vector<uint8_t> data(static_cast<size_t>(std::min<uint64_t>(aMaxBytes, left + kEndRoom)));
    size_t done = 0;
    // One read may give less than asked for (a pipe or a network file): read on to the end.
    for (;;) {
      if (done == data.size()) {
        if (data.size() >= aMaxBytes) {
          break;
        }
        data.resize(std::min<size_t>(aMaxBytes, data.size() * 2));
      }
      DWORD got = 0;
      const DWORD part = static_cast<DWORD>(std::min<size_t>(data.size() - done, kChunk));
      if (!::ReadFile(file.Get(), data.data() + done, part, &got, nullptr)) {
        return LastError();
      }
      if (got == 0) {
        break;
      }
      done += got;
    }
    data.resize(done);
    aData = std::move(data);
    return err::Success;
  }

  TErrorCode WriteFile(const std::wstring& aPath, const std::vector<uint8_t>& aData) override {
    THandle file(::CreateFileW(aPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
      return LastError();
    }
    return WriteAll(file.Get(), aData);
  }

  TErrorCode WriteProtectedFile(const std::wstring& aPath,
                                const std::vector<uint8_t>& aData) override {
    // Protected from what its folder passes on; the owner's implicit right to change the list is
    // taken away too (OWNER RIGHTS), so that an owner who is no administrator only reads.
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FR;;;OW)(A;;FR;;;WD)", SDDL_REVISION_1, &descriptor,
            nullptr)) {
      return LastError();
    }
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
    THandle file(::CreateFileW(aPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &attributes,
                               CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    const TErrorCode created = file.IsValid() ? err::Success : LastError();
    ::LocalFree(descriptor);
    if (created != err::Success) {
      return created == ERROR_FILE_EXISTS ? err::AlreadyExists : created;
    }
    const TErrorCode rc = WriteAll(file.Get(), aData);
    if (rc != err::Success) {
      file.Close();
      ::DeleteFileW(aPath.c_str());
    }
    return rc;
  }

  TErrorCode AppendFile(const std::wstring& aPath, const std::vector<uint8_t>& aData) override {
    // Append access alone makes every write go to the end, even with other appenders.
    THandle file(::CreateFileW(aPath.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ,
                               nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
      return LastError();
    }
    return WriteAll(file.Get(), aData);
  }

  TErrorCode TruncateFile(const std::wstring& aPath, uint64_t aSize) override {
    THandle file(::CreateFileW(aPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
      return LastError();
    }
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.Get(), &size)) {
      return LastError();
    }
    if (aSize > static_cast<uint64_t>(size.QuadPart)) {
      return err::InvalidParameter;
    }
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(aSize);
    if (!::SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN) || !::SetEndOfFile(file.Get())) {
      return LastError();
    }
    return ::FlushFileBuffers(file.Get()) ? err::Success : LastError();
  }

  TErrorCode ReplaceFile(const std::wstring& aFrom, const std::wstring& aTo) override {
    return ::MoveFileExW(aFrom.c_str(), aTo.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? err::Success
               : LastError();
  }

  TErrorCode GetLongPath(const std::wstring& aPath, std::wstring& aLongPath) override {
    const bool ok = ReadGrowingText(
        [&aPath](wchar_t* aBuffer, DWORD aSize) {
          return ::GetLongPathNameW(aPath.c_str(), aBuffer, aSize);
        },
        aLongPath);
    return ok ? err::Success : LastError();
  }

  TErrorCode GetFinalPath(const std::wstring& aPath, std::wstring& aFinalPath) override {
    aFinalPath.clear();
    THandle file(::CreateFileW(aPath.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.IsValid()) {
      return LastError();
    }
    return FinalPathOf(file.Get(), aFinalPath);
  }

  TErrorCode CheckWriteAccess(const std::wstring& aPath, bool& aWriteable) override {
    aWriteable = false;
    DWORD needed = 0;
    ::GetFileSecurityW(aPath.c_str(), kSecurityParts, nullptr, 0, &needed);
    if (needed == 0) {
      return LastError();
    }
    // The descriptor can change between the size query and the read: loop while it grows.
    std::vector<uint8_t> descriptor;
    for (;;) {
      descriptor.resize(needed);
      if (::GetFileSecurityW(aPath.c_str(), kSecurityParts, descriptor.data(), needed, &needed)) {
        break;
      }
      if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= descriptor.size()) {
        return LastError();
      }
    }
    THandle processToken;
    if (!::OpenProcessToken(::GetCurrentProcess(),
                            TOKEN_IMPERSONATE | TOKEN_QUERY | TOKEN_DUPLICATE |
                                STANDARD_RIGHTS_READ,
                            processToken.Receive())) {
      return LastError();
    }
    THandle token;
    if (!::DuplicateToken(processToken.Get(), SecurityImpersonation, token.Receive())) {
      return LastError();
    }
    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                               FILE_ALL_ACCESS};
    DWORD desired = GENERIC_WRITE;
    ::MapGenericMask(&desired, &mapping);
    PRIVILEGE_SET privileges;
    DWORD privilegesSize = sizeof(privileges);
    DWORD granted = 0;
    BOOL status = FALSE;
    if (!::AccessCheck(descriptor.data(), token.Get(), desired, &mapping, &privileges,
                       &privilegesSize, &granted, &status)) {
      return LastError();
    }
    aWriteable = status != FALSE;
    return err::Success;
  }
};

} // namespace

std::unique_ptr<IFileSystem> MakeWin32Files() {
  return std::make_unique<TWin32Files>();
}

} // namespace kplat::win32
