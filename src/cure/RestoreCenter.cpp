#include "cure/RestoreCenter.h"

#include "base/CLHelpers.h"
#include "cure/FigCure.h"
#include "cure/RegFileReader.h"
#include "cure/RegUtils.h"
#include "platform/FileIO.h"
#include "platform/Platform.h"
#include "platform/RegKey.h"
#include "platform/TextCodec.h"

using kplat::Platform;

namespace {

// An index larger than this is not ours; it is refused rather than read.
constexpr uint64_t kMaxIndexBytes = 16ull * 1024 * 1024;

std::wstring FileError(const std::wstring& aWhat, const std::wstring& aFile,
                       kplat::TErrorCode aError) {
  return L"Cannot " + aWhat + L" \"" + aFile + L"\": " + SystemErrorMessage(aError);
}

// Counts the lines of a text as a text list reads them (see SplitLines), fed part by part with
// its characters: UTF-16 code units or bytes, where no line break is part of another character.
class TLineCounter {
public:
  void Add(uint32_t aChar) {
    if (aChar == '\n' && FAfterCR) {
      FAfterCR = false;
      return;
    }
    FAfterCR = aChar == '\r';
    if (aChar == '\r' || aChar == '\n') {
      FLines += FComment ? 0 : 1;
      FInLine = false;
      FComment = false;
    } else {
      FComment = FInLine ? FComment : aChar == ';';
      FInLine = true;
    }
  }
  // Comment lines (such as seals) are not counted.
  size_t Lines() const { return FLines + (FInLine && !FComment ? 1 : 0); }

private:
  size_t FLines = 0;
  bool FInLine = false;
  bool FComment = false; // the line begins with ";"
  bool FAfterCR = false;
};

// Lines as a text list reads them: CR LF, LF or a lone CR end a line; an ending after the last
// line adds none.
template <class TString> std::vector<TString> SplitLines(const TString& aText) {
  std::vector<TString> lines;
  size_t start = 0;
  while (start < aText.size()) {
    size_t end = start;
    while (end < aText.size() && aText[end] != '\r' && aText[end] != '\n') {
      ++end;
    }
    lines.push_back(aText.substr(start, end - start));
    if (end < aText.size() && aText[end] == '\r' && end + 1 < aText.size() &&
        aText[end + 1] == '\n') {
      ++end;
    }
    start = end + 1;
  }
  return lines;
}

// String data up to its first NUL; the editor may or may not store the terminator.
std::wstring StringData(const kplat::TRegValue& aValue) {
  std::wstring text = kplat::DecodeUtf16Le(aValue.Data);
  if (const size_t nul = text.find(L'\0'); nul != std::wstring::npos) {
    text.resize(nul);
  }
  return text;
}

bool SameValue(const kplat::TRegValue& aFile, const kplat::TRegValue& aRegistry) {
  if (aFile.Type != aRegistry.Type) {
    return false;
  }
  if (aFile.Type == kplat::regtype::Sz || aFile.Type == kplat::regtype::ExpandSz) {
    return StringData(aFile) == StringData(aRegistry);
  }
  return aFile.Data == aRegistry.Data;
}

std::wstring KeyText(const TRegFileKey& aKey) {
  return L"[" + aKey.RootName + (aKey.SubKey.empty() ? L"" : L"\\" + aKey.SubKey) + L"]";
}

// Checks the entries of a backup file against the registry as they are read: a "-" key must be
// gone, a key without values must exist, each value must be as in the file.
class TRestoreVerifier {
public:
  explicit TRestoreVerifier(TRestoreResult& aResult) : FResult(aResult) {}

  void Entry(const TRegFileKey& aKey, const TRegFileValue* aValue) {
    if (aValue == nullptr) {
      Finish();
      FKey.Close();
      FExists = FKey.Open(aKey.Root, aKey.SubKey) == kplat::err::Success;
      if (aKey.Delete) {
        Check(!FExists, L"-" + KeyText(aKey));
      } else {
        FKeyText = KeyText(aKey);
        FAwaitingValues = true;
      }
      return;
    }
    FAwaitingValues = false;
    kplat::TRegValue now;
    const bool found = FExists && FKey.Query(aValue->Name, now) == kplat::err::Success;
    Check(aValue->Delete ? !found : found && SameValue(aValue->Value, now),
          FKeyText + L" " + (aValue->Name.empty() ? L"@" : aValue->Name));
  }

