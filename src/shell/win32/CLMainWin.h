#pragma once
// The window system's side of start-up on Win32: registered messages, the search for the running
// instance's window and the requests to it, foreground activation, the single-instance mutex, the
// splash window and the message loop of the component binding. Main thread only.

#include "appengine/CLEngine.h"
#include "shell/CLMain.h"

#include <windows.h>

#include <functional>

class TCLAppHostWin : public ICLAppHost {
public:
  TCLAppHostWin() = default;
  // Closes the single-instance mutex, if this process holds it.
  ~TCLAppHostWin() override;
  TCLAppHostWin(const TCLAppHostWin&) = delete;
  TCLAppHostWin& operator=(const TCLAppHostWin&) = delete;

  std::vector<std::wstring> Arguments() override;
  uint32_t RegisterMessage(const std::wstring& aName) override;
  std::vector<TCLWindow> FindWindows(const std::wstring& aClassName) override;
  std::wstring WindowCaption(TCLWindow aWindow) override;
  bool SendWithTimeout(TCLWindow aWindow, uint32_t aMsg, uintptr_t aWParam, intptr_t aLParam,
                       uint32_t aTimeoutMs, intptr_t& aResult) override;
  bool SendCopyData(TCLWindow aWindow, uintptr_t aId, const std::vector<uint8_t>& aData,
                    uint32_t aTimeoutMs) override;
  bool IsMinimized(TCLWindow aWindow) override;
  void Restore(TCLWindow aWindow) override;
  void Show(TCLWindow aWindow) override;
  bool SetForeground(TCLWindow aWindow) override;
  bool AttachForegroundInput(bool aAttach) override;
  bool GetForegroundLockTimeout(uint32_t& aTimeoutMs) override;
  bool SetForegroundLockTimeout(uint32_t aTimeoutMs) override;
  TCLMutexResult CreateInstanceMutex(const std::wstring& aName) override;
  bool KeyDown(TCLKey aKey) override;
  bool IsElevated() override;
  void ShowSplash() override;
  void CloseSplash() override;
  void RunMessageLoop() override;
  void Terminate() override;
  void ShowPlainMessage(const std::wstring& aText, bool aError) override;
  uint32_t SendMail(TCLWindow aWindow,
                    const std::vector<std::pair<std::wstring, std::wstring>>& aFields) override;

private:
  HANDLE FMutex = nullptr;
  // The foreground window's thread while this one is attached to its input.
  DWORD FAttachedThread = 0;
};

// A window program's whole run on Win32: the platform backend, this host, the System Restore
// binding before any window (a missing library or entry point is said in a plain box and ends
// with exit code 1), the elevation step, the main-thread dispatcher, the component binding and
// RunApplication. aUseMessageBox hands the message service its box (nullptr at the end). Returns
// the exit code.
int RunCLWinProgram(const TCLMainFormClass& aMainFormClass,
                    const std::function<void(ICLMessageBox*)>& aUseMessageBox);
