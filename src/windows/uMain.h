#pragma once
// The program's main window. It owns the application engine, the scan engine and the repair
// manager (every finding of a scan lands in the repair manager's list) and drives the scan ->
// review -> repair road from their events: the button bar, the maintenance page, the status
// line and the running totals follow the four states Ready, Scanning, Results and Repairing.
// The close button hides the window in the notification area; only Exit ends the program.

#include "appengine/CLEngine.h"
#include "appengine/FigEngineSettings.h"
#include "components/CLControls.h"
#include "components/CLMultiLang.h"
#include "components/CLNonVisual.h"
#include "cure/FigCure.h"
#include "engine/FigEngine.h"
#include "windows/uButtonPanel.h"
#include "windows/uSchedule.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TfrmHome;
class TfrmMaintain;
class TfrmUtilities;
class TfrmScanedResult;
class TListItem;

// Where the scan is, as the status line shows it. A registry place: root, path and name when
// path and name together have at most 20 characters, else the root, "..." and their last 20. A
// disk place: the path of root and name, cut to its first 3 characters, "..." and its last 30
// when longer than 30. Nothing for other places.
std::wstring ScanPlaceText(TLocationStyle aLocationStyle, const std::wstring& aRoot,
                           const std::wstring& aPath, const std::wstring& aName);
// The position column of the result list: "Current PC." for a sweep, the file of a disk
// finding, else the key, value and data of a registry finding.
std::wstring ResultPositionText(const TFigScanedItem& aItem);

class TfrmMain : public TForm {
public:
  explicit TfrmMain(TComponent* aOwner);
  // Writes the category switches back, then stops and waits for a scan or repair under way.
  ~TfrmMain() override;

  TCLEngine& Engine() const { return *FEngine; }
  TCLMultiLangData& LanguageData() const { return *FLanguageData; }
  TFigEngine& FigEngine() const { return *FFigEngine; }
  TFigCure& FigCure() const { return *FFigCure; }
  TfrmHome* Home() const { return FHome; }
  TfrmMaintain* Maintain() const { return FMaintain; }
  TfrmUtilities* Utilities() const { return FUtilities; }
  TfrmButtonPanel* ButtonPanel() const { return FButtonPanel; }

  // The user's choice of categories and topics, on the scan engine; then the scan.
  void DoScan();
  void DoCure();
  void LoadFigEngineSettings();
  // The maintenance page's status line.
  void SetStatusText(const std::wstring& aStr);
  // The result dialog for one category's findings; OK hands its check marks to the repair
  // manager, Cancel changes nothing.
  void ShowResultList(TTopicCategory aCategory);
  // Puts the place of the finding of aRow (aContainer: its key or folder) on the user's list of
  // exclusions; the rows of aDialog it now covers, unticked. Nothing when the list is damaged
  // or cannot be saved: the user is told.
  std::vector<int> IgnoreFinding(const TfrmScanedResult& aDialog, const TListItem& aRow,
                                 bool aContainer);
  void CreateAllWindow();
  // Makes the button bar once and docks it into aContainer.
  void PlaceBtnPanel(TWinControl* aContainer);
  void ClearResultList();
  void ClearFixedResultList();
  // Shows the window again from the notification area.
  void RestoreFromTray();
  void MinimizeToTray();

  // Findings of the current scan, and those of them repaired since, per category.
  int CategoryCount(TTopicCategory aCategory) const;
  int CategoryFixedCount(TTopicCategory aCategory) const;
  // What is wrong with the topic database, naming the file; "" when it was loaded. Nothing can
  // be scanned then, and the status line says why.
  const std::wstring& TopicDbProblem() const { return FTopicDbProblem; }
  // Repair without asking when the current scan ends.
  bool ClearNow() const { return FClearNow; }
  // The engine's command file: the launch word is the first argument, or the second behind the
  // elevated restart's "runas".
  void CLEngineCmdFile(const std::wstring& strFileName);
  // The launch word given at start ("" for a plain start).
  const std::wstring& LaunchParams() const { return FLaunchParams; }
  // The page the settings window opens on next.
  int DefaultSettingPage() const { return FDefaultSettingPage; }
  void SetDefaultSettingPage(int aValue) { FDefaultSettingPage = aValue; }

