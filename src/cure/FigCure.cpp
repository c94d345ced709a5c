// The repair manager: the findings, the backup index and the start of a repair run.

#include "cure/FigCure.h"

#include "base/CLHelpers.h"
#include "base/CLIniFiles.h"
#include "base/CLMainThread.h"
#include "base/CLSettings.h"
#include "platform/FileIO.h"

#include <algorithm>
#include <mutex>

using kplat::Platform;

namespace {

// A backup index larger than this is not ours; it is refused rather than read.
constexpr uint64_t kMaxIndexBytes = 16ull * 1024 * 1024;
// The destructor's wait for a worker; it may be in the registry editor's import.
constexpr uint32_t kWorkerWaitMs = kFixImportWaitMs + 60000;

TDateParts NowParts(TDateTime aNow) {
  return DecodeDateTime(aNow).value_or(TDateParts{});
}

// "mmddyyyyhhmmss", the stem of a run's backup file name.
std::wstring BackupStem(TDateTime aNow) {
  const TDateParts p = NowParts(aNow);
  const std::wstring year = ZeroPadded(p.Year, 4);
  return ZeroPadded(p.Month, 2) + ZeroPadded(p.Day, 2) + year + ZeroPadded(p.Hour, 2) +
         ZeroPadded(p.Minute, 2) + ZeroPadded(p.Second, 2);
}

// "yyyy-mm-dd HH:MM:SS", the first field of an index line.
std::wstring IndexTime(TDateTime aNow) {
  const TDateParts p = NowParts(aNow);
  const std::wstring year = ZeroPadded(p.Year, 4);
  return year + L'-' + ZeroPadded(p.Month, 2) + L'-' + ZeroPadded(p.Day, 2) + L' ' +
         ZeroPadded(p.Hour, 2) + L':' + ZeroPadded(p.Minute, 2) + L':' + ZeroPadded(p.Second, 2);
}

// Whether a line of the index (8-bit text) names aName in its third field.
bool IndexNames(const std::string& aIndex, const std::string& aName) {
  const std::string field = "," + aName;
  for (size_t pos = aIndex.find(field); pos != std::string::npos;
       pos = aIndex.find(field, pos + 1)) {
    const size_t end = pos + field.size();
    if (end == aIndex.size() || aIndex[end] == '\r' || aIndex[end] == '\n') {
      return true;
    }
  }
  return false;
}

std::wstring FileError(const std::wstring& aWhat, const std::wstring& aPath,
                       kplat::TErrorCode aError) {
  return L"Cannot " + aWhat + L" \"" + aPath + L"\": " + SystemErrorMessage(aError);
}

} // namespace

std::wstring BackupFolderIn(const std::wstring& aUserDataPath) {
  return NormalizeFolder(aUserDataPath) + L"backup";
}

kplat::TErrorCode ForceBackupFolder(const std::wstring& aFolder) {
  return IsFullPath(aFolder) ? kplat::ForceFolders(aFolder) : kplat::err::InvalidName;
}

TFigCure::TFigCure() = default;

TFigCure::~TFigCure() {
  for (const auto& worker : FWorkers) {
    worker->Release();
    worker->Terminate();
  }
  for (const auto& worker : FWorkers) {
    TFigCureThread& w = *worker;
    if (!GetCLMainThread().WaitForWorker(
            w.Thread(), [&w] { return w.Finished(); }, kWorkerWaitMs) &&
        w.Thread().joinable()) {
      // Released, the worker calls nothing on this thread any more; it only has its files to
      // finish.
      w.Thread().join();
    }
  }
}

std::vector<TFigScanedItem>& TFigCure::OwnItems() {
  if (FItems.use_count() > 1) {
    FItems = std::make_shared<std::vector<TFigScanedItem>>(FItems->begin(),
                                                           FItems->begin() + FItemCount);
  }
  return *FItems;
}

void TFigCure::AddMatchedItem(const TFigScanedItem& aItem) {
  std::vector<TFigScanedItem>& items = OwnItems();
  if (FItemCount == static_cast<int>(items.size())) {
    items.resize(items.size() + 16);
  }
  items[static_cast<size_t>(FItemCount)] = aItem;
  ++FItemCount;
}

