#include "platform/win32/Win32Platform.h"

#include "platform/win32/Win32Parts.h"

namespace kplat::win32 {

TWin32Platform::TWin32Platform()
    : FRegistry(MakeWin32Registry()), FFiles(MakeWin32Files()), FSystem(MakeWin32System()),
      FProcesses(MakeWin32Processes()), FShellLinks(MakeWin32ShellLinks()),
      FSystemRestore(MakeWin32SystemRestore()), FClock(MakeWin32Clock()), FDebug(MakeWin32Debug()) {
}

TWin32Platform::~TWin32Platform() = default;

IPlatform& InstallWin32Platform() {
  static TWin32Platform GPlatform;
  SetPlatform(&GPlatform);
  return GPlatform;
}

} // namespace kplat::win32