  // The message box of every main window made from now on (the window system's, set by the
  // start-up code before the window is made; none shows nothing). Not owned.
  static void SetDefaultMessageBox(ICLMessageBox* aMessageBox);

  TCLMultiLang* CLMultiLang1;
  TAction* actHome;
  TAction* actMaintainWindows;
  TAction* actTools;
  TAction* actRestore;
  TAction* actSettings;
  TAction* actUpdate;
  TAction* actScan;
  TAction* actStop;
  TAction* actCure;
  TAction* actStopCure;
  TAction* actCleanNow;
  TAction* actAbout;
  TAction* actHomePage;
  TAction* actHelpCenter;
  TAction* actExit;
  TAction* actViewRestorePoint;
  TAction* actOpen;
  TAction* actAlwaysOnTop;
  TPanel* pnlBtnPanel;
  TPanel* pnlContainer;
  TLinkLabel* llRestore;
  TLinkLabel* llSettings;
  TLinkLabel* llUpdate;
  TLinkLabel* llTellAFriend;
  TImageList* il16;
  TImageList* il32;
  TTrayIcon* spTray;
  TPopupMenu* pmTray;
  TMenuItem* miScan;
  TPopupMenu* pmSys;
  TMenuItem* miSysViewRestorePoint;
  TMenuItem* miLanguage;
  TMenuItem* miSkin;
  TTimer* tmrCleannow;
  TTimer* tmrSchedule;
  TTimer* tmrCureProgress;

private:
  static constexpr size_t kCategorySlots = 6;

  void CreateActions();
  void CreateMenus();
  TMenuItem* AddMenuItem(TPopupMenu* aMenu, const std::wstring& aName, TAction* aAction);
  void FormCreate();
  void FormDestroy();
  void ApplyLayout();
  void HookEngines();

  // The six buttons' states in the order Scan, Cure, Stop, Home, Adv, Utilities; a page button
  // whose page does not exist stays disabled.
  void SetButtons(TFlashButtonState aScan, TFlashButtonState aCure, TFlashButtonState aStop,
                  TFlashButtonState aHome, TFlashButtonState aAdv, TFlashButtonState aUtilities);
  // The status line with a text of the language data, which follows a change of language.
  void SetStatusKey(const std::wstring& aKey);
  // The maintenance page's main button and the tray menu's scan entry.
  void SetMainAction(TAction* aAction);
  void UpdateButtonCaptions();
  void ShowPage(TForm* aPage);
  void ButtonRelease(const std::wstring& aName);

  // Whether a scan or a repair is under way; the backup and settings windows wait for its end.
  bool Busy() const;
  void actToolsExecute();
  void actRestoreExecute();
  void actSettingsExecute();
  void actScanExecute();
  void actCureExecute();
  void actAlwaysOnTopExecute();
  void actViewRestorePointExecute();
  // A new mail recommending the program, in the user's mail program.
  void TellAFriend();
  void actExitExecute();
  void FormClose(TCloseAction& aAction);
  void tmrCleannowTimer();
  void tmrScheduleTimer();
  // Shows what was repaired since the last time, or stops the timer when nothing was.
  void tmrCureProgressTimer();
  // The category labels, status line and progress of the findings reported since they were last
  // shown. Outcomes come by the hundred: each shown at once would repaint the page every time.
  void ShowCureProgress();
  // Starts a scan that repairs its findings without asking (the launch timer's automatic
  // starts).
  void StartAutomaticScan(const TLaunchPlan& aPlan);
  // The launch timer's starts wait while a window of the program is modal (its loop serves
  // every timer, so a start would change what the dialog shows) or a scan or a repair runs.
  bool LaunchWaits() const;
  // The Results state: findings of the last scan wait for the user, the main button repairs.
  bool FindingsWaiting() const;

