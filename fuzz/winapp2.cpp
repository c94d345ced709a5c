// The Winapp2 reader over any bytes, from a file and from memory, and the detection of every
// entry it loads on an in-memory machine with a few profile folders to match wildcards against.
#include "FuzzMachine.h"

#include "engine/FigWinapp2.h"

#include <algorithm>
#include <cstdlib>

namespace {

const std::wstring kFile = fuzz::kProgramFolder + L"Winapp2.ini";

void Check(bool aHolds) {
  if (!aHolds) {
    std::abort();
  }
}

// What every caller may rely on, whatever the file held.
void CheckFile(const TWinapp2File& aFile) {
  if (aFile.Status != TWinapp2Status::Loaded) {
    Check(aFile.Entries.empty() && aFile.Issues.empty());
    return;
  }
  Check(std::is_sorted(
      aFile.Issues.begin(), aFile.Issues.end(),
      [](const TWinapp2Issue& a, const TWinapp2Issue& b) { return a.Line < b.Line; }));
  for (const TWinapp2Entry& entry : aFile.Entries) {
    Check(!entry.Name.empty() && entry.Line > 0);
    Check(!entry.FileKeys.empty() || !entry.RegKeys.empty());
    for (const TWinapp2FileKey& key : entry.FileKeys) {
      Check(!key.Folder.empty() && !key.Patterns.empty() && key.Line > entry.Line);
    }
    for (const TWinapp2RegKey& key : entry.RegKeys) {
      Check(!key.Path.Key.empty() && key.Path.Root != kplat::kNoRegHandle);
      Check(!key.Value || !key.Value->empty());
    }
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  // The detector with this machine's folders and variables read, copied for each input: what it
  // learns of the machine does not depend on the input, what it learns of an input's paths goes
  // with the copy.
  static const TWinapp2Detector kDetector = [] {
    for (const wchar_t* folder :
         {L"C:\\Users\\User\\AppData\\Local\\Vendor\\App\\User Data\\Default",
          L"C:\\Users\\User\\AppData\\Roaming\\Vendor\\Profiles\\a.default",
          L"C:\\Program Files (x86)\\Vendor\\App"}) {
      fuzz::Machine().AddFolder(folder);
    }
    fuzz::Machine().AddRegKey(kplat::regroot::CurrentUser, L"Software\\Vendor\\App");
    TWinapp2Detector detector;
    detector.ExpandPath(L"%Documents%");
    return detector;
  }();
  const std::vector<uint8_t> bytes = fuzz::Bytes(aData, aSize);
  fuzz::Machine().AddFileContent(kFile, bytes);

  const TWinapp2File file = ReadWinapp2File(kFile);
  const TWinapp2File memory = ReadWinapp2Bytes(bytes);
  Check(file.Status == memory.Status && file.Entries.size() == memory.Entries.size() &&
        file.Issues.size() == memory.Issues.size());
  CheckFile(file);

  TWinapp2Detector detector = kDetector;
  for (const TWinapp2Entry& entry : file.Entries) {
    detector.Applies(entry);
    for (const TWinapp2FileKey& key : entry.FileKeys) {
      for (const std::wstring& folder : detector.ExpandPath(key.Folder)) {
        Check(folder.size() >= 2);
      }
    }
  }
  for (const TWinapp2Issue& issue : file.Issues) {
    Winapp2IssueTextName(issue.Kind);
  }
  return 0;
}
