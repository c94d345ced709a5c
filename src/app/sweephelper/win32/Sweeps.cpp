// The sweeps on the Win32 API.

#include "Sweeps.h"

#include <windows.h>

#include <knownfolders.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>

namespace {

std::wstring SystemErrorText(DWORD aError) {
  return L"system error " + std::to_wstring(aError);
}

std::wstring HResultText(HRESULT aResult) {
  wchar_t text[16];
  swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(aResult));
  return L"result " + std::wstring(text);
}

std::wstring LocalAppDataFolder() {
  PWSTR path = nullptr;
  std::wstring folder;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &path))) {
    folder = path;
  }
  CoTaskMemFree(path);
  return folder;
}

} // namespace

void HideOwnConsole() {
  DWORD processes[2];
  const HWND console = GetConsoleWindow();
  if (console && GetConsoleProcessList(processes, 2) == 1) {
    ShowWindow(console, SW_HIDE);
  }
}

TSweepOutcome SweepClipboard() {
  // Another program may hold the clipboard for a moment: try a few times before giving up.
  bool opened = false;
  for (int attempt = 0; attempt < 20 && !opened; ++attempt) {
    opened = OpenClipboard(nullptr) != FALSE;
    if (!opened) {
      Sleep(50);
    }
  }
  if (!opened) {
    return {false, L"the clipboard stays in use by another program"};
  }
  const bool emptied = EmptyClipboard() != FALSE;
  const DWORD error = GetLastError();
  CloseClipboard();
  return emptied ? TSweepOutcome{true, L""} : TSweepOutcome{false, SystemErrorText(error)};
}

TSweepOutcome SweepRecentDocs() {
  // A null item clears the whole list.
  SHAddToRecentDocs(SHARD_PIDL, nullptr);
  return {true, L""};
}

TSweepOutcome SweepRecycleBin() {
  SHQUERYRBINFO info{};
  info.cbSize = sizeof(info);
  // An empty bin needs nothing; emptying it anyway reports an error on some systems.
  if (SUCCEEDED(SHQueryRecycleBinW(nullptr, &info)) && info.i64NumItems == 0) {
    return {true, L""};
  }
  const HRESULT result = SHEmptyRecycleBinW(
      nullptr, nullptr, SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND);
  return SUCCEEDED(result) ? TSweepOutcome{true, L""} : TSweepOutcome{false, HResultText(result)};
}

TSweepOutcome SweepDnsCache() {
  // Not part of the documented DNS interface, so looked up rather than linked.
  const HMODULE library = LoadLibraryW(L"dnsapi.dll");
  if (!library) {
    return {false, L"the DNS client library is not there"};
  }
  using TFlush = BOOL(WINAPI*)();
  const auto flush = reinterpret_cast<TFlush>(
      reinterpret_cast<void*>(GetProcAddress(library, "DnsFlushResolverCache")));
  TSweepOutcome outcome{false, L"this system cannot flush the DNS cache"};
  if (flush) {
    outcome =
        flush() ? TSweepOutcome{true, L""} : TSweepOutcome{false, SystemErrorText(GetLastError())};
  }
  FreeLibrary(library);
  return outcome;
}

TSweepOutcome SweepThumbnailCache() {
  const std::wstring local = LocalAppDataFolder();
  if (local.empty()) {
    return {false, L"the local application data folder is unknown"};
  }
  const std::wstring folder = local + L"\\Microsoft\\Windows\\Explorer\\";
  int inUse = 0;
  for (const wchar_t* pattern : {L"thumbcache_*.db", L"iconcache_*.db"}) {
    WIN32_FIND_DATAW found;
    const HANDLE find = FindFirstFileW((folder + pattern).c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
      continue;
    }
    do {
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
          !DeleteFileW((folder + found.cFileName).c_str())) {
        ++inUse;
      }
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  // Explorer keeps its current caches open; it rebuilds the others when it needs them.
  return {true, inUse == 0 ? L"" : std::to_wstring(inUse) + L" cache files are in use and stay"};
}
