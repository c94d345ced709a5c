// How long Kestrova.exe takes from its start until its main window is on show and painted,
// against a bare window process (this program started again, showing one plain window of the
// main window's size, measured the same way) plus half a second. A bare process that ends at
// once is measured too and printed beside them: it pays no window system start, which under
// Wine is most of a window program's first second.
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
constexpr wchar_t kBareClass[] = L"KestrovaBareWindow";
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

// The window of the class once it is on show and has nothing left to paint.
HWND ShownWindow(const wchar_t* aClass) {
  HWND window = ::FindWindowW(aClass, nullptr);
  if (window == nullptr || !::IsWindowVisible(window) || ::GetUpdateRect(window, nullptr, FALSE)) {
    return nullptr;
  }
  return window;
}

// Ends every process this round started: the one started here and the one it may have
// restarted itself as, which owns the window.
void EndWindowProgram(HANDLE aStarted, const wchar_t* aClass) {
  for (HWND window = ::FindWindowW(aClass, nullptr); window != nullptr;
       window = ::FindWindowW(aClass, nullptr)) {
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

// From the start of aCommandLine until a window of aClass is on show and painted.
double WindowStart(const std::wstring& aCommandLine, const wchar_t* aClass) {
  const LARGE_INTEGER start = Now();
  HANDLE process = Start(aCommandLine);
  if (process == nullptr) {
    return -1;
  }
  const ULONGLONG limit = ::GetTickCount64() + kLimitMs;
  while (ShownWindow(aClass) == nullptr && ::GetTickCount64() < limit) {
    ::Sleep(2);
  }
  const double took = ShownWindow(aClass) != nullptr ? Seconds(start, Now()) : -1;
  EndWindowProgram(process, aClass);
  return took;
}

LRESULT CALLBACK BareWindowProc(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) {
  if (aMessage == WM_DESTROY) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcW(aWindow, aMessage, aWParam, aLParam);
}

// The reference window program: one plain window of the main window's size, shown at once.
int ShowBareWindow() {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = BareWindowProc;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kBareClass;
  if (::RegisterClassExW(&windowClass) == 0) {
    return 1;
  }
  HWND window = ::CreateWindowExW(
      0, kBareClass, L"Kestrova", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
      CW_USEDEFAULT, CW_USEDEFAULT, 780, 560, nullptr, nullptr, windowClass.hInstance, nullptr);
  if (window == nullptr) {
    return 1;
  }
  ::ShowWindow(window, SW_SHOWNORMAL);
  ::UpdateWindow(window);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return 0;
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
  const std::wstring main = L"\"" + program + L"\"";
  const std::wstring bareWindow = L"\"" + self + L"\" --window";
  // A first start of each fills the caches of the system and of Wine's server.
  BareStart();
  WindowStart(bareWindow, kBareClass);
  WindowStart(main, kMainClass);
  std::vector<double> bare;
  std::vector<double> plain;
  std::vector<double> window;
  for (int round = 0; round < aRounds; ++round) {
    bare.push_back(BareStart());
    plain.push_back(WindowStart(bareWindow, kBareClass));
    window.push_back(WindowStart(main, kMainClass));
    std::printf("round %d: bare process %.3f s, bare window %.3f s, main window %.3f s\n",
                round + 1, bare.back(), plain.back(), window.back());
    if (bare.back() < 0 || plain.back() < 0 || window.back() < 0) {
      std::printf("a start failed or no window appeared within %llu s\n", kLimitMs / 1000);
      return 1;
    }
  }
  const double bareMedian = Median(bare);
  const double plainMedian = Median(plain);
  const double windowMedian = Median(window);
  std::printf("median of %d: bare process %.3f s, bare window on show %.3f s, main window on show "
              "%.3f s\n",
              aRounds, bareMedian, plainMedian, windowMedian);
  PrintBenchRow("start-up, Kestrova.exe to main window on show", windowMedian,
                plainMedian + kAllowanceSeconds, "bare window + 0.5 s", "s", 1);
  return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc > 1 && std::wstring(argv[1]) == L"--exit") {
    return 0;
  }
  if (argc > 1 && std::wstring(argv[1]) == L"--window") {
    return ShowBareWindow();
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
