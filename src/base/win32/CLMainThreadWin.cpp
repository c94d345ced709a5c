#include "base/win32/CLMainThreadWin.h"

#include <algorithm>

namespace {

const wchar_t kWindowClass[] = L"KestrovaMainThread";
// Tells the window that calls are queued. The class is private, so WM_APP numbers are free.
constexpr UINT kWakeMessage = WM_APP + 1;
// RunUntil's condition may turn true without a message arriving (a worker that ends), so an idle
// loop looks at it again after this long at the latest.
constexpr DWORD kRecheckMs = 10;

// Timer ticks have no caller to hand an exception to; one that escapes ends the program here
// rather than unwinding through the system's window procedure.
void RunUnanswered(const TMainThreadProc& aProc) noexcept {
  aProc();
}

// Serves one waiting message of aKind (aServed says whether there was one); false once it met the
// quit message, which stays for the loop that ends on it.
bool ServeOne(UINT aKind, bool& aServed) {
  MSG message;
  aServed = ::PeekMessageW(&message, nullptr, aKind, aKind, PM_REMOVE) != FALSE;
  if (!aServed)
    return true;
  if (message.message == WM_QUIT) {
    // Taken whatever the filter says.
    ::PostQuitMessage(static_cast<int>(message.wParam));
    return false;
  }
  ::DispatchMessageW(&message);
  return true;
}

// The system makes paint and timer messages only while no posted message waits: a worker that
// calls again as soon as its last call returned would keep the windows from painting and every
// timer from firing for as long as it works. After the queued calls, the paints and timer ticks
// that are due are served (a bounded number, in case a window never validates what it paints).
// The timers that are due fire between two paints, not after the last: a change of state that
// repaints a dozen controls would otherwise hold every timer back for all of their paints.
void ServePaintAndTimers() {
  constexpr int kMaxServed = 64;
  int timers = 0;
  for (int paints = 0; paints < kMaxServed; ++paints) {
    bool served = true;
    while (served && timers < kMaxServed) {
      if (!ServeOne(WM_TIMER, served))
        return;
      timers += served ? 1 : 0;
    }
    if (!ServeOne(WM_PAINT, served) || !served)
      return;
  }
}

bool RegisterWindowClass(HINSTANCE aInstance, WNDPROC aProc) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = aProc;
  windowClass.hInstance = aInstance;
  windowClass.lpszClassName = kWindowClass;
  return ::RegisterClassExW(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

} // namespace

TCLMainThreadWin::TCLMainThreadWin()
    : FThreadId(::GetCurrentThreadId()), FQueue([this] { Wake(); }) {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  if (RegisterWindowClass(instance, &TCLMainThreadWin::WindowProc)) {
    FWindow = ::CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                instance, this);
  }
  if (FWindow == nullptr) {
    // Nothing would ever take a call: refuse them rather than let workers wait for ever.
    FQueue.Shutdown();
  }
}

TCLMainThreadWin::~TCLMainThreadWin() {
  // First, so that no worker is inside the queue (or waking the window) when it goes.
  FQueue.Shutdown();
  if (FWindow != nullptr) {
    for (const auto& [handle, timer] : FTimers) {
      ::KillTimer(FWindow, handle);
    }
    ::DestroyWindow(FWindow);
  }
}

bool TCLMainThreadWin::IsMainThread() const {
  return ::GetCurrentThreadId() == FThreadId;
}

bool TCLMainThreadWin::Synchronize(TMainThreadProc aProc, std::stop_token aStop) {
  return FQueue.Synchronize(IsMainThread(), std::move(aProc), std::move(aStop));
}

bool TCLMainThreadWin::Post(TMainThreadProc aProc) {
  return FQueue.Post(std::move(aProc));
}

void TCLMainThreadWin::Wake() {
  ::PostMessageW(FWindow, kWakeMessage, 0, 0);
}

TCLTimerHandle TCLMainThreadWin::CreateTimer(uint32_t aIntervalMs, TMainThreadProc aOnTimer,
                                             bool aEnabled) {
  do {
    ++FLastTimer;
  } while (FLastTimer == 0 || FTimers.count(FLastTimer) != 0);
  TTimer& timer = FTimers[FLastTimer];
  timer.Interval = aIntervalMs;
  timer.Enabled = aEnabled;
  timer.OnTimer = std::make_shared<TMainThreadProc>(std::move(aOnTimer));
  ArmTimer(FLastTimer, timer);
  return FLastTimer;
}

