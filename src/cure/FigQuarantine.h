#pragma once
// The quarantine of a repair run: the files it deletes, kept so that a restore brings them back.
// It is a folder beside the run's backup file, named after it ("05172010140309.reg" keeps its
// files in "05172010140309.files"), holding the manifest "manifest.txt" and each file under its
// number in a folder of a thousand ("0\\1" to "0\\999", "1\\1000", ...): a name that does not exist
// yet is looked up by scanning its whole folder on some systems (Wine), so no folder grows with the
// run. Runs of earlier versions kept every file in the folder itself, named by its number alone.
// The manifest is UTF-8 text, one line per entry, fields separated by tabs (no path can hold one),
// and only ever appended to, the lines of the files of the next findings flushed together before
// the first of them leaves its place:
//   KESTROVA-QUARANTINE <tab> 1                       the first line
//   F <tab> stored name <tab> size <tab> attributes (hex) <tab> created <tab> accessed
//     <tab> written <tab> SHA-256 <tab> original path  a file; times as file times, decimal
//   D <tab> original path                              a folder the run removed
//   X <tab> stored name                                the file of that name never left its
//                                                      place: its line describes nothing kept
//   S <tab> seal                                       the seal of the lines before it (FigSeal.h)
// Readers skip a line of any other kind, so later versions can add kinds of their own. A process
// killed at any moment leaves every file in its place or in the quarantine with its line; a line
// whose file was still in its place (the run was killed before it got there) restores as kept.

#include "cure/FigSeal.h"
#include "platform/Platform.h"
#include "platform/Sha256.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

inline constexpr std::wstring_view kQuarantineManifestName = L"manifest.txt";
// The budget of a run's quarantine when the setting "Backup.QuarantineMB" does not say.
inline constexpr uint64_t kDefaultQuarantineMB = 2048;

// The quarantine folder of the run whose backup file is aBackupFile.
std::wstring QuarantineFolderOf(const std::wstring& aBackupFile);

struct TQuarantineEntry {
  bool Folder = false;     // a removed folder; only Path is set
  std::wstring StoredName; // the file's name in the quarantine folder
  std::wstring Path;       // where it was
  uint64_t Size = 0;
  uint32_t Attributes = 0;
  kplat::TFileTimes Times;
  kplat::TSha256Digest Digest{};
};

// The entries of a run's manifest in order; none when the run kept no file. False, with aError,
// when a manifest exists but cannot be read or holds a malformed entry line.
bool ReadQuarantine(const std::wstring& aBackupFile, std::vector<TQuarantineEntry>& aEntries,
                    std::wstring& aError);
// The entries of a manifest's bytes, read as ReadQuarantine reads the file: false, with the
// number of the first malformed entry line in aBadLine, when one holds no entry.
bool ParseQuarantineManifest(std::string_view aBytes, std::vector<TQuarantineEntry>& aEntries,
                             int& aBadLine);
// The same, checking the manifest's seals with aKey (none: they cannot be checked): aState says
// what they showed, Unsealed also when there is no manifest (aExists false). Of a manifest with
// seals only the entries before its last seal are given; of a Broken one none.
bool ReadSealedQuarantine(const std::wstring& aBackupFile, const std::optional<TSealKey>& aKey,
                          std::vector<TQuarantineEntry>& aEntries, TSealState& aState,
                          bool& aExists, std::wstring& aError);

// The files a run's quarantine holds and their bytes, from its manifest.
struct TQuarantineTotals {
  int Files = 0;
  uint64_t Bytes = 0;
};
TQuarantineTotals QuarantineTotals(const std::wstring& aBackupFile);

// Deletes a run's quarantine folder with everything in it; a link in its place is removed, never
// followed.
void DeleteQuarantine(const std::wstring& aBackupFile);

// What a restore did with a run's files.
struct TFileRestoreFailure {
  std::wstring Path;
  std::wstring Reason;
  // It lies where Windows keeps its own files (IsWindowsOwnFolder), which no restore writes to;
  // a window shows its own text for it.
  bool WindowsFile = false;
};
struct TFileRestoreResult {
  int Files = 0;                           // the files the quarantine lists
  int Restored = 0;                        // back in place, their content checked
  std::vector<std::wstring> Kept;          // a file was at the path again: it stays as it is
  std::vector<TFileRestoreFailure> Failed; // files and folders that did not come back, and why
};

