#pragma once
// The Windows dispatcher: a hidden message-only window of the thread that creates it, the main
// thread. Its messages are handled by that thread's ordinary GetMessage/DispatchMessage loop, or
// by RunUntil and ProcessMessages, which serve every window of the thread while they wait. Calls
// from workers wait in the shared queue; a posted message wakes the window to take them. Timers
// are the window's own (SetTimer), so they tick while the thread's loop runs.
//
// Created, used for timers and destroyed on the main thread.

#include "base/CLMainThread.h"

#include <windows.h>

#include <map>
#include <memory>

class TCLMainThreadWin : public TCLMainThread {
public:
  TCLMainThreadWin();
  // Answers every waiting call with false, then destroys the window and its timers.
  ~TCLMainThreadWin() override;
  TCLMainThreadWin(const TCLMainThreadWin&) = delete;
  TCLMainThreadWin& operator=(const TCLMainThreadWin&) = delete;

  // False when the window could not be created; every call is then refused.
  bool Valid() const { return FWindow != nullptr; }
  HWND Handle() const { return FWindow; }

  bool IsMainThread() const override;
  bool Synchronize(TMainThreadProc aProc, std::stop_token aStop = {}) override;
  bool Post(TMainThreadProc aProc) override;

  TCLTimerHandle CreateTimer(uint32_t aIntervalMs, TMainThreadProc aOnTimer,
                             bool aEnabled) override;
  void SetTimerEnabled(TCLTimerHandle aTimer, bool aEnabled) override;
  void SetTimerInterval(TCLTimerHandle aTimer, uint32_t aIntervalMs) override;
  void DestroyTimer(TCLTimerHandle aTimer) override;

  size_t WaitingCalls() const override;
  // Handles every message waiting for the thread's windows; a quit message stays queued.
  void ProcessMessages() override;
  bool RunUntil(const std::function<bool()>& aDone, uint32_t aLimitMs) override;

private:
  struct TTimer {
    uint32_t Interval = 0;
    bool Enabled = false;
    // Shared so that a handler that destroys its own timer keeps running on a live copy.
    std::shared_ptr<TMainThreadProc> OnTimer;
  };

  static LRESULT CALLBACK WindowProc(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam);
  void Wake();
  void ArmTimer(TCLTimerHandle aHandle, const TTimer& aTimer);
  void FireTimer(TCLTimerHandle aHandle);
  // Dispatches one waiting message; false when there was none or it was the quit message (which
  // is posted again for the loop that owns it).
  bool DispatchOne(bool& aQuit);

  const DWORD FThreadId;
  HWND FWindow = nullptr;
  TCLCallQueue FQueue;
  std::map<TCLTimerHandle, TTimer> FTimers;
  TCLTimerHandle FLastTimer = 0;
};
