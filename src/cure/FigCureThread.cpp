// The repair worker: pacing, the repair of each finding with its backup on disk first, the
// outcomes handed to the main thread in batches, the import of the fix lines and the final step
// that every run takes.

#include "cure/FigCure.h"

#include "base/CLHelpers.h"
#include "base/CLMainThread.h"
#include "engine/FigPrograms.h"
#include "engine/FigProtected.h"
#include "platform/FileIO.h"
#include "platform/RegKey.h"

#include <algorithm>
#include <cmath>
#include <exception>

using kplat::Platform;

namespace {

constexpr uint32_t kPollMs = 40;
constexpr size_t kHeaderBytes = 82; // the byte-order mark and the header of an export file
// Backup entries are flushed together for the findings of at most this many milliseconds of
// slots, and at most this many findings: one flush per finding would make a run of thousands of
// findings take minutes, and a flush can cost a tenth of a second on a busy disk.
constexpr uint32_t kBackupBatchMs = 250;
constexpr int kMaxBackupBatch = 1024;
// The outcomes of the findings of this many milliseconds go to the main thread in one call; a
// call per finding would keep it from painting during a run of thousands.
constexpr uint64_t kEventBatchMs = 30;
// How long the main thread fires the events of queued outcomes before it serves its other work
// again; the rest follow in the next call.
constexpr uint64_t kEventSliceMs = 20;

// The entries of an exporter: its content after the header.
std::vector<uint8_t> Entries(const TRegExporter& aExporter) {
  const auto& stream = aExporter.Stream();
  return std::vector<uint8_t>(stream.begin() + kHeaderBytes, stream.end());
}

} // namespace

// The last key opened for a backup batch or a slice of findings, kept open for the findings that
// follow in the same key: one open per key rather than per value.
class TRegKeyCache {
public:
  explicit TRegKeyCache(kplat::TRegAccess aAccess) : FAccess(aAccess) {}

  // The key aPath under root aRoot, open; nullptr, with aError saying why, when it does not open.
  const kplat::TRegKey* Open(const std::wstring& aRoot, const std::wstring& aPath,
                             kplat::TErrorCode& aError) {
    if (!FValid || FPath != aPath || FRoot != aRoot) {
      FKey.Close();
      FRoot = aRoot;
      FPath = aPath;
      FError = FKey.Open(RootKeyFromName(aRoot), aPath, FAccess);
      FValid = true;
    }
    aError = FError;
    return FError == kplat::err::Success ? &FKey : nullptr;
  }
  // Called before keys are deleted: the handle kept could name a key that is gone.
  void Forget() {
    FKey.Close();
    FValid = false;
  }

private:
  kplat::TRegAccess FAccess;
  kplat::TRegKey FKey;
  std::wstring FRoot;
  std::wstring FPath;
  kplat::TErrorCode FError = kplat::err::Success;
  bool FValid = false;
};

