#pragma once
// INI files that probe how the Windows profile functions read unusual text: duplicates, blanks,
// comments, quotes, line ends, encodings, long values. The Wine peer test asks the system about
// each one and compares our readers with it; the native tests pin down the same answers.

#include <cstdint>
#include <string>
#include <vector>

struct TIniCorpusFile {
  std::string Name;           // also the file name, with ".ini" appended
  std::vector<uint8_t> Bytes; // the file's exact content
  // Names worth asking about (cross product of both); includes missing ones and case variants.
  // Case variants stay ASCII: Wine folds only ASCII letters in profile names, Windows and our
  // readers fold others too.
  std::vector<std::wstring> Sections;
  std::vector<std::wstring> Keys;
};

const std::vector<TIniCorpusFile>& IniCorpus();
const TIniCorpusFile& IniCorpusFile(const std::string& aName);

// Writes every corpus file into aFolder (which must exist) through aWrite, a function taking a
// full path and the bytes and returning whether it worked.
template <typename TWrite> bool WriteIniCorpus(const std::wstring& aFolder, TWrite&& aWrite) {
  for (const TIniCorpusFile& file : IniCorpus()) {
    if (!aWrite(aFolder + L"\\" + std::wstring(file.Name.begin(), file.Name.end()) + L".ini",
                file.Bytes)) {
      return false;
    }
  }
  return true;
}
