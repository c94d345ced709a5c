// The scan: the engine's side on the main thread, and the worker's loop and per-place check.

#include "engine/FigEngine.h"
#include "engine/FigProtected.h"
#include "engine/FigWinapp2Topic.h"

#include "base/CLHelpers.h"
#include "base/CLMainThread.h"
#include "platform/Platform.h"

#include <algorithm>

namespace {

constexpr uint32_t kItemScanIntervalMs = 150;
constexpr uint32_t kPaceStepMs = 40;
constexpr int32_t kScanTopicTimeMs = 20000;
constexpr int32_t kDefaultWorkingPercent = 50;
constexpr int32_t kDefaultLevel = 1;
// How long destroying the engine waits for an aborted worker: it stops at its next check, so
// only a platform call that hangs can keep it longer.
constexpr uint32_t kWorkerEndLimitMs = 30000;

constexpr std::wstring_view kKeyWorkingPercent = L"WorkingPercent";
// Findings are held back and reported together, up to this many or for at most this long, so
// that a scan does not wait for the main thread once per finding. Each wait costs a wake-up of
// both threads; the main thread's share of a batch is well under a millisecond.
constexpr size_t kFindingBatch = 256;
constexpr uint64_t kFindingBatchMs = 50;

bool IsRegistryStyle(TLocationStyle aStyle) {
  return aStyle == lsRegistry || aStyle == lsRegistryItem;
}

kplat::TFileTime NowUtc() {
  return kplat::Platform().Clock().NowUtc();
}

int32_t WholeSecondsSince(kplat::TFileTime aStart) {
  const kplat::TFileTime now = NowUtc();
  return now > aStart ? static_cast<int32_t>((now - aStart) / 10000000) : 0;
}

} // namespace

int32_t MinimumTopicTimeMs(int aTopicCount) {
  if (aTopicCount <= 0) {
    return 0;
  }
  int32_t quotient = kScanTopicTimeMs / aTopicCount;
  const int32_t twiceRemainder = 2 * (kScanTopicTimeMs % aTopicCount);
  if (twiceRemainder > aTopicCount || (twiceRemainder == aTopicCount && quotient % 2 != 0)) {
    ++quotient;
  }
  return quotient;
}

// --- TFigEngine: the scan
// -------------------------------------------------------------------------

TFigEngine::~TFigEngine() {
  Abort();
  for (auto& worker : FWorkers) {
    // Nothing may reach this engine or its owner any more; the handlers run on the main thread
    // only, so clearing them here cannot race with the worker.
    worker->OnScanTerminated = nullptr;
    worker->OnFinished = nullptr;
    worker->OnTopicMatched = nullptr;
    worker->OnThreadEnded = nullptr;
    worker->OnTopicFinished = nullptr;
    worker->OnCategoryFinished = nullptr;
    worker->OnCategoryStarted = nullptr;
    TFigScanThread* running = worker.get();
    if (!GetCLMainThread().WaitForWorker(
            running->Thread(), [running] { return running->Finished(); }, kWorkerEndLimitMs)) {
      // A worker stuck in the system: let it end on its own; it touches nothing of ours.
      running->Thread().detach();
      static_cast<void>(worker.release());
    }
  }
  FWorkers.clear();
  if (FItemScanTimer != 0) {
    GetCLMainThread().DestroyTimer(FItemScanTimer);
  }
}

void TFigEngine::StartScan() {
  Abort();
  ReapWorkers();
  FIsRunning = true;
  if (OnStarted) {
    OnStarted(*this);
  }
  auto worker = std::make_unique<TFigScanThread>(*this);
  worker->OnFinished = [this](TFigScanThread& aWorker) { WorkerFinished(aWorker); };
  worker->OnTopicMatched = [this](const TFigScanedItem& aItem) { WorkerTopicMatched(aItem); };
  worker->OnScanTerminated = [this](TFigScanThread& aWorker) { WorkerTerminated(aWorker); };
  worker->OnThreadEnded = [this](TFigScanThread& aWorker) { WorkerEnded(aWorker); };
  FFigScanThread = worker.get();
  FLatestWorker = worker.get();
  FWorkers.push_back(std::move(worker));
  if (FItemScanTimer == 0) {
    FItemScanTimer = GetCLMainThread().CreateTimer(
        kItemScanIntervalMs, [this] { ItemScanTimerTick(); }, false);
  }
  FStartTime = NowUtc();
  FFigScanThread->Start();
  GetCLMainThread().SetTimerEnabled(FItemScanTimer, true);
}

