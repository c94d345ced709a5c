#include "support/RoamingProfile.h"

#include "platform/TextCodec.h"

#include <vector>

namespace {

const std::wstring kShellFolders =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const std::string kPlantedIndex = "2026-03-01 10:00:00,1,a.reg\r\n";
const std::wstring kPlantedBackup = L"\xFEFFWindows Registry Editor Version 5.00\r\n\r\n"
                                    L"[HKEY_CURRENT_USER\\Software\\Planted]\r\n"
                                    L"\"V\"=\"1\"\r\n\r\n";

} // namespace

void UseRoamingProfile(kplat::fake::TFakeMachine& aMachine) {
  aMachine.AddFolder(kRoamingAppData);
  aMachine.SetRegString(kplat::regroot::CurrentUser, kShellFolders, L"AppData", kRoamingAppData);
  aMachine.AddFolder(L"C:\\ProgramData");
  aMachine.SetWriteProtected(L"C:\\ProgramData", true);
  aMachine.AddTextFile(kRoamingCurrentFolder + L"\\info.rec", kPlantedIndex);
  aMachine.AddFileContent(kRoamingCurrentFolder + L"\\a.reg", kplat::EncodeUtf16Le(kPlantedBackup));
  aMachine.SetCurrentFolder(kRoamingCurrentFolder);
}

bool CurrentFolderUntouched(const kplat::fake::TFakeMachine& aMachine) {
  const auto index = aMachine.FileContent(kRoamingCurrentFolder + L"\\info.rec");
  const auto backup = aMachine.FileContent(kRoamingCurrentFolder + L"\\a.reg");
  return aMachine.ListFolder(kRoamingCurrentFolder).size() == 2 && index && backup &&
         std::string(index->begin(), index->end()) == kPlantedIndex &&
         *backup == kplat::EncodeUtf16Le(kPlantedBackup);
}
