#pragma once
// The entries of a community rule file (FigWinapp2.h) as scan topics of the Privacy Sweep: each
// entry that applies to this machine becomes one topic, named by the entry, that scans the
// entry's files and registry keys instead of locations of its own. Its findings are repaired,
// backed up and restored as every other finding.

#include "engine/FigRule.h"
#include "engine/FigWinapp2.h"

#include <memory>
#include <string>
#include <vector>

class TFigEngine;

// The key that marks a topic made from an entry, and the one holding its category's text: the
// Section text, or empty with a numbered category (Winapp2CategoryTextName names its text then).
inline constexpr std::wstring_view kTopicKeyWinapp2Section = L"WINAPP2SECTION";
inline constexpr std::wstring_view kTopicKeyWinapp2LangSecRef = L"WINAPP2LANGSECREF";

// The topic of one entry, not enabled: the community's entries are chosen one by one.
std::unique_ptr<TFigTopic> MakeWinapp2Topic(std::shared_ptr<const TWinapp2Entry> aEntry);

// Appends a topic for every entry of the file that applies to this machine, after removing the
// topics of any file added before; an entry whose name a topic of the database already has is
// left out. Returns how many were added.
int AddWinapp2Topics(TFigEngine& aEngine, const TWinapp2File& aFile);
void RemoveWinapp2Topics(TFigEngine& aEngine);

// Whether a folder, a full path without wildcards, is one no community rule may clean: the root
// of a drive, the Windows folder, System32 and the component store (WinSxS) as a whole or
// anything in them outside their cache, log and temporary folders, a program-files folder as a
// whole, the user's profile folder as a whole, or the user's documents, pictures, music, videos
// and desktop.
bool IsWinapp2GuardedFolder(const std::wstring& aFolder);
// Whether a folder, a full path, holds Windows' own files: the Windows folder, or a folder in it
// (System32, WinSxS and all the others) outside their cache, log and temporary folders.
bool IsWindowsOwnFolder(const std::wstring& aFolder);

// Refuses every rule of a file read on this machine that would clean what IsWinapp2GuardedFolder
// names (a recursive one also any folder above it), or delete whole a key right below a root
// ("HKLM\SOFTWARE"), a vendor list ("Software\Classes", "Software\Microsoft") or a key of
// Windows itself ("...\Microsoft\Windows", "...\Microsoft\Windows NT" and their direct
// children); each one is reported with its line, and an entry left with no rule is skipped.
void GuardWinapp2File(TWinapp2File& aFile);
// ReadWinapp2File with the guards applied.
TWinapp2File ReadWinapp2Rules(const std::wstring& aFileName);

// What an entry keeps (its ExcludeKeys), with their paths expanded on this machine.
class TWinapp2Keeps {
public:
  TWinapp2Keeps(const TWinapp2Entry& aEntry, TWinapp2Detector& aDetector);
  // Whether a file or registry finding is one of them.
  bool Keeps(const TFigScanedItem& aItem) const;
  // Whether a key holds something kept below it: it is then not deleted whole.
  bool KeepsBelow(kplat::TRegHandle aRoot, const std::wstring& aKey) const;
  // Whether a key is kept with everything below it.
  bool KeepsKey(kplat::TRegHandle aRoot, const std::wstring& aKey) const;

private:
  struct TFiles {
    bool Below = false;  // PATH: in the folder and all its subfolders
    std::wstring Folder; // full path, may hold wildcards
    std::wstring Pattern;
  };
  std::vector<TFiles> FFiles;
  std::vector<TWinapp2Exclude> FKeys;
};
