#include "cure/FigQuarantine.h"

#include "base/CLHelpers.h"
#include "engine/FigWinapp2Topic.h"
#include "platform/FileIO.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <charconv>

using kplat::Platform;
namespace err = kplat::err;

namespace {

constexpr std::wstring_view kHeader = L"KESTROVA-QUARANTINE\t1";
constexpr const wchar_t* kOutOfBounds =
    L"it lies in the Windows folder, and the run's manifest cannot be checked";
constexpr const wchar_t* kWindowsFile = L"it lies where Windows keeps its own files";
// A manifest larger than this is not ours; it is refused rather than read.
constexpr uint64_t kMaxManifestBytes = 256ull * 1024 * 1024;
// What a restore gives a file back: the attributes a file can be given, no folder or link bits.
constexpr uint32_t kRestorableAttributes = kplat::fileattr::ReadOnly | kplat::fileattr::Hidden |
                                           kplat::fileattr::System | kplat::fileattr::Archive |
                                           kplat::fileattr::Temporary;
// The files a folder of the quarantine holds.
constexpr int kFilesPerFolder = 1000;
constexpr size_t kMaxNumberDigits = 10;

std::vector<std::wstring> Fields(const std::wstring& aLine) {
  std::vector<std::wstring> fields;
  size_t start = 0;
  for (;;) {
    const size_t tab = aLine.find(L'\t', start);
    fields.push_back(aLine.substr(start, tab == std::wstring::npos ? tab : tab - start));
    if (tab == std::wstring::npos) {
      return fields;
    }
    start = tab + 1;
  }
}

template <class T> bool ParseNumber(const std::wstring& aText, T& aValue, int aBase = 10) {
  const std::string text = kplat::ToUtf8(aText);
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), aValue, aBase);
  return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

std::wstring Hex(uint32_t aValue) {
  static constexpr wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring text;
  do {
    text.insert(text.begin(), kDigits[aValue & 0xF]);
    aValue >>= 4;
  } while (aValue != 0);
  return text;
}

bool IsNumber(std::wstring_view aText) {
  return !aText.empty() && aText.size() <= kMaxNumberDigits &&
         aText.find_first_not_of(L"0123456789") == std::wstring_view::npos;
}

// A stored file is named by its number, in the folder of its thousand or (written by earlier
// versions) alone: an edited manifest cannot point a restore at a file outside the quarantine.
bool IsStoredName(std::wstring_view aName) {
  const size_t slash = aName.find(L'\\');
  return slash == std::wstring_view::npos
             ? IsNumber(aName)
             : IsNumber(aName.substr(0, slash)) && IsNumber(aName.substr(slash + 1));
}

std::wstring StoredName(int aNumber) {
  return std::to_wstring(aNumber / kFilesPerFolder) + L'\\' + std::to_wstring(aNumber);
}

bool ParseEntry(const std::vector<std::wstring>& aFields, TQuarantineEntry& aEntry) {
  if (aFields[0] == L"D") {
    aEntry.Folder = true;
    aEntry.Path = aFields.size() == 2 ? aFields[1] : std::wstring();
    return IsFullPath(aEntry.Path);
  }
  if (aFields.size() != 9 || !IsStoredName(aFields[1]) || !IsFullPath(aFields[8])) {
    return false;
  }
  aEntry.StoredName = aFields[1];
  aEntry.Path = aFields[8];
  return ParseNumber(aFields[2], aEntry.Size) && ParseNumber(aFields[3], aEntry.Attributes, 16) &&
         ParseNumber(aFields[4], aEntry.Times.Creation) &&
         ParseNumber(aFields[5], aEntry.Times.LastAccess) &&
         ParseNumber(aFields[6], aEntry.Times.LastWrite) &&
         kplat::ParseDigest(aFields[7], aEntry.Digest);
}

std::wstring FileLine(int aNumber, const TQuarantineEntry& aEntry) {
  return L"F\t" + StoredName(aNumber) + L'\t' + std::to_wstring(aEntry.Size) + L'\t' +
         Hex(aEntry.Attributes) + L'\t' + std::to_wstring(aEntry.Times.Creation) + L'\t' +
         std::to_wstring(aEntry.Times.LastAccess) + L'\t' +
         std::to_wstring(aEntry.Times.LastWrite) + L'\t' + kplat::DigestText(aEntry.Digest) +
         L'\t' + aEntry.Path;
}

