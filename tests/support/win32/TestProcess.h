#pragma once
// Starting the programs a Windows test runs.

#include <windows.h>

#include <string>

namespace ktest::win32 {

struct TStartOptions {
  DWORD Flags = 0;
  // When either is set, the child writes its output there (the handles must be inheritable).
  HANDLE Output = nullptr;
  HANDLE Errors = nullptr;
  const wchar_t* Folder = nullptr;
};

// Starts aCommandLine. Wine under load now and then refuses to create a process at all; such a
// start is tried again, which never runs a program twice since the refused one never began. On
// failure GetLastError() holds the last refusal.
bool StartProcess(std::wstring aCommandLine, PROCESS_INFORMATION& aProcess,
                  const TStartOptions& aOptions = {});

} // namespace ktest::win32