namespace {

// Backs up every value of aKey and of each of its sub-keys into aExporter, the key's own values
// first, and each key that holds nothing. False when a value or a sub-key that exists cannot be
// read or backed up.
bool BackupKeyTree(const std::wstring& aRoot, const std::wstring& aKey, TRegExporter& aExporter) {
  kplat::TRegKey key;
  if (key.Open(RootKeyFromName(aRoot), aKey) != kplat::err::Success) {
    return false;
  }
  std::vector<std::wstring> values;
  std::vector<std::wstring> subKeys;
  if (Platform().Registry().EnumValues(key.Handle(), values) != kplat::err::Success ||
      Platform().Registry().EnumSubKeys(key.Handle(), subKeys) != kplat::err::Success) {
    return false;
  }
  // A key with neither values nor keys below would not come back with the others.
  if (values.empty() && subKeys.empty()) {
    return aExporter.AddKey(aRoot, aKey);
  }
  for (const std::wstring& name : values) {
    if (!aExporter.AddItem(aRoot, aKey, name)) {
      return false;
    }
  }
  for (const std::wstring& subKey : subKeys) {
    if (!BackupKeyTree(aRoot, aKey + L'\\' + subKey, aExporter)) {
      return false;
    }
  }
  return true;
}

// The folder a disk finding's walk began in; a finding that does not say is held to its own.
std::wstring WalkStart(const TFigScanedItem& aItem) {
  return aItem.StartFolder.empty() ? aItem.ScanedPath : aItem.StartFolder;
}

bool IsLink(const std::wstring& aPath) {
  // A folder that is gone holds no file either; that is found out when the file is looked for.
  uint32_t attributes = 0;
  return Platform().Files().GetAttributes(aPath, attributes) == kplat::err::Success &&
         (attributes & kplat::fileattr::ReparsePoint) != 0;
}

// Whether a file finding still names a file in the folder its walk began in: the name is a plain
// name, the finding's folder is that folder or lies in it, and no folder from that one down to
// the file's has become a junction or symbolic link since the scan, which would lead the
// deletion into another folder.
bool InScannedFolder(const std::wstring& aStart, const std::wstring& aFolder,
                     const std::wstring& aName) {
  if (aName.empty() || aName == L"." || aName == L".." ||
      aName.find_first_of(L"\\/:") != std::wstring::npos) {
    return false;
  }
  if (!kplat::SamePath(aFolder, aStart) && !kplat::PathInFolder(aFolder, aStart)) {
    return false;
  }
  std::wstring folder = aFolder;
  for (;;) {
    while (folder.size() > 1 && (folder.back() == L'\\' || folder.back() == L'/')) {
      folder.pop_back();
    }
    const bool atStart = kplat::SamePath(folder, aStart);
    // The start as written: a drive's root must keep its backslash.
    if (IsLink(atStart ? aStart : folder)) {
      return false;
    }
    if (atStart) {
      return true;
    }
    const size_t up = folder.find_last_of(L"\\/");
    if (up == std::wstring::npos) {
      return false;
    }
    folder.resize(up);
  }
}

// The second line of a rule's parameter text (each field ended by CR LF).
std::wstring SecondLine(const std::wstring& aText) {
  const size_t first = aText.find(L'\n');
  if (first == std::wstring::npos) {
    return std::wstring();
  }
  const size_t end = aText.find_first_of(L"\r\n", first + 1);
  return aText.substr(first + 1, end == std::wstring::npos ? std::wstring::npos : end - first - 1);
}

} // namespace

TFigCureThread::TFigCureThread(const std::wstring& aRegFile, std::string aIndexLine,
                               TFigCure& aFigCure)
    : FFigCure(aFigCure), FSharedItems(aFigCure.FItems), FItems(*FSharedItems),
      FItemCount(aFigCure.FItemCount), FOnCured(aFigCure.OnCured),
      FOnTopicCured(aFigCure.OnTopicCured), FOnFinished(aFigCure.OnFinished),
      FOnAbort(aFigCure.OnAbort), FExclusionsFile(aFigCure.ExclusionsFile()),
      FQuarantineBytes(aFigCure.QuarantineBytes()), FBackupSaved(static_cast<size_t>(FItemCount)),
      FRegBkFileName(aRegFile), FIndexLine(std::move(aIndexLine)) {
  FUnattended = aFigCure.Unattended();
  if (aFigCure.Paced() && FItemCount > 0) {
    FMinSlotMs = static_cast<uint32_t>(std::lround(12.0 / FItemCount * 1000));
  }
  FBackupBatch = FMinSlotMs == 0 ? kMaxBackupBatch
                                 : std::clamp(static_cast<int>(kBackupBatchMs / FMinSlotMs), 1,
                                              kMaxBackupBatch);
}

TFigCureThread::~TFigCureThread() {
  if (FThread.joinable()) {
    FThread.join();
  }
}

