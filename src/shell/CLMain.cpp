#include "shell/CLMain.h"

#include "appengine/CLEngine.h"
#include "base/CLHelpers.h"
#include "base/CLSettings.h"
#include "platform/Platform.h"
#include "platform/TextCodec.h"
#include "windows/CLUpdateForm.h"

#include <utility>

namespace {

constexpr wchar_t kDebugTag[] = L"CLMain";
constexpr wchar_t kElevationWord[] = L"runas";
// How long switch r gives the running instance to close before this one starts.
constexpr uint32_t kRestartWaitMs = 2000;

bool AskInstance(TCLWindow aWindow, const wchar_t* aMessage, intptr_t& aReply) {
  const uint32_t message = RegisterCLMessage(aMessage);
  return message != 0 &&
         GetCLAppHost()->SendWithTimeout(aWindow, message, 0, 0, kCLInstanceTimeoutMs, aReply);
}

// The foreground request, the stronger ways only when the plain one is refused: within the
// foreground window's input thread, then with the foreground lock time-out at 0 (put back at
// once).
void ForceForeground(ICLAppHost& aHost, TCLWindow aWindow) {
  if (aHost.SetForeground(aWindow)) {
    return;
  }
  if (aHost.AttachForegroundInput(true)) {
    const bool done = aHost.SetForeground(aWindow);
    aHost.AttachForegroundInput(false);
    if (done) {
      return;
    }
  }
  uint32_t lockTimeout = 0;
  if (aHost.GetForegroundLockTimeout(lockTimeout) && aHost.SetForegroundLockTimeout(0)) {
    aHost.SetForeground(aWindow);
    aHost.SetForegroundLockTimeout(lockTimeout);
  }
}

// The argument a second instance hands over: the first one, unless it is a switch. After the
// elevated restart the first one is the restart's own "runas" and what the user gave follows it.
std::wstring HandOverArgument(const std::vector<std::wstring>& aArguments) {
  size_t index = 0;
  if (!aArguments.empty() && aArguments[0] == kElevationWord) {
    index = 1;
  }
  if (index >= aArguments.size() || IsCmdLineSwitch(aArguments[index])) {
    return std::wstring();
  }
  return aArguments[index];
}

// Releases the settings store however RunApplication ends.
class TSettingsRelease {
public:
  TSettingsRelease() = default;
  ~TSettingsRelease() { FreeCLSettings(); }
  TSettingsRelease(const TSettingsRelease&) = delete;
  TSettingsRelease& operator=(const TSettingsRelease&) = delete;
};

} // namespace

TCLWindow FindCLInstance(const std::wstring& aClassName) {
  ICLAppHost* host = GetCLAppHost();
  const uint32_t message = RegisterCLMessage(kCLMsgGetAppID);
  if (host == nullptr || message == 0) {
    return 0;
  }
  const intptr_t appId = GetCLSettings().GetSettingInteger(L"App.ID");
  for (const TCLWindow window : host->FindWindows(aClassName)) {
    intptr_t reply = 0;
    if (host->SendWithTimeout(window, message, 0, 0, kCLInstanceTimeoutMs, reply) &&
        reply == appId) {
      return window;
    }
  }
  return 0;
}

bool CloseCLInstance(const std::wstring& aClassName) {
  const TCLWindow window = FindCLInstance(aClassName);
  intptr_t reply = 0;
  return window != 0 && AskInstance(window, kCLMsgCloseApp, reply);
}

void ActivateCLInstance(const std::wstring& aClassName) {
  const TCLWindow window = FindCLInstance(aClassName);
  if (window == 0) {
    return;
  }
  // An instance that does not answer is as busy as one that says so: it is left alone.
  intptr_t reply = 1;
  if (!AskInstance(window, kCLMsgIfBusy, reply) || reply == 1) {
    return;
  }
  if (AskInstance(window, kCLMsgBringToFront, reply) && reply == 1) {
    return;
  }
  ICLAppHost& host = *GetCLAppHost();
  if (host.IsMinimized(window)) {
    host.Restore(window);
  }
  host.Show(window);
  ForceForeground(host, window);
}