  // Checks the last key when it had no values; called after the last entry.
  void Finish() {
    if (FAwaitingValues) {
      Check(FExists, FKeyText);
      FAwaitingValues = false;
    }
  }

private:
  void Check(bool aAsInFile, const std::wstring& aEntry) {
    ++FResult.Entries;
    if (aAsInFile) {
      ++FResult.Verified;
    } else {
      FResult.Failed.push_back(aEntry);
    }
  }

  TRestoreResult& FResult;
  kplat::TRegKey FKey;
  bool FExists = false;
  std::wstring FKeyText;
  bool FAwaitingValues = false; // a key was read and none of its values yet
};

// A backup lies in the backup folder itself: the index names it by its bare file name. Any other
// name (a drive, a folder, "..", a stream) would let an edited index make the window delete or
// import a file elsewhere. Windows drops trailing dots and blanks, so a name of only those names
// the folder itself.
bool IsBareFileName(const std::wstring& aName) {
  return aName.find_first_not_of(L". ") != std::wstring::npos &&
         aName.find_first_of(L"\\/:") == std::wstring::npos;
}

} // namespace

std::wstring GetBackupChangeCount(const std::wstring& aFileName) {
  // Read part by part: a backup may be far larger than anything held in memory.
  kplat::TFilePartReader file(aFileName, kRegFilePartBytes);
  TLineCounter counter;
  std::vector<uint8_t> part;
  enum class TEncoding { Unknown, Utf16, Bytes } encoding = TEncoding::Unknown;
  std::vector<uint8_t> start; // the first bytes, until the byte-order mark is known
  int pendingLow = -1;        // the first byte of a UTF-16 code unit split between parts
  for (;;) {
    if (file.Next(part) != kplat::err::Success) {
      return std::wstring();
    }
    if (encoding == TEncoding::Unknown) {
      start.insert(start.end(), part.begin(), part.end());
      if (start.size() < 3 && !part.empty()) {
        continue;
      }
      size_t skip = 0;
      if (start.size() >= 2 && start[0] == 0xFF && start[1] == 0xFE) {
        encoding = TEncoding::Utf16;
        skip = 2;
      } else {
        encoding = TEncoding::Bytes;
        if (start.size() >= 3 && start[0] == 0xEF && start[1] == 0xBB && start[2] == 0xBF) {
          skip = 3;
        }
      }
      part.assign(start.begin() + static_cast<ptrdiff_t>(skip), start.end());
    }
    const uint8_t* const bytes = part.data();
    for (size_t i = 0; i < part.size(); ++i) {
      if (encoding == TEncoding::Bytes) {
        counter.Add(bytes[i]);
      } else if (pendingLow < 0) {
        pendingLow = bytes[i];
      } else {
        counter.Add(static_cast<uint32_t>(pendingLow) | (static_cast<uint32_t>(bytes[i]) << 8));
        pendingLow = -1;
      }
    }
    if (part.empty()) {
      break;
    }
  }
  const size_t lines = counter.Lines();
  return std::to_wstring(lines > 2 ? (lines - 2) / 3 : 0);
}

bool ReadBackupDetails(const std::wstring& aBackupFile, size_t aMaxEntries, size_t aMaxFiles,
                       TBackupDetails& aDetails, std::wstring& aError) {
  aDetails = TBackupDetails{};
  aError.clear();
  TRegFileReader reader;
  size_t entries = 0;
  const bool read =
      reader.ReadEntries(aBackupFile, [&](const TRegFileKey& aKey, const TRegFileValue* aValue) {
        std::vector<TBackupKeyDetail>& keys = aDetails.Keys;
        // The export repeats the key before each value: one that follows itself is no new key.
        const bool sameKey = aValue != nullptr ||
                             (!keys.empty() && keys.back().Root == aKey.RootName &&
                              keys.back().Path == aKey.SubKey && keys.back().Delete == aKey.Delete);
        // A key counts as an entry until its first value takes its place.
        const bool newEntry = aValue != nullptr ? !keys.back().Values.empty() : !sameKey;
        if (newEntry && entries >= aMaxEntries) {
          aDetails.MoreEntries = true;
          reader.Stop();
          return;
        }
        entries += newEntry ? 1 : 0;
        if (aValue != nullptr) {
          keys.back().Values.push_back({aValue->Name, aValue->Delete});
        } else if (!sameKey) {
          keys.push_back({aKey.RootName, aKey.SubKey, aKey.Delete, {}});
        }
      });
  aDetails.Entries = static_cast<int>(entries);
  if (!read) {
    aError =
        L"The backup file \"" + aBackupFile + L"\" cannot be read: " +
        (reader.Error().Line > 0 ? L"line " + std::to_wstring(reader.Error().Line) + L": " : L"") +
        reader.Error().Message;
    return false;
  }
  std::vector<TQuarantineEntry> files;
  if (!ReadQuarantine(aBackupFile, files, aError)) {
    return false;
  }
  size_t listed = 0;
  for (TQuarantineEntry& entry : files) {
    if (listed == aMaxFiles) {
      ++aDetails.MoreFiles;
      continue;
    }
    ++listed;
    if (entry.Folder) {
      aDetails.Folders.push_back(entry.Path);
    } else {
      aDetails.Files.push_back(std::move(entry));
    }
  }
  return true;
}