void TFigEngine::Abort() {
  if (FItemScanTimer != 0) {
    GetCLMainThread().SetTimerEnabled(FItemScanTimer, false);
  }
  if (FFigScanThread == nullptr) {
    return;
  }
  TFigScanThread* worker = FFigScanThread;
  worker->SetPauseFlag(false);
  FFigScanThread = nullptr;
  if (!worker->Terminated()) {
    worker->Terminate();
  }
}

void TFigEngine::Pause() {
  if (FFigScanThread != nullptr) {
    FFigScanThread->SetPauseFlag(true);
    GetCLMainThread().SetTimerEnabled(FItemScanTimer, false);
  }
}

void TFigEngine::Resume() {
  if (FFigScanThread != nullptr) {
    FFigScanThread->SetPauseFlag(false);
    GetCLMainThread().SetTimerEnabled(FItemScanTimer, true);
  }
}

bool TFigEngine::IsScanning() const {
  return FFigScanThread != nullptr && !FFigScanThread->Finished() && !FFigScanThread->Terminated();
}

void TFigEngine::SetFigCure(TFigCureLink* aFigCure) {
  FFigCure = aFigCure;
  if (FFigCure != nullptr) {
    FFigCure->OnTopicCured = [this](const std::wstring& aTopicName, TTopicStatus aStatus) {
      SetTopicStatusByName(aTopicName, aStatus);
    };
  }
}

void TFigEngine::WorkerTopicMatched(const TFigScanedItem& aItem) {
  if (OnTopicMatched) {
    OnTopicMatched(aItem);
  }
  if (FFigCure != nullptr) {
    FFigCure->AddMatchedItem(aItem);
  }
}

void TFigEngine::TakeResults(const TFigScanThread& aWorker) {
  FProcessedTime = WholeSecondsSince(FStartTime);
  FSummary = aWorker.Summary();
}

void TFigEngine::WorkerFinished(TFigScanThread& aWorker) {
  TakeResults(aWorker);
  if (FFigScanThread == &aWorker) {
    FFigScanThread = nullptr;
  }
  if (OnFinished) {
    OnFinished(*this);
  }
}

void TFigEngine::WorkerTerminated(TFigScanThread& aWorker) {
  // A scan replaced by a newer StartScan ends silently: its report would describe the wrong scan.
  if (&aWorker != FLatestWorker) {
    return;
  }
  TakeResults(aWorker);
  if (FFigScanThread == &aWorker) {
    FFigScanThread = nullptr;
  }
  if (OnAbort) {
    OnAbort(*this);
  }
}

void TFigEngine::WorkerEnded(TFigScanThread& aWorker) {
  // A worker replaced by a newer scan must not declare the newer one over.
  const bool othersAlive = std::any_of(FWorkers.begin(), FWorkers.end(), [&](const auto& aOther) {
    return aOther.get() != &aWorker && !aOther->EndReported();
  });
  if (!othersAlive) {
    FIsRunning = false;
  }
}

void TFigEngine::ItemScanTimerTick() {
  TFigScanThread* worker = FFigScanThread;
  if (worker == nullptr) {
    GetCLMainThread().SetTimerEnabled(FItemScanTimer, false);
    return;
  }
  if (worker->Terminated() || worker->PauseFlag()) {
    GetCLMainThread().SetTimerEnabled(FItemScanTimer, false);
    return;
  }
  if (worker->ItemScaned() && OnTopicProcessing && IsScanning()) {
    const TFigScanedItem item = worker->TakeScannedItem();
    OnTopicProcessing(item.TopicName, item.LocationStyle, item.ScanedRoot, item.ScanedPath,
                      item.ScanedSection, item.ScanedName, item.CurrentPer);
  }
}

void TFigEngine::ReapWorkers() {
  std::erase_if(FWorkers, [](std::unique_ptr<TFigScanThread>& aWorker) {
    if (!aWorker->Finished()) {
      return false;
    }
    if (aWorker->Thread().joinable()) {
      aWorker->Thread().join();
    }
    return true;
  });
}

// --- TFigScanThread: the loop
// ---------------------------------------------------------------------