bool SendCLCmdFile(const std::wstring& aClassName, const std::wstring& aFileName) {
  const TCLWindow window = FindCLInstance(aClassName);
  return window != 0 && GetCLAppHost()->SendCopyData(window, 0, kplat::EncodeUtf16Le(aFileName),
                                                     kCLInstanceTimeoutMs);
}

void RunApplication(const TCLMainFormClass& aMainFormClass, TForm*& aMainForm,
                    const TCLAdmission& aAdmission) {
  ICLAppHost& host = *GetCLAppHost();
  kplat::SetDebugEnabled(false);
  const std::vector<std::wstring> arguments = host.Arguments();
  const auto hasSwitch = [&arguments](const wchar_t* aSwitch) {
    return FindCmdLineSwitch(arguments, aSwitch);
  };
  if (hasSwitch(L"i") || hasSwitch(L"u")) {
    return;
  }
  const TSettingsRelease release;
  if (hasSwitch(L"s")) {
    CloseCLInstance(aMainFormClass.ClassName);
    return;
  }
  if (hasSwitch(L"r")) {
    CloseCLInstance(aMainFormClass.ClassName);
    kplat::Platform().Clock().SleepMs(kRestartWaitMs);
  }

  TCLSettings& settings = GetCLSettings();
  bool debug = (settings.GetSettingBool(L"Debug.Enabled") ||
                (host.KeyDown(TCLKey::kControl) && host.KeyDown(TCLKey::kShift))) &&
               !settings.GetSettingBool(L"Debug.Disabled");
  debug = debug || hasSwitch(L"d");
  if (debug) {
    kplat::SetDebugEnabled(true);
    kplat::DebugLog(kDebugTag, L"Enter Debug Mode...");
  }

  if (hasSwitch(L"a") && !settings.GetSettingBool(L"App.Autorun")) {
    return;
  }
  if (aAdmission && !aAdmission()) {
    return;
  }
  if (!settings.GetSettingBool(L"App.Multiple") &&
      host.CreateInstanceMutex(L"Global\\" + settings.GetSettingString(L"App.GUID")) ==
          TCLMutexResult::mrExisted) {
    ActivateCLInstance(aMainFormClass.ClassName);
    const std::wstring argument = HandOverArgument(arguments);
    if (!argument.empty()) {
      SendCLCmdFile(aMainFormClass.ClassName, argument);
    }
    return;
  }

  if (settings.GetSettingBool(L"App.Splash")) {
    host.ShowSplash();
  }
  std::unique_ptr<TForm> mainForm = aMainFormClass.Create();
  aMainForm = mainForm.get();
  // The engine's check for a newer version at start shows its result in the update window.
  if (TCLEngine* engine = GetCLEngine()) {
    engine->OnUpdateCheck = [engine](TObject&) { AppUpdateAuto(*engine); };
  }
  // The window exists from the start, hidden or not, so that a second instance finds it.
  mainForm->HandleNeeded();
  mainForm->Loaded();
  if (!hasSwitch(L"h")) {
    mainForm->ShowForm();
  }
  host.RunMessageLoop();
  host.CloseSplash();
  // The main form goes before the settings store, which its components still use.
  aMainForm = nullptr;
  mainForm.reset();
}

bool CLElevationStep(int& aExitCode) {
  aExitCode = 0;
  const std::vector<std::wstring> arguments = CLCommandArguments();
  const std::wstring first = arguments.empty() ? std::wstring() : arguments[0];
  if (kplat::Platform().System().GetVersion().Major < 6 || first == kElevationWord) {
    return true;
  }
  // A process that has the rights already (User Account Control off, or started elevated) would
  // only pay a second process start for them.
  if (ICLAppHost* host = GetCLAppHost(); host != nullptr && host->IsElevated()) {
    return true;
  }
  // The argument is quoted, so that one with blanks reaches the new process whole.
  std::wstring parameters = std::wstring(kElevationWord) + L" ";
  if (!arguments.empty()) {
    parameters += QuoteCmdLineArgument(first);
  }
  try {
    RunAsAdmin(kplat::Platform().System().GetProgramPath(), parameters);
  } catch (const ECLError& error) {
    if (ICLAppHost* host = GetCLAppHost()) {
      host->ShowPlainMessage(error.Message(), true);
    }
    aExitCode = static_cast<int>(error.ErrorCode());
  }
  return false;
}