namespace {

// What the seals of a run's backup file and manifest say together. The two are written by the
// same run with the same key: one sealed and the other not is a file put there afterwards.
TSealState RunSeal(TSealState aBackup, bool aManifestExists, TSealState aManifest) {
  if (aBackup == TSealState::Broken || (aManifestExists && aManifest == TSealState::Broken)) {
    return TSealState::Broken;
  }
  if (aBackup == TSealState::Unknown || aManifest == TSealState::Unknown) {
    return TSealState::Unknown;
  }
  if (aManifestExists && aManifest != aBackup) {
    return TSealState::Broken;
  }
  return aBackup;
}

// A copy of a backup file that only administrators can change, in the Windows folder's "Temp"
// (where users may make files but change none of others), removed again when it goes.
class TProtectedCopy {
public:
  ~TProtectedCopy() {
    if (!FPath.empty() && FRemove) {
      Platform().Files().DeleteFile(FPath);
    }
  }
  kplat::TErrorCode Make(const std::wstring& aFrom) {
    constexpr uint32_t kPart = 1u << 20;
    kplat::IFileSystem& files = Platform().Files();
    const std::wstring folder = GetWindowsDir() + L"Temp";
    std::vector<uint8_t> part;
    kplat::TErrorCode rc = kplat::ForceFolders(folder);
    FFailed = folder;
    if (rc == kplat::err::Success) {
      rc = files.ReadFilePart(aFrom, 0, kPart, part);
      FFailed = aFrom;
    }
    // A name another program took first is no name of ours.
    for (int attempt = 0; rc == kplat::err::Success && FPath.empty() && attempt < 8; ++attempt) {
      const std::wstring name = MakeUniqueTempName(folder, L"kestrova-restore-", L"reg");
      rc = files.WriteProtectedFile(name, part);
      FFailed = name;
      if (rc == kplat::err::Success) {
        FPath = name;
      } else if (rc == kplat::err::AlreadyExists) {
        rc = kplat::err::Success;
      }
    }
    for (uint64_t done = part.size(); rc == kplat::err::Success && part.size() == kPart;
         done += part.size()) {
      rc = files.ReadFilePart(aFrom, done, kPart, part);
      FFailed = aFrom;
      if (rc == kplat::err::Success && !part.empty()) {
        rc = files.AppendFile(FPath, part);
        FFailed = FPath;
      }
    }
    return rc == kplat::err::Success && FPath.empty() ? kplat::err::AlreadyExists : rc;
  }
  const std::wstring& Path() const { return FPath; }
  // The file or folder of the step that failed last.
  const std::wstring& Failed() const { return FFailed; }
  // The registry editor may still read it.
  void Leave() { FRemove = false; }

private:
  std::wstring FPath;
  std::wstring FFailed;
  bool FRemove = true;
};

// A batch after the last seal was cut off by a killed run; it protects no change. It goes from
// the copy, and from the backup itself, so that it lists as what a restore brings back; false,
// with aError, when the copy keeps it.
bool CutUnsealedEnd(const std::wstring& aCopy, const std::wstring& aFileName, uint64_t aSealedBytes,
                    std::wstring& aError) {
  uint64_t size = 0;
  if (Platform().Files().GetFileSize(aCopy, size) == kplat::err::Success && size > aSealedBytes) {
    if (const kplat::TErrorCode rc = Platform().Files().TruncateFile(aCopy, aSealedBytes);
        rc != kplat::err::Success) {
      aError = FileError(L"cut the unsealed end off the copy of", aFileName, rc);
      return false;
    }
  }
  if (Platform().Files().GetFileSize(aFileName, size) == kplat::err::Success &&
      size > aSealedBytes) {
    Platform().Files().TruncateFile(aFileName, aSealedBytes);
  }
  return true;
}

// Hands the copy to the registry editor and checks, entry by entry, what it imported.
void ImportAndVerify(TProtectedCopy& aCopy, const std::wstring& aFileName, TRegFileReader& aReader,
                     TRestoreResult& aResult) {
  const TRegEditResult run = RunRegEditImport(aCopy.Path(), kRestoreImportWaitMs);
  if (run.Outcome == TRegEditOutcome::TimedOut) {
    aCopy.Leave();
  }
  aResult.Started = run.Outcome != TRegEditOutcome::NotStarted;
  aResult.Imported = run.Outcome == TRegEditOutcome::Imported;
  aResult.Error = run.Message;
  if (!aResult.Started) {
    return;
  }
  // Read again, entry by entry: the file may be far larger than what is held in memory.
  TRestoreVerifier verifier(aResult);
  const bool read = aReader.ReadEntries(
      aCopy.Path(), [&verifier](const TRegFileKey& aKey, const TRegFileValue* aValue) {
        verifier.Entry(aKey, aValue);
      });
  verifier.Finish();
  if (!read && aResult.Error.empty()) {
    aResult.Error = L"The backup file \"" + aFileName + L"\" changed while it was restored: " +
                    aReader.Error().Message;
  }
}

} // namespace

