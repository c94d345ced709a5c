#pragma once
// The scan engine: it owns the topics of the topic database and the statistics of a scan.

#include "base/CLDateUtils.h"
#include "base/CLStrings.h"
#include "engine/FigExclusions.h"
#include "engine/FigProtected.h"
#include "engine/FigRule.h"
#include "engine/FigTopic.h"
#include "engine/FigWinapp2.h"
#include "platform/PlatformTypes.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// Counters of one scan: places looked at, then findings; the two sizes are sums of file sizes in
// bytes.
struct TFigSummary {
  int64_t AllCount = 0;
  int64_t RegistryItemCount = 0;
  int64_t FileCount = 0;
  int64_t FileSizeCount = 0;
  int64_t MatchedAllCount = 0;
  int64_t MatchedRegItemCount = 0;
  int64_t MatchedFileCount = 0;
  int64_t MatchedFileSizeCount = 0;
  bool operator==(const TFigSummary&) const = default;
};

// The repair manager's report that a topic's finding was repaired.
using TOnTopicCuredEvent =
    std::function<void(const std::wstring& aTopicName, TTopicStatus aStatus)>;

// What the scan engine needs of the repair manager: it hands over every finding, in SID order,
// and listens for cured topics.
class TFigCureLink : public TObject {
public:
  // Appends a copy of the finding to the manager's list.
  virtual void AddMatchedItem(const TFigScanedItem& aItem) = 0;

  TOnTopicCuredEvent OnTopicCured;
};

// The date DATETIME holds when the topic database gives none.
inline constexpr std::wstring_view kDefaultTopicDateText = L"5/31/2010";

using TOnCategoryEvent = std::function<void(TTopicCategory aCategory)>;
using TOnTopicProcessing = std::function<void(
    const std::wstring& aTopicName, TLocationStyle aLocationStyle, const std::wstring& aRoot,
    const std::wstring& aPath, const std::wstring& aSection, const std::wstring& aName,
    int32_t aCurrentPer)>;
using TOnTopicMatched = std::function<void(const TFigScanedItem& aMatchedItem)>;
using TOnTopicFinished = std::function<void(TFigTopic& aTopic)>;

// The least time a topic of a list of aTopicCount topics takes, so that a full scan lasts about
// 20 seconds: 20000 / aTopicCount milliseconds rounded to the nearest integer, halves to even.
int32_t MinimumTopicTimeMs(int aTopicCount);

class TFigScanThread;
class TWinapp2Keeps;

class TFigEngine : public TObject {
public:
  TFigEngine() = default;
  // Aborts a running scan and waits until its worker has ended; no event fires from then on.
  ~TFigEngine() override;
  TFigEngine(const TFigEngine&) = delete;
  TFigEngine& operator=(const TFigEngine&) = delete;

  // --- The topic database.
  // Replaces the topic list with the topics of a topic database, read up to the first TOPIC_n
  // without a NAME; OnTopicLoaded follows when at least one topic was read. False, with
  // LastError naming the file and the cause, when the file is missing or unreadable, its
  // MAGICWORD is not "FIG" or its DATETIME is no month/day/year date: then nothing changes.
  bool LoadTopics(const std::wstring& aFileName);
  // Writes a new topic database with today's date: never over an existing file (false then).
  // Topics without a name are left out and the others numbered without gaps, so that the file
  // loads again whole. False, with LastError, when the file cannot be written.
  bool SaveTopics(const std::wstring& aFileName);
  const std::wstring& LastError() const { return FLastError; }

  // Sum of every topic's WORKINGPERCENT (10 when absent): the progress bar's maximum.
  int MaxProcessingCount() const { return FMaxProcessingCount; }
  TDateTime TopicDateTime() const { return FTopicDateTime; }

  // --- The topic list. Indices out of range are ignored or give nothing.
  int TopicCount() const { return FTopicList.Count(); }
  // Appends a topic whose only line is NAME=aName; returns its index.
  int AddTopic(std::wstring_view aName);
  void DeleteTopic(int aIndex);
  void ClearTopicList() { FTopicList.Clear(); }
  TFigTopic* GetTopic(int aIndex) const { return FTopicList.Items(aIndex); }
  // The first topic with that name ignoring case, or nothing.
  TFigTopic* GetTopicByName(std::wstring_view aName) const;
  const TFigTopicList& TopicList() const { return FTopicList; }

  void SetTopicEnabled(int aIndex, bool aEnabled);
  void SetAllEnabled(bool aEnabled);
  void SetTopicEnabledByName(std::wstring_view aName, bool aEnabled);
  void SetTopicEnabledByCategory(TTopicCategory aCategory, bool aEnabled);