void TCLMainThreadWin::SetTimerEnabled(TCLTimerHandle aTimer, bool aEnabled) {
  const auto found = FTimers.find(aTimer);
  if (found == FTimers.end() || found->second.Enabled == aEnabled) {
    return;
  }
  found->second.Enabled = aEnabled;
  ArmTimer(aTimer, found->second);
}

void TCLMainThreadWin::SetTimerInterval(TCLTimerHandle aTimer, uint32_t aIntervalMs) {
  const auto found = FTimers.find(aTimer);
  if (found == FTimers.end() || found->second.Interval == aIntervalMs) {
    return;
  }
  found->second.Interval = aIntervalMs;
  ArmTimer(aTimer, found->second);
}

void TCLMainThreadWin::DestroyTimer(TCLTimerHandle aTimer) {
  if (FTimers.erase(aTimer) != 0 && FWindow != nullptr) {
    ::KillTimer(FWindow, aTimer);
  }
}

void TCLMainThreadWin::ArmTimer(TCLTimerHandle aHandle, const TTimer& aTimer) {
  if (FWindow == nullptr) {
    return;
  }
  // Setting a timer of the same number again replaces it and starts its interval anew.
  if (aTimer.Enabled && aTimer.Interval > 0) {
    ::SetTimer(FWindow, aHandle, aTimer.Interval, nullptr);
  } else {
    ::KillTimer(FWindow, aHandle);
  }
}

void TCLMainThreadWin::FireTimer(TCLTimerHandle aHandle) {
  // KillTimer leaves a WM_TIMER that was already queued, so the state decides, not the message.
  const auto found = FTimers.find(aHandle);
  if (found == FTimers.end() || !found->second.Enabled || found->second.Interval == 0) {
    return;
  }
  const std::shared_ptr<TMainThreadProc> onTimer = found->second.OnTimer;
  RunUnanswered(*onTimer);
}

size_t TCLMainThreadWin::WaitingCalls() const {
  return FQueue.WaitingCalls();
}

LRESULT CALLBACK TCLMainThreadWin::WindowProc(HWND aWindow, UINT aMessage, WPARAM aWParam,
                                              LPARAM aLParam) {
  if (aMessage == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(aLParam);
    ::SetWindowLongPtrW(aWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<TCLMainThreadWin*>(::GetWindowLongPtrW(aWindow, GWLP_USERDATA));
  if (self != nullptr) {
    switch (aMessage) {
    case kWakeMessage:
      self->FQueue.RunQueued();
      ServePaintAndTimers();
      // Calls queued while these ran did not wake the window (the queue was not empty then).
      if (!self->FQueue.Empty()) {
        self->Wake();
      }
      return 0;
    case WM_TIMER:
      self->FireTimer(static_cast<TCLTimerHandle>(aWParam));
      return 0;
    case WM_NCDESTROY:
      ::SetWindowLongPtrW(aWindow, GWLP_USERDATA, 0);
      break;
    default:
      break;
    }
  }
  return ::DefWindowProcW(aWindow, aMessage, aWParam, aLParam);
}

bool TCLMainThreadWin::DispatchOne(bool& aQuit) {
  MSG message;
  if (!::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    return false;
  }
  if (message.message == WM_QUIT) {
    // Left for the loop that owns the thread, which ends the program with it.
    ::PostQuitMessage(static_cast<int>(message.wParam));
    aQuit = true;
    return false;
  }
  ::TranslateMessage(&message);
  ::DispatchMessageW(&message);
  return true;
}

void TCLMainThreadWin::ProcessMessages() {
  bool quit = false;
  while (DispatchOne(quit)) {
  }
}

bool TCLMainThreadWin::RunUntil(const std::function<bool()>& aDone, uint32_t aLimitMs) {
  const ULONGLONG deadline = ::GetTickCount64() + aLimitMs;
  bool quit = false;
  for (;;) {
    while (DispatchOne(quit)) {
      if (aDone()) {
        return true;
      }
      if (::GetTickCount64() >= deadline) {
        return false;
      }
    }
    if (aDone()) {
      return true;
    }
    const ULONGLONG now = ::GetTickCount64();
    if (quit || now >= deadline) {
      return false;
    }
    const DWORD waitMs = static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, kRecheckMs));
    ::MsgWaitForMultipleObjectsEx(0, nullptr, waitMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}
