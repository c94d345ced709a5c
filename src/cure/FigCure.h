#pragma once
// The repair manager and its worker. The scan engine hands the manager every finding, the user
// ticks findings, and a repair run walks them on a worker thread: for each ticked finding, whatever
// it is about to change is first written to the run's backup file on disk, then the key, value or
// file is deleted, the optimisation line is queued in the registry fix file, which the registry
// editor imports when all findings are done, or the sweep helper is started (on the main thread,
// which owns the elevation prompt). The changes are made on the worker, so the windows stay
// responsive however long a change takes; the outcomes reach the main thread in batches, one call
// for the findings of a few dozen milliseconds, never one per finding, and always in order.
//
// The backup file is a registry export file that is valid and flushed after every batch of
// entries, and a batch is flushed before the first change it protects, so a run that ends in a
// crash or a killed process still leaves a backup of every change it made.
// Each run gets a backup file of its own, and a line in the backup index "info.rec".

#include "base/CLDateUtils.h"
#include "base/CLStrings.h"
#include "cure/FigQuarantine.h"
#include "cure/FigSeal.h"
#include "cure/RegUtils.h"
#include "engine/FigEngine.h"
#include "engine/FigExclusions.h"
#include "engine/FigProtected.h"
#include "engine/FigRule.h"
#include "engine/FigTopic.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

enum TFigCureStatus : uint8_t { csUncured, csCured, csIgnored };

template <> struct TFigEnumNames<TFigCureStatus> {
  static constexpr std::array<std::wstring_view, 3> Names = {L"csUncured", L"csCured",
                                                             L"csIgnored"};
};

// Why a run left a ticked finding as it was.
enum TFigCureFailure : uint8_t {
  cfNone,        // repaired, or not (yet) tried
  cfNotBackedUp, // what it would change could not be written to the backup file
  cfNotChanged,  // the system refused the change, or the finding is no longer where it was
  cfInUse,       // the file is open in another program; it is not a failure of the repair
  // Skipped, not failed (reported with csIgnored):
  cfProgramRunning, // a program that holds the topic's files runs (CurrentProgram() names it)
  cfKept,           // it holds what people keep, and nobody watches the run
  cfExcluded        // it is on the user's list of exclusions, whatever the run
};

template <> struct TFigEnumNames<TFigCureFailure> {
  static constexpr std::array<std::wstring_view, 7> Names = {
      L"cfNone",           L"cfNotBackedUp", L"cfNotChanged", L"cfInUse",
      L"cfProgramRunning", L"cfKept",        L"cfExcluded"};
};

// How a run's registry fix lines reached the registry.
enum TFigImportStatus : uint8_t {
  isNone,     // no import: the run was aborted or ended by an error, or has not ended yet
  isImported, // the registry editor ended and reported success, or there was nothing to import
  isFailed,   // the editor could not be started or reported a failure
  isTimedOut  // the editor had not ended within the wait; the fix file was left for it
};

// What a repair of the ticked findings can undo, said before it starts. A file is kept in the
// run's quarantine unless its topic says UNDO=0 or it no longer fits the run's budget, counted in
// the order of the findings; the sweep helper's actions (recycle bin, DNS cache, clipboard) are
// never ours to undo. Registry changes are always backed up.
struct TUndoPlan {
  // Per finding: restorable once repaired. An unticked file counts as kept unless its topic
  // says otherwise; only the ticked ones are counted against the budget and in the totals.
  std::vector<bool> Undo;
  int RestorableFiles = 0;
  uint64_t RestorableBytes = 0;
  int PermanentFiles = 0; // deleted for good
  uint64_t PermanentBytes = 0;
  int SweepActions = 0;
};

// One finding's outcome; aCurrentIndex is its index in the list, aMax the findings of the run.
using TFigOnCuredEvent = std::function<void(const TFigScanedItem& aItem, TFigCureStatus aStatus,
                                            int aCurrentIndex, int aMax)>;

// The file name of the backup index in the backup folder.
inline constexpr std::wstring_view kBackupIndexName = L"info.rec";
// The backup folder of the user data folder aUserDataPath: its sub-folder "backup".
std::wstring BackupFolderIn(const std::wstring& aUserDataPath);
// Creates the backup folder with its parents. A folder that is not a full path (a drive or
// network path) would be made in the current folder: it is refused with InvalidName.
kplat::TErrorCode ForceBackupFolder(const std::wstring& aFolder);
// The setting "Backup.QuarantineMB" in bytes: the default where it is not set, 0 for 0 or less.
uint64_t QuarantineBytesSetting();
// The setting "Backup.MaxBackup": how many backups are kept. Where it is not set or not a number,
// the window's design value, so that settings without their defaults never prune every backup.
int MaxBackupSetting();
// How long a run waits for the registry editor to import its fix file.
inline constexpr uint32_t kFixImportWaitMs = 300000;