// Brings a run's folders and files back to where they were, with their times and attributes;
// each file is hashed as it is copied out of the quarantine and in its place afterwards. A file is
// never written over another, through a junction or symbolic link, from a quarantine file whose
// content no longer matches its manifest line, or where Windows keeps its own files (the Windows
// folder, System32, WinSxS and the others, outside their cache, log and temporary folders).
// aEntries are the run's manifest entries; unless aChecked (their seal matched), nothing is
// written into the Windows folder at all.
TFileRestoreResult RestoreQuarantine(const std::wstring& aBackupFile,
                                     const std::vector<TQuarantineEntry>& aEntries, bool aChecked);
// Reads the run's manifest and restores it as above: a sealed one, or with aUnchecked one whose
// seal cannot be checked. A manifest whose seal does not match is refused.
TFileRestoreResult RestoreQuarantine(const std::wstring& aBackupFile, bool aUnchecked = false);

// The writing side, used by one repair run.
class TFigQuarantine {
public:
  // aBudgetBytes: what the run may keep in all; 0 keeps nothing. aSealKey seals the manifest.
  TFigQuarantine(const std::wstring& aBackupFile, uint64_t aBudgetBytes,
                 const std::optional<TSealKey>& aSealKey);

  // Whether a file of aSize bytes still fits the run's budget.
  bool Fits(uint64_t aSize) const;
  // Takes the file aFile, which lies in aFolder, out of its place into the quarantine, its
  // manifest line on disk first: moved on the same volume, else copied, flushed, compared and
  // only then deleted. Success when the file is kept and gone from its place; on failure the
  // file is where it was (a read-only file is refused with AccessDenied, as a deletion is) and
  // the manifest holds no line for it.
  kplat::TErrorCode Take(const std::wstring& aFile, const std::wstring& aFolder);
  // The same for a caller that has just read the file's information (aInfo): it is not read
  // again.
  kplat::TErrorCode Take(const std::wstring& aFile, const std::wstring& aFolder,
                         const kplat::TFileInfo& aInfo);
  // Whether the last Take failed in the quarantine (no room, a copy that did not match) rather
  // than for the file itself (in use, read-only, behind a link).
  bool FailedHere() const { return FFailedHere; }
  // Records a folder before the run removes it, so that a restore makes it again.
  kplat::TErrorCode RecordFolder(const std::wstring& aFolder);
  // Writes the lines of the files the next findings delete in one append, one seal and one flush
  // for all of them; Take then moves such a file unless it changed since (its line is then
  // marked unused and a line of its own written). A file that is not there, is read-only or a
  // link, or is past the budget gets no line here and is left to Take. Lines whose files Take
  // did not take since are marked unused in the same append.
  kplat::TErrorCode Reserve(const std::vector<std::wstring>& aFiles);
  // The run is over: the lines of files it never took are marked unused.
  void Finish();

private:
  kplat::TErrorCode Begin();
  // Appends whole lines with their seal, flushed; on failure the manifest is cut back to its
  // last sealed line.
  kplat::TErrorCode Append(const std::wstring& aLines);
  void CutBack();
  // Moves or copies aFile to the quarantine file of number aNumber (see Take), making its folder
  // first; aDigest is its content's.
  kplat::TErrorCode Store(const std::wstring& aFile, const std::wstring& aFolder, int aNumber,
                          const kplat::TSha256Digest& aDigest);
  // The lines that mark the files of FUnused, and with aAll every reserved file not taken, as
  // unused.
  std::wstring UnusedLines(bool aAll);

  struct TReserved {
    int Number = 0;
    TQuarantineEntry Entry;
  };

  std::wstring FBackupFile;
  std::wstring FFolder;
  std::wstring FManifest;
  TSealWriter FSeal;
  uint64_t FBudget;
  uint64_t FUsed = 0;
  uint64_t FManifestSize = 0;                            // bytes of whole lines
  int FNext = 1;                                         // the number of the next file
  std::unordered_map<std::wstring, TReserved> FReserved; // by path, lines on disk, not taken yet
  uint64_t FReservedBytes = 0;
  std::vector<int> FUnused; // numbers of lines on disk whose files stay in place
  int FFolders = 0;         // the folders of a thousand made so far, from "0" on
  bool FBegun = false;
  bool FFailedHere = false;
};