// Reads what a file's manifest line holds from what the file system tells of it (aInfo) and its
// content; aInfo is read before the content, so that a file written meanwhile shows a later time
// than its line.
kplat::TErrorCode Describe(const std::wstring& aFile, const kplat::TFileInfo& aInfo,
                           TQuarantineEntry& aEntry) {
  aEntry.Path = aFile;
  aEntry.Attributes = aInfo.Attributes;
  aEntry.Times = aInfo.Times;
  aEntry.Size = aInfo.Size;
  if ((aInfo.Attributes & kplat::fileattr::ReadOnly) != 0) {
    return err::AccessDenied;
  }
  return kplat::HashFile(aFile, aEntry.Digest);
}

// Whether a file (its information aInfo) still is as its line describes it, by what can be seen
// without reading it.
bool Unchanged(const kplat::TFileInfo& aInfo, const TQuarantineEntry& aEntry) {
  return aInfo.Attributes == aEntry.Attributes && aInfo.Times.Creation == aEntry.Times.Creation &&
         aInfo.Times.LastWrite == aEntry.Times.LastWrite && aInfo.Size == aEntry.Size;
}

// Deletes the files of aFolder, one of a quarantine; a link is never followed.
void DeleteStoredFiles(const std::wstring& aFolder) {
  kplat::IFileSystem& files = Platform().Files();
  std::vector<std::wstring> names;
  kplat::TFileFind find;
  kplat::TFindData data;
  for (bool found = find.First(aFolder + L"\\*", data); found; found = find.Next(data)) {
    if ((data.Attributes & kplat::fileattr::Directory) == 0) {
      names.push_back(data.Name);
    }
  }
  find.Close();
  for (const std::wstring& name : names) {
    const std::wstring file = aFolder + L'\\' + name;
    files.SetAttributes(file, kplat::fileattr::Normal);
    files.DeleteFileInFolder(file, aFolder);
  }
}

bool IsLink(const std::wstring& aPath) {
  uint32_t attributes = 0;
  return Platform().Files().GetAttributes(aPath, attributes) == err::Success &&
         (attributes & kplat::fileattr::ReparsePoint) != 0;
}

// Whether every folder of aPath that exists is a plain folder: a restore goes through no
// junction or symbolic link, which could lead it anywhere.
bool NoLinkOnTheWay(const std::wstring& aPath) {
  std::wstring folder = aPath;
  for (;;) {
    if (IsLink(folder)) {
      return false;
    }
    const size_t up = folder.find_last_of(L'\\');
    if (up == std::wstring::npos || up < 2) {
      return true;
    }
    folder.resize(up);
  }
}

bool SameContent(const std::wstring& aFile, const kplat::TSha256Digest& aDigest) {
  kplat::TSha256Digest digest{};
  return kplat::HashFile(aFile, digest) == err::Success && digest == aDigest;
}

} // namespace

std::wstring QuarantineFolderOf(const std::wstring& aBackupFile) {
  const size_t dot = aBackupFile.find_last_of(L".\\");
  const std::wstring stem = dot != std::wstring::npos && aBackupFile[dot] == L'.'
                                ? aBackupFile.substr(0, dot)
                                : aBackupFile;
  return stem + L".files";
}

namespace {

// Reads a run's manifest; with aKey its seals are checked (a null aKey reads it as it is).
bool ReadManifest(const std::wstring& aBackupFile, const std::optional<TSealKey>* aKey,
                  std::vector<TQuarantineEntry>& aEntries, TSealState& aState, bool& aExists,
                  std::wstring& aError) {
  aEntries.clear();
  aError.clear();
  aState = TSealState::Unsealed;
  const std::wstring manifest =
      JoinFolderPath(QuarantineFolderOf(aBackupFile), std::wstring(kQuarantineManifestName));
  aExists = kplat::FileExists(manifest);
  if (!aExists) {
    return true;
  }
  std::vector<uint8_t> data;
  if (const kplat::TErrorCode rc = Platform().Files().ReadFile(manifest, data, kMaxManifestBytes);
      rc != err::Success) {
    aError = L"Cannot read \"" + manifest + L"\": " + SystemErrorMessage(rc);
    return false;
  }
  if (aKey != nullptr) {
    TSealReader seals(*aKey, TSealKind::Manifest, aBackupFile);
    seals.Add(data.data(), data.size());
    aState = seals.State();
    if (aState == TSealState::Broken) {
      return true;
    }
    if (aState != TSealState::Unsealed) {
      data.resize(seals.SealedBytes()); // the rest is a line a killed run did not seal
    }
  }
  int badLine = 0;
  if (!ParseQuarantineManifest(
          std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), aEntries,
          badLine)) {
    aError = L"\"" + manifest + L"\", line " + std::to_wstring(badLine) + L": not an entry";
    return false;
  }
  return true;
}

} // namespace

