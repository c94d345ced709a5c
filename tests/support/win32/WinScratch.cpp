// Scratch files for the Windows tests: removing trees without following links, and making
// junctions.

#include "support/win32/WinScratch.h"
#include "support/win32/TestProcess.h"

#include "platform/win32/Win32Handle.h"

#include <winioctl.h>

#include <cstring>
#include <fstream>
#include <sstream>
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

// Wine's own calls, absent on Windows: a Windows path's Unix form and back (freed by the caller
// from the process heap).
using TWineToUnix = char*(__cdecl*)(const wchar_t*);
using TWineToDos = wchar_t*(__cdecl*)(const char*);

// Starts a host program under Wine with Unix paths as its arguments; true when it started. Wine
// runs a Unix program as a process of the host, with no handle to wait on: the caller waits for
// the program's effect instead.
bool StartUnixTool(const char* aTool, const std::vector<std::wstring>& aPaths) {
  const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  const auto toUnix = reinterpret_cast<TWineToUnix>(
      reinterpret_cast<void (*)()>(::GetProcAddress(kernel, "wine_get_unix_file_name")));
  const auto toDos = reinterpret_cast<TWineToDos>(
      reinterpret_cast<void (*)()>(::GetProcAddress(kernel, "wine_get_dos_file_name")));
  if (toUnix == nullptr || toDos == nullptr) {
    return false;
  }
  wchar_t* tool = toDos(aTool);
  if (tool == nullptr) {
    return false;
  }
  const std::wstring application = tool;
  ::HeapFree(::GetProcessHeap(), 0, tool);
  std::wstring commandLine = L"\"" + application + L"\"";
  for (const std::wstring& path : aPaths) {
    if (path.front() == L'-') {
      commandLine += L" " + path; // an option
      continue;
    }
    char* unixPath = toUnix(path.c_str());
    if (unixPath == nullptr) {
      return false;
    }
    const std::string text = unixPath;
    ::HeapFree(::GetProcessHeap(), 0, unixPath);
    commandLine += L" \"" + std::wstring(text.begin(), text.end()) + L"\"";
  }
  PROCESS_INFORMATION process{};
  if (!StartProcess(commandLine, process)) {
    return false;
  }
  THandle processHandle(process.hProcess);
  THandle threadHandle(process.hThread);
  return true;
}

// Waits, at most kUnixToolLimitMs, until aDone holds.
constexpr ULONGLONG kUnixToolLimitMs = 30000;
template <typename TDone> bool WaitUntil(TDone aDone) {
  const ULONGLONG end = ::GetTickCount64() + kUnixToolLimitMs;
  while (!aDone()) {
    if (::GetTickCount64() >= end) {
      return false;
    }
    ::Sleep(10);
  }
  return true;
}

} // namespace

bool MakeUnixLink(const std::wstring& aLink, const std::wstring& aTarget) {
  return StartUnixTool("/bin/ln", {L"-s", aTarget, aLink}) &&
         WaitUntil([&] { return IsReparsePoint(aLink); });
}

std::wstring TempFolder() {
  std::wstring buffer(MAX_PATH + 1, L'\0');
  const DWORD length = ::GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
  buffer.resize(length);
  return buffer;
}

namespace {

// The entries of a folder with their attributes, without "." and "..".
std::vector<std::pair<std::wstring, DWORD>> Children(const std::wstring& aFolder) {
  std::vector<std::pair<std::wstring, DWORD>> children;
  WIN32_FIND_DATAW found;
  const HANDLE find = ::FindFirstFileW((aFolder + L"\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) {
    return children;
  }
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") {
      children.emplace_back(aFolder + L"\\" + name, found.dwFileAttributes);
    }
  } while (::FindNextFileW(find, &found));
  ::FindClose(find);
  return children;
}

// Removes a link itself. Under Wine a link is a Unix symbolic link, which Wine would treat as its
// target: the host removes it.
void RemoveLink(const std::wstring& aPath, DWORD aAttributes) {
  if (StartUnixTool("/bin/rm", {L"-f", aPath})) {
    WaitUntil([&] { return ::GetFileAttributesW(aPath.c_str()) == INVALID_FILE_ATTRIBUTES; });
  } else if (aAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    ::RemoveDirectoryW(aPath.c_str());
  } else {
    ::DeleteFileW(aPath.c_str());
  }
}

// Removes every link below aFolder first: one into a part of the tree removed before it would
// lead nowhere, and could then no longer be told from a missing file.
void RemoveLinksIn(const std::wstring& aFolder) {
  for (const auto& [child, attributes] : Children(aFolder)) {
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      RemoveLink(child, attributes);
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      RemoveLinksIn(child);
    }
  }
}

// Removes a file or a folder with everything in it, once no links are left in it.
void RemoveWithoutLinks(const std::wstring& aPath, DWORD aAttributes) {
  if (aAttributes & FILE_ATTRIBUTE_READONLY) {
    ::SetFileAttributesW(aPath.c_str(), aAttributes & ~FILE_ATTRIBUTE_READONLY);
  }
  if ((aAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    ::DeleteFileW(aPath.c_str());
    return;
  }
  for (const auto& [child, attributes] : Children(aPath)) {
    RemoveWithoutLinks(child, attributes);
  }
  ::RemoveDirectoryW(aPath.c_str());
}

} // namespace

// Removes a folder with everything in it. A reparse point is removed as the link it is, never
// followed: a junction out of the scratch folder must not take its target with it.
void RemoveTree(const std::wstring& aPath) {
  const DWORD attributes = ::GetFileAttributesW(aPath.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return;
  }
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    RemoveLink(aPath, attributes);
    return;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    RemoveLinksIn(aPath);
  }
  RemoveWithoutLinks(aPath, attributes);
}

bool Exists(const std::wstring& aPath) {
  return ::GetFileAttributesW(aPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadAll(const std::wstring& aFile) {
  std::ifstream file(aFile.c_str(), std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

void WriteAll(const std::wstring& aFile, const std::string& aBytes) {
  std::ofstream(aFile.c_str(), std::ios::binary | std::ios::trunc) << aBytes;
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
  if (::GetFileAttributesW(aLink.c_str()) == INVALID_FILE_ATTRIBUTES &&
      MakeUnixLink(aLink, aTarget)) {
    return true;
  }
  if (existed && ::GetFileAttributesW(aLink.c_str()) == INVALID_FILE_ATTRIBUTES) {
    ::CreateDirectoryW(aLink.c_str(), nullptr);
  }
  return false;
}

} // namespace ktest::win32