  // These append to aList (never clearing it) and return how many lines they appended; with no
  // list they do nothing and return 0.
  // The index, as decimal text, of every topic of the category, in list order.
  int GetCategoryList(TTopicCategory aCategory, TStringList* aList) const;
  // Each Root_Caption of the category's topics that aList does not hold yet (ignoring case).
  int GetRootList(TTopicCategory aCategory, TStringList* aList) const;
  // The Rule_Caption of each topic of the category whose Root_Caption is aRoot (ignoring case),
  // with the topic as the line's object.
  int GetChildList(TTopicCategory aCategory, std::wstring_view aRoot, TStringList* aList) const;

  // Orders the topics by category, so that a scan meets the categories in ordinal order.
  void SortByCategory() { FTopicList.SortByCategory(); }
  void ResetStatus();
  // The repair manager's report that a topic was cured; no topic of that name, no effect.
  void SetTopicStatusByName(std::wstring_view aTopicName, TTopicStatus aStatus);

  // --- Scanning. Main thread only; events fire on the main thread.
  // Aborts a scan still running, fires OnStarted, and scans copies of the topics on a worker:
  // changing the topics meanwhile does not reach the running scan.
  void StartScan();
  // The scan stops at its next check and ends with OnAbort; IsScanning turns false at once.
  void Abort();
  void Pause();
  void Resume();
  // A worker is known that has neither finished nor been asked to stop.
  bool IsScanning() const;
  // From StartScan until the last worker has ended, after its final event.
  bool IsRunning() const { return FIsRunning; }
  // Whole seconds the last scan took.
  int32_t ProcessedTime() const { return FProcessedTime; }
  // The counters of the last scan that ended, also of one aborted.
  const TFigSummary& Summary() const { return FSummary; }
  // Every finding goes to the repair manager, which reports cured topics back; not owned.
  TFigCureLink* FigCure() const { return FFigCure; }
  void SetFigCure(TFigCureLink* aFigCure);
  // Whether each topic lasts its minimum time (on by default); scripts and benchmarks turn it
  // off. Taken by the worker when a scan starts.
  bool Pacing() const { return FPacing; }
  void SetPacing(bool aPacing) { FPacing = aPacing; }
  // The user's list of exclusions (FigExclusions.h), read when a scan starts: no place it covers
  // becomes a finding. Empty: nothing is excluded.
  const std::wstring& ExclusionsFile() const { return FExclusionsFile; }
  void SetExclusionsFile(const std::wstring& aFileName) { FExclusionsFile = aFileName; }

  TNotifyEvent OnTopicLoaded;
  TNotifyEvent OnStarted;
  TOnCategoryEvent OnCategoryStarted;
  TOnCategoryEvent OnCategoryFinished;
  // Sampled from the worker's progress every 150 ms by a main-thread timer.
  TOnTopicProcessing OnTopicProcessing;
  TOnTopicMatched OnTopicMatched;
  TOnTopicFinished OnTopicFinished;
  TNotifyEvent OnFinished;
  TNotifyEvent OnAbort;

private:
  friend class TFigScanThread;

  void WorkerTopicMatched(const TFigScanedItem& aItem);
  void WorkerFinished(TFigScanThread& aWorker);
  void WorkerTerminated(TFigScanThread& aWorker);
  void WorkerEnded(TFigScanThread& aWorker);
  void TakeResults(const TFigScanThread& aWorker);
  void ItemScanTimerTick();
  // Frees the workers whose threads have ended.
  void ReapWorkers();

  TFigTopicList FTopicList;
  int FMaxProcessingCount = 0;
  TDateTime FTopicDateTime = 0;
  std::wstring FLastError;

  // Workers stay owned until their threads end: an aborted one is forgotten (FFigScanThread) at
  // once but still finishes its last report.
  std::vector<std::unique_ptr<TFigScanThread>> FWorkers;
  TFigScanThread* FFigScanThread = nullptr;
  // The worker of the latest StartScan; the reports of one it replaced are not passed on.
  TFigScanThread* FLatestWorker = nullptr;
  uint32_t FItemScanTimer = 0; // made on the first scan
  kplat::TFileTime FStartTime = 0;
  int32_t FProcessedTime = 0;
  TFigSummary FSummary;
  TFigCureLink* FFigCure = nullptr;
  bool FIsRunning = false;
  bool FPacing = true;
  bool FDestroying = false;
  std::wstring FExclusionsFile;
};