TFigScanThread::TFigScanThread(TFigEngine& aEngine)
    : OnTopicFinished(aEngine.OnTopicFinished), OnCategoryFinished(aEngine.OnCategoryFinished),
      OnCategoryStarted(aEngine.OnCategoryStarted) {
  FTopicList.Assign(aEngine.TopicList());
  FPacing = aEngine.Pacing();
  if (!aEngine.ExclusionsFile().empty()) {
    // Read whenever a scan starts, so that a change made by another program counts at once; a
    // damaged list still excludes every place it holds that can be read.
    TFigExclusions exclusions;
    exclusions.Load(aEngine.ExclusionsFile());
    FExclusions = TFigExclusionMatcher(exclusions.Items());
  }
}

TFigScanThread::~TFigScanThread() {
  if (FThread.joinable()) {
    Terminate();
    FThread.join();
  }
}

void TFigScanThread::Start() {
  FThread = std::thread([this] {
    // An error escaping the loop ends the scan without its final report; the end of the thread
    // is still reported, so that the engine knows it is over.
    try {
      Execute();
    } catch (...) {
    }
    if (!FEndReported.load()) {
      try {
        GetCLMainThread().Synchronize([this] { ReportEnd(); });
      } catch (...) {
      }
    }
    FFinished.store(true);
  });
}

void TFigScanThread::Terminate() {
  {
    std::lock_guard lock(FPauseLock);
    FStop.request_stop();
  }
  FPauseChanged.notify_all();
}

void TFigScanThread::SetPauseFlag(bool aPaused) {
  {
    std::lock_guard lock(FPauseLock);
    FPauseFlag.store(aPaused);
  }
  FPauseChanged.notify_all();
}

TFigScanedItem TFigScanThread::TakeScannedItem() {
  std::lock_guard lock(FLock);
  FPlaceWanted.store(true, std::memory_order_relaxed);
  return FFigScannedItem;
}

void TFigScanThread::WaitWhilePaused() {
  // Terminate asks to stop under this lock, so its wake-up cannot fall between the check and
  // the wait. No stop_token wait: its callback's removal can hang with the MinGW library.
  std::unique_lock lock(FPauseLock);
  FPauseChanged.wait(lock, [this] { return !FPauseFlag.load() || FStop.stop_requested(); });
}

bool TFigScanThread::Report(const std::function<void()>& aProc) {
  // The findings held back go in the same call, ahead of the report: one wait for the main
  // thread, not two. A pause or stop while they are reported keeps the report back.
  bool reported = false;
  while (!reported) {
    if ((FDelivered < FPendingCount && !Proceed()) ||
        !GetCLMainThread().Synchronize(
            [&] {
              DeliverPending();
              if (FDelivered == FPendingCount && !Terminated()) {
                reported = true;
                aProc();
              }
            },
            FStop.get_token())) {
      return false;
    }
  }
  FPendingCount = 0;
  FDelivered = 0;
  return true;
}

bool TFigScanThread::DeliverFindings() {
  while (FDelivered < FPendingCount) {
    if (!Proceed() ||
        !GetCLMainThread().Synchronize([this] { DeliverPending(); }, FStop.get_token())) {
      return false;
    }
  }
  FPendingCount = 0;
  FDelivered = 0;
  return !Terminated();
}

void TFigScanThread::DeliverPending() {
  while (FDelivered < FPendingCount && !Terminated() && !FPauseFlag.load()) {
    const TFigScanedItem& item = FPending[FDelivered++];
    {
      // While a finding is reported, the progress shows the place where it was found.
      std::lock_guard lock(FLock);
      FFigScannedItem = item;
    }
    ++FSummary.MatchedAllCount;
    if (IsRegistryStyle(item.LocationStyle)) {
      ++FSummary.MatchedRegItemCount;
    } else if (item.LocationStyle == lsDisk) {
      ++FSummary.MatchedFileCount;
      if (item.FileSize >= 0) {
        FSummary.MatchedFileSizeCount += item.FileSize;
      }
    }
    if (OnTopicMatched) {
      OnTopicMatched(item);
    }
  }
}

int TFigScanThread::EnabledCountOf(TTopicCategory aCategory) const {
  int count = 0;
  for (int i = 0; i < FTopicList.Count(); ++i) {
    const TFigTopic* topic = FTopicList.Items(i);
    if (topic->Enabled() && topic->Category() == aCategory) {
      ++count;
    }
  }
  return count;
}

void TFigScanThread::CategoryStarted() {
  const TTopicCategory category = FCurrentTopic->Category();
  if (EnabledCountOf(category) > 0) {
    Report([this, category] {
      if (OnCategoryStarted) {
        OnCategoryStarted(category);
      }
    });
  }
}

