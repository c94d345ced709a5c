#pragma once
// Winapp2.ini: a community-kept file of cleaning rules for applications. Each entry is an INI
// section whose name ends with " *"; its keys say which category it belongs to, when it applies
// to a machine (Detect*, DetectOS, SpecialDetect), which files and registry keys it cleans
// (FileKey, RegKey) and what it keeps (ExcludeKey). The file is outside input: a key that cannot
// be read is skipped and reported with its line, and the rest of the entry and of the file load.
// Paths stay as written (with their variables); TWinapp2Detector expands them on this machine.

#include "platform/PlatformTypes.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// RECURSE: the folder and all its subfolders. REMOVESELF: as RECURSE, and afterwards every
// subfolder left empty is removed, and the folder itself when it is left empty.
enum class TWinapp2FileScope { Folder, Recurse, RemoveSelf };

// A registry key as a rule names it: a root and the path below it (never empty).
struct TWinapp2RegPath {
  kplat::TRegHandle Root = kplat::kNoRegHandle;
  std::wstring Key;
};

// FileKey: files matching one of the patterns in the folder (which may hold wildcards in any of
// its parts). A pattern without "*" or "?" names exactly one file.
struct TWinapp2FileKey {
  int Line = 0;
  std::wstring Folder; // no trailing backslash
  std::vector<std::wstring> Patterns;
  TWinapp2FileScope Scope = TWinapp2FileScope::Folder;
};

// RegKey: the key and everything below it, or only one of its values.
struct TWinapp2RegKey {
  int Line = 0;
  TWinapp2RegPath Path;
  std::optional<std::wstring> Value;
};

// ExcludeKey: FILE keeps one named file of a folder; PATH keeps the files matching a pattern in
// a folder and all its subfolders; REG keeps a key and everything below it (or one value).
enum class TWinapp2ExcludeKind { File, Path, Reg };
struct TWinapp2Exclude {
  int Line = 0;
  TWinapp2ExcludeKind Kind = TWinapp2ExcludeKind::File;
  std::wstring Folder;  // File, Path; no trailing backslash
  std::wstring Pattern; // File: the name; Path: the pattern ("*" when the key gives none)
  TWinapp2RegPath Reg;  // Reg
  std::optional<std::wstring> Value;
};

// The well-known applications whose profiles SpecialDetect looks for.
enum class TWinapp2Special { Chrome, Mozilla, Thunderbird, Opera };

// Kernel versions ("6.1", "10.0"); a missing side is open.
struct TWinapp2OSRange {
  std::optional<std::pair<uint32_t, uint32_t>> Min, Max;
};

struct TWinapp2Entry {
  std::wstring Name;  // the section name without its trailing " *"
  int Line = 0;       // of the section line
  int LangSecRef = 0; // 0 when the entry names its category with Section
  std::wstring Section;
  std::wstring Warning;
  std::optional<bool> Default;
  std::vector<TWinapp2RegPath> DetectKeys;
  std::vector<std::wstring> DetectFiles;
  std::optional<TWinapp2OSRange> DetectOS;
  std::vector<TWinapp2Special> SpecialDetects;
  std::vector<TWinapp2FileKey> FileKeys;
  std::vector<TWinapp2RegKey> RegKeys;
  std::vector<TWinapp2Exclude> Excludes;
};

// Why a line was skipped (or an entry left out).
enum class TWinapp2IssueKind {
  OutsideEntry,   // a key before the first entry
  NotAnEntry,     // a section whose name does not end with " *"; its lines are skipped
  DuplicateEntry, // an entry of the same name came before; this one is skipped
  NotAKey,        // a line without "="
  UnknownKey,     // a key name the format does not have
  GivenTwice,     // a key an entry has once (category, Warning, DetectOS, Default): the first holds
  BadFileKey,     // not "folder|patterns[|RECURSE or REMOVESELF]"
  BadPath,        // a folder or file that is not a full path (a drive, "\\" or a variable)
  BadRegistryKey, // no known root, or nothing below the root
  BadExcludeKey,  // not FILE|..., PATH|... or REG|...
  BadValue,       // LangSecRef, DetectOS, SpecialDetect or Default with a value it cannot have
  NoDeletionKey,  // an entry without FileKey or RegKey; it is skipped
  Guarded         // a rule that would clean what no rule may (FigWinapp2Topic.h); it is skipped
};