bool ReadQuarantine(const std::wstring& aBackupFile, std::vector<TQuarantineEntry>& aEntries,
                    std::wstring& aError) {
  TSealState state = TSealState::Unsealed;
  bool exists = false;
  return ReadManifest(aBackupFile, nullptr, aEntries, state, exists, aError);
}

bool ReadSealedQuarantine(const std::wstring& aBackupFile, const std::optional<TSealKey>& aKey,
                          std::vector<TQuarantineEntry>& aEntries, TSealState& aState,
                          bool& aExists, std::wstring& aError) {
  return ReadManifest(aBackupFile, &aKey, aEntries, aState, aExists, aError);
}

bool ParseQuarantineManifest(std::string_view aBytes, std::vector<TQuarantineEntry>& aEntries,
                             int& aBadLine) {
  aEntries.clear();
  aBadLine = 0;
  const std::wstring text = kplat::FromUtf8(aBytes);
  std::vector<std::wstring> unused;
  int line = 0;
  // A line without its end was cut off by a failed write: it describes nothing kept.
  for (size_t start = 0, end = 0; (end = text.find(L'\n', start)) != std::wstring::npos;
       start = end + 1) {
    ++line;
    std::wstring content = text.substr(start, end - start);
    if (!content.empty() && content.back() == L'\r') {
      content.pop_back();
    }
    const std::vector<std::wstring> fields = Fields(content);
    if (fields[0] == L"X" && fields.size() == 2 && IsStoredName(fields[1])) {
      unused.push_back(fields[1]);
    }
    if (fields[0] != L"F" && fields[0] != L"D") {
      continue;
    }
    TQuarantineEntry entry;
    if (!ParseEntry(fields, entry)) {
      aEntries.clear();
      aBadLine = line;
      return false;
    }
    aEntries.push_back(std::move(entry));
  }
  std::sort(unused.begin(), unused.end());
  std::erase_if(aEntries, [&unused](const TQuarantineEntry& aEntry) {
    return !aEntry.Folder && std::binary_search(unused.begin(), unused.end(), aEntry.StoredName);
  });
  return true;
}

TQuarantineTotals QuarantineTotals(const std::wstring& aBackupFile) {
  TQuarantineTotals totals;
  std::vector<TQuarantineEntry> entries;
  std::wstring error;
  ReadQuarantine(aBackupFile, entries, error);
  for (const TQuarantineEntry& entry : entries) {
    if (!entry.Folder) {
      ++totals.Files;
      totals.Bytes += entry.Size;
    }
  }
  return totals;
}

void DeleteQuarantine(const std::wstring& aBackupFile) {
  const std::wstring folder = QuarantineFolderOf(aBackupFile);
  kplat::IFileSystem& files = Platform().Files();
  if (!IsLink(folder)) {
    DeleteStoredFiles(folder);
    // The folders of a thousand; one that became a link is removed as the link it is.
    std::vector<std::wstring> subFolders;
    kplat::TFileFind find;
    kplat::TFindData data;
    for (bool found = find.First(folder + L"\\*", data); found; found = find.Next(data)) {
      if ((data.Attributes & kplat::fileattr::Directory) != 0 && !kplat::IsDotEntry(data)) {
        subFolders.push_back(folder + L'\\' + data.Name);
      }
    }
    find.Close();
    for (const std::wstring& subFolder : subFolders) {
      if (!IsLink(subFolder)) {
        DeleteStoredFiles(subFolder);
      }
      files.RemoveFolder(subFolder);
    }
  }
  files.RemoveFolder(folder);
}

TFileRestoreResult RestoreQuarantine(const std::wstring& aBackupFile, bool aUnchecked) {
  std::vector<TQuarantineEntry> entries;
  TSealState state = TSealState::Unsealed;
  bool exists = false;
  std::wstring error;
  if (!ReadSealedQuarantine(aBackupFile, LoadSealKey(false), entries, state, exists, error)) {
    TFileRestoreResult result;
    result.Failed.push_back({QuarantineFolderOf(aBackupFile), error});
    return result;
  }
  if (state == TSealState::Broken || (state != TSealState::Sealed && !aUnchecked)) {
    TFileRestoreResult result;
    result.Failed.push_back(
        {QuarantineFolderOf(aBackupFile), state == TSealState::Broken
                                              ? L"its manifest was changed after its run wrote it"
                                              : L"its manifest has no seal that can be checked"});
    return result;
  }
  return RestoreQuarantine(aBackupFile, entries, state == TSealState::Sealed);
}