void TFigCureThread::Start() {
  FThread = std::thread([this] { Execute(); });
}

void TFigCureThread::Execute() {
  kplat::IClock& clock = Platform().Clock();
  TCLMainThread& main = GetCLMainThread();
  bool aborted = false;
  bool completed = false;
  try {
    // The header carries the run's first seal, so a sealed run's file always holds one.
    FSealKey = LoadSealKey(true);
    FRegBkSeal.emplace(FSealKey, TSealKind::RegistryBackup, FRegBkFileName);
    FQuarantine.emplace(FRegBkFileName, FQuarantineBytes, FSealKey);
    if (!FExclusionsFile.empty()) {
      // A damaged list still protects every place of it that can be read.
      TFigExclusions exclusions;
      exclusions.Load(FExclusionsFile);
      FExclusions = TFigExclusionMatcher(exclusions.Items());
    }
    // Nothing changes without a backup file; a run without one only reports its end.
    if (WriteBackupHeader()) {
      FRegCureFileName = MakeUniqueTempName(GetTempDir(), L"regcure", L"reg");
      FCurrentIndex = 0;
      uint64_t delivered = clock.TickMs();
      // Kept open for the findings of one batch of outcomes; a key may be gone by the next.
      TRegKeyCache keys(kplat::TRegAccess::FullAccess);
      while (FCurrentIndex < FItemCount) {
        FBeginTime = clock.TickMs();
        if (FStop.stop_requested()) {
          aborted = true;
          break;
        }
        CureCurrentItem(keys);
        ++FCurrentIndex;
        // A paced run reports each finding before it waits out its slot.
        const bool waits = clock.TickMs() - FBeginTime < FMinSlotMs;
        if (FFiredEvents < FEvents.size() &&
            (waits || clock.TickMs() - delivered >= kEventBatchMs)) {
          keys.Forget();
          if (!DeliverEvents(false)) {
            // Refused: the owner is going away.
            aborted = FStop.stop_requested();
            break;
          }
          delivered = clock.TickMs();
        }
        while (clock.TickMs() - FBeginTime < FMinSlotMs) {
          clock.SleepMs(kPollMs);
        }
      }
      // Every change made is reported, also when a stop request came meanwhile; one that came
      // while the last outcomes were reported still keeps the fix lines out of the registry.
      const bool reported = DeliverEvents(true);
      aborted = aborted || FStop.stop_requested();
      completed = reported && !aborted && FCurrentIndex >= FItemCount;
      if (aborted) {
        main.Synchronize([this] { DoAbort(); }, FRelease.get_token());
      } else if (completed) {
        ImportFixFile();
      }
    }
  } catch (...) {
    // An error during a finding ends the run there, without OnAbort; the final step still runs.
  }
  // The findings done before an error are reported all the same.
  try {
    DeliverEvents(true);
  } catch (...) {
  }
  // The run reads no finding from here on: the owner may change its list in place, as a window
  // does when it unticks what was repaired, without a copy of thousands of findings.
  FSharedItems.reset();
  // The final step of every run. The backup is on disk already, unless a failed append left a
  // partial entry that could not be cut off yet.
  RepairBackup();
  if (FQuarantine) {
    FQuarantine->Finish();
  }
  // An editor that did not end may still read the fix file; it is left to it.
  if (FImportStatus != isTimedOut && !FRegCureFileName.empty()) {
    Platform().Files().DeleteFile(FRegCureFileName);
  }
  main.Synchronize([this] { DoFinished(); }, FRelease.get_token());
  main.Synchronize([this] { FFigCure.CureThreadTerminated(*this); }, FRelease.get_token());
  FFinished = true;
}

