#include "cure/RestoreCenter.h"

#include "cure/FigCure.h"
#include "cure/RegFileReader.h"
#include "cure/RegUtils.h"
#include "framework/CLHelpers.h"
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

// The text of a file with its byte-order mark honoured: UTF-16LE, UTF-8, else 8-bit text.
std::wstring DecodeText(const std::vector<uint8_t>& aData) {
  if (aData.size() >= 2 && aData[0] == 0xFF && aData[1] == 0xFE) {
    return kplat::DecodeUtf16Le(aData.data() + 2, aData.size() - 2);
  }
  if (aData.size() >= 3 && aData[0] == 0xEF && aData[1] == 0xBB && aData[2] == 0xBF) {
    return kplat::FromUtf8(
        std::string_view(reinterpret_cast<const char*>(aData.data()) + 3, aData.size() - 3));
  }
  return AnsiToWide(std::string(aData.begin(), aData.end()));
}

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

// Checks every entry of the parsed file against the registry.
void VerifyKeys(const std::vector<TRegFileKey>& aKeys, TRestoreResult& aResult) {
  auto check = [&aResult](bool aAsInFile, const std::wstring& aEntry) {
    ++aResult.Entries;
    if (aAsInFile) {
      ++aResult.Verified;
    } else {
      aResult.Failed.push_back(aEntry);
    }
  };
  for (const TRegFileKey& key : aKeys) {
    kplat::TRegKey open;
    const bool exists = open.Open(key.Root, key.SubKey) == kplat::err::Success;
    if (key.Delete) {
      check(!exists, L"-" + KeyText(key));
      continue;
    }
    if (key.Values.empty()) {
      check(exists, KeyText(key));
      continue;
    }
    for (const TRegFileValue& value : key.Values) {
      const std::wstring entry = KeyText(key) + L" " + (value.Name.empty() ? L"@" : value.Name);
      kplat::TRegValue now;
      const bool found = exists && open.Query(value.Name, now) == kplat::err::Success;
      check(value.Delete ? !found : found && SameValue(value.Value, now), entry);
    }
  }
}

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
  std::vector<uint8_t> data;
  if (Platform().Files().ReadFile(aFileName, data, kMaxRegFileBytes) != kplat::err::Success) {
    return std::wstring();
  }
  const size_t lines = SplitLines(DecodeText(data)).size();
  return std::to_wstring(lines > 2 ? (lines - 2) / 3 : 0);
}

TRestoreResult RestoreBackupFile(const std::wstring& aFileName) {
  TRestoreResult result;
  // The editor would import what it can of a damaged file and say nothing; such a file is not
  // handed to it.
  TRegFileReader reader;
  if (!reader.LoadFromFile(aFileName)) {
    const TRegFileError& error = reader.Error();
    result.Error = L"The backup file \"" + aFileName + L"\" cannot be restored: " +
                   (error.Line > 0 ? L"line " + std::to_wstring(error.Line) + L": " : L"") +
                   error.Message;
    return result;
  }
  const TRegEditResult run = RunRegEditImport(aFileName, kRestoreImportWaitMs);
  result.Started = run.Outcome != TRegEditOutcome::NotStarted;
  result.Imported = run.Outcome == TRegEditOutcome::Imported;
  result.Error = run.Message;
  if (result.Started) {
    VerifyKeys(reader.Keys(), result);
  }
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
    SplitText(AnsiToWide(FInfoFile[i]), L',', fields);
    if (fields.size() < 3 || !IsBareFileName(fields[2])) {
      continue;
    }
    const std::wstring backup = JoinFolderPath(FBackupPath, fields[2]);
    if (!kplat::FileExists(backup)) {
      continue;
    }
    const std::wstring changes = GetBackupChangeCount(backup);
    const bool listable = !changes.empty() && changes != L"0";
    const TBackupRow row{fields[0], changes, backup, static_cast<int>(i)};
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
  FRows.erase(FRows.begin() + aRow);
  for (TBackupRow& other : FRows) {
    if (other.IndexLine > row.IndexLine) {
      --other.IndexLine;
    }
  }
  return true;
}

TRestoreResult TRestoreCenter::Restore(int aRow) const {
  if (aRow < 0 || aRow >= static_cast<int>(FRows.size())) {
    TRestoreResult result;
    result.Error = L"No backup is selected.";
    return result;
  }
  return RestoreBackupFile(FRows[static_cast<size_t>(aRow)].FileName);
}