// --- TFigScanThread
// ------------------------------------------------------------------------------- One scan on its
// own thread, over its own copies of the engine's topics. The location scanners are its routines:
// they walk each location of a topic and hand every place to CheckItem. Everything it reports goes
// through the main thread while the worker waits; a stop request releases a waiting report.

class TFigScanThread {
public:
  // Copies every topic of the engine and the engine's category and topic-finished handlers.
  explicit TFigScanThread(TFigEngine& aEngine);
  virtual ~TFigScanThread();
  TFigScanThread(const TFigScanThread&) = delete;
  TFigScanThread& operator=(const TFigScanThread&) = delete;

  void Start();
  // Asks the worker to stop; a paused worker is released.
  void Terminate();
  bool Terminated() const { return FStop.stop_requested(); }
  // The thread has made its last report and waits for the main thread no more: it may be joined.
  bool Finished() const { return FFinished.load(); }
  // The end of the thread has reached the main thread.
  bool EndReported() const { return FEndReported.load(); }
  bool ItemScaned() const { return FItemScaned.load(); }
  bool PauseFlag() const { return FPauseFlag.load(); }
  void SetPauseFlag(bool aPaused);
  // The place the worker wrote down last, copied under its lock; asks it to write down the next
  // place it checks. The worker copies a place only when asked, not each of the thousands it
  // checks between two looks of the progress display.
  TFigScanedItem TakeScannedItem();
  // Written only by the worker; read while it waits in its final report, or after it ended.
  const TFigSummary& Summary() const { return FSummary; }
  int TopicCount() const { return FTopicList.Count(); }
  std::thread& Thread() { return FThread; }

  // The scan loop; Start runs it on the worker's thread.
  void Execute();
  // Runs every location of topic aIndex; false when the scan must stop.
  bool ScanTopic(int aIndex);
  // Counts one place and judges it by the topic's rule; false when the scan must stop.
  // aFileSize is the size of a disk place when the caller knows it (-1: the place is a folder);
  // otherwise it is read from the file.
  virtual bool CheckItem(TFigTopic& aTopic, TLocationStyle aLocationStyle,
                         const std::wstring& aRoot, const std::wstring& aPath,
                         const std::wstring& aSection, const std::wstring& aName,
                         int32_t aCurrentPer, int64_t aFileSize = kUnknownFileSize);

  static constexpr int64_t kUnknownFileSize = -2;

  // Set by the engine to its own handlers.
  std::function<void(TFigScanThread&)> OnScanTerminated;
  std::function<void(TFigScanThread&)> OnFinished;
  std::function<void(const TFigScanedItem&)> OnTopicMatched;
  // The end of the thread, after its final report.
  std::function<void(TFigScanThread&)> OnThreadEnded;
  // Copies of the engine's handlers.
  TOnTopicFinished OnTopicFinished;
  TOnCategoryEvent OnCategoryFinished;
  TOnCategoryEvent OnCategoryStarted;

private:
  // The topic values a check reads, looked up once per topic rather than once per place.
  struct TTopicValues {
    const TFigTopic* Topic = nullptr;
    std::wstring Name;
    std::unique_ptr<TFigRuleSetup> Rule;
    TTopicCategory Category = tcUnknow;
    int32_t WorkingPercent = 0;
    int32_t Level = 0;
    bool CheckValues = true;
    std::wstring Programs;
    bool NoUndo = false;
    std::wstring RuleParams; // the rule's fields as a finding holds them
  };
  // How a location is walked.
  struct TWalkValues {
    int32_t FolderDepth = -1;
    bool IncludeSubFolder = false;
    bool CheckValues = false;
    // Files written after this time (UTC) are too young to be findings; 0: no age rule.
    kplat::TFileTime WrittenAfter = 0;
  };

  // The topic's values, read from it once: every place of the topic needs them.
  const TTopicValues& ValuesOf(const TFigTopic& aTopic) {
    if (FTopicValues.Topic != &aTopic) {
      LoadValuesOf(aTopic);
    }
    return FTopicValues;
  }
  void LoadValuesOf(const TFigTopic& aTopic);
  // For a topic made for a moment, whose address a later one may take.
  void ForgetTopicValues() { FTopicValues.Topic = nullptr; }
  static TWalkValues WalkValuesOf(const TFigTopic& aTopic);
  // Counts a file that the walk leaves unjudged (too young) as a place seen.
  void CountUnjudgedFile(uint64_t aSize);

