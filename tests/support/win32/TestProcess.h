#pragma once
// Starting the programs a Windows test runs.

#include <windows.h>

#include <functional>
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

// The folder of the running test program, with its trailing backslash.
std::wstring ProgramFolder();

// The exit code a process ended by KillWhen has.
constexpr DWORD kKilledExitCode = 3;

// Waits for aProcess to end, but ends it as soon as aDue() holds (asked every few milliseconds)
// or aLimitMs have passed; true when it was ended so, false when it had ended on its own.
bool KillWhen(HANDLE aProcess, const std::function<bool()>& aDue, DWORD aLimitMs);

struct TProgramRun {
  bool Started = false;
  // False when the program was still running after the limit, and was ended.
  bool Finished = false;
  DWORD ExitCode = 0xFFFFFFFF;
  std::string Output;
  std::string Errors;
};

// Runs aCommandLine without a window and collects what it writes in the files aStem + "out.txt"
// and aStem + "err.txt"; each run needs a stem of its own, since Wine may close a child's copies
// of the handles only after its end was signalled. With aKillWhen, the run is ended as soon as
// that holds (see KillWhen); its exit code then is kKilledExitCode.
TProgramRun RunProgram(const std::wstring& aCommandLine, const std::wstring& aStem, DWORD aLimitMs,
                       const std::function<bool()>& aKillWhen = {});

} // namespace ktest::win32
