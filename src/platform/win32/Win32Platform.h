#pragma once
// The real Windows backend of the platform layer (Windows build only). This header does not
// include <windows.h>, so a program's entry point can install the backend without it:
//
//   int wmain(int, wchar_t**) {
//     kplat::win32::InstallWin32Platform();
//     ...
//   }

#include "platform/Platform.h"

#include <memory>

namespace kplat::win32 {

class TWin32Platform : public IPlatform {
public:
  TWin32Platform();
  ~TWin32Platform() override;
  TWin32Platform(const TWin32Platform&) = delete;
  TWin32Platform& operator=(const TWin32Platform&) = delete;

  IRegistry& Registry() override { return *FRegistry; }
  IFileSystem& Files() override { return *FFiles; }
  ISystem& System() override { return *FSystem; }
  IProcesses& Processes() override { return *FProcesses; }
  IShellLinks& ShellLinks() override { return *FShellLinks; }
  ISystemRestore& SystemRestore() override { return *FSystemRestore; }
  IClock& Clock() override { return *FClock; }
  IDebugOutput& Debug() override { return *FDebug; }

private:
  std::unique_ptr<IRegistry> FRegistry;
  std::unique_ptr<IFileSystem> FFiles;
  std::unique_ptr<ISystem> FSystem;
  std::unique_ptr<IProcesses> FProcesses;
  std::unique_ptr<IShellLinks> FShellLinks;
  std::unique_ptr<ISystemRestore> FSystemRestore;
  std::unique_ptr<IClock> FClock;
  std::unique_ptr<IDebugOutput> FDebug;
};

// Makes one process-wide TWin32Platform the backend in use and returns it. It lives until the
// process ends; calling this again returns the same backend and installs it again.
IPlatform& InstallWin32Platform();

} // namespace kplat::win32