void TFigScanThread::CategoryFinished() {
  const TTopicCategory category = FCurrentCategory;
  if (EnabledCountOf(category) > 0) {
    Report([this, category] {
      if (OnCategoryFinished) {
        OnCategoryFinished(category);
      }
    });
  }
}

void TFigScanThread::PaceTopic(int32_t aMinimumMs) {
  kplat::IClock& clock = kplat::Platform().Clock();
  while (!Terminated() && clock.TickMs() - FBeginTime < static_cast<uint64_t>(aMinimumMs)) {
    clock.SleepMs(kPaceStepMs);
  }
}

void TFigScanThread::Execute() {
  FCurrentPercent = 0;
  if (FTopicList.Count() > 1) {
    FCurrentTopic = FTopicList.Items(0);
    FCurrentCategory = FCurrentTopic->Category();
    CategoryStarted();
  } else {
    FCurrentCategory = tcUnknow;
  }
  int64_t total = 0;
  const int32_t minimumMs = MinimumTopicTimeMs(FTopicList.Count());
  bool aborted = false;
  for (int i = 0; i < FTopicList.Count() && !aborted; ++i) {
    FBeginTime = kplat::Platform().Clock().TickMs();
    FCurrentTopic = FTopicList.Items(i);
    if (FCurrentTopic->Category() != FCurrentCategory) {
      CategoryFinished();
      CategoryStarted();
      FCurrentCategory = FCurrentTopic->Category();
    }
    if (!Proceed()) {
      aborted = true;
      break;
    }
    if (!FCurrentTopic->Enabled()) {
      continue;
    }
    if (!Proceed() || !ScanTopic(i)) {
      aborted = true;
      break;
    }
    total += FCurrentTopic->GetInteger(kKeyWorkingPercent, kDefaultWorkingPercent);
    FCurrentPercent = static_cast<int32_t>(std::clamp<int64_t>(total, INT32_MIN, INT32_MAX));
    TFigTopic* finished = FCurrentTopic;
    Report([this, finished] {
      if (OnTopicFinished) {
        OnTopicFinished(*finished);
      }
    });
    if (FPacing) {
      PaceTopic(minimumMs);
    }
  }
  // The last category's end, the scan's and the thread's go in one call into the main thread.
  // A stop that came during the last topic, or while its category was closed, still ends the
  // scan as aborted, never as finished.
  bool finished = false;
  if (!aborted && !Terminated()) {
    const TTopicCategory category = FCurrentCategory;
    const bool closeCategory = EnabledCountOf(category) > 0;
    Report([this, category, closeCategory, &finished] {
      if (closeCategory && OnCategoryFinished) {
        OnCategoryFinished(category);
      }
      if (Terminated()) {
        return;
      }
      finished = true;
      if (OnFinished) {
        OnFinished(*this);
      }
      ReportEnd();
    });
  }
  if (!finished) {
    GetCLMainThread().Synchronize([this] {
      if (OnScanTerminated) {
        OnScanTerminated(*this);
      }
      ReportEnd();
    });
  }
}

void TFigScanThread::ReportEnd() {
  FEndReported.store(true);
  if (OnThreadEnded) {
    OnThreadEnded(*this);
  }
  // Nothing after this call waits for the main thread, so the worker may be joined once it is
  // over: set here, the main thread knows that without looking again later.
  FFinished.store(true);
}

// --- TFigScanThread: one place
// --------------------------------------------------------------------

void TFigScanThread::LoadValuesOf(const TFigTopic& aTopic) {
  FTopicValues.Topic = &aTopic;
  FTopicValues.Name = aTopic.Name();
  FTopicValues.Category = aTopic.Category();
  FTopicValues.Rule = std::make_unique<TFigRuleSetup>(
      aTopic.GetValue(kTopicKeyRule), aTopic.GetValue(kTopicKeyRuleCaption), aTopic.RegItem(),
      aTopic.Status(), aTopic.GetValue(kTopicKeyExceptOptions));
  FTopicValues.WorkingPercent = aTopic.GetInteger(kKeyWorkingPercent, kDefaultWorkingPercent);
  FTopicValues.Level = aTopic.GetInteger(kTopicKeyLevel, kDefaultLevel);
  FTopicValues.CheckValues = aTopic.GetBool(kTopicKeyCheckValues, true);
  FTopicValues.Programs = aTopic.GetValue(kTopicKeyProcess);
  FTopicValues.NoUndo = !aTopic.GetBool(kTopicKeyUndo, true);
  FTopicValues.RuleParams = FTopicValues.Rule->RuleParams.Text();
}

