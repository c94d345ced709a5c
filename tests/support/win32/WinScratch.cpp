// Scratch files for the Windows tests: removing trees without following links, and making
// junctions.

#include "support/win32/WinScratch.h"

#include "platform/win32/Win32Handle.h"

#include <winioctl.h>

#include <cstring>
#include <vector>

namespace ktest::win32 {

using kplat::win32::THandle;

namespace {

// SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE, newer than the headers' default target.
constexpr DWORD kSymbolicLinkUnprivileged = 0x2;

// The mount-point form of the reparse data (the kernel's REPARSE_DATA_BUFFER, which the user
// headers do not declare).
struct TMountPointHeader {
  DWORD ReparseTag;
  WORD ReparseDataLength;
  WORD Reserved;
  WORD SubstituteNameOffset;
  WORD SubstituteNameLength;
  WORD PrintNameOffset;
  WORD PrintNameLength;
};
constexpr size_t kReparseHeaderSize = 8; // tag, length and reserved

bool SetMountPoint(const std::wstring& aLink, const std::wstring& aTarget) {
  const std::wstring substitute = L"\\??\\" + aTarget;
  const size_t substituteBytes = substitute.size() * sizeof(wchar_t);
  const size_t printBytes = aTarget.size() * sizeof(wchar_t);
  const size_t pathBytes = substituteBytes + printBytes + 2 * sizeof(wchar_t);
  std::vector<uint8_t> buffer(sizeof(TMountPointHeader) + pathBytes, 0);
  TMountPointHeader header{};
  header.ReparseTag = IO_REPARSE_TAG_MOUNT_POINT;
  header.ReparseDataLength =
      static_cast<WORD>(sizeof(TMountPointHeader) - kReparseHeaderSize + pathBytes);
  header.SubstituteNameLength = static_cast<WORD>(substituteBytes);
  header.PrintNameOffset = static_cast<WORD>(substituteBytes + sizeof(wchar_t));
  header.PrintNameLength = static_cast<WORD>(printBytes);
  std::memcpy(buffer.data(), &header, sizeof(header));
  std::memcpy(buffer.data() + sizeof(header), substitute.data(), substituteBytes);
  std::memcpy(buffer.data() + sizeof(header) + header.PrintNameOffset, aTarget.data(), printBytes);

  THandle link(::CreateFileW(aLink.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!link.IsValid()) {
    return false;
  }
  DWORD returned = 0;
  return ::DeviceIoControl(link.Get(), FSCTL_SET_REPARSE_POINT, buffer.data(),
                           static_cast<DWORD>(buffer.size()), nullptr, 0, &returned, nullptr) &&
         IsReparsePoint(aLink);
}

} // namespace

std::wstring TempFolder() {
  std::wstring buffer(MAX_PATH + 1, L'\0');
  const DWORD length = ::GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
  buffer.resize(length);
  return buffer;
}

// Removes a folder with everything in it. A reparse point is removed as the link it is, never
// followed: a junction out of the scratch folder must not take its target with it.
void RemoveTree(const std::wstring& aPath) {
  const DWORD attributes = ::GetFileAttributesW(aPath.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return;
  }
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    ::SetFileAttributesW(aPath.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    ::DeleteFileW(aPath.c_str());
    return;
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    WIN32_FIND_DATAW found;
    const HANDLE find = ::FindFirstFileW((aPath + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
      std::vector<std::wstring> children;
      do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") {
          children.push_back(aPath + L"\\" + name);
        }
      } while (::FindNextFileW(find, &found));
      ::FindClose(find);
      for (const std::wstring& child : children) {
        RemoveTree(child);
      }
    }
  }
  ::RemoveDirectoryW(aPath.c_str());
}

bool IsReparsePoint(const std::wstring& aPath) {
  const DWORD attributes = ::GetFileAttributesW(aPath.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool MakeJunction(const std::wstring& aLink, const std::wstring& aTarget) {
  const bool existed = ::GetFileAttributesW(aLink.c_str()) != INVALID_FILE_ATTRIBUTES;
  if (!existed && !::CreateDirectoryW(aLink.c_str(), nullptr)) {
    return false;
  }
  if (SetMountPoint(aLink, aTarget)) {
    return true;
  }
  // A directory symbolic link is a reparse point too; it needs the folder gone first.
  if (::RemoveDirectoryW(aLink.c_str()) &&
      ::CreateSymbolicLinkW(aLink.c_str(), aTarget.c_str(),
                            SYMBOLIC_LINK_FLAG_DIRECTORY | kSymbolicLinkUnprivileged) &&
      IsReparsePoint(aLink)) {
    return true;
  }
  if (existed && ::GetFileAttributesW(aLink.c_str()) == INVALID_FILE_ATTRIBUTES) {
    ::CreateDirectoryW(aLink.c_str(), nullptr);
  }
  return false;
}

} // namespace ktest::win32