bool TFigCureThread::WriteBackupHeader() {
  // The header carries the run's first seal, so a sealed run's file always holds one; the
  // entries are chained to it.
  kplat::TSha256Digest seal{};
  const std::vector<uint8_t> header = FRegBkSeal->Seal(TRegExporter().Stream(), seal);
  FStartError = TFigCure::WriteRunFiles(FRegBkFileName, header, FIndexLine);
  if (!FStartError.empty()) {
    return false;
  }
  FRegBkSize = header.size();
  FRegBkSeal->Written(seal);
  return true;
}

bool TFigCureThread::DeliverEvents(bool aAll) {
  TCLMainThread& main = GetCLMainThread();
  while (FFiredEvents < FEvents.size()) {
    if (!main.Synchronize([this] { FireEvents(); }, FRelease.get_token())) {
      return false;
    }
    if (!aAll) {
      break;
    }
  }
  if (FFiredEvents == FEvents.size()) {
    FEvents.clear();
    FFiredEvents = 0;
  }
  return true;
}

void TFigCureThread::FireEvents() {
  kplat::IClock& clock = Platform().Clock();
  const uint64_t start = clock.TickMs();
  do {
    // Taken before the handlers run: one that throws does not fire again.
    const TCuredEvent& event = FEvents[FFiredEvents++];
    const TFigScanedItem& item = FItems[static_cast<size_t>(event.Index)];
    FFigCure.FCurrentFailure = event.Failure;
    FFigCure.FCurrentProgram = event.Program;
    if (FOnCured) {
      FOnCured(item, event.Status, event.Index, FItemCount);
    }
    if (event.TopicCured && FOnTopicCured) {
      FOnTopicCured(item.TopicName, tsCured);
    }
  } while (FFiredEvents < FEvents.size() && !FRelease.stop_requested() &&
           clock.TickMs() - start < kEventSliceMs);
}

void TFigCureThread::ImportFixFile() {
  // A run without fix lines has nothing to import: no editor is started for it.
  if (FRegCureExporter.Stream().size() == kHeaderBytes) {
    FImportStatus = isImported;
    return;
  }
  const kplat::TErrorCode saved = FRegCureExporter.SaveToFile(FRegCureFileName);
  if (saved != kplat::err::Success) {
    FImportStatus = isFailed;
    FImportError = L"Cannot write the registry fix file \"" + FRegCureFileName + L"\": " +
                   SystemErrorMessage(saved);
    return;
  }
  // The editor reads the file while it runs: the file stays until the editor has ended.
  const TRegEditResult result = RunRegEditImport(FRegCureFileName, kFixImportWaitMs);
  FImportError = result.Message;
  switch (result.Outcome) {
  case TRegEditOutcome::Imported:
    FImportStatus = isImported;
    break;
  case TRegEditOutcome::TimedOut:
    FImportStatus = isTimedOut;
    break;
  case TRegEditOutcome::NotStarted:
  case TRegEditOutcome::Failed:
    FImportStatus = isFailed;
    break;
  }
}

void TFigCureThread::CureCurrentItem(TRegKeyCache& aKeys) {
  if (FCurrentIndex < 0 || FCurrentIndex >= FItemCount) {
    return;
  }
  const TFigScanedItem& item = FItems[static_cast<size_t>(FCurrentIndex)];
  if (!item.Checked) {
    return;
  }
  if (const TFigCureFailure skip = SkipReason(item); skip != cfNone) {
    FCurrentItemStatus = csIgnored;
    FEvents.push_back({FCurrentIndex, FCurrentItemStatus, skip,
                       skip == cfProgramRunning ? FRunningPrograms.front() : L"", false});
    return;
  }
  // Nothing changes unless its backup is on disk.
  const bool backedUp = BackupItem(FCurrentIndex);
  FCurrentInUse = false;
  FCurrentNotKept = false;
  FCurrentItemStatus = backedUp ? CureItem(item, aKeys) : csUncured;
  const TFigCureFailure failure = FCurrentItemStatus != csUncured ? cfNone
                                  : !backedUp || FCurrentNotKept  ? cfNotBackedUp
                                  : FCurrentInUse                 ? cfInUse
                                                                  : cfNotChanged;
  FEvents.push_back({FCurrentIndex, FCurrentItemStatus, failure, L"", true});
}