class TFigCureThread;
class TRegKeyCache;

class TFigCure : public TFigCureLink {
public:
  TFigCure();
  // Asks every run still under way to stop and waits for its worker, serving the main thread;
  // no event fires any more. Main thread only.
  ~TFigCure() override;
  TFigCure(const TFigCure&) = delete;
  TFigCure& operator=(const TFigCure&) = delete;

  // --- The findings. A run works on its own copy, so these never affect a run under way.
  void AddMatchedItem(const TFigScanedItem& aItem) override;
  // An index outside 0 to ItemCount() - 1 is ignored.
  void SetChecked(int aIndex, bool aChecked);
  // The finding, valid until the list changes; an empty record out of range.
  const TFigScanedItem& GetMatchedItem(int aIndex) const;
  // The number of ticked findings.
  int GetCheckedItem() const;
  void Clear();
  int ItemCount() const { return FItemCount; }

  // What a run started now could undo (see TUndoPlan), counted with the file sizes the scan
  // found; a file whose size the scan could not read is read now.
  TUndoPlan PlanUndo() const;

  // --- Runs.
  // Aborts a run under way, gives this run a backup file name no earlier run used, fires
  // OnStarted and starts the worker, which writes the backup file with its header and appends
  // the run's line to the backup index before its first change. False, with LastError() saying
  // why, when the backup folder is not a full path (a drive or network path) or does not exist,
  // or the index cannot be read: then nothing has changed, no event has fired and no run has
  // started. When the worker cannot write the backup file or the index, the run changes nothing,
  // reports no finding and ends with OnFinished; LastRunNotStarted() and LastError() say so.
  bool StartCure();
  // Asks the current run to stop at the start of its next finding and forgets it; IsRunning()
  // stays true until its worker has ended (after OnAbort and OnFinished).
  void Abort();
  // Without effect: a run can only be stopped.
  void Pause() {}
  void Resume() {}

  // True from StartCure until every worker started has ended.
  bool IsRunning() const { return FRunningCount > 0; }
  // The last failure of StartCure, or of the last run's import of its fix lines; "" when none.
  const std::wstring& LastError() const { return FLastError; }
  // Whether the last run that ended could not write its backup file or the backup index: it
  // changed nothing, and LastError() says which file and why. Valid from its OnFinished on.
  bool LastRunNotStarted() const { return FLastRunNotStarted; }
  // How the last run that ended applied its fix lines.
  TFigImportStatus LastImportStatus() const { return FLastImportStatus; }
  // Why the finding that OnCured reports was left as it was; cfNone when it was not. Valid
  // inside OnCured.
  TFigCureFailure CurrentFailure() const { return FCurrentFailure; }
  // The program that kept the finding OnCured reports from being repaired (cfProgramRunning).
  // Valid inside OnCured.
  const std::wstring& CurrentProgram() const { return FCurrentProgram; }
  // Whether the runs started from now on are unattended (a schedule, the log-on sweep, Clean Now,
  // the command line): they skip the findings that hold what people keep, even ticked ones.
  bool Unattended() const { return FUnattended; }
  void SetUnattended(bool aUnattended) { FUnattended = aUnattended; }
  // The user's list of exclusions (FigExclusions.h), read when a run starts: the run leaves every
  // finding it covers as it is, also one found before the place was excluded. Empty: none.
  const std::wstring& ExclusionsFile() const { return FExclusionsFile; }
  void SetExclusionsFile(const std::wstring& aFileName) { FExclusionsFile = aFileName; }
  // The full path of the last run's backup file; "" before the first run.
  const std::wstring& LastBackupFile() const { return FLastBackupFile; }
  // Whether the last run that ended sealed its backup and manifest (FigSeal.h); false when the
  // seal key could not be read or made: the run is backed up all the same, unsealed. Valid from
  // its OnFinished on.
  bool LastRunSealed() const { return FLastRunSealed; }