bool TFigScanThread::CheckItem(TFigTopic& aTopic, TLocationStyle aLocationStyle,
                               const std::wstring& aRoot, const std::wstring& aPath,
                               const std::wstring& aSection, const std::wstring& aName,
                               int32_t aCurrentPer, int64_t aFileSize) {
  if (!Proceed()) {
    return false;
  }
  const TTopicValues& values = ValuesOf(aTopic);
  const auto fillPlace = [&](TFigScanedItem& aItem) {
    aItem.TopicName = values.Name;
    aItem.Category = values.Category;
    aItem.LocationStyle = aLocationStyle;
    aItem.ScanedRoot = aRoot;
    aItem.ScanedPath = aPath;
    aItem.ScanedSection = aSection;
    aItem.ScanedName = aName;
    aItem.StartFolder = aLocationStyle == lsDisk ? FDiskStart : std::wstring();
    aItem.CurrentPer = FCurrentPercent + std::min(aCurrentPer, values.WorkingPercent);
  };
  if (FPlaceWanted.load(std::memory_order_relaxed)) {
    // Filled in place: the strings keep their room from place to place.
    std::lock_guard lock(FLock);
    fillPlace(FFigScannedItem);
    FPlaceWanted.store(false, std::memory_order_relaxed);
  }

  int64_t fileSize = -1;
  ++FSummary.AllCount;
  if (IsRegistryStyle(aLocationStyle)) {
    ++FSummary.RegistryItemCount;
  } else if (aLocationStyle == lsDisk) {
    // A place in a network folder is joined to that folder, never looked for in the current one.
    fileSize = aFileSize == kUnknownFileSize ? GetFileSizeByName(JoinCheckedPath(aPath, aName))
                                             : aFileSize;
    ++FSummary.FileCount;
    if (fileSize >= 0) {
      FSummary.FileSizeCount += fileSize;
    }
  }

  TFigPlaceKind kind = TFigPlaceKind::Unknown;
  if (aLocationStyle == lsDisk && aFileSize != kUnknownFileSize) {
    kind = aFileSize < 0 ? TFigPlaceKind::Folder : TFigPlaceKind::File;
  }
  TFigResultItem result;
  const bool found = !values.Rule->RulesOut(kind, aName) &&
                     TFigRuleProcessor(*values.Rule, aLocationStyle, aRoot, aPath, aSection, aName,
                                       kind, aLocationStyle == lsRegistry ? FWalkKey : nullptr)
                         .DoSearch(result);
  if (found) {
    // A record of its own, emptied first: one copied from the progress record, or kept from an
    // earlier finding, would keep what that one left there (such as being kept). Emptying keeps
    // the strings' room.
    if (FPendingCount == FPending.size()) {
      FPending.emplace_back();
    }
    TFigScanedItem& item = FPending[FPendingCount];
    item = TFigScanedItem();
    fillPlace(item);
    item.ValueCheck = values.CheckValues;
    // An excluded place has been counted as a place; it is never a finding.
    if (FExclusions.Covers(item) || (FEntryKeeps != nullptr && FEntryKeeps->Keeps(item))) {
      return true;
    }
    result.Level = values.Level;
    item.Programs = values.Programs;
    if (aLocationStyle == lsDisk) {
      if (!FKeptFolders) {
        FKeptFolders.emplace();
      }
      item.Kept = FKeptFolders->Covers(aPath, aName);
    }
    // What people keep is never ticked for them.
    item.Checked = values.Level > 1 && !item.Kept;
    item.NoUndo = values.NoUndo;
    item.FileSize = fileSize;
    if (!Proceed()) {
      return false;
    }
    item.SID = FSid++;
    item.RuleStyle = values.Rule->RuleStyle;
    item.RuleCaption = values.Rule->RuleCaption;
    item.RuleParams = values.RuleParams;
    item.FigResult = result;
    if (FPendingCount == 0) {
      FPendingTick = kplat::Platform().Clock().TickMs();
    }
    ++FPendingCount;
  }
  // The counts hold only the findings that reached the main thread.
  if (FPendingCount > 0 &&
      (FPendingCount >= kFindingBatch ||
       kplat::Platform().Clock().TickMs() - FPendingTick >= kFindingBatchMs) &&
      !DeliverFindings()) {
    return false;
  }
  if (!Proceed()) {
    return false;
  }
  // Set once: a store at every place would take the cache line from the main thread's reads.
  if (!FItemScaned.load(std::memory_order_relaxed)) {
    FItemScaned.store(true);
  }
  return true;
}
