// The settings store over any "const.dat", "setting.dat" and "UserFlag.ini": the input's first
// part (up to a line "--") is the fixed-values file, the rest the user's files.
#include "FuzzMachine.h"

#include "base/CLSettings.h"

namespace {

const wchar_t* const kNames[] = {L"App.Name",      L"App.ConfigPath", L"RunTimes",    L"App.Ver",
                                 L"Summary.Total", L"AutoScan.Time",  L"Main.Bounds", L"Language"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  kplat::fake::TFakeMachineScope scope;
  kplat::fake::TFakeMachine& machine = scope.Machine();
  const auto [constPart, userPart] = fuzz::SplitInput(aData, aSize);
  machine.AddFileContent(fuzz::kProgramFolder + L"const.dat", constPart);
  machine.AddFileContent(fuzz::kProgramFolder + L"oem.const.dat", userPart);
  {
    // Where the user's files go depends on the fixed values; learn it first.
    TCLSettings probe;
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
  return 0;
}