  const std::wstring& BackupPath() const { return FBackupPath; }
  void SetBackupPath(const std::wstring& aPath) { FBackupPath = aPath; }
  // Whether a run gives each finding a minimum slot (12000 / count ms), so that a run lasts at
  // least about 12 seconds. On by default; measurements turn it off.
  bool Paced() const { return FPaced; }
  // The bytes of deleted files a run keeps in its quarantine ("Backup.QuarantineMB"); 0 keeps
  // none, every file is deleted for good.
  uint64_t QuarantineBytes() const { return FQuarantineBytes; }
  void SetQuarantineBytes(uint64_t aBytes) { FQuarantineBytes = aBytes; }
  void SetPaced(bool aPaced) { FPaced = aPaced; }

  TFigOnCuredEvent OnCured;
  TNotifyEvent OnFinished; // sender: the worker
  TNotifyEvent OnAbort;    // sender: the worker
  TNotifyEvent OnStarted;  // sender: the manager

private:
  friend class TFigCureThread;
  class TRegKeyCache;

  // The worker's end, on the main thread.
  void CureThreadTerminated(TFigCureThread& aWorker);
  // Joins the workers that have ended.
  void ReleaseFinishedWorkers();
  // A backup file name of the run starting at aNow that neither a file, a line of the index nor
  // a run under way already uses.
  std::wstring FreeBackupName(TDateTime aNow, const std::string& aIndex) const;
  // The worker's first step: writes the backup file aBackupFile with aHeader (flushed) and adds
  // aIndexLine to the backup index in the same folder. "" on success; otherwise which file could
  // not be written and why, and no backup file is left.
  static std::wstring WriteRunFiles(const std::wstring& aBackupFile,
                                    const std::vector<uint8_t>& aHeader,
                                    const std::string& aIndexLine);

  // The findings to change, writable: a copy of the list first while a worker still shares it.
  std::vector<TFigScanedItem>& OwnItems();

  // Shared with the workers, which only read it: a run starts without copying the findings.
  std::shared_ptr<std::vector<TFigScanedItem>> FItems =
      std::make_shared<std::vector<TFigScanedItem>>();
  int FItemCount = 0;
  std::wstring FBackupPath;
  TFigCureThread* FFigCureThread = nullptr;
  int FRunningCount = 0;
  bool FPaced = true;
  uint64_t FQuarantineBytes = kDefaultQuarantineMB << 20;
  std::wstring FLastError;
  TFigImportStatus FLastImportStatus = isNone;
  bool FLastRunNotStarted = false;
  TFigCureFailure FCurrentFailure = cfNone;
  std::wstring FCurrentProgram;
  bool FUnattended = false;
  std::wstring FExclusionsFile;
  std::wstring FLastBackupFile;
  bool FLastRunSealed = false;
  // Every worker not joined yet; the current one is among them.
  std::vector<std::unique_ptr<TFigCureThread>> FWorkers;
};

// The worker of one repair run. Created by StartCure with the name of the run's backup file, the
// run's line for the backup index and a copy of the manager's findings and handlers. What takes
// time to set up (the seal key, the exclusions) it reads itself, off the main thread.
class TFigCureThread : public TObject {
public:
  TFigCureThread(const std::wstring& aRegFile, std::string aIndexLine, TFigCure& aFigCure);
  ~TFigCureThread() override;
  TFigCureThread(const TFigCureThread&) = delete;
  TFigCureThread& operator=(const TFigCureThread&) = delete;

  void Start();
  // Asks the run to stop at the start of its next finding.
  void Terminate() { FStop.request_stop(); }
  bool Terminated() const { return FStop.stop_requested(); }
  // Refuses the worker's remaining calls into the main thread, so no event fires any more; its
  // owner is going away.
  void Release() { FRelease.request_stop(); }
  // Set as the worker's very last step.
  bool Finished() const { return FFinished; }
  std::thread& Thread() { return FThread; }
  const std::wstring& BackupFile() const { return FRegBkFileName; }

private:
  // One finding's outcome, waiting for the main thread: what OnCured and OnTopicCured tell, and
  // what CurrentFailure() and CurrentProgram() say while they run.
  struct TCuredEvent {
    int Index = 0;
    TFigCureStatus Status = csIgnored;
    TFigCureFailure Failure = cfNone;
    std::wstring Program;
    bool TopicCured = false;
  };

