// sweephelper: performs the sweeps that need a running program, started by Kestrova with the
// parameter text of a sweep topic ("clipboard", "recentdocs dnscache", ...). Words may carry a
// leading "/" or "-" and are matched without regard to case; unknown words are reported on the
// error output and ignored. It never asks anything.
// Exit status: 0 every requested sweep was done, 1 at least one failed, 2 no sweep was named.

#include "Sweeps.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct TSweep {
  const wchar_t* Name;
  TSweepOutcome (*Run)();
};

constexpr TSweep kSweeps[] = {
    {L"clipboard", SweepClipboard},       {L"recentdocs", SweepRecentDocs},
    {L"recyclebin", SweepRecycleBin},     {L"dnscache", SweepDnsCache},
    {L"thumbcache", SweepThumbnailCache},
};

void Report(const std::wstring& aText) {
  const std::string line = kplat::ToUtf8(L"sweephelper: " + aText) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

// The words of all arguments, split at blanks, commas and semicolons, so that a parameter text
// arrives whole whether it came as one argument or as several.
std::vector<std::wstring> Words(int argc, wchar_t** argv) {
  std::vector<std::wstring> words;
  for (int i = 1; i < argc; ++i) {
    std::wstring word;
    for (const wchar_t* p = argv[i];; ++p) {
      if (*p == L'\0' || *p == L' ' || *p == L'\t' || *p == L',' || *p == L';') {
        if (!word.empty()) {
          words.push_back(word);
          word.clear();
        }
        if (*p == L'\0') {
          break;
        }
      } else {
        word += *p;
      }
    }
  }
  return words;
}

const TSweep* FindSweep(std::wstring aWord) {
  if (aWord[0] == L'/' || aWord[0] == L'-') {
    aWord.erase(0, 1);
  }
  for (const TSweep& sweep : kSweeps) {
    if (kplat::SameText(aWord, sweep.Name)) {
      return &sweep;
    }
  }
  return nullptr;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
  HideOwnConsole();
  std::vector<const TSweep*> requested;
  for (const std::wstring& word : Words(argc, argv)) {
    const TSweep* sweep = FindSweep(word);
    if (!sweep) {
      Report(L"unknown sweep \"" + word + L"\" ignored");
    } else if (std::find(requested.begin(), requested.end(), sweep) == requested.end()) {
      requested.push_back(sweep);
    }
  }
  if (requested.empty()) {
    Report(L"no sweep named; known are clipboard, recentdocs, recyclebin, dnscache, thumbcache");
    return 2;
  }
  bool allDone = true;
  for (const TSweep* sweep : requested) {
    const TSweepOutcome outcome = sweep->Run();
    allDone = allDone && outcome.Done;
    if (!outcome.Note.empty()) {
      Report(std::wstring(sweep->Name) + (outcome.Done ? L": " : L" failed: ") + outcome.Note);
    }
  }
  return allDone ? 0 : 1;
}
