// kestrova-info: prints what Kestrova's platform layer sees on this machine, as UTF-8 text.
// Useful to check a Windows or Wine installation before the main program runs on it.

#include "base/CLHelpers.h"
#include "platform/RegKey.h"
#include "platform/TextCodec.h"
#include "platform/win32/Win32Platform.h"

#include <cstdio>
#include <string>

namespace {

void PrintLine(const std::wstring& aLabel, const std::wstring& aValue) {
  const std::string line = kplat::ToUtf8(aLabel + L": " + aValue) + "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
}

std::wstring ArchitectureName(uint32_t aArchitecture) {
  switch (aArchitecture) {
  case 0:
    return L"x86";
  case 5:
    return L"ARM";
  case 9:
    return L"x64";
  case 12:
    return L"ARM64";
  default:
    return L"unknown (" + std::to_wstring(aArchitecture) + L")";
  }
}

std::wstring ProductTypeName(uint32_t aProductType) {
  switch (aProductType) {
  case 1:
    return L"workstation";
  case 2:
    return L"domain controller";
  case 3:
    return L"server";
  default:
    return L"unknown (" + std::to_wstring(aProductType) + L")";
  }
}

// The shell publishes each user's folders under "Shell Folders"; "User Shell Folders" holds the
// same paths unexpanded and is what the shell itself trusts when the two differ.
std::wstring AppDataFolder() {
  const std::wstring explorer = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
  kplat::TRegKey key;
  if (key.Open(kplat::regroot::CurrentUser, explorer + L"User Shell Folders") ==
      kplat::err::Success) {
    if (const auto path = key.ReadString(L"AppData"); path && !path->empty()) {
      return kplat::Platform().System().ExpandEnvironmentStrings(*path);
    }
  }
  if (key.Open(kplat::regroot::CurrentUser, explorer + L"Shell Folders") == kplat::err::Success) {
    if (const auto path = key.ReadString(L"AppData"); path) {
      return *path;
    }
  }
  return L"(not found)";
}

} // namespace

int wmain(int, wchar_t**) {
  kplat::IPlatform& platform = kplat::win32::InstallWin32Platform();
  kplat::ISystem& system = platform.System();

  const kplat::TOSVersion version = system.GetVersion();
  std::wstring versionText = std::to_wstring(version.Major) + L"." +
                             std::to_wstring(version.Minor) + L" build " +
                             std::to_wstring(version.Build);
  if (!version.ServicePack.empty()) {
    versionText += L", " + version.ServicePack;
  }
  PrintLine(L"Windows version", versionText);
  PrintLine(L"Product type", ProductTypeName(version.ProductType));
  PrintLine(L"Processor architecture", ArchitectureName(version.ProcessorArchitecture));
  PrintLine(L"Language id", UpperHex(system.GetSystemDefaultLangID() & 0xFFFF, 4));
  PrintLine(L"Program", system.GetProgramPath());
  PrintLine(L"Current folder", system.GetCurrentFolder());
  PrintLine(L"Temporary folder", system.GetTempFolder());
  PrintLine(L"Windows folder", system.GetWindowsFolder());
  PrintLine(L"System folder", system.GetSystemFolder());
  PrintLine(L"AppData folder", AppDataFolder());

  std::wstring missing;
  const kplat::TErrorCode restore = platform.SystemRestore().LoadLibrary(missing);
  PrintLine(L"System Restore library",
            restore == kplat::err::Success
                ? std::wstring(L"loaded")
                : L"not usable (error " + std::to_wstring(restore) +
                      (missing.empty() ? std::wstring() : L", missing " + missing) + L")");
  return 0;
}