TRestoreResult RestoreBackupFile(const std::wstring& aFileName, bool aUnchecked) {
  TRestoreResult result;
  const std::optional<TSealKey> key = LoadSealKey(false);
  // The backup folder is the user's to write: the file is read once, into a copy that no other
  // program can change, and its seal, its entries, the import and the check all read that copy.
  TProtectedCopy copy;
  if (const kplat::TErrorCode rc = copy.Make(aFileName); rc != kplat::err::Success) {
    // Only an administrator may write the copy: without that right a restore cannot be checked.
    result.Error = copy.Failed() == aFileName
                       ? FileError(L"read the backup file", aFileName, rc)
                       : FileError(L"make the copy of the backup that only administrators can "
                                   L"change (a restore needs administrator rights)",
                                   copy.Failed(), rc);
    return result;
  }
  const std::wstring& checked = copy.Path();
  uint64_t sealedBytes = 0;
  const TSealState backupSeal =
      CheckFileSeals(checked, key, TSealKind::RegistryBackup, aFileName, sealedBytes);
  // The manifest is read once, here: what is restored is what was checked.
  std::vector<TQuarantineEntry> files;
  TSealState manifestSeal = TSealState::Unsealed;
  bool manifestExists = false;
  std::wstring manifestError;
  const bool manifestRead =
      ReadSealedQuarantine(aFileName, key, files, manifestSeal, manifestExists, manifestError);
  result.Seal = RunSeal(backupSeal, manifestExists, manifestSeal);
  if (result.Seal == TSealState::Broken) {
    result.Error = L"The backup \"" + ExtractFileName(aFileName) +
                   L"\" was changed after its repair run wrote it, or another program put it "
                   L"there: it is not restored";
    return result;
  }
  if (result.Seal != TSealState::Sealed && !aUnchecked) {
    result.NeedsConsent = true;
    return result;
  }
  if (result.Seal == TSealState::Sealed &&
      !CutUnsealedEnd(checked, aFileName, sealedBytes, result.Error)) {
    return result;
  }
  // The editor would import what it can of a damaged file and say nothing; such a file is not
  // handed to it.
  TRegFileReader reader;
  int entries = 0;
  if (!reader.ReadEntries(checked,
                          [&entries](const TRegFileKey&, const TRegFileValue*) { ++entries; })) {
    const TRegFileError& error = reader.Error();
    result.Error = L"The backup file \"" + aFileName + L"\" cannot be restored: " +
                   (error.Line > 0 ? L"line " + std::to_wstring(error.Line) + L": " : L"") +
                   error.Message;
    return result;
  }
  if (manifestRead) {
    result.Files = RestoreQuarantine(aFileName, files, result.Seal == TSealState::Sealed);
  } else {
    result.Files.Failed.push_back({QuarantineFolderOf(aFileName), manifestError});
  }
  if (entries == 0) {
    // Only files: the registry editor has nothing to do.
    result.Started = result.Imported = true;
    return result;
  }
  ImportAndVerify(copy, aFileName, reader, result);
  return result;
}

std::wstring TRestoreCenter::IndexFileName() const {
  return JoinFolderPath(FBackupPath, std::wstring(kBackupIndexName));
}

