// How long Kestrova.exe takes from its start until its main window is on show and painted,
// against a bare process start (this program started again, ending at once) plus half a second.
// Kestrova.exe is the one beside this program; the first argument is how many rounds to take
// (at least 3, at most 9; the sizes of the other benchmarks are turned into 3 to 9 rounds). The
// two starts take turns, and the medians are compared. Built natively there is no window
// program to start, and nothing is measured.

#include "BenchRow.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

namespace {

constexpr wchar_t kMainClass[] = L"TfrmMain";
constexpr ULONGLONG kLimitMs = 30000;
constexpr double kAllowanceSeconds = 0.5;

double Seconds(const LARGE_INTEGER& aFrom, const LARGE_INTEGER& aTo) {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(aTo.QuadPart - aFrom.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  return now;
}

std::wstring ProgramPath() {
  wchar_t path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  return std::wstring(path, length);
}

HANDLE Start(const std::wstring& aCommandLine) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  std::wstring commandLine = aCommandLine;
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
    return nullptr;
  }
  ::CloseHandle(info.hThread);
  return info.hProcess;
}

// The main window once it is on show and has nothing left to paint.
HWND ShownMainWindow() {
  HWND window = ::FindWindowW(kMainClass, nullptr);
  if (window == nullptr || !::IsWindowVisible(window) || ::GetUpdateRect(window, nullptr, FALSE)) {
    return nullptr;
  }
  return window;
}

// Ends every Kestrova.exe this round started: the one started here and the one it may have
// restarted itself as, which owns the window.
void EndWindowProgram(HANDLE aStarted) {
  for (HWND window = ::FindWindowW(kMainClass, nullptr); window != nullptr;
       window = ::FindWindowW(kMainClass, nullptr)) {
    DWORD id = 0;
    ::GetWindowThreadProcessId(window, &id);
    HANDLE process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
    if (process == nullptr) {
      break;
    }
    ::TerminateProcess(process, 0);
    ::WaitForSingleObject(process, 5000);
    ::CloseHandle(process);
  }
  ::TerminateProcess(aStarted, 0);
  ::WaitForSingleObject(aStarted, 5000);
  ::CloseHandle(aStarted);
}

double BareStart() {
  const LARGE_INTEGER start = Now();
  HANDLE process = Start(L"\"" + ProgramPath() + L"\" --exit");
  if (process == nullptr) {
    return -1;
  }
  ::WaitForSingleObject(process, static_cast<DWORD>(kLimitMs));
  ::CloseHandle(process);
  return Seconds(start, Now());
}

double WindowStart(const std::wstring& aProgram) {
  const LARGE_INTEGER start = Now();
  HANDLE process = Start(L"\"" + aProgram + L"\"");
  if (process == nullptr) {
    return -1;
  }
  const ULONGLONG limit = ::GetTickCount64() + kLimitMs;
  while (ShownMainWindow() == nullptr && ::GetTickCount64() < limit) {
    ::Sleep(2);
  }
  const double took = ShownMainWindow() != nullptr ? Seconds(start, Now()) : -1;
  EndWindowProgram(process);
  return took;
}

double Median(std::vector<double> aValues) {
  std::sort(aValues.begin(), aValues.end());
  return aValues[aValues.size() / 2];
}

int Run(int aRounds) {
  const std::wstring self = ProgramPath();
  const std::wstring program = self.substr(0, self.find_last_of(L'\\') + 1) + L"Kestrova.exe";
  if (::GetFileAttributesW(program.c_str()) == INVALID_FILE_ATTRIBUTES) {
    std::printf("Kestrova.exe is not beside this program\n");
    return 1;
  }
  // A first start of each fills the caches of the system and of Wine's server.
  BareStart();
  WindowStart(program);
  std::vector<double> bare;
  std::vector<double> window;
  for (int round = 0; round < aRounds; ++round) {
    bare.push_back(BareStart());
    window.push_back(WindowStart(program));
    std::printf("round %d: bare process %.3f s, main window %.3f s\n", round + 1, bare.back(),
                window.back());
    if (bare.back() < 0 || window.back() < 0) {
      std::printf("a start failed or no main window appeared within %llu s\n", kLimitMs / 1000);
      return 1;
    }
  }
  const double bareMedian = Median(bare);
  const double windowMedian = Median(window);
  std::printf("median of %d: bare process %.3f s, main window on show %.3f s\n", aRounds,
              bareMedian, windowMedian);
  PrintBenchRow("start-up, Kestrova.exe to main window on show", windowMedian,
                bareMedian + kAllowanceSeconds, "bare process + 0.5 s", "s", 1);
  return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc > 1 && std::wstring(argv[1]) == L"--exit") {
    return 0;
  }
  const long size = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 5;
  return Run(static_cast<int>(std::clamp(size > 9 ? size / 10000 + 2 : size, 3L, 9L)));
}

#else

int main() {
  std::printf("start-up is measured on Windows only: there is no window program here\n");
  return 0;
}

#endif
