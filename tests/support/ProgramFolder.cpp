#include "support/ProgramFolder.h"

#include "support/SourceTree.h"

#include <fstream>
#include <sstream>

std::vector<uint8_t> PngHeader(uint32_t aWidth, uint32_t aHeight) {
  std::vector<uint8_t> bytes = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n',
                                0,    0,   0,   13,  'I',  'H',  'D',  'R'};
  for (uint32_t value : {aWidth, aHeight}) {
    for (int shift = 24; shift >= 0; shift -= 8)
      bytes.push_back(static_cast<uint8_t>(value >> shift));
  }
  bytes.insert(bytes.end(), {8, 6, 0, 0, 0, 0, 0, 0, 0});
  return bytes;
}

TProgramFolder& TProgramFolder::Settings(const std::string& aLines) {
  return File(L"const.dat", "[setting]\n" + aLines);
}

TProgramFolder& TProgramFolder::Topics(const std::string& aText) {
  return File(L"data\\topic.db", aText);
}

TProgramFolder& TProgramFolder::Pictures() {
  FMachine.AddFileContent(kProgram + L"res\\16.png", PngHeader(64, 16));
  FMachine.AddFileContent(kProgram + L"res\\32.png", PngHeader(128, 32));
  return *this;
}

TProgramFolder& TProgramFolder::Language(const std::wstring& aName, const std::string& aText) {
  return File(L"lang\\" + aName + L".lan", aText);
}

TProgramFolder& TProgramFolder::File(const std::wstring& aRelative, const std::string& aText) {
  FMachine.AddTextFile(kProgram + aRelative, aText);
  return *this;
}

TProgramFolder& TProgramFolder::Shipped(const std::wstring& aRelative, const std::string& aSource) {
  const std::string text = ReadSource("data/" + aSource);
  FMachine.AddFileContent(kProgram + aRelative, std::vector<uint8_t>(text.begin(), text.end()));
  return *this;
}

std::string ReadSource(const std::string& aRelative) {
  std::ifstream file(SourceTree() / aRelative, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}