void TFigCure::SetChecked(int aIndex, bool aChecked) {
  if (aIndex >= 0 && aIndex < FItemCount) {
    OwnItems()[static_cast<size_t>(aIndex)].Checked = aChecked;
  }
}

const TFigScanedItem& TFigCure::GetMatchedItem(int aIndex) const {
  static const TFigScanedItem kNone;
  if (aIndex < 0 || aIndex >= FItemCount) {
    return kNone;
  }
  return (*FItems)[static_cast<size_t>(aIndex)];
}

int TFigCure::GetCheckedItem() const {
  int count = 0;
  for (int i = 0; i < FItemCount; ++i) {
    if ((*FItems)[static_cast<size_t>(i)].Checked) {
      ++count;
    }
  }
  return count;
}

uint64_t QuarantineBytesSetting() {
  const TCLSettings& settings = GetCLSettings();
  const int64_t megabytes = settings.GetSettingString(L"Backup.QuarantineMB").empty()
                                ? static_cast<int64_t>(kDefaultQuarantineMB)
                                : settings.GetSettingInteger(L"Backup.QuarantineMB");
  return megabytes <= 0 ? 0 : static_cast<uint64_t>(megabytes) << 20;
}

int MaxBackupSetting() {
  constexpr int kDefaultMaxBackup = 20;
  return ParseIniInteger(GetCLSettings().GetSettingString(L"Backup.MaxBackup"))
      .value_or(kDefaultMaxBackup);
}

TUndoPlan TFigCure::PlanUndo() const {
  TUndoPlan plan;
  plan.Undo.assign(static_cast<size_t>(FItemCount), false);
  uint64_t kept = 0;
  for (int i = 0; i < FItemCount; ++i) {
    const TFigScanedItem& item = (*FItems)[static_cast<size_t>(i)];
    if (item.LocationStyle != lsDisk) {
      plan.Undo[static_cast<size_t>(i)] = item.LocationStyle != lsUnknow;
      continue;
    }
    if (item.RuleStyle == rsSweepHelper) {
      plan.SweepActions += item.Checked ? 1 : 0;
      continue;
    }
    // A folder a community rule removes is no file: the run records it, a restore makes it again.
    if (item.RuleStyle == rsWinapp2 && item.FileSize < 0 &&
        kplat::FolderExists(JoinFolderPath(item.ScanedPath, item.ScanedName))) {
      plan.Undo[static_cast<size_t>(i)] = true;
      continue;
    }
    if (!item.Checked) {
      // Not counted against the budget: it would be kept unless its topic says otherwise.
      plan.Undo[static_cast<size_t>(i)] = !item.NoUndo && FQuarantineBytes > 0;
      continue;
    }
    // The size the scan found; read now only where the scan could not read it.
    uint64_t size = static_cast<uint64_t>(item.FileSize);
    if (item.FileSize < 0) {
      size = 0;
      kplat::Platform().Files().GetFileSize(JoinFolderPath(item.ScanedPath, item.ScanedName), size);
    }
    // The run keeps files while they fit, in this order, as TFigQuarantine::Fits counts.
    const bool undo = !item.NoUndo && FQuarantineBytes > 0 && size <= FQuarantineBytes - kept;
    plan.Undo[static_cast<size_t>(i)] = undo;
    if (undo) {
      kept += size;
      ++plan.RestorableFiles;
      plan.RestorableBytes += size;
    } else {
      ++plan.PermanentFiles;
      plan.PermanentBytes += size;
    }
  }
  return plan;
}

void TFigCure::Clear() {
  // A worker may still read the old list.
  FItems = std::make_shared<std::vector<TFigScanedItem>>();
  FItemCount = 0;
}

std::wstring TFigCure::FreeBackupName(TDateTime aNow, const std::string& aIndex) const {
  const std::wstring stem = BackupStem(aNow);
  // A run whose worker has not written its file yet still holds its name.
  const auto taken = [this](const std::wstring& aFile) {
    return std::any_of(FWorkers.begin(), FWorkers.end(), [&aFile](const auto& aWorker) {
      return kplat::SamePath(aWorker->BackupFile(), aFile);
    });
  };
  std::wstring name = stem + L".reg";
  // Two runs in one second would share the name: the later one takes the next free number.
  for (int n = 2;
       kplat::PathExists(JoinFolderPath(FBackupPath, name)) ||
       IndexNames(aIndex, WideToSystemAnsi(name)) || taken(JoinFolderPath(FBackupPath, name));
       ++n) {
    name = stem + L'_' + std::to_wstring(n) + L".reg";
  }
  return name;
}

