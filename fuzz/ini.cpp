// The INI reader over any bytes: the read-only profile (topic database and the other rule files)
// and the in-memory file (settings and "UserFlag.ini"), read from a file on the in-memory
// machine, queried, changed and written back.
#include "FuzzMachine.h"

#include "base/CLIniFiles.h"

#include <cstdlib>

namespace {

const std::wstring kFile = fuzz::kProgramFolder + L"UserFlag.ini";

void QueryProfile(const TIniProfile& aIni) {
  for (const std::wstring& section : aIni.ReadSections()) {
    for (const auto& [key, value] : aIni.ReadSectionValues(section)) {
      aIni.ValueExists(section, key);
      aIni.ReadInteger(section, key, 0);
      aIni.ReadBool(section, key, false);
    }
    aIni.ReadSectionKeys(section);
    aIni.ReadSectionLines(section);
  }
}

void QueryAndChange(TCLMemIniFile& aIni) {
  for (const std::wstring& section : aIni.ReadSections()) {
    for (const auto& [key, value] : aIni.ReadSectionValues(section)) {
      aIni.ReadInteger(section, key, 0);
      aIni.ReadBool(section, key, false);
      // A value that was stored reads back exactly as it was given.
      const std::wstring changed = L" " + value + L"\"";
      if (aIni.WriteString(section, key, changed) &&
          aIni.ReadString(section, key, L"") != changed) {
        std::abort();
      }
    }
  }
  aIni.WriteString(L"Flag", L"AllUsers", L"1");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  const std::vector<uint8_t> bytes = fuzz::Bytes(aData, aSize);
  fuzz::Machine().AddFileContent(kFile, bytes);

  TIniProfile profile;
  profile.LoadFromBytes(bytes);
  QueryProfile(profile);

  TCLMemIniFile file(kFile);
  if (!file.Load()) {
    std::abort();
  }
  QueryAndChange(file);
  file.UpdateFile();
  TCLMemIniFile again(kFile);
  again.Load();
  again.SetText(again.GetText());
  again.GetStrings();
  return 0;
}