  void Execute();
  // Writes the backup file with its header and the run's index line, before the first change;
  // false, with FStartError saying why, when either cannot be written.
  bool WriteBackupHeader();
  // Backs up and repairs the finding at FCurrentIndex and queues its outcome.
  void CureCurrentItem(TRegKeyCache& aKeys);
  // Hands the queued outcomes to the main thread: one call, or, with aAll, as many as it takes
  // to hand over every one. False when the main thread refused (its owner is going away).
  bool DeliverEvents(bool aAll);
  // Main thread: fires the events of the queued outcomes, for at most a slice of time.
  void FireEvents();
  TFigCureStatus CureItem(const TFigScanedItem& aItem, TRegKeyCache& aKeys);
  // Why the finding is not to be repaired in this run at all; cfNone when it is.
  TFigCureFailure SkipReason(const TFigScanedItem& aItem);
  // The part of SkipReason that the finding's place decides: excluded, or kept on an unattended
  // run.
  TFigCureFailure PlaceSkipReason(const TFigScanedItem& aItem);
  // Whether the backup entries of what repairing finding aIndex changes are in the backup file,
  // flushed; they are written, with those of the next few findings, when they are not yet. False
  // when something that would change cannot be backed up: then it must not change.
  bool BackupItem(int aIndex);
  // Adds the entries of a ticked finding to aEntries; false when something it would change
  // cannot be backed up.
  bool CollectBackup(const TFigScanedItem& aItem, TRegExporter& aEntries,
                     TRegKeyCache& aKeys) const;
  // Appends entries (a registry export file's body) to the backup file, flushed. On failure the
  // file is cut back to its last whole entry, so it stays a valid export file.
  bool AppendBackup(const std::vector<uint8_t>& aEntries);
  // Cuts off what a failed append left behind; false while that is not done.
  bool RepairBackup();
  void StartSweepHelper(const TFigScanedItem& aItem);
  // A community rule's folder, removed once nothing is left in it.
  TFigCureStatus RemoveEmptyFolder(const std::wstring& aFolder);
  void ImportFixFile();
  void DoAbort();
  void DoFinished();

  TFigCure& FFigCure;
  // The owner's list as the run started; the owner copies it before it changes it while the run
  // still holds it. Let go once the run has reported its last finding; FItems is not read after.
  std::shared_ptr<const std::vector<TFigScanedItem>> FSharedItems;
  const std::vector<TFigScanedItem>& FItems;
  int FItemCount = 0;
  int FCurrentIndex = 0;
  TFigCureStatus FCurrentItemStatus = csIgnored;
  // The outcomes not yet reported, from FFiredEvents on. The worker adds to them only while the
  // main thread is not firing them (FireEvents runs inside a call the worker waits for).
  std::vector<TCuredEvent> FEvents;
  size_t FFiredEvents = 0;
  bool FCurrentInUse = false;   // the current finding's file was open in another program
  bool FCurrentNotKept = false; // the current finding's file could not be kept for a restore
  bool FUnattended = false;
  // The programs of the last topic whose findings held any, checked once per topic in the run.
  std::wstring FProgramsTopic;
  std::vector<std::wstring> FRunningPrograms;
  TFigExclusionMatcher FExclusions;
  // The user's own folders, looked up by the first unattended finding on disk that asks.
  std::optional<TFigKeptFolders> FKeptFolders;
  TFigOnCuredEvent FOnCured;
  TOnTopicCuredEvent FOnTopicCured;
  TNotifyEvent FOnFinished;
  TNotifyEvent FOnAbort;
  std::wstring FExclusionsFile;
  uint64_t FQuarantineBytes = 0;
  std::optional<TSealKey> FSealKey;
  // The files the run deletes, kept for a restore; made by the worker as it starts.
  std::optional<TFigQuarantine> FQuarantine;
  // The collected fix lines; the backup goes to disk entry by entry.
  TRegExporter FRegCureExporter;
  std::vector<bool> FBackupSaved;        // per finding, once its entries were collected
  int FBackupEnd = 0;                    // the findings before it have had their entries collected
  int FBackupBatch = 1;                  // findings whose entries are flushed together
  std::optional<TSealWriter> FRegBkSeal; // made by the worker as it starts
  uint64_t FRegBkSize = 0;               // the bytes of whole sealed entries in the backup file
  bool FRegBkDamaged = false;            // the file may end in a partly written entry
  std::wstring FRegBkFileName;
  std::string FIndexLine;
  std::wstring FStartError; // why the backup file or the index could not be written
  std::wstring FRegCureFileName;
  uint64_t FBeginTime = 0; // tick of the current slot's start
  uint32_t FMinSlotMs = 0;
  TFigImportStatus FImportStatus = isNone;
  std::wstring FImportError;

  std::stop_source FStop;    // the abort request
  std::stop_source FRelease; // the owner is going away
  std::atomic<bool> FFinished = false;
  std::thread FThread;
};