bool TRestoreCenter::WriteIndex(const std::vector<std::string>& aLines) {
  std::vector<uint8_t> data;
  for (const std::string& line : aLines) {
    data.insert(data.end(), line.begin(), line.end());
    data.push_back('\r');
    data.push_back('\n');
  }
  const std::wstring file = IndexFileName();
  if (const kplat::TErrorCode rc = kplat::WriteFileAtomic(file, data); rc != kplat::err::Success) {
    FLastError = FileError(L"write the backup index", file, rc);
    return false;
  }
  FInfoFile = aLines;
  return true;
}

bool TRestoreCenter::Load(int aMaxBackup) {
  FRows.clear();
  FInfoFile.clear();
  FLastError.clear();
  FIndexUnreadable = false;
  // A folder that is not a full path would be looked for in the current folder.
  if (!IsFullPath(FBackupPath)) {
    FLastError = L"The backup folder \"" + FBackupPath + L"\" is not a full path";
    FIndexUnreadable = true;
    return false;
  }
  const std::wstring file = IndexFileName();
  if (!kplat::PathExists(file)) {
    return WriteIndex({});
  }
  std::vector<uint8_t> data;
  if (const kplat::TErrorCode rc = Platform().Files().ReadFile(file, data, kMaxIndexBytes);
      rc != kplat::err::Success) {
    FLastError = FileError(L"read the backup index", file, rc);
    FIndexUnreadable = true;
    return false;
  }
  FInfoFile = SplitLines(std::string(data.begin(), data.end()));

  std::vector<TBackupRow> unpruned;
  std::vector<bool> pruned(FInfoFile.size(), false);
  std::vector<std::wstring> prunedFiles;
  int n = 0;
  for (size_t i = FInfoFile.size(); i-- > 0;) {
    ++n;
    std::vector<std::wstring> fields;
    SplitText(SystemAnsiToWide(FInfoFile[i]), L',', fields);
    if (fields.size() < 3 || !IsBareFileName(fields[2])) {
      continue;
    }
    const std::wstring backup = JoinFolderPath(FBackupPath, fields[2]);
    if (!kplat::FileExists(backup)) {
      continue;
    }
    const std::wstring changes = GetBackupChangeCount(backup);
    const TQuarantineTotals files = QuarantineTotals(backup);
    const bool listable = !changes.empty() && (changes != L"0" || files.Files > 0);
    const TBackupRow row{fields[0], changes, backup, static_cast<int>(i), files.Files, files.Bytes};
    if (n > aMaxBackup) {
      pruned[i] = true;
      prunedFiles.push_back(backup);
    } else if (listable) {
      FRows.push_back(row);
    }
    if (listable) {
      unpruned.push_back(row);
    }
  }
  if (prunedFiles.empty()) {
    return true;
  }
  std::vector<std::string> kept;
  std::vector<int> newIndex(FInfoFile.size(), -1);
  for (size_t i = 0; i < FInfoFile.size(); ++i) {
    if (!pruned[i]) {
      newIndex[i] = static_cast<int>(kept.size());
      kept.push_back(FInfoFile[i]);
    }
  }
  // The index goes first: a backup must never stay listed after its file is gone.
  if (!WriteIndex(kept)) {
    FRows = unpruned;
    return false;
  }
  for (TBackupRow& row : FRows) {
    row.IndexLine = newIndex[static_cast<size_t>(row.IndexLine)];
  }
  for (const std::wstring& backup : prunedFiles) {
    Platform().Files().DeleteFile(backup);
    DeleteQuarantine(backup);
  }
  return true;
}

bool TRestoreCenter::Delete(int aRow) {
  FLastError.clear();
  if (aRow < 0 || aRow >= static_cast<int>(FRows.size())) {
    FLastError = L"No backup is selected.";
    return false;
  }
  const TBackupRow row = FRows[static_cast<size_t>(aRow)];
  std::vector<std::string> lines = FInfoFile;
  lines.erase(lines.begin() + row.IndexLine);
  if (!WriteIndex(lines)) {
    return false;
  }
  Platform().Files().DeleteFile(row.FileName);
  DeleteQuarantine(row.FileName);
  FRows.erase(FRows.begin() + aRow);
  for (TBackupRow& other : FRows) {
    if (other.IndexLine > row.IndexLine) {
      --other.IndexLine;
    }
  }
  return true;
}

TRestoreResult TRestoreCenter::Restore(int aRow, bool aUnchecked) const {
  if (aRow < 0 || aRow >= static_cast<int>(FRows.size())) {
    TRestoreResult result;
    result.Error = L"No backup is selected.";
    return result;
  }
  return RestoreBackupFile(FRows[static_cast<size_t>(aRow)].FileName, aUnchecked);
}