TFileRestoreResult RestoreQuarantine(const std::wstring& aBackupFile,
                                     const std::vector<TQuarantineEntry>& aEntries, bool aChecked) {
  TFileRestoreResult result;
  const std::vector<TQuarantineEntry>& entries = aEntries;
  // What an unchecked manifest names may be anything: nothing of it goes into the Windows folder.
  const std::wstring windows = Platform().System().GetWindowsFolder();
  const auto outOfBounds = [&](const std::wstring& aPath) {
    return !aChecked && (kplat::SamePath(aPath, windows) || kplat::PathInFolder(aPath, windows));
  };
  // Not even a sealed one puts a file back among Windows' own: a run never deletes one, and the
  // system's files are the system's to replace.
  const auto refuse = [&](const std::wstring& aPath, const std::wstring& aFolder) {
    if (outOfBounds(aPath)) {
      result.Failed.push_back({aPath, kOutOfBounds});
    } else if (IsWindowsOwnFolder(aFolder)) {
      result.Failed.push_back({aPath, kWindowsFile, true});
    } else {
      return false;
    }
    return true;
  };
  const std::wstring folder = QuarantineFolderOf(aBackupFile);
  kplat::IFileSystem& files = Platform().Files();
  // Folders first, the outermost first (the run recorded them in the order it removed them).
  for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
    if (!entry->Folder || kplat::FolderExists(entry->Path)) {
      continue;
    }
    if (refuse(entry->Path, entry->Path)) {
      continue;
    }
    if (!NoLinkOnTheWay(entry->Path)) {
      result.Failed.push_back({entry->Path, L"a junction or symbolic link is on the way"});
    } else if (const kplat::TErrorCode rc = kplat::ForceFolders(entry->Path); rc != err::Success) {
      result.Failed.push_back({entry->Path, SystemErrorMessage(rc)});
    }
  }
  for (const TQuarantineEntry& entry : entries) {
    if (entry.Folder) {
      continue;
    }
    ++result.Files;
    const std::wstring target = entry.Path;
    const std::wstring parent = ExtractFileDir(target);
    if (kplat::PathExists(target)) {
      result.Kept.push_back(target);
      continue;
    }
    const std::wstring stored = folder + L'\\' + entry.StoredName;
    if (!kplat::FileExists(stored)) {
      result.Failed.push_back({target, L"it is missing from the quarantine"});
      continue;
    }
    if (refuse(target, parent)) {
      continue;
    }
    if (!NoLinkOnTheWay(parent)) {
      result.Failed.push_back({target, L"a junction or symbolic link is on the way"});
      continue;
    }
    if (const kplat::TErrorCode rc = kplat::ForceFolders(parent); rc != err::Success) {
      result.Failed.push_back({target, SystemErrorMessage(rc)});
      continue;
    }
    // Written beside the target under a name of its own, then renamed without replacing: a file
    // that appears at the path meanwhile is never overwritten.
    const std::wstring temp =
        JoinFolderPath(parent, L"~kestrova-restore-" + ExtractFileName(entry.StoredName) + L".tmp");
    // The copy is what is compared, not the quarantine file, which could change meanwhile.
    kplat::TErrorCode rc = kplat::CopyFileFlushed(stored, temp);
    if (rc == err::Success && !SameContent(temp, entry.Digest)) {
      files.DeleteFile(temp);
      result.Failed.push_back({target, L"its copy in the quarantine was changed"});
      continue;
    }
    if (rc == err::Success) {
      rc = files.MoveFileInFolder(temp, parent, target);
      if (rc != err::Success) {
        files.DeleteFile(temp);
      }
    }
    if (rc == err::AlreadyExists) {
      result.Kept.push_back(target);
      continue;
    }
    if (rc == err::Success) {
      rc = files.SetFileTimes(target, entry.Times);
    }
    if (rc == err::Success) {
      rc = files.SetAttributes(target, entry.Attributes & kRestorableAttributes);
    }
    if (rc != err::Success) {
      result.Failed.push_back({target, SystemErrorMessage(rc)});
    } else if (!SameContent(target, entry.Digest)) {
      result.Failed.push_back({target, L"its content differs after the restore"});
    } else {
      ++result.Restored;
    }
  }
  return result;
}

