#pragma once
// The window system as start-up and the application engine need it: the six registered window
// messages both instances agree on ("CL GetAppID" ...), the host interface behind which every
// window-system call of start-up sits, and the command-line helpers.
//
// A command-line argument travels between instances as WM_COPYDATA with data identifier 0 and
// the text as UTF-16. The host is installed once by the program's entry point (and by tests
// around each case), so the decisions run without a window system. GUI thread only.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// A top-level window of any process (an HWND); 0 is none.
using TCLWindow = uintptr_t;

inline constexpr wchar_t kCLMsgGetAppID[] = L"CL GetAppID";
inline constexpr wchar_t kCLMsgCloseApp[] = L"CL CloseApp";
inline constexpr wchar_t kCLMsgInitPost[] = L"CL InitPost";
inline constexpr wchar_t kCLMsgCmdParam[] = L"CL CmdParam";
inline constexpr wchar_t kCLMsgIfBusy[] = L"CL IfBusy";
inline constexpr wchar_t kCLMsgBringToFront[] = L"CL BringtoFront";

// The window system's own message numbers that start-up and the engine handle.
inline constexpr uint32_t kWM_QUERYENDSESSION = 0x0011;
inline constexpr uint32_t kWM_COPYDATA = 0x004A;

// How long a request to the running instance waits for its answer; a window that does not
// answer in time is treated as busy.
inline constexpr uint32_t kCLInstanceTimeoutMs = 5000;

enum class TCLMutexResult {
  mrCreated, // this process holds it now, for its whole life
  mrExisted, // another process holds it (the handle was closed again)
  mrFailed   // the system refused it for another reason
};

enum class TCLKey { kControl, kShift };

class ICLAppHost {
public:
  virtual ~ICLAppHost() = default;

  // The process's command-line arguments, without the program itself.
  virtual std::vector<std::wstring> Arguments() = 0;

  // --- Messages between instances.
  // The system-wide number of a message name; 0 when the system refused it.
  virtual uint32_t RegisterMessage(const std::wstring& aName) = 0;
  // Every top-level window of the window class, in the system's order.
  virtual std::vector<TCLWindow> FindWindows(const std::wstring& aClassName) = 0;
  // The window's caption; empty when there is no such window.
  virtual std::wstring WindowCaption(TCLWindow aWindow) = 0;
  // Sends and waits up to aTimeoutMs for the reply; false when none came (no such window, hung,
  // too slow).
  virtual bool SendWithTimeout(TCLWindow aWindow, uint32_t aMsg, uintptr_t aWParam,
                               intptr_t aLParam, uint32_t aTimeoutMs, intptr_t& aResult) = 0;
  // WM_COPYDATA with data identifier aId and the bytes; false when it was not delivered.
  virtual bool SendCopyData(TCLWindow aWindow, uintptr_t aId, const std::vector<uint8_t>& aData,
                            uint32_t aTimeoutMs) = 0;

  // --- Activating another process's window.
  virtual bool IsMinimized(TCLWindow aWindow) = 0;
  virtual void Restore(TCLWindow aWindow) = 0;
  virtual void Show(TCLWindow aWindow) = 0;
  // The plain foreground request; false when the system refused it.
  virtual bool SetForeground(TCLWindow aWindow) = 0;
  // Joins (or leaves) the input thread of the window now in the foreground; false when that
  // failed (nothing is joined then).
  virtual bool AttachForegroundInput(bool aAttach) = 0;
  virtual bool GetForegroundLockTimeout(uint32_t& aTimeoutMs) = 0;
  virtual bool SetForegroundLockTimeout(uint32_t aTimeoutMs) = 0;

  // --- This process.
  // The named mutex of the single instance.
  virtual TCLMutexResult CreateInstanceMutex(const std::wstring& aName) = 0;
  virtual bool KeyDown(TCLKey aKey) = 0;
  // Whether this process has an administrator's full rights already (its token is elevated); a
  // host that cannot tell says no, and the elevation step asks for them.
  virtual bool IsElevated() { return false; }
  // The splash window, shown and painted at once; closing it is harmless when it is gone.
  virtual void ShowSplash() = 0;
  virtual void CloseSplash() = 0;
  // Serves the windows until the application is terminated.
  virtual void RunMessageLoop() = 0;
  // Ends the message loop (the application's terminate request); it returns soon after.
  virtual void Terminate() = 0;
  // A plain system message box with one OK button, for what must be said before any window of
  // the program exists; aError shows the error icon, else the warning icon.
  virtual void ShowPlainMessage(const std::wstring& aText, bool aError) = 0;

  // --- Mail.
  // Opens the user's mail program with a new message for the user to edit and send, owned by
  // aWindow. aFields are name and value pairs: "to", "subject", "body", "attachment0", ...
  // Returns the mail system's result (0 success); without a mail program the user is told so.
  virtual uint32_t SendMail(TCLWindow aWindow,
                            const std::vector<std::pair<std::wstring, std::wstring>>& aFields) = 0;
};

// The installed host, or nullptr while none is.
ICLAppHost* GetCLAppHost();
ICLAppHost* SetCLAppHost(ICLAppHost* aHost); // returns the previous one

// Installs a host for the lifetime of the object and puts the previous one back.
class TCLScopedAppHost {
public:
  explicit TCLScopedAppHost(ICLAppHost& aHost) : FPrevious(SetCLAppHost(&aHost)) {}
  ~TCLScopedAppHost() { SetCLAppHost(FPrevious); }
  TCLScopedAppHost(const TCLScopedAppHost&) = delete;
  TCLScopedAppHost& operator=(const TCLScopedAppHost&) = delete;

private:
  ICLAppHost* FPrevious;
};

// The number of a registered message name: the host's; without a host (a process without a
// window system) a number of this process's own, the same for the same name.
uint32_t RegisterCLMessage(const std::wstring& aName);
// The host's arguments; none without a host.
std::vector<std::wstring> CLCommandArguments();

// Whether aSwitch (one letter) is among the arguments, after "-" or "/", in any case.
bool FindCmdLineSwitch(const std::vector<std::wstring>& aArguments, const std::wstring& aSwitch);
// Whether an argument is a switch rather than a command file: it begins with "-" or "/".
bool IsCmdLineSwitch(const std::wstring& aArgument);

// The argument as one argument of a Windows command line: unchanged unless it is empty or holds
// a blank, tab or double quote; otherwise in double quotes with the backslashes before a quote
// (and at the end) doubled and every quote escaped, so that the new process reads it whole.
std::wstring QuoteCmdLineArgument(const std::wstring& aArgument);
