#pragma once
// The backups that repair runs left: the listing of the backup index "info.rec" newest first,
// pruned to the user's limit, the restore of one backup through the registry editor with a check
// of what the registry holds afterwards, and the deletion of one backup. The Restore Center window
// and the command-line program both work through it.

#include "cure/FigQuarantine.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The number of entries of a backup file as decimal text: its text lines after the two header
// lines that are no comments (seals), divided by 3 (a bracket line, a value line and a blank
// line each). "" when the file does not exist or cannot be read.
std::wstring GetBackupChangeCount(const std::wstring& aFileName);

// How long a restore waits for the registry editor to end.
inline constexpr uint32_t kRestoreImportWaitMs = 300000;

// One listed backup.
struct TBackupRow {
  std::wstring DateTime; // the index line's first field
  std::wstring Changes;  // GetBackupChangeCount of the file
  std::wstring FileName; // the backup file's full path
  int IndexLine = 0;     // the index line the row was made from
  int Files = 0;         // files the run's quarantine holds
  uint64_t FileBytes = 0;
};

// What a restore found in the registry afterwards.
struct TRestoreResult {
  bool Started = false;             // the registry editor was started; the check below ran
  bool Imported = false;            // the registry editor ran over the file and ended
  int Entries = 0;                  // entries of the backup file
  int Verified = 0;                 // entries the registry holds as the file says
  std::vector<std::wstring> Failed; // "[key] name" of every other entry, in file order
  std::wstring Error;               // why nothing was imported, or what the editor reported
  TFileRestoreResult Files;         // the run's files
  // What the run's seals showed (FigSeal.h). Broken: nothing was restored, Error says why.
  // Unsealed or Unknown: the run cannot be checked; it is restored only when the caller says so
  // (the user was asked), else nothing happens and NeedsConsent is set.
  TSealState Seal = TSealState::Unsealed;
  bool NeedsConsent = false;
  // Every entry is back and no file failed.
  bool Complete() const {
    return Imported && Error.empty() && Verified == Entries && Files.Failed.empty();
  }
};

class TRestoreCenter {
public:
  explicit TRestoreCenter(std::wstring aBackupPath) : FBackupPath(std::move(aBackupPath)) {}

  // Reads the index and lists its backups newest first. Lines are counted from the newest, every
  // line whatever becomes of it; a line with fewer than three comma-separated fields, whose third
  // field is not a bare file name or whose file is missing is kept but not listed (its file is
  // never deleted); a backup past aMaxBackup is deleted with its line;
  // one without entries and without files is kept but not listed. A backup's quarantine goes
  // with it. A missing index is created empty. The new index
  // is written before any file is deleted: when it cannot be written (or the index cannot be
  // read) the result is false with LastError, nothing is deleted and the rows are those the index
  // on disk holds, unpruned. A backup folder that is not a full path (a drive or network path)
  // is refused as an unreadable index: nothing is read, listed or deleted.
  bool Load(int aMaxBackup);
  const std::vector<TBackupRow>& Rows() const { return FRows; }
  const std::wstring& LastError() const { return FLastError; }
  // The last Load failed because the index could not be read (rather than written).
  bool IndexUnreadable() const { return FIndexUnreadable; }

  // Deletes row aRow's own index line, then its file (a file that cannot be deleted is not
  // reported), and its quarantine. False, with LastError and nothing changed, for a row out of
  // range or an index that cannot be written.
  bool Delete(int aRow);

  // Imports row aRow's backup file through the registry editor, waiting until it has ended, and
  // then reads every entry of the file back from the registry; then brings the run's files back
  // (RestoreQuarantine). A file that cannot be read or is malformed is not handed to the editor,
  // and one without entries needs none. A run whose seal does not match is refused; one that
  // cannot be checked is restored only with aUnchecked.
  TRestoreResult Restore(int aRow, bool aUnchecked = false) const;

private:
  std::wstring IndexFileName() const;
  bool WriteIndex(const std::vector<std::string>& aLines);

  std::wstring FBackupPath;
  std::vector<std::string> FInfoFile; // the index lines as last read or written, 8-bit text
  std::vector<TBackupRow> FRows;
  std::wstring FLastError;
  bool FIndexUnreadable = false;
};

// What a run changed, read from its backup file and its quarantine's manifest, to be shown
// before it is restored.
struct TBackupValueDetail {
  std::wstring Name;   // empty: the default value
  bool Delete = false; // a restore removes it (the run made it)
};
struct TBackupKeyDetail {
  std::wstring Root;   // as the backup writes it, e.g. "HKEY_CURRENT_USER"
  std::wstring Path;   // below the root
  bool Delete = false; // a restore removes the key (the run made it)
  std::vector<TBackupValueDetail> Values;
  // "root\path", as the registry editor names the key.
  std::wstring Place() const { return Path.empty() ? Root : Root + L"\\" + Path; }
};
struct TBackupDetails {
  // In file order; entries of one key that follow each other are one key.
  std::vector<TBackupKeyDetail> Keys;
  int Entries = 0;                     // the values and valueless keys in Keys
  bool MoreEntries = false;            // the backup holds entries past the limit, not read
  std::vector<TQuarantineEntry> Files; // the quarantine's files, manifest order
  std::vector<std::wstring> Folders;   // the folders the run removed
  int MoreFiles = 0;                   // files and folders past the limit
};

// Reads what the run of aBackupFile changed: at most aMaxEntries registry entries, read no
// further than needed so that a huge backup costs no more than its first entries, and at most
// aMaxFiles files and folders of its quarantine. False, with aError, when the backup file or the
// manifest cannot be read or is malformed before the limit; what was read stays in aDetails.
bool ReadBackupDetails(const std::wstring& aBackupFile, size_t aMaxEntries, size_t aMaxFiles,
                       TBackupDetails& aDetails, std::wstring& aError);

// Imports aFileName through the registry editor, checks the registry against every entry of the
// file and restores the run's files, as TRestoreCenter::Restore does.
TRestoreResult RestoreBackupFile(const std::wstring& aFileName, bool aUnchecked = false);
