// The engine's start-up part: the hook of the owner form's messages, Loaded and InitPost.

#include "appengine/CLEngine.h"

#include "appengine/CLAppHost.h"
#include "base/CLSettings.h"
#include "platform/Platform.h"
#include "platform/TextCodec.h"

#include <algorithm>

namespace {

constexpr wchar_t kDebugTag[] = L"CLEngine";
// How long after an end-of-session query the session counts as ending.
constexpr uint64_t kSessionEndingMs = 300000;

// The text of a copy-data payload: UTF-16, two bytes a unit. A stray odd byte is dropped and
// the text ends at a terminating zero, for senders that pass one along.
std::wstring CopyDataText(const std::vector<uint8_t>& aData) {
  std::vector<uint8_t> bytes(aData.begin(), aData.begin() + (aData.size() & ~size_t{1}));
  std::wstring text = kplat::DecodeUtf16Le(bytes);
  text.erase(std::find(text.begin(), text.end(), L'\0'), text.end());
  return text;
}

} // namespace

void TCLEngine::HookOwnerForm() {
  FWM_CL_GET_APPID = RegisterCLMessage(kCLMsgGetAppID);
  FWM_CL_CLOSE_APP = RegisterCLMessage(kCLMsgCloseApp);
  FWM_CL_INITPOST = RegisterCLMessage(kCLMsgInitPost);
  FWM_CL_CMDPARAM = RegisterCLMessage(kCLMsgCmdParam);
  FWM_CL_IF_BUSY = RegisterCLMessage(kCLMsgIfBusy);
  FWM_CL_BRING_TO_FRONT = RegisterCLMessage(kCLMsgBringToFront);
  FForm = dynamic_cast<TForm*>(Owner());
  if (FForm != nullptr) {
    FOrigWndProc = FForm->WindowProc();
    FForm->SetWindowProc([this](TWindowMessage& aMessage) { return WndProc(aMessage); });
  }
}

void TCLEngine::UnhookOwnerForm() {
  // A form that is being freed has lost its handler already.
  if (FForm != nullptr && !FForm->Destroying()) {
    FForm->SetWindowProc(std::move(FOrigWndProc));
  }
  FForm = nullptr;
}

bool TCLEngine::WndProc(TWindowMessage& aMessage) {
  const uint32_t msg = aMessage.Msg;
  // A message the system refused to register has the number 0, which is no registered message.
  const auto is = [msg](uint32_t aRegistered) { return aRegistered != 0 && msg == aRegistered; };
  if (is(FWM_CL_GET_APPID)) {
    aMessage.Result = GetCLSettings().GetSettingInteger(L"App.ID");
    return true;
  }
  if (is(FWM_CL_CLOSE_APP)) {
    if (ICLAppHost* host = GetCLAppHost()) {
      host->Terminate();
    }
    aMessage.Result = 0;
    return true;
  }
  if (is(FWM_CL_INITPOST)) {
    InitPost();
    aMessage.Result = 0;
    return true;
  }
  if (is(FWM_CL_IF_BUSY)) {
    aMessage.Result = FInInited ? 1 : 0;
    return true;
  }
  if (is(FWM_CL_BRING_TO_FRONT)) {
    aMessage.Result = BringToFront() ? 1 : 0;
    return true;
  }
  if (msg == kWM_COPYDATA && aMessage.HasCopyData && !aMessage.CopyData.empty()) {
    // The file is delivered later, from the message loop: the sender is still waiting in its
    // send call, and whatever OnCmdFile does must not keep it there.
    FParamFile = CopyDataText(aMessage.CopyData);
    kplat::DebugLog(kDebugTag, L"Command file received : " + FParamFile);
    FForm->PostMessage(FWM_CL_CMDPARAM);
    aMessage.Result = 0;
    return true;
  }
  if (is(FWM_CL_CMDPARAM)) {
    if (OnCmdFile) {
      kplat::DebugLog(kDebugTag, L"Command file : " + FParamFile);
      OnCmdFile(FParamFile);
    }
    aMessage.Result = 0;
    return true;
  }
  if (msg == kWM_QUERYENDSESSION) {
    FQueryEndSession = true;
    FQueryEndSessionTime = kplat::Platform().Clock().TickMs();
  }
  return FOrigWndProc && FOrigWndProc(aMessage);
}

bool TCLEngine::BringToFront() {
  if (FForm == nullptr || FForm->Visible()) {
    return false;
  }
  for (int i = 0; i < FForm->ComponentCount(); ++i) {
    const auto* tray = dynamic_cast<const TTrayIcon*>(FForm->Components(i));
    if (tray != nullptr && tray->Visible()) {
      FForm->ShowForm();
      if (FForm->WindowState() == TWindowState::wsMinimized) {
        FForm->SetWindowState(TWindowState::wsNormal);
      }
      return true;
    }
  }
  return false;
}

bool TCLEngine::SessionEnding() const {
  return FQueryEndSession &&
         kplat::Platform().Clock().TickMs() - FQueryEndSessionTime < kSessionEndingMs;
}

void TCLEngine::Loaded() {
  if (IsLoaded()) {
    return;
  }
  MarkLoaded();
  TCLSettings& settings = GetCLSettings();
  FInLoaded = true;
  const std::wstring skin = settings.GetSettingString(L"Skin");
  SetSkin(skin.empty() ? L"Default" : skin);
  BuildSkinMenu();
  const std::wstring language = settings.GetSettingString(L"Language");
  SetLanguage(language.empty() ? L"English" : language);
  BuildLanguageMenu();
  FInLoaded = false;
  if (FForm != nullptr) {
    FForm->PostMessage(FWM_CL_INITPOST);
  }
}

void TCLEngine::InitPost() {
  if (OnLanguageChanged) {
    OnLanguageChanged(*this);
  }
  if (OnSkinChanged) {
    OnSkinChanged(*this);
  }
  UpdateTitle();
  GetCLSettings().TellUnreadable();
  if (GetCLSettings().GetSettingBool(L"Update.BeginAuto") && OnUpdateCheck) {
    OnUpdateCheck(*this);
  }
  const std::vector<std::wstring> arguments = CLCommandArguments();
  if (!arguments.empty() && !IsCmdLineSwitch(arguments[0]) && FForm != nullptr) {
    FParamFile = arguments[0];
    FForm->PostMessage(FWM_CL_CMDPARAM);
  }
  FInInited = false;
}

void TCLEngine::SplashClose() {
  if (ICLAppHost* host = GetCLAppHost()) {
    host->CloseSplash();
  }
}
