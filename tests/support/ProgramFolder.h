#pragma once
// The program's folder on the in-memory machine and the files shipped in it, written by a
// builder: ProgramFolder(machine).Settings("App.Ver=1.0\n").Topics(kTopics).Pictures().

#include "platform/fake/FakeMachine.h"

#include <cstdint>
#include <string>
#include <vector>

// The folder of the in-memory machine's program, with its trailing backslash.
inline const std::wstring kProgram = L"C:\\Program Files\\Kestrova\\";

// The start of a PNG file: enough for its size to be read.
std::vector<uint8_t> PngHeader(uint32_t aWidth, uint32_t aHeight);

class TProgramFolder {
public:
  explicit TProgramFolder(kplat::fake::TFakeMachine& aMachine) : FMachine(aMachine) {}

  // const.dat holding aLines in its "[setting]" section.
  TProgramFolder& Settings(const std::string& aLines);
  // data\topic.db.
  TProgramFolder& Topics(const std::string& aText);
  // The button strips res\16.png and res\32.png, four pictures each.
  TProgramFolder& Pictures();
  // lang\<aName>.lan.
  TProgramFolder& Language(const std::wstring& aName, const std::string& aText);
  // Any file, aRelative to the folder.
  TProgramFolder& File(const std::wstring& aRelative, const std::string& aText);
  // The source tree's data\<aSource> as the installer ships it, at aRelative.
  TProgramFolder& Shipped(const std::wstring& aRelative, const std::string& aSource);

private:
  kplat::fake::TFakeMachine& FMachine;
};

inline TProgramFolder ProgramFolder(kplat::fake::TFakeMachine& aMachine) {
  return TProgramFolder(aMachine);
}

// The text of a file of the source tree, aRelative to its root; empty when it cannot be read.
std::string ReadSource(const std::string& aRelative);

// The key of the programs Windows starts at log-on, under the current user.
inline constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
