// Kestrova.exe: the window program, with the main window on the Win32 binding of the component
// layer.

#include "framework/win32/CLMainWin.h"
#include "ui/uMain.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  return RunCLWinProgram(MainFormClass<TfrmMain>(L"TfrmMain"),
                         [](ICLMessageBox* aBox) { TfrmMain::SetDefaultMessageBox(aBox); });
}
