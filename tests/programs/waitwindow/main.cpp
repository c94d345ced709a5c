// waitwindow.exe CLASS [SECONDS]: waits, at most SECONDS (default 30), until a top-level window
// of the class is on show and painted, in whichever process of the prefix it lives. tools/run-demo
// takes its picture when this returns. Exit code 0 when the window is there and painted, 1 when
// no such window appeared, 2 when it appeared but was still painting at the limit.

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

HWND FindShownWindow(const wchar_t* aClass) {
  struct TSearch {
    const wchar_t* Class;
    HWND Found;
  } search{aClass, nullptr};
  ::EnumWindows(
      [](HWND aWindow, LPARAM aSearch) {
        auto& self = *reinterpret_cast<TSearch*>(aSearch);
        wchar_t name[256] = {};
        ::GetClassNameW(aWindow, name, 256);
        if (std::wcscmp(name, self.Class) != 0 || !::IsWindowVisible(aWindow) ||
            ::IsIconic(aWindow))
          return TRUE;
        self.Found = aWindow;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

bool NeedsPaint(HWND aWindow) {
  if (::GetUpdateRect(aWindow, nullptr, FALSE))
    return true;
  bool pending = false;
  ::EnumChildWindows(
      aWindow,
      [](HWND aChild, LPARAM aPending) {
        if (::IsWindowVisible(aChild) && ::GetUpdateRect(aChild, nullptr, FALSE)) {
          *reinterpret_cast<bool*>(aPending) = true;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&pending));
  return pending;
}

} // namespace

int wmain(int aCount, wchar_t** aArguments) {
  if (aCount < 2) {
    std::fputws(L"usage: waitwindow CLASS [SECONDS]\n", stderr);
    return 2;
  }
  const wchar_t* windowClass = aArguments[1];
  const ULONGLONG limit = (aCount > 2 ? std::wcstoul(aArguments[2], nullptr, 10) : 30) * 1000ull;
  const ULONGLONG start = ::GetTickCount64();
  constexpr DWORD kPollMs = 100;
  // Painted means: nothing of the window waits to be painted after the program has served every
  // message sent to it, seen twice in a row, so that a page docked a moment later is painted too.
  int cleanPolls = 0;
  HWND window = nullptr;
  while (::GetTickCount64() - start < limit) {
    window = FindShownWindow(windowClass);
    if (window != nullptr) {
      DWORD_PTR ignored = 0;
      const bool answers =
          ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored) != 0;
      cleanPolls = answers && !NeedsPaint(window) ? cleanPolls + 1 : 0;
      if (cleanPolls >= 2)
        return 0;
    }
    ::Sleep(kPollMs);
  }
  return window == nullptr ? 1 : 2;
}