bool TFigCure::StartCure() {
  Abort();
  ReleaseFinishedWorkers();
  FLastError.clear();

  // A folder that is not a full path would put the backups in the current folder.
  if (!IsFullPath(FBackupPath)) {
    FLastError = L"The backup folder \"" + FBackupPath + L"\" is not a full path";
    return false;
  }
  const std::wstring indexFile = JoinFolderPath(FBackupPath, std::wstring(kBackupIndexName));
  std::vector<uint8_t> index;
  if (const kplat::TErrorCode rc = Platform().Files().ReadFile(indexFile, index, kMaxIndexBytes);
      rc != kplat::err::Success && kplat::PathExists(indexFile)) {
    // Writing the index back without its old lines would lose every earlier run.
    FLastError = FileError(L"read the backup index", indexFile, rc);
    return false;
  }
  const std::wstring name = FreeBackupName(Now(), std::string(index.begin(), index.end()));
  const std::wstring backupFile = JoinFolderPath(FBackupPath, name);
  // The files themselves are written by the worker, before its first change; a folder that is
  // missing is known now.
  if (!kplat::FolderExists(FBackupPath)) {
    FLastError = FileError(L"write the backup file", backupFile, kplat::err::PathNotFound);
    return false;
  }

  FLastBackupFile = backupFile;
  FLastImportStatus = isNone;
  FLastRunNotStarted = false;
  if (OnStarted) {
    OnStarted(*this);
  }
  ++FRunningCount;
  FWorkers.push_back(std::make_unique<TFigCureThread>(
      backupFile,
      WideToSystemAnsi(IndexTime(Now()) + L',' + std::to_wstring(FItemCount) + L',' + name) +
          "\r\n",
      *this));
  FFigCureThread = FWorkers.back().get();
  FFigCureThread->Start();
  return true;
}

std::wstring TFigCure::WriteRunFiles(const std::wstring& aBackupFile,
                                     const std::vector<uint8_t>& aHeader,
                                     const std::string& aIndexLine) {
  // The runs of this process add their lines one after another, each to the index as the one
  // before left it.
  static std::mutex indexLock;
  const std::lock_guard lock(indexLock);
  if (const kplat::TErrorCode rc = kplat::WriteFileAtomic(aBackupFile, aHeader);
      rc != kplat::err::Success) {
    return FileError(L"write the backup file", aBackupFile, rc);
  }
  const std::wstring indexFile =
      JoinFolderPath(ExtractFilePath(aBackupFile), std::wstring(kBackupIndexName));
  std::vector<uint8_t> index;
  if (const kplat::TErrorCode rc = Platform().Files().ReadFile(indexFile, index, kMaxIndexBytes);
      rc != kplat::err::Success && kplat::PathExists(indexFile)) {
    Platform().Files().DeleteFile(aBackupFile);
    return FileError(L"read the backup index", indexFile, rc);
  }
  if (!index.empty() && index.back() != '\n') {
    index.push_back('\r');
    index.push_back('\n');
  }
  index.insert(index.end(), aIndexLine.begin(), aIndexLine.end());
  if (const kplat::TErrorCode rc = kplat::WriteFileAtomic(indexFile, index);
      rc != kplat::err::Success) {
    Platform().Files().DeleteFile(aBackupFile);
    return FileError(L"write the backup index", indexFile, rc);
  }
  return std::wstring();
}

void TFigCure::Abort() {
  if (FFigCureThread != nullptr) {
    FFigCureThread->Terminate();
    FFigCureThread = nullptr;
  }
}

void TFigCure::CureThreadTerminated(TFigCureThread& aWorker) {
  --FRunningCount;
  if (FFigCureThread == &aWorker) {
    FFigCureThread = nullptr;
  }
}

void TFigCure::ReleaseFinishedWorkers() {
  for (auto it = FWorkers.begin(); it != FWorkers.end();) {
    if ((*it)->Finished()) {
      (*it)->Thread().join();
      it = FWorkers.erase(it);
    } else {
      ++it;
    }
  }
}