TFigCureFailure TFigCureThread::PlaceSkipReason(const TFigScanedItem& aItem) {
  // Judged again here, not only by the scan: a list of findings may be older than these lists.
  if (FExclusions.Covers(aItem)) {
    return cfExcluded;
  }
  if (!FUnattended) {
    return cfNone;
  }
  if (aItem.Kept) {
    return cfKept;
  }
  if (aItem.LocationStyle != lsDisk || aItem.RuleStyle == rsSweepHelper) {
    return cfNone;
  }
  if (!FKeptFolders) {
    FKeptFolders.emplace();
  }
  return FKeptFolders->Covers(aItem.ScanedPath, aItem.ScanedName) ? cfKept : cfNone;
}

TFigCureFailure TFigCureThread::SkipReason(const TFigScanedItem& aItem) {
  if (const TFigCureFailure skip = PlaceSkipReason(aItem); skip != cfNone) {
    return skip;
  }
  if (aItem.Programs.empty()) {
    return cfNone;
  }
  if (aItem.TopicName != FProgramsTopic) {
    FProgramsTopic = aItem.TopicName;
    FRunningPrograms = RunningProgramsOf(aItem.Programs);
  }
  return FRunningPrograms.empty() ? cfNone : cfProgramRunning;
}

bool TFigCureThread::CollectBackup(const TFigScanedItem& aItem, TRegExporter& aEntries,
                                   TRegKeyCache& aKeys) const {
  if (!aItem.Checked ||
      (aItem.LocationStyle != lsRegistry && aItem.LocationStyle != lsRegistryItem)) {
    return true;
  }
  if (aItem.LocationStyle == lsRegistry && !aItem.ValueCheck) {
    if (aItem.ScanedPath.empty()) {
      return true; // a root is never deleted (CureItem refuses it), so there is nothing to save
    }
    // The whole tree goes; a key that does not open has nothing to lose (and will not delete).
    kplat::TRegKey key;
    return key.Open(RootKeyFromName(aItem.ScanedRoot), aItem.ScanedPath) != kplat::err::Success ||
           BackupKeyTree(aItem.ScanedRoot, aItem.ScanedPath, aEntries);
  }
  // A value that is there but cannot be written down must stay.
  kplat::TErrorCode opened = kplat::err::Success;
  const kplat::TRegKey* key = aKeys.Open(aItem.ScanedRoot, aItem.ScanedPath, opened);
  return key == nullptr ||
         aEntries.AddItem(aItem.ScanedRoot, aItem.ScanedPath, *key, aItem.ScanedSection) ||
         !key->ValueExists(aItem.ScanedSection);
}

bool TFigCureThread::BackupItem(int aIndex) {
  if (aIndex < FBackupEnd) {
    return FBackupSaved[static_cast<size_t>(aIndex)];
  }
  // One flush for the findings of the next moments: each of them is on disk before its change.
  const int end = std::min(FItemCount, aIndex + FBackupBatch);
  TRegExporter entries;
  TRegKeyCache keys(kplat::TRegAccess::Read);
  for (int i = aIndex; i < end; ++i) {
    FBackupSaved[static_cast<size_t>(i)] =
        CollectBackup(FItems[static_cast<size_t>(i)], entries, keys);
  }
  // The manifest lines of the files these findings delete go to disk together too. A file that
  // gets none here still gets its own before it leaves its place.
  std::vector<std::wstring> files;
  for (int i = aIndex; i < end; ++i) {
    const TFigScanedItem& item = FItems[static_cast<size_t>(i)];
    if (item.Checked && !item.NoUndo && item.LocationStyle == lsDisk &&
        item.RuleStyle != rsSweepHelper && PlaceSkipReason(item) == cfNone) {
      files.push_back(JoinFolderPath(item.ScanedPath, item.ScanedName));
    }
  }
  FQuarantine->Reserve(files);
  if (entries.Stream().size() == kHeaderBytes || AppendBackup(Entries(entries))) {
    FBackupEnd = end;
    return FBackupSaved[static_cast<size_t>(aIndex)];
  }
  // Not on disk; this finding alone may still fit.
  FBackupEnd = aIndex + 1;
  TRegExporter single;
  TRegKeyCache singleKeys(kplat::TRegAccess::Read);
  const bool collected = CollectBackup(FItems[static_cast<size_t>(aIndex)], single, singleKeys);
  FBackupSaved[static_cast<size_t>(aIndex)] =
      end - aIndex > 1 && collected &&
      (single.Stream().size() == kHeaderBytes || AppendBackup(Entries(single)));
  return FBackupSaved[static_cast<size_t>(aIndex)];
}