TFigQuarantine::TFigQuarantine(const std::wstring& aBackupFile, uint64_t aBudgetBytes,
                               const std::optional<TSealKey>& aSealKey)
    : FBackupFile(aBackupFile), FFolder(QuarantineFolderOf(aBackupFile)),
      FManifest(FFolder + L'\\' + std::wstring(kQuarantineManifestName)),
      FSeal(aSealKey, TSealKind::Manifest, aBackupFile), FBudget(aBudgetBytes) {}

bool TFigQuarantine::Fits(uint64_t aSize) const {
  return FBudget > 0 && aSize <= FBudget - FUsed;
}

kplat::TErrorCode TFigQuarantine::Begin() {
  if (FBegun) {
    return err::Success;
  }
  // The backup file's name is new, so a folder of that name is what an earlier deletion left.
  if (kplat::PathExists(FFolder)) {
    DeleteQuarantine(FBackupFile);
  }
  if (const kplat::TErrorCode rc = kplat::ForceFolders(FFolder); rc != err::Success) {
    return rc;
  }
  const std::string text = kplat::ToUtf8(kHeader) + "\r\n";
  kplat::TSha256Digest seal{};
  const std::vector<uint8_t> header =
      FSeal.Seal(std::vector<uint8_t>(text.begin(), text.end()), seal);
  const kplat::TErrorCode rc = Platform().Files().WriteFile(FManifest, header);
  if (rc != err::Success) {
    Platform().Files().DeleteFile(FManifest);
    return rc;
  }
  FSeal.Written(seal);
  FManifestSize = header.size();
  FBegun = true;
  return err::Success;
}

kplat::TErrorCode TFigQuarantine::Append(const std::wstring& aLines) {
  const std::string text = kplat::ToUtf8(aLines);
  kplat::TSha256Digest seal{};
  const std::vector<uint8_t> line =
      FSeal.Seal(std::vector<uint8_t>(text.begin(), text.end()), seal);
  const kplat::TErrorCode rc = Platform().Files().AppendFile(FManifest, line);
  if (rc != err::Success) {
    CutBack();
    return rc;
  }
  FSeal.Written(seal);
  FManifestSize += line.size();
  return err::Success;
}

void TFigQuarantine::CutBack() {
  // Needs no room, so it works on the full disk that made the append fail. A part that stays is
  // a line without its end, which readers ignore.
  Platform().Files().TruncateFile(FManifest, FManifestSize);
}

kplat::TErrorCode TFigQuarantine::Take(const std::wstring& aFile, const std::wstring& aFolder) {
  FFailedHere = false;
  kplat::TFileInfo info;
  if (const kplat::TErrorCode rc = Platform().Files().GetFileInfo(aFile, info);
      rc != err::Success) {
    return rc;
  }
  return Take(aFile, aFolder, info);
}

kplat::TErrorCode TFigQuarantine::Take(const std::wstring& aFile, const std::wstring& aFolder,
                                       const kplat::TFileInfo& aInfo) {
  FFailedHere = false;
  if (const auto reserved = FReserved.find(aFile); reserved != FReserved.end()) {
    const TReserved taken = std::move(reserved->second);
    FReserved.erase(reserved);
    FReservedBytes -= taken.Entry.Size;
    if (Unchanged(aInfo, taken.Entry)) {
      const kplat::TErrorCode rc = Store(aFile, aFolder, taken.Number, taken.Entry.Digest);
      if (rc != err::Success) {
        FUnused.push_back(taken.Number);
        return rc;
      }
      FUsed += taken.Entry.Size;
      return err::Success;
    }
    // Written since its line was: it gets a line of its own.
    FUnused.push_back(taken.Number);
  }
  TQuarantineEntry entry;
  if (kplat::TErrorCode rc = Describe(aFile, aInfo, entry); rc != err::Success) {
    return rc;
  }
  FFailedHere = true;
  if (!Fits(entry.Size)) {
    return err::DiskFull;
  }
  if (kplat::TErrorCode rc = Begin(); rc != err::Success) {
    return rc;
  }
  const int number = FNext;
  const uint64_t lineStart = FManifestSize;
  const kplat::TSha256Digest sealBefore = FSeal.Last();
  if (kplat::TErrorCode rc = Append(UnusedLines(false) + FileLine(FNext, entry) + L"\r\n");
      rc != err::Success) {
    return rc;
  }
  ++FNext;
  if (const kplat::TErrorCode rc = Store(aFile, aFolder, number, entry.Digest);
      rc != err::Success) {
    // The file is still in its place: its line goes again, the unused marks with it.
    FManifestSize = lineStart;
    FSeal.Written(sealBefore);
    CutBack();
    return rc;
  }
  FUnused.clear();
  FUsed += entry.Size;
  return err::Success;
}

