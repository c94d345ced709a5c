#pragma once
// The window system of the tests: the windows it lists are forms of this process, reached by
// their numbers, so that both halves of every exchange between instances are the real code.
// Every step is recorded in order; the answers are the test's to set.

#include "appengine/CLAppHost.h"
#include "base/CLMainThread.h"
#include "components/CLControls.h"
#include "platform/TextCodec.h"

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

class TFakeAppHost : public ICLAppHost {
public:
  std::vector<std::wstring> Args;
  // Every window-system step, in order, as "Step" or "Step detail".
  std::vector<std::wstring> Calls;
  std::map<TCLWindow, TForm*> Windows;
  // The message no window answers.
  std::wstring Unanswered;
  TCLMutexResult Mutex = TCLMutexResult::mrCreated;
  bool Control = false;
  bool Shift = false;
  bool Elevated = false;
  bool Minimized = false;
  // The answers of the foreground requests, in turn; refused once they run out.
  std::deque<bool> Foreground{true};
  bool AttachWorks = true;
  uint32_t LockTimeout = 200000;
  std::function<void()> OnLoop;
  // The windows asked to come to the foreground, in turn.
  std::vector<TCLWindow> ForegroundWindows;
  // The fields of every mail asked for, and what the mail routine answers.
  std::vector<std::vector<std::pair<std::wstring, std::wstring>>> Mails;
  uint32_t MailResult = 0;

  TCLWindow AddWindow(TForm& aForm) {
    const TCLWindow window = 0x100 + Windows.size();
    Windows[window] = &aForm;
    return window;
  }

  std::vector<std::wstring> Arguments() override { return Args; }
  uint32_t RegisterMessage(const std::wstring& aName) override {
    const auto found = FNumbers.try_emplace(aName, 0xC100 + FNumbers.size());
    return found.first->second;
  }
  std::vector<TCLWindow> FindWindows(const std::wstring& aClassName) override {
    std::vector<TCLWindow> found;
    for (const auto& [window, form] : Windows) {
      if (form->ClassName() == aClassName) {
        found.push_back(window);
      }
    }
    return found;
  }
  std::wstring WindowCaption(TCLWindow aWindow) override {
    return Windows.contains(aWindow) ? Windows[aWindow]->Caption() : std::wstring();
  }
  bool SendWithTimeout(TCLWindow aWindow, uint32_t aMsg, uintptr_t, intptr_t, uint32_t,
                       intptr_t& aResult) override {
    Calls.push_back(L"Send " + MessageName(aMsg));
    if (MessageName(aMsg) == Unanswered || !Windows.contains(aWindow)) {
      return false;
    }
    TWindowMessage message;
    message.Msg = aMsg;
    Windows[aWindow]->Perform(message);
    aResult = message.Result;
    return true;
  }
  bool SendCopyData(TCLWindow aWindow, uintptr_t aId, const std::vector<uint8_t>& aData,
                    uint32_t) override {
    Calls.push_back(L"CopyData " + kplat::DecodeUtf16Le(aData));
    TWindowMessage message;
    message.Msg = kWM_COPYDATA;
    message.HasCopyData = true;
    message.CopyDataId = aId;
    message.CopyData = aData;
    Windows.at(aWindow)->Perform(message);
    Calls.push_back(L"CopyData returned");
    return true;
  }
  bool IsMinimized(TCLWindow) override { return Minimized; }
  void Restore(TCLWindow) override { Calls.push_back(L"Restore"); }
  void Show(TCLWindow) override { Calls.push_back(L"Show"); }
  bool SetForeground(TCLWindow aWindow) override {
    ForegroundWindows.push_back(aWindow);
    const bool done = !Foreground.empty() && Foreground.front();
    if (!Foreground.empty()) {
      Foreground.pop_front();
    }
    Calls.push_back(done ? L"SetForeground" : L"SetForeground refused");
    return done;
  }
  bool AttachForegroundInput(bool aAttach) override {
    Calls.push_back(aAttach ? L"Attach" : L"Detach");
    return AttachWorks;
  }
  bool GetForegroundLockTimeout(uint32_t& aTimeoutMs) override {
    aTimeoutMs = LockTimeout;
    return true;
  }
  bool SetForegroundLockTimeout(uint32_t aTimeoutMs) override {
    Calls.push_back(L"LockTimeout " + std::to_wstring(aTimeoutMs));
    LockTimeout = aTimeoutMs;
    return true;
  }
  TCLMutexResult CreateInstanceMutex(const std::wstring& aName) override {
    Calls.push_back(L"Mutex " + aName);
    return Mutex;
  }
  bool KeyDown(TCLKey aKey) override { return aKey == TCLKey::kControl ? Control : Shift; }
  bool IsElevated() override { return Elevated; }
  void ShowSplash() override { Calls.push_back(L"ShowSplash"); }
  void CloseSplash() override { Calls.push_back(L"CloseSplash"); }
  void RunMessageLoop() override {
    Calls.push_back(L"Loop");
    GetCLMainThread().ProcessMessages();
    if (OnLoop) {
      OnLoop();
    }
  }
  void Terminate() override { Calls.push_back(L"Terminate"); }
  void ShowPlainMessage(const std::wstring& aText, bool aError) override {
    Calls.push_back((aError ? L"Error " : L"Warning ") + aText);
  }
  uint32_t SendMail(TCLWindow,
                    const std::vector<std::pair<std::wstring, std::wstring>>& aFields) override {
    Calls.push_back(L"SendMail");
    Mails.push_back(aFields);
    return MailResult;
  }

  std::wstring MessageName(uint32_t aMsg) const {
    for (const auto& [name, number] : FNumbers) {
      if (number == aMsg) {
        return name;
      }
    }
    return std::to_wstring(aMsg);
  }

private:
  std::map<std::wstring, uint32_t> FNumbers;
};