bool TFigCureThread::AppendBackup(const std::vector<uint8_t>& aEntries) {
  if (!RepairBackup()) {
    return false;
  }
  // The batch and its seal in one append: a batch on disk without its seal was cut off.
  kplat::TSha256Digest seal{};
  const std::vector<uint8_t> sealed = FRegBkSeal->Seal(aEntries, seal);
  if (Platform().Files().AppendFile(FRegBkFileName, sealed) == kplat::err::Success) {
    FRegBkSize += sealed.size();
    FRegBkSeal->Written(seal);
    return true;
  }
  // A failed append may have left part of the entries behind.
  FRegBkDamaged = true;
  RepairBackup();
  return false;
}

bool TFigCureThread::RepairBackup() {
  if (FRegBkDamaged &&
      Platform().Files().TruncateFile(FRegBkFileName, FRegBkSize) == kplat::err::Success) {
    FRegBkDamaged = false;
  }
  return !FRegBkDamaged;
}

TFigCureStatus TFigCureThread::CureItem(const TFigScanedItem& aItem, TRegKeyCache& aKeys) {
  switch (aItem.LocationStyle) {
  case lsRegistry: {
    const kplat::TRegHandle root = RootKeyFromName(aItem.ScanedRoot);
    if (!aItem.ValueCheck) {
      // A key already gone (with a key above it repaired first, say) needs nothing more.
      if (kplat::TRegKey key; !aItem.ScanedPath.empty() &&
                              key.Open(root, aItem.ScanedPath) == kplat::err::FileNotFound) {
        return csIgnored;
      }
      aKeys.Forget();
      return !aItem.ScanedPath.empty() &&
                     Platform().Registry().DeleteKeyTree(
                         root, aItem.ScanedPath, kplat::TRegView::Default) == kplat::err::Success
                 ? csCured
                 : csUncured;
    }
    kplat::TErrorCode opened = kplat::err::Success;
    const kplat::TRegKey* key = aKeys.Open(aItem.ScanedRoot, aItem.ScanedPath, opened);
    if (key == nullptr) {
      return csIgnored;
    }
    return key->DeleteValue(aItem.ScanedSection) == kplat::err::Success ? csCured : csUncured;
  }
  case lsDisk: {
    if (aItem.RuleStyle == rsSweepHelper) {
      // Started by the main thread, which owns the elevation prompt; the outcomes before it are
      // told first. A refusal there ends the run.
      if (DeliverEvents(true)) {
        GetCLMainThread().Synchronize([this, &aItem] { StartSweepHelper(aItem); },
                                      FRelease.get_token());
      }
      return csIgnored;
    }
    const std::wstring start = WalkStart(aItem);
    if (!InScannedFolder(start, aItem.ScanedPath, aItem.ScanedName)) {
      return csUncured;
    }
    if (aItem.RuleStyle == rsWinapp2 &&
        kplat::FolderExists(JoinFolderPath(aItem.ScanedPath, aItem.ScanedName))) {
      return RemoveEmptyFolder(JoinFolderPath(aItem.ScanedPath, aItem.ScanedName));
    }
    // Joined so that a file in a network folder is the one that is deleted; a folder that is not
    // a full path would be taken from the current folder.
    const std::wstring file = JoinFolderPath(aItem.ScanedPath, aItem.ScanedName);
    if (file.empty()) {
      return csUncured;
    }
    // Read once: whether it is still there, whether it fits the quarantine, whether it changed
    // since its manifest line was written.
    kplat::TFileInfo info;
    if (Platform().Files().GetFileInfo(file, info) != kplat::err::Success ||
        (info.Attributes & kplat::fileattr::Directory) != 0) {
      return csIgnored;
    }
    // Through a handle that follows no link and must still be inside the start: a folder
    // swapped for a link after the checks above leads nowhere else either. The file goes into
    // the quarantine unless it is to be deleted for good; nothing is deleted that the
    // quarantine was meant to keep and could not.
    const bool keep = !aItem.NoUndo && FQuarantine->Fits(info.Size);
    const kplat::TErrorCode deleted = keep ? FQuarantine->Take(file, start, info)
                                           : Platform().Files().DeleteFileInFolder(file, start);
    FCurrentNotKept = keep && deleted != kplat::err::Success && FQuarantine->FailedHere();
    // A file another program holds open is in use, not refused: it goes once that program ends.
    FCurrentInUse = deleted == kplat::err::SharingViolation;
    return deleted == kplat::err::Success ? csCured : csUncured;
  }
  case lsRegistryItem:
    FRegCureExporter.AddRegItem(aItem.ScanedRoot, aItem.ScanedPath, aItem.ScanedName);
    return csIgnored;
  default:
    return csIgnored;
  }
}

