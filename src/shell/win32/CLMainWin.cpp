#include "shell/win32/CLMainWin.h"

#include "appengine/SingleDownloader.h"
#include "base/win32/CLHelpersWin.h"
#include "base/win32/CLMainThreadWin.h"
#include "components/win32/CLWinBinding.h"
#include "components/win32/CLWinMessageBox.h"
#include "cure/sysrestore.h"
#include "platform/win32/Win32Platform.h"
#include "windows/win32/CLSplashForm.h"
#include "windows/win32/CLWinPlacer.h"

#include <shellapi.h>

namespace {

// How long the end of the program waits for network calls that were cancelled.
constexpr uint32_t kAbandonedTransfersMs = 5000;

HWND AsWindow(TCLWindow aWindow) {
  return reinterpret_cast<HWND>(aWindow);
}

} // namespace

TCLAppHostWin::~TCLAppHostWin() {
  if (FMutex != nullptr) {
    CloseHandle(FMutex);
  }
}

std::vector<std::wstring> TCLAppHostWin::Arguments() {
  std::vector<std::wstring> arguments;
  int count = 0;
  wchar_t** list = CommandLineToArgvW(GetCommandLineW(), &count);
  if (list == nullptr) {
    return arguments;
  }
  for (int i = 1; i < count; ++i) {
    arguments.emplace_back(list[i]);
  }
  LocalFree(list);
  return arguments;
}

uint32_t TCLAppHostWin::RegisterMessage(const std::wstring& aName) {
  return RegisterWindowMessageW(aName.c_str());
}

std::vector<TCLWindow> TCLAppHostWin::FindWindows(const std::wstring& aClassName) {
  std::vector<TCLWindow> windows;
  for (HWND window = FindWindowExW(nullptr, nullptr, aClassName.c_str(), nullptr);
       window != nullptr; window = FindWindowExW(nullptr, window, aClassName.c_str(), nullptr)) {
    windows.push_back(reinterpret_cast<TCLWindow>(window));
  }
  return windows;
}

std::wstring TCLAppHostWin::WindowCaption(TCLWindow aWindow) {
  const int length = ::GetWindowTextLengthW(AsWindow(aWindow));
  if (length <= 0)
    return std::wstring();
  std::wstring caption(static_cast<size_t>(length) + 1, L'\0');
  caption.resize(
      static_cast<size_t>(::GetWindowTextW(AsWindow(aWindow), caption.data(), length + 1)));
  return caption;
}

bool TCLAppHostWin::SendWithTimeout(TCLWindow aWindow, uint32_t aMsg, uintptr_t aWParam,
                                    intptr_t aLParam, uint32_t aTimeoutMs, intptr_t& aResult) {
  DWORD_PTR result = 0;
  if (SendMessageTimeoutW(AsWindow(aWindow), aMsg, aWParam, aLParam, SMTO_ABORTIFHUNG, aTimeoutMs,
                          &result) == 0) {
    return false;
  }
  aResult = static_cast<intptr_t>(result);
  return true;
}

bool TCLAppHostWin::SendCopyData(TCLWindow aWindow, uintptr_t aId,
                                 const std::vector<uint8_t>& aData, uint32_t aTimeoutMs) {
  COPYDATASTRUCT copy{};
  copy.dwData = aId;
  copy.cbData = static_cast<DWORD>(aData.size());
  copy.lpData = const_cast<uint8_t*>(aData.data());
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(AsWindow(aWindow), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy),
                             SMTO_ABORTIFHUNG, aTimeoutMs, &result) != 0;
}

bool TCLAppHostWin::IsMinimized(TCLWindow aWindow) {
  return IsIconic(AsWindow(aWindow)) != 0;
}

void TCLAppHostWin::Restore(TCLWindow aWindow) {
  ShowWindow(AsWindow(aWindow), SW_RESTORE);
}

void TCLAppHostWin::Show(TCLWindow aWindow) {
  ShowWindow(AsWindow(aWindow), SW_SHOW);
}

bool TCLAppHostWin::SetForeground(TCLWindow aWindow) {
  return SetForegroundWindow(AsWindow(aWindow)) != 0;
}