  void FigEngineTopicLoaded();
  void FigEngineStarted();
  void FigEngineTopicProcessing(TLocationStyle aLocationStyle, const std::wstring& aRoot,
                                const std::wstring& aPath, const std::wstring& aName,
                                int32_t aCurrentPer);
  void FigEngineTopicMatched(const TFigScanedItem& aMatchedItem);
  void FigEngineTopicFinished(TFigTopic& aTopic);
  void FigEngineFinished();
  void FigEngineAbort();
  void FigCureStarted();
  void FigCureCured(const TFigScanedItem& aItem, TFigCureStatus aStatus, int aCurrentIndex,
                    int aMax);
  void FigCureFinished();
  void FigCureAbort();
  void AddSummaryToTotals(const TFigSummary& aSummary);
  // The Results state: the findings wait to be repaired, or to be replaced by a new scan.
  void ShowResultsState();
  void SetCategoryFixedLabel(TTopicCategory aCategory);
  // The category's link after a run that left findings: what was repaired, what was not and what
  // is in use.
  void ShowNotRepairedLink(TTopicCategory aCategory);
  // The findings the list now covers no longer count; the maintenance page says so at once.
  void DropExcludedFindings(const TFigExclusionMatcher& aExcluded);
  // A repair run has ended: what it did not repair stays, ticked, with its reason; what it
  // repaired leaves the findings. True when something it was to repair was not.
  bool SettleRepairRun(bool aAborted);

  // What became of one finding of the current scan in the repairs since.
  enum class TFindingState : uint8_t {
    Open,           // not tried
    Trying,         // ticked when the current run started
    Repaired,       // gone from the findings
    AwaitingImport, // its registry fix line waits for the end of the run
    Failed,         // left as it was, for the reason FailureKey names
    InUse,          // its file was open in another program; it goes once that one ends
    Excluded        // the user excluded its place since the scan; it no longer counts
  };
  static constexpr size_t kFindingStates = 7;
  struct TFindingOutcome {
    TFindingState State = TFindingState::Open;
    TTopicCategory Category = tcUnknow;
    std::wstring FailureKey;
  };
  // The outcome of finding aIndex; Open for one never tried.
  const TFindingOutcome& Outcome(int aIndex) const;
  // Sets it, keeping the counts of outcomes per category and state up to date.
  void SetOutcome(int aIndex, TFindingOutcome aOutcome);
  int CountOutcomes(TTopicCategory aCategory, TFindingState aState) const;

  TCLMultiLangData* FLanguageData;
  TCLEngine* FEngine;
  std::unique_ptr<TFigCure> FFigCure;
  std::unique_ptr<TFigEngine> FFigEngine;
  TfrmHome* FHome = nullptr;
  TfrmMaintain* FMaintain = nullptr;
  TfrmUtilities* FUtilities = nullptr;
  TfrmButtonPanel* FButtonPanel = nullptr;

  std::array<int, kCategorySlots> FCategoryCounts{};
  int FDefaultSettingPage = 0;
  bool FClearNow = false;
  std::wstring FLaunchParams;
  // The repair run that is ending was stopped by the user: it stays in the Results state.
  bool FCureAborted = false;
  // The repair's outcomes not shown yet: their categories, and the last one's place in the run.
  std::array<bool, kCategorySlots> FCureProgressCategories{};
  TTopicCategory FCureProgressCategory = tcUnknow;
  int FCureProgressIndex = -1;
  int FCureProgressMax = 0;
  bool FSettingsShowing = false;
  bool FExiting = false;
  // The language key of the status line's text; empty when the text is not one.
  std::wstring FStatusKey;
  std::wstring FTopicDbProblem;
  // By the findings' index in the repair manager's list.
  std::vector<TFindingOutcome> FOutcomes;
  // How many of FOutcomes are in each state, by category: the labels ask after every finding
  // repaired, and counting the whole list each time would grow with its square.
  std::array<std::array<int, kFindingStates>, kCategorySlots> FOutcomeCounts{};
  // The category boxes as the current scan began.
  TFigCategorySwitches FScannedSwitches{};
  TScheduleCheck FScheduleCheck;
  // The day on which the schedule asked for the scan the launch timer holds; it starts on that
  // day only.
  std::optional<TDateTime> FScheduleDay;
};