struct TWinapp2Issue {
  int Line = 0;
  TWinapp2IssueKind Kind = TWinapp2IssueKind::NotAKey;
  std::wstring Text; // the line as written (the section line for an entry)
};

enum class TWinapp2Status {
  Loaded,
  Missing,    // no such file
  Unreadable, // it could not be read
  TooLarge,   // larger than any rule file can be
  NotWinapp2  // it holds no entry at all
};

struct TWinapp2File {
  TWinapp2Status Status = TWinapp2Status::Loaded;
  kplat::TErrorCode Error = 0;        // the system's code behind Missing and Unreadable
  std::wstring Version;               // from the header line "; Version: 260730"
  std::vector<TWinapp2Entry> Entries; // in the file's order, only those with a deletion key
  std::vector<TWinapp2Issue> Issues;  // in line order
};

// Reads the rules from a file (UTF-8 with or without a byte-order mark, UTF-16 with one, else
// Windows-1252), or from text or bytes already in memory.
TWinapp2File ReadWinapp2File(const std::wstring& aFileName);
TWinapp2File ReadWinapp2Bytes(const std::vector<uint8_t>& aBytes);
TWinapp2File ReadWinapp2Text(std::wstring_view aText);

// The language text that explains an issue ({1} the line, {2} the text) or a status other than
// Loaded ({1} the file name, {2} the system's message).
std::wstring Winapp2IssueTextName(TWinapp2IssueKind aKind);
std::wstring Winapp2StatusTextName(TWinapp2Status aStatus);
// The language text naming a numbered category; empty for a number the format does not have
// (show the number then).
std::wstring Winapp2CategoryTextName(int aLangSecRef);
// The full name of a root a rule may name ("HKEY_CURRENT_USER").
std::wstring Winapp2RootName(kplat::TRegHandle aRoot);

// Decides on this machine (through the platform) whether entries apply, and expands the paths
// of their rules. The machine's folders and version are read once, when first needed, and so are
// the names in the registry keys near a root and in the folders on a path: most rules name an
// application that is not there, and one look at a listing already read answers them. Make a new
// detector to see the machine's changes.
class TWinapp2Detector {
public:
  // An entry applies when its DetectOS (if any) allows this Windows, and then when any Detect,
  // DetectFile or SpecialDetect finds what it names, or when it has none of them. A key or
  // folder that exists but cannot be read counts as found.
  bool Applies(const TWinapp2Entry& aEntry);

  // Every full path a rule's path stands for: one per program-files folder for
  // "%ProgramFiles%" and "%CommonProgramFiles%" (the 64-bit and the 32-bit one), none when it
  // names a variable this machine does not have. Wildcards stay.
  std::vector<std::wstring> ExpandPath(const std::wstring& aPath);

  // Whether the key exists; one under HKLM\Software is looked for in the 32-bit view too.
  bool KeyExists(const TWinapp2RegPath& aKey);
  // Whether a file or folder exists; "*" and "?" may stand in any part of the path.
  bool PathExists(const std::wstring& aPath);

private:
  using TNames = std::optional<std::unordered_set<std::wstring>>; // upper-case
  // The value of a variable only this format has, or that stands for several folders; nullptr
  // for one the environment holds.
  const std::vector<std::wstring>* OwnVariable(const std::wstring& aName);
  bool KeyFound(kplat::TRegHandle aRoot, const std::wstring& aKey);
  bool ExistsOnDisk(const std::wstring& aFullPath);
  bool FileFound(const std::wstring& aFullPath);
  // The names below a key or in a folder; nothing when they cannot be listed or are too many.
  const TNames& KeyNames(kplat::TRegHandle aRoot, const std::wstring& aKey);
  const TNames& FolderNames(const std::wstring& aFolder);

  bool FRead = false;
  std::unordered_map<std::wstring, std::vector<std::wstring>> FVariables; // by upper-case name
  std::optional<kplat::TOSVersion> FVersion;
  std::map<std::pair<kplat::TRegHandle, std::wstring>, TNames> FKeyNames; // by upper-case key
  std::unordered_map<std::wstring, TNames> FFolderNames;                  // by upper-case path
};