bool TCLAppHostWin::AttachForegroundInput(bool aAttach) {
  const DWORD self = GetCurrentThreadId();
  if (!aAttach) {
    const bool detached =
        FAttachedThread != 0 && AttachThreadInput(self, FAttachedThread, FALSE) != 0;
    FAttachedThread = 0;
    return detached;
  }
  const DWORD foreground = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
  if (foreground == 0 || foreground == self || AttachThreadInput(self, foreground, TRUE) == 0) {
    return false;
  }
  FAttachedThread = foreground;
  return true;
}

bool TCLAppHostWin::GetForegroundLockTimeout(uint32_t& aTimeoutMs) {
  DWORD timeout = 0;
  if (SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0) == 0) {
    return false;
  }
  aTimeoutMs = timeout;
  return true;
}

bool TCLAppHostWin::SetForegroundLockTimeout(uint32_t aTimeoutMs) {
  // The value travels in the pointer argument; only this session changes, nothing is stored.
  return SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0,
                               reinterpret_cast<void*>(static_cast<uintptr_t>(aTimeoutMs)), 0) != 0;
}

TCLMutexResult TCLAppHostWin::CreateInstanceMutex(const std::wstring& aName) {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, aName.c_str());
  const DWORD error = GetLastError();
  if (mutex == nullptr) {
    // A mutex of another user's instance, made with rights that do not include ours.
    return error == ERROR_ACCESS_DENIED ? TCLMutexResult::mrExisted : TCLMutexResult::mrFailed;
  }
  if (error == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return TCLMutexResult::mrExisted;
  }
  if (FMutex != nullptr) {
    CloseHandle(FMutex);
  }
  FMutex = mutex;
  return TCLMutexResult::mrCreated;
}

bool TCLAppHostWin::KeyDown(TCLKey aKey) {
  // The keyboard as it is now: at start the thread has no input state of its own yet.
  return (GetAsyncKeyState(aKey == TCLKey::kControl ? VK_CONTROL : VK_SHIFT) & 0x8000) != 0;
}

bool TCLAppHostWin::IsElevated() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    return false;
  }
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  const bool elevated =
      GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size) != 0 &&
      elevation.TokenIsElevated != 0;
  CloseHandle(token);
  return elevated;
}

void TCLAppHostWin::ShowSplash() {
  SplashShow();
}

void TCLAppHostWin::CloseSplash() {
  SplashClose();
}

void TCLAppHostWin::RunMessageLoop() {
  RunWin32MessageLoop();
}

void TCLAppHostWin::Terminate() {
  TerminateWin32MessageLoop();
}

void TCLAppHostWin::ShowPlainMessage(const std::wstring& aText, bool aError) {
  MessageBoxW(nullptr, aText.c_str(), L"Kestrova",
              MB_OK | MB_TASKMODAL | (aError ? MB_ICONERROR : MB_ICONWARNING));
}

uint32_t
TCLAppHostWin::SendMail(TCLWindow aWindow,
                        const std::vector<std::pair<std::wstring, std::wstring>>& aFields) {
  return SendMailByMAPI(AsWindow(aWindow), aFields);
}

int RunCLWinProgram(const TCLMainFormClass& aMainFormClass,
                    const std::function<void(ICLMessageBox*)>& aUseMessageBox) {
  kplat::win32::InstallWin32Platform();
  TCLAppHostWin host;
  const TCLScopedAppHost hostScope(host);

  // The library stays bound until the process ends.
  const std::wstring missing = BindSystemRestore();
  if (!missing.empty()) {
    host.ShowPlainMessage(missing, false);
    return 1;
  }
  int exitCode = 0;
  if (!CLElevationStep(exitCode)) {
    return exitCode;
  }

  TCLMainThreadWin mainThread;
  const TCLScopedMainThread mainThreadScope(mainThread);
  InstallWin32Binding();
  InstallWin32FormPlacer();
  TWinMessageBox messageBox;
  aUseMessageBox(&messageBox);
  TForm* mainForm = nullptr;
  RunApplication(aMainFormClass, mainForm);
  aUseMessageBox(nullptr);
  // Transfers given up when their windows closed end while the dispatcher still serves them.
  TSingleDownloader::WaitForAbandoned(kAbandonedTransfersMs);
  return 0;
}
