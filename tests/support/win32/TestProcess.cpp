#include "support/win32/TestProcess.h"
#include "support/win32/WinScratch.h"

namespace ktest::win32 {

namespace {

HANDLE InheritableFile(const std::wstring& aFile) {
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  return ::CreateFileW(aFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

bool StartProcess(std::wstring aCommandLine, PROCESS_INFORMATION& aProcess,
                  const TStartOptions& aOptions) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  const bool redirected = aOptions.Output != nullptr || aOptions.Errors != nullptr;
  if (redirected) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = aOptions.Output;
    startup.hStdError = aOptions.Errors;
  }
  constexpr int kAttempts = 3;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    aProcess = {};
    if (::CreateProcessW(nullptr, aCommandLine.data(), nullptr, nullptr, redirected ? TRUE : FALSE,
                         aOptions.Flags, nullptr, aOptions.Folder, &startup, &aProcess)) {
      return true;
    }
  }
  return false;
}

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::wstring file(path, length);
  return file.substr(0, file.find_last_of(L'\\') + 1);
}

bool KillWhen(HANDLE aProcess, const std::function<bool()>& aDue, DWORD aLimitMs) {
  const ULONGLONG deadline = ::GetTickCount64() + aLimitMs;
  while (!aDue() && ::GetTickCount64() < deadline &&
         ::WaitForSingleObject(aProcess, 5) == WAIT_TIMEOUT) {
  }
  ::TerminateProcess(aProcess, kKilledExitCode);
  ::WaitForSingleObject(aProcess, 30000);
  DWORD exitCode = 0;
  ::GetExitCodeProcess(aProcess, &exitCode);
  return exitCode == kKilledExitCode;
}

TProgramRun RunProgram(const std::wstring& aCommandLine, const std::wstring& aStem, DWORD aLimitMs,
                       const std::function<bool()>& aKillWhen) {
  TProgramRun run;
  const std::wstring out = aStem + L"out.txt";
  const std::wstring err = aStem + L"err.txt";
  HANDLE outFile = InheritableFile(out);
  HANDLE errFile = InheritableFile(err);
  PROCESS_INFORMATION process{};
  run.Started = StartProcess(aCommandLine, process,
                             {.Flags = CREATE_NO_WINDOW, .Output = outFile, .Errors = errFile});
  const DWORD startError = ::GetLastError();
  ::CloseHandle(outFile);
  ::CloseHandle(errFile);
  if (!run.Started) {
    run.Errors = "the program did not start, error " + std::to_string(startError);
    return run;
  }
  if (aKillWhen) {
    run.Finished = true;
    KillWhen(process.hProcess, aKillWhen, aLimitMs);
  } else {
    run.Finished = ::WaitForSingleObject(process.hProcess, aLimitMs) == WAIT_OBJECT_0;
    if (!run.Finished) {
      ::TerminateProcess(process.hProcess, kKilledExitCode);
      ::WaitForSingleObject(process.hProcess, 30000);
    }
  }
  ::GetExitCodeProcess(process.hProcess, &run.ExitCode);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  run.Output = ReadAll(out);
  run.Errors += ReadAll(err);
  return run;
}

} // namespace ktest::win32
