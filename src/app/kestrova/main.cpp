// Kestrova.exe: the window program, with the main window on the Win32 binding of the component
// layer and WinInet under the update check and the download cache.

#include "appengine/win32/CLWinInet.h"
#include "shell/win32/CLMainWin.h"
#include "windows/uMain.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  InstallWinInetTransfer();
  return RunCLWinProgram(MainFormClass<TfrmMain>(L"TfrmMain"),
                         [](ICLMessageBox* aBox) { TfrmMain::SetDefaultMessageBox(aBox); });
}