TFigCureStatus TFigCureThread::RemoveEmptyFolder(const std::wstring& aFolder) {
  // A folder that still holds something (kept, excluded, in use, too young) stays as it is; one
  // that became a link since the scan is never removed.
  if (IsLink(aFolder)) {
    return csUncured;
  }
  kplat::TFileFind find;
  kplat::TFindData data;
  for (bool found = find.First(NormalizeFolder(aFolder) + L"*", data); found;
       found = find.Next(data)) {
    if (!kplat::IsDotEntry(data)) {
      return csIgnored;
    }
  }
  find.Close();
  // Recorded first, so that a restore makes it again.
  if (FQuarantine->RecordFolder(aFolder) != kplat::err::Success) {
    FCurrentNotKept = true;
    return csUncured;
  }
  return Platform().Files().RemoveFolder(aFolder) == kplat::err::Success ? csCured : csUncured;
}

void TFigCureThread::StartSweepHelper(const TFigScanedItem& aItem) {
  const std::wstring parameters = SecondLine(aItem.RuleParams);
  if (GetWindowsMajorVersion() > 6) {
    RunAsAdmin(aItem.ScanedRoot, parameters); // throws when refused: the run ends here
  } else {
    // Quoted: the program folder's blank would otherwise let Windows start "C:\Program.exe".
    RunProcess(L"", L'"' + aItem.ScanedRoot + L"\" " + parameters, L"", false, false, 0);
  }
}

void TFigCureThread::DoAbort() {
  if (FOnAbort) {
    FOnAbort(*this);
  }
}

void TFigCureThread::DoFinished() {
  FFigCure.FLastRunSealed = FSealKey.has_value();
  FFigCure.FLastImportStatus = FImportStatus;
  FFigCure.FLastRunNotStarted = !FStartError.empty();
  if (!FStartError.empty()) {
    FFigCure.FLastError = FStartError;
  }
  if (!FImportError.empty()) {
    FFigCure.FLastError = FImportError;
  }
  if (FOnFinished) {
    FOnFinished(*this);
  }
}
