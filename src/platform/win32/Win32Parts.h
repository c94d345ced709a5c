#pragma once
// The concerns TWin32Platform is made of, one unit each.

#include "platform/Platform.h"

#include <memory>

namespace kplat::win32 {

std::unique_ptr<IRegistry> MakeWin32Registry();
std::unique_ptr<IFileSystem> MakeWin32Files();
std::unique_ptr<ISystem> MakeWin32System();
std::unique_ptr<IProcesses> MakeWin32Processes();
std::unique_ptr<IShellLinks> MakeWin32ShellLinks();
std::unique_ptr<ISystemRestore> MakeWin32SystemRestore();
std::unique_ptr<IClock> MakeWin32Clock();
std::unique_ptr<IDebugOutput> MakeWin32Debug();

} // namespace kplat::win32
