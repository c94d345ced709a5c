// The settings store over any "const.dat", "setting.dat" and "UserFlag.ini": the input's first
// part (up to a line "--") is the fixed-values file, the rest the user's files.
#include "FuzzMachine.h"

#include "base/CLSettings.h"

namespace {

const wchar_t* const kNames[] = {L"App.Name",      L"App.ConfigPath", L"RunTimes",    L"App.Ver",
                                 L"Summary.Total", L"AutoScan.Time",  L"Main.Bounds", L"Language"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  kplat::fake::TFakeMachine& machine = fuzz::Machine();
  // The user's folders under no fixed values at all.
  static const std::pair<std::wstring, std::wstring> kUsualFolders = [&machine] {
    machine.AddFileContent(fuzz::kProgramFolder + L"const.dat", {});
    machine.AddFileContent(fuzz::kProgramFolder + L"oem.const.dat", {});
    const TCLSettings usual;
    return std::pair{usual.UserDataPathCurrentUser(), usual.UserDataPathAllUsers()};
  }();
  const auto [constPart, userPart] = fuzz::SplitInput(aData, aSize);
  machine.AddFileContent(fuzz::kProgramFolder + L"const.dat", constPart);
  machine.AddFileContent(fuzz::kProgramFolder + L"oem.const.dat", userPart);
  // Where the user's files go depends on the fixed values; learn it first.
  bool usualFolders = false;
  {
    TCLSettings probe;
    usualFolders = probe.UserDataPathCurrentUser() == kUsualFolders.first &&
                   probe.UserDataPathAllUsers() == kUsualFolders.second;
    machine.AddFileContent(probe.UserDataPathCurrentUser() + L"setting.dat", userPart);
    machine.AddFileContent(probe.UserDataPathCurrentUser() + L"UserFlag.ini", userPart);
    machine.AddFileContent(probe.UserDataPathAllUsers() + L"setting.dat", userPart);
  }
  TCLSettings settings;
  for (const wchar_t* name : kNames) {
    settings.GetSettingString(name);
    settings.GetSettingInteger(name);
    settings.GetSettingFloat(name);
    settings.GetSettingBool(name);
    settings.GetSettingRect(name);
    settings.GetSettingExists(name);
  }
  settings.SetSettingFloat(L"Summary.Total", settings.GetSettingFloat(L"Summary.Total") + 1);
  if (!usualFolders) {
    // The files went to folders of the input's choosing; the next input must not find them.
    fuzz::RenewMachine();
  }
  return 0;
}
