// startprobe.exe: the start-up of the window program around a main form of its own that does
// nothing but carry the application engine, so that the start-up proofs run real processes
// without the main window's own work. It reports on the debug channel (switch d) what a test
// cannot see from outside: the command files its engine delivers.

#include "appengine/CLEngine.h"
#include "platform/Platform.h"
#include "shell/win32/CLMainWin.h"

#include <windows.h>

namespace {

class TfrmStartProbe : public TForm {
public:
  explicit TfrmStartProbe(TComponent* aOwner) : TForm(aOwner, L"TfrmStartProbe") {
    SetCaption(L"Start probe");
    SetBounds(100, 100, 320, 120);
    FEngine = new TCLEngine(this);
    FEngine->OnCmdFile = [](const std::wstring& strFileName) {
      kplat::DebugLog(L"StartProbe", L"OnCmdFile " + strFileName);
    };
  }

private:
  TCLEngine* FEngine;
};

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  return RunCLWinProgram(MainFormClass<TfrmStartProbe>(L"TfrmStartProbe"), [](ICLMessageBox*) {});
}