kplat::TErrorCode TFigQuarantine::Store(const std::wstring& aFile, const std::wstring& aFolder,
                                        int aNumber, const kplat::TSha256Digest& aDigest) {
  kplat::IFileSystem& files = Platform().Files();
  // Numbers are given in order, so the folders are made in order too; one a killed run made
  // before it moved anything is there already.
  for (; FFolders <= aNumber / kFilesPerFolder; ++FFolders) {
    const std::wstring made = FFolder + L'\\' + std::to_wstring(FFolders);
    if (const kplat::TErrorCode rc = files.CreateFolder(made);
        rc != err::Success && !kplat::FolderExists(made)) {
      FFailedHere = true;
      return rc;
    }
  }
  const std::wstring stored = FFolder + L'\\' + StoredName(aNumber);
  kplat::TErrorCode rc = files.MoveFileInFolder(aFile, aFolder, stored);
  // A move that fails was refused for the file itself: in use, read-only, behind a link.
  FFailedHere = rc == err::NotSameDevice;
  if (rc == err::NotSameDevice) {
    // Another volume: the original goes only once its copy is on disk and proven the same.
    rc = kplat::CopyFileFlushed(aFile, stored);
    if (rc == err::Success && !SameContent(stored, aDigest)) {
      rc = err::InvalidData;
    }
    if (rc == err::Success) {
      rc = files.DeleteFileInFolder(aFile, aFolder);
      if (rc != err::Success) {
        FFailedHere = false; // the original is held open or refused: it stays, its copy goes
      }
    }
    if (rc != err::Success) {
      files.DeleteFile(stored);
    }
  }
  return rc;
}

std::wstring TFigQuarantine::UnusedLines(bool aAll) {
  if (aAll) {
    for (const auto& [path, reserved] : FReserved) {
      FUnused.push_back(reserved.Number);
    }
    FReserved.clear();
    FReservedBytes = 0;
  }
  std::wstring lines;
  for (const int number : FUnused) {
    lines += L"X\t" + StoredName(number) + L"\r\n";
  }
  return lines;
}

kplat::TErrorCode TFigQuarantine::Reserve(const std::vector<std::wstring>& aFiles) {
  std::wstring lines;
  std::vector<std::pair<std::wstring, TReserved>> reserved;
  uint64_t bytes = 0;
  int next = FNext;
  for (const std::wstring& file : aFiles) {
    kplat::TFileInfo info;
    TQuarantineEntry entry;
    if (FReserved.count(file) != 0 || Platform().Files().GetFileInfo(file, info) != err::Success ||
        (info.Attributes & (kplat::fileattr::Directory | kplat::fileattr::ReparsePoint)) != 0 ||
        !Fits(FReservedBytes + bytes + info.Size) || Describe(file, info, entry) != err::Success) {
      continue;
    }
    bytes += entry.Size;
    lines += FileLine(next, entry) + L"\r\n";
    reserved.push_back({file, TReserved{next++, std::move(entry)}});
  }
  if (reserved.empty()) {
    return err::Success;
  }
  if (kplat::TErrorCode rc = Begin(); rc != err::Success) {
    return rc;
  }
  if (kplat::TErrorCode rc = Append(UnusedLines(false) + lines); rc != err::Success) {
    return rc;
  }
  FUnused.clear();
  FNext = next;
  FReservedBytes += bytes;
  for (auto& [file, entry] : reserved) {
    FReserved.emplace(file, std::move(entry));
  }
  return err::Success;
}

void TFigQuarantine::Finish() {
  if (FBegun) {
    const std::wstring lines = UnusedLines(true);
    if (!lines.empty() && Append(lines) == err::Success) {
      FUnused.clear();
    }
  }
}

kplat::TErrorCode TFigQuarantine::RecordFolder(const std::wstring& aFolder) {
  if (kplat::TErrorCode rc = Begin(); rc != err::Success) {
    return rc;
  }
  return Append(L"D\t" + aFolder + L"\r\n");
}
