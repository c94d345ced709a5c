// The settings store over any "const.dat", "setting.dat" and "UserFlag.ini": the input's first
// part (up to a line "--") is the fixed-values file, the rest the user's files.
#include "FuzzMachine.h"

#include "base/CLSettings.h"

namespace {

const wchar_t* const kNames[] = {L"App.Name",      L"App.ConfigPath", L"RunTimes",    L"App.Ver",
                                 L"Summary.Total", L"AutoScan.Time",  L"Main.Bounds", L"Language"};

// The user's files under the given folders.
void PlaceUserFiles(kplat::fake::TFakeMachine& aMachine, const std::wstring& aCurrentUser,
                    const std::wstring& aAllUsers, const std::vector<uint8_t>& aContent) {
  aMachine.AddFileContent(aCurrentUser + L"setting.dat", aContent);
  aMachine.AddFileContent(aCurrentUser + L"UserFlag.ini", aContent);
  aMachine.AddFileContent(aAllUsers + L"setting.dat", aContent);
}

void Exercise(TCLSettings& aSettings) {
  for (const wchar_t* name : kNames) {
    aSettings.GetSettingString(name);
    aSettings.GetSettingInteger(name);
    aSettings.GetSettingFloat(name);
    aSettings.GetSettingBool(name);
    aSettings.GetSettingRect(name);
    aSettings.GetSettingExists(name);
  }
  aSettings.SetSettingFloat(L"Summary.Total", aSettings.GetSettingFloat(L"Summary.Total") + 1);
}

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
  // Most fixed values leave the user's files where they usually are: one store reads them there.
  PlaceUserFiles(machine, kUsualFolders.first, kUsualFolders.second, userPart);
  std::pair<std::wstring, std::wstring> folders;
  {
    TCLSettings settings;
    folders = {settings.UserDataPathCurrentUser(), settings.UserDataPathAllUsers()};
    if (folders == kUsualFolders) {
      Exercise(settings);
      return 0;
    }
  }
  // The fixed values moved the user's files to folders of the input's choosing.
  PlaceUserFiles(machine, folders.first, folders.second, userPart);
  {
    TCLSettings settings;
    Exercise(settings);
  }
  // The next input must not find the files there.
  fuzz::RenewMachine();
  return 0;
}