  // Waits while the scan is paused; false when the scan must stop. Asked at every place.
  bool Proceed() {
    if (FPauseFlag.load()) {
      WaitWhilePaused();
    }
    return !Terminated();
  }
  void WaitWhilePaused();
  // Runs aProc on the main thread while the worker waits, after the findings still held back;
  // false when the call was refused because the scan was asked to stop or the program is ending.
  bool Report(const std::function<void()>& aProc);
  // Hands the findings held back to the main thread in one call, each counted as it arrives;
  // false when the scan must stop. A pause during the call keeps the rest for after it.
  bool DeliverFindings();
  // Main thread: reports the findings held back one by one while the scan neither stops nor
  // pauses, and counts them.
  void DeliverPending();
  // Main thread: makes the end of the thread known, after the scan's own last report.
  void ReportEnd();
  void CategoryStarted();
  void CategoryFinished();
  int EnabledCountOf(TTopicCategory aCategory) const;
  void PaceTopic(int32_t aMinimumMs);

  bool ScanRegistryLocation(TFigTopic& aTopic, const TWalkValues& aWalk,
                            const std::wstring& aLocation);
  // Recursive; aCount is the location's running count, shared by every level.
  bool WalkRegistryKey(TFigTopic& aTopic, const TWalkValues& aWalk, kplat::TRegHandle aRoot,
                       const std::wstring& aRootName, const std::wstring& aKey, int32_t aDepth,
                       int32_t& aCount);
  bool ScanDiskLocation(TFigTopic& aTopic, const TWalkValues& aWalk, const std::wstring& aLocation);
  // Walks one folder a disk location names, from where it really is; an empty aSection names
  // the places' section by that folder.
  bool ScanDiskFolder(TFigTopic& aTopic, const TWalkValues& aWalk, std::wstring aFolder,
                      const std::wstring& aSection);
  // Recursive over the sub-folders of aFolder; aSection is what the places of aFolder name as
  // their location. A sub-folder starts from its parent's count and its increases do not come
  // back.
  bool WalkDiskFolder(TFigTopic& aTopic, const TWalkValues& aWalk, const std::wstring& aFolder,
                      const std::wstring& aSection, int32_t aDepth, int32_t aCount);
  bool ScanRegistryItems(TFigTopic& aTopic, const std::wstring& aLocation);
  // The places of a community rule file's entry (FigWinapp2Topic.cpp): its files, the folders
  // it removes once empty, its registry keys and values, less what the entry keeps.
  bool ScanWinapp2Entry(TFigTopic& aTopic, const TWinapp2Entry& aEntry);
  bool ScanWinapp2Files(TFigTopic& aTopic, const TWinapp2FileKey& aKey,
                        const std::wstring& aFolder);
  bool ScanWinapp2Registry(TFigTopic& aTopic, const TWinapp2RegKey& aKey);

  TFigTopicList FTopicList;
  TFigTopic* FCurrentTopic = nullptr;
  TTopicCategory FCurrentCategory = tcUnknow;
  uint64_t FBeginTime = 0; // clock ticks
  int32_t FCurrentPercent = 0;
  TFigScanedItem FFigScannedItem;
  mutable std::mutex FLock; // guards the record of the place being checked
  // Whether the main thread asked for the next place checked (read by the worker without FLock).
  std::atomic<bool> FPlaceWanted{true};
  // Findings not yet reported, in the order found: one call into the main thread reports many.
  // The records stay once reported and are filled afresh for the next batch, so that their
  // strings keep their room: a scan makes and frees no record per finding.
  std::vector<TFigScanedItem> FPending;
  size_t FPendingCount = 0;  // the records of FPending that hold findings
  size_t FDelivered = 0;     // the findings of FPending already reported
  uint64_t FPendingTick = 0; // when the first of them was found
  // The folder the current disk walk began in, where it really is; empty outside a walk.
  std::wstring FDiskStart;
  // The key the registry walk holds open at the place it hands to CheckItem; null elsewhere.
  const TFigOpenRegKey* FWalkKey = nullptr;
  TFigSummary FSummary;
  int32_t FSid = 0;
  bool FPacing = true;
  TTopicValues FTopicValues;
  TFigExclusionMatcher FExclusions;
  // The user's own folders, looked up at the first disk finding.
  std::optional<TFigKeptFolders> FKeptFolders;
  // What the entry being scanned keeps (its ExcludeKeys); nothing for other topics.
  const TWinapp2Keeps* FEntryKeeps = nullptr;

  std::atomic<bool> FItemScaned{false};
  std::atomic<bool> FPauseFlag{false};
  std::atomic<bool> FFinished{false};
  std::atomic<bool> FEndReported{false}; // set on the main thread
  std::mutex FPauseLock;
  std::condition_variable FPauseChanged;
  std::stop_source FStop;
  std::thread FThread;
};
