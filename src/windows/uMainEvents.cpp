// The main window's reactions: the actions, the button bar, and the events of the scan engine and
// the repair manager, which carry the window through its four states.

#include "appengine/CLAppHost.h"
#include "base/CLDateUtils.h"
#include "base/CLHelpers.h"
#include "base/CLSettings.h"
#include "windows/uMain.h"
#include "windows/uMaintain.h"
#include "windows/uRestore.h"
#include "windows/uSchedule.h"
#include "windows/uSettings.h"
#include "windows/uUtilities.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <utility>

namespace {

constexpr wchar_t kViewRestorePointCommand[] = L"rstrui";

// A running total grown by one scan's count; it stays at the largest value a setting holds
// rather than wrapping round to a negative number.
int32_t AddToTotal(int32_t aTotal, int64_t aCount) {
  const int64_t sum = static_cast<int64_t>(aTotal) + aCount;
  return static_cast<int32_t>(std::clamp<int64_t>(sum, 0, std::numeric_limits<int32_t>::max()));
}

std::wstring CategoryTitleKey(TTopicCategory aCategory) {
  switch (aCategory) {
  case tcARegFix:
    return L"Title.RegistryFix";
  case tcBPrivacySweep:
    return L"Title.PrivacySweep";
  case tcCJunkFile:
    return L"Title.JunkFilesClean";
  case tcDSystemOptimization:
    return L"Title.SystemOptimization";
  default:
    return L"";
  }
}

} // namespace

// --- Pages and buttons

void TfrmMain::ShowPage(TForm* aPage) {
  if (aPage == nullptr)
    return;
  for (int i = 0; i < pnlContainer->ControlCount(); ++i) {
    if (auto* other = dynamic_cast<TForm*>(pnlContainer->Controls(i)); other && other != aPage)
      other->HideForm();
  }
  aPage->SetParent(pnlContainer);
  aPage->SetLeft(0);
  aPage->SetTop(0);
  aPage->ShowForm();
}

void TfrmMain::SetButtons(TFlashButtonState aScan, TFlashButtonState aCure, TFlashButtonState aStop,
                          TFlashButtonState aHome, TFlashButtonState aAdv,
                          TFlashButtonState aUtilities) {
  // Clean Now starts a scan: it is offered whenever no work runs, as Stop is not.
  actCleanNow->SetEnabled(aStop == KInvisibled && FTopicDbProblem.empty());
  if (FButtonPanel == nullptr)
    return;
  auto page = [](TAction* aAction, TFlashButtonState aState) {
    return aAction->Enabled() ? aState : KDisabled;
  };
  FButtonPanel->SetBtnState(L"Scan", aScan == KInvisibled ? aScan : page(actScan, aScan));
  FButtonPanel->SetBtnState(L"Cure", aCure);
  FButtonPanel->SetBtnState(L"Stop", aStop);
  FButtonPanel->SetBtnState(L"Home", page(actHome, aHome));
  FButtonPanel->SetBtnState(L"Adv", page(actMaintainWindows, aAdv));
  FButtonPanel->SetBtnState(L"Utilities", page(actTools, aUtilities));
}

void TfrmMain::SetMainAction(TAction* aAction) {
  FMaintain->btnMaintainScan->SetAction(aAction);
  miScan->SetAction(aAction);
}

void TfrmMain::ButtonRelease(const std::wstring& aName) {
  if (kplat::SameText(aName, L"Home")) {
    SetButtons(FButtonPanel->BtnState(L"Scan"), FButtonPanel->BtnState(L"Cure"),
               FButtonPanel->BtnState(L"Stop"), KDown, KNormal, KNormal);
    actHome->Execute();
  } else if (kplat::SameText(aName, L"Adv")) {
    SetButtons(FButtonPanel->BtnState(L"Scan"), FButtonPanel->BtnState(L"Cure"),
               FButtonPanel->BtnState(L"Stop"), KNormal, KDown, KNormal);
    actMaintainWindows->Execute();
  } else if (kplat::SameText(aName, L"Utilities")) {
    SetButtons(FButtonPanel->BtnState(L"Scan"), FButtonPanel->BtnState(L"Cure"),
               FButtonPanel->BtnState(L"Stop"), KNormal, KNormal, KDown);
    actTools->Execute();
  } else if (kplat::SameText(aName, L"Scan")) {
    actScan->Execute();
  } else if (kplat::SameText(aName, L"Cure")) {
    actCure->Execute();
  } else if (kplat::SameText(aName, L"Stop")) {
    actStopCure->Execute();
    actStop->Execute();
  }
}

// --- Actions

bool TfrmMain::Busy() const {
  return FFigEngine->IsRunning() || FFigCure->IsRunning();
}

void TfrmMain::actToolsExecute() {
  FUtilities->SetWidth(pnlContainer->Width());
  ShowPage(FUtilities);
}

void TfrmMain::actRestoreExecute() {
  if (Busy())
    return;
  TRestoreWindowHost host;
  host.BackupPath = FFigCure->BackupPath();
  host.Engine = FFigEngine.get();
  host.SmallImages = il16;
  host.RepairRunning = [this] { return FFigCure->IsRunning(); };
  host.OpenSettings = [this](int aPage) {
    FDefaultSettingPage = aPage;
    actSettings->Execute();
    FDefaultSettingPage = 0;
  };
  const std::unique_ptr<TfrmRestore> window = std::make_unique<TfrmRestore>(this, host);
  window->ShowModal();
}

void TfrmMain::actSettingsExecute() {
  if (Busy() || FSettingsShowing)
    return;
  FSettingsShowing = true;
  const std::unique_ptr<TfrmSettings> window = std::make_unique<TfrmSettings>(this, *FFigEngine);
  window->SetPage(FDefaultSettingPage);
  const bool saved = window->ShowModal() == mr::OK;
  FSettingsShowing = false;
  if (saved)
    LoadFigEngineSettings();
}

void TfrmMain::actScanExecute() {
  // The tray's menu works under an open dialog; a scan then would change what the dialog shows.
  if (TForm::ModalCount() > 0) {
    FClearNow = false;
    return;
  }
  if (!FMaintain->AnyCategoryChecked()) {
    FEngine->ShowMessageEx(L"MSGBox.NoScanItemSelected", {}, false, mr::None, mb::OK,
                           TMsgDlgType::mtWarning, 0);
    return;
  }
  DoScan();
  RestoreFromTray();
}

void TfrmMain::actCureExecute() {
  if (!FMaintain->AnyCategoryChecked()) {
    FEngine->ShowMessageEx(L"MSGBox.NoScanItemSelected", {}, false, mr::None, mb::OK,
                           TMsgDlgType::mtWarning, 0);
    return;
  }
  // The findings of a category the user switched off since the scan are left out of this run
  // (a run works on its own copy of the list, so their ticks come back at once).
  const TFigCategorySwitches switches = FMaintain->CategorySwitches();
  std::vector<int> heldBack;
  for (int i = 0; i < FFigCure->ItemCount(); ++i) {
    const TFigScanedItem& item = FFigCure->GetMatchedItem(i);
    const size_t box = static_cast<size_t>(item.Category) - tcARegFix;
    if (item.Checked && box < switches.size() && FScannedSwitches[box] && !switches[box]) {
      FFigCure->SetChecked(i, false);
      heldBack.push_back(i);
    }
  }
  if (FFigCure->GetCheckedItem() > 0) {
    DoCure();
  } else {
    FEngine->ShowMessageEx(L"MSGBox.NoCureItemSelected", {}, false, mr::None, mb::OK,
                           TMsgDlgType::mtWarning, 0);
  }
  for (int i : heldBack)
    FFigCure->SetChecked(i, true);
}

void TfrmMain::actAlwaysOnTopExecute() {
  TCLSettings& settings = GetCLSettings();
  const bool onTop = !settings.GetSettingBool(L"AlwaysOnTop");
  settings.SetSettingBool(L"AlwaysOnTop", onTop);
  actAlwaysOnTop->SetChecked(onTop);
  SetStayOnTop(onTop);
}

void TfrmMain::actViewRestorePointExecute() {
  // Started and left to itself: the window keeps answering while System Restore is open.
  RunProcess(L"", kViewRestorePointCommand, L"", false, false, 0);
}

void TfrmMain::TellAFriend() {
  if (ICLAppHost* host = GetCLAppHost())
    host->SendMail(Handle(), {{L"subject", FEngine->GetAppString(L"EMAIL.Subject")},
                              {L"body", FEngine->GetAppString(L"EMAIL.Body")}});
}

void TfrmMain::actExitExecute() {
  FExiting = true;
  Close();
  if (ICLAppHost* host = GetCLAppHost())
    host->Terminate();
}

void TfrmMain::FormClose(TCloseAction& aAction) {
  if (FExiting)
    return;
  aAction = TCloseAction::caNone;
  if (IFormHost* host = Host())
    host->AnimateToTray();
  MinimizeToTray();
}

void TfrmMain::CLEngineCmdFile(const std::wstring& strFileName) {
  FClearNow = false;
  FLaunchParams = LaunchParamsFromCmdFile(strFileName, CLCommandArguments());
}

bool TfrmMain::LaunchWaits() const {
  return TForm::ModalCount() > 0 || Busy();
}

bool TfrmMain::FindingsWaiting() const {
  return FFigCure->ItemCount() > 0 && FMaintain->btnMaintainScan->Action() == actCure;
}

void TfrmMain::tmrCleannowTimer() {
  // The timer stays on and tries again once the dialog is closed or the work has ended.
  if (LaunchWaits())
    return;
  tmrCleannow->SetEnabled(false);
  const std::optional<TDateTime> scheduleDay = std::exchange(FScheduleDay, std::nullopt);
  const TLaunchPlan plan = PlanLaunch(FLaunchParams);
  switch (plan.Action) {
  case TLaunchAction::laScan:
    // No scan replaces findings the user has not acted on.
    if (!FindingsWaiting())
      actScan->Execute();
    break;
  case TLaunchAction::laMiniStart:
    MinimizeToTray();
    break;
  case TLaunchAction::laAutoScan:
  case TLaunchAction::laAutoSweep:
    // A scheduled scan held past midnight belongs to a day that is over.
    if (scheduleDay && *scheduleDay != Today())
      break;
    if (FindingsWaiting()) {
      SetStatusKey(L"State.AutoScanSkipped");
      break;
    }
    StartAutomaticScan(plan);
    break;
  case TLaunchAction::laNone:
    break;
  }
}

void TfrmMain::StartAutomaticScan(const TLaunchPlan& aPlan) {
  if (!FTopicDbProblem.empty())
    return;
  RestoreFromTray();
  ApplyLaunchTopics(aPlan, *FFigEngine);
  ClearResultList();
  FFigEngine->StartScan();
  FClearNow = true;
}

void TfrmMain::tmrScheduleTimer() {
  const TScheduleTick tick = FScheduleCheck.Tick();
  if (tick.ResetStatus)
    FFigEngine->ResetStatus();
  if (tick.StartAutoScan) {
    FLaunchParams = kLaunchAutoScan;
    FScheduleDay = Today();
    tmrCleannow->SetEnabled(true);
  }
}

// --- Scan engine events

void TfrmMain::FigEngineTopicLoaded() {
  FFigEngine->SortByCategory();
  LoadFigEngineSettings();
  SetStatusKey(L"State.TopicsLoaded");
}

void TfrmMain::FigEngineStarted() {
  SetButtons(KInvisibled, KInvisibled, KNormal, KDisabled, KDisabled, KDisabled);
  SetMainAction(actStop);
  FMaintain->sgScan->SetRange(0, FFigEngine->MaxProcessingCount());
  FMaintain->sgScan->SetPosition(0);
  FMaintain->sgScan->Show();
  FMaintain->SetCategoryBoxesEnabled(false);
  FMaintain->HideResults();
  actMaintainWindows->Execute();
  ClearResultList();
  ClearFixedResultList();
  FScannedSwitches = FMaintain->CategorySwitches();
  FFigCure->Clear();
}

void TfrmMain::FigEngineTopicProcessing(TLocationStyle aLocationStyle, const std::wstring& aRoot,
                                        const std::wstring& aPath, const std::wstring& aName,
                                        int32_t aCurrentPer) {
  SetStatusText(ScanPlaceText(aLocationStyle, aRoot, aPath, aName));
  FMaintain->sgScan->SetPosition(aCurrentPer);
}

void TfrmMain::FigEngineTopicMatched(const TFigScanedItem& aMatchedItem) {
  if (aMatchedItem.Category < kCategorySlots)
    ++FCategoryCounts[aMatchedItem.Category];
}

void TfrmMain::FigEngineTopicFinished(TFigTopic& aTopic) {
  SetStatusText(L"[" + aTopic.Name() + L"] " + FEngine->GetAppString(L"State.Scaned"));
}

void TfrmMain::AddSummaryToTotals(const TFigSummary& aSummary) {
  TCLSettings& settings = GetCLSettings();
  const std::pair<const wchar_t*, int64_t> counts[] = {
      {L"Summary.AllCount", aSummary.AllCount},
      {L"Summary.RegistryItemCount", aSummary.RegistryItemCount},
      {L"Summary.FileCount", aSummary.FileCount},
      {L"Summary.MatchedAllCount", aSummary.MatchedAllCount},
      {L"Summary.MatchedRegItemCount", aSummary.MatchedRegItemCount},
      {L"Summary.MatchedFileCount", aSummary.MatchedFileCount}};
  for (const auto& [name, count] : counts)
    settings.SetSettingInteger(name, AddToTotal(settings.GetSettingInteger(name), count));
  const std::pair<const wchar_t*, int64_t> sizes[] = {
      {L"Summary.FileSizeCount", aSummary.FileSizeCount},
      {L"Summary.MatchedFileSizeCount", aSummary.MatchedFileSizeCount}};
  for (const auto& [name, size] : sizes)
    settings.SetSettingFloat(name, settings.GetSettingFloat(name) + static_cast<double>(size));
}

void TfrmMain::ShowResultsState() {
  // A new scan, with the categories changed or not, is the other way on from the findings.
  SetButtons(KNormal, KNormal, KInvisibled, KNormal, KNormal, KNormal);
  SetMainAction(actCure);
  FMaintain->SetCategoryBoxesEnabled(true);
}

void TfrmMain::FigEngineFinished() {
  ShowResultsState();
  FMaintain->sgScan->SetPosition(FMaintain->sgScan->Max());

  TCLSettings& settings = GetCLSettings();
  // The settings file is written once for all of them, not once per figure.
  settings.BeginUpdate();
  const kplat::TDateTimeFormats formats = UserDateTimeFormats();
  const TDateTime now = Now();
  settings.SetSettingstring(L"App.LastScan", FormatDateTimePattern(now, L"yyyy-MM-dd HH", formats) +
                                                 formats.TimeSeparator +
                                                 FormatDateTimePattern(now, L"mm", formats));
  AddSummaryToTotals(FFigEngine->Summary());
  settings.EndUpdate();

  // Clean Now holds for this scan only: a scan that ends without a repair must not leave the
  // next one repairing unasked.
  const bool clearNow = std::exchange(FClearNow, false);
  if (FFigCure->ItemCount() <= 0) {
    FEngine->ShowMessageEx(L"MSGBox.ThereIsNoItemsToCure", {}, false, mr::None, mb::OK,
                           TMsgDlgType::mtInformation, 0);
    SetButtons(KNormal, KInvisibled, KInvisibled, KNormal, KNormal, KNormal);
    FMaintain->aniArrow->Hide();
    SetMainAction(actScan);
    FMaintain->sgScan->Hide();
    FMaintain->lblInfo->Show();
    SetStatusKey(L"State.Ready");
    FMaintain->SetCategoryBoxesEnabled(true);
  } else {
    if (clearNow) {
      // Nobody watches this repair: it skips what people keep and what running programs hold.
      FFigCure->SetUnattended(true);
      actCure->Execute();
      FFigCure->SetUnattended(false);
    } else if (FEngine->ShowMessageEx(L"MSGBox.CureAfterScan", {}, false, mr::None, mb::YesNo,
                                      TMsgDlgType::mtInformation, 10) == mr::Yes) {
      actCure->Execute();
    }
    FMaintain->aniArrow->Hide();
    FMaintain->ResetCategoryLabel();
  }
  SetStatusKey(L"SState.ScanFinished");
}

void TfrmMain::FigEngineAbort() {
  FClearNow = false;
  SetButtons(KNormal, KInvisibled, KInvisibled, KNormal, KNormal, KNormal);
  SetMainAction(actScan);
  FMaintain->sgScan->Hide();
  FMaintain->SetCategoryBoxesEnabled(true);
  FMaintain->HideResults();
  FMaintain->aniArrow->Hide();
  SetStatusText(L"");
}

// --- Repair manager events

void TfrmMain::FigCureStarted() {
  FCureAborted = false;
  // Sized once for the whole list rather than grown finding by finding.
  if (FOutcomes.size() < static_cast<size_t>(FFigCure->ItemCount()))
    FOutcomes.resize(static_cast<size_t>(FFigCure->ItemCount()));
  for (int i = 0; i < FFigCure->ItemCount(); ++i) {
    if (const TFigScanedItem& item = FFigCure->GetMatchedItem(i); item.Checked)
      SetOutcome(i, {TFindingState::Trying, item.Category, L""});
  }
  SetButtons(KInvisibled, KInvisibled, KNormal, KDisabled, KDisabled, KDisabled);
  SetMainAction(actStopCure);
  FMaintain->sgScan->SetPosition(0);
  FMaintain->sgScan->Show();
  FMaintain->SetCategoryBoxesEnabled(false);
  FMaintain->HideResults();
  actMaintainWindows->Execute();
}

void TfrmMain::SetCategoryFixedLabel(TTopicCategory aCategory) {
  const TfrmMaintain::TCategoryRow* row = FMaintain->Row(aCategory);
  if (row == nullptr)
    return;
  // Only what was repaired counts; a finding left as it was keeps its category from "No
  // problem.".
  const int fixed = CategoryFixedCount(aCategory);
  row->Result->SetCaption(fixed == CategoryCount(aCategory)
                              ? FEngine->GetAppString(L"State.NoProblem")
                              : std::to_wstring(fixed) + L" " +
                                    FEngine->GetAppString(L"State.Fixed"));
  row->Result->Show();
}

void TfrmMain::ShowNotRepairedLink(TTopicCategory aCategory) {
  const TfrmMaintain::TCategoryRow* row = FMaintain->Row(aCategory);
  const int notRepaired = CountOutcomes(aCategory, TFindingState::Failed);
  const int inUse = CountOutcomes(aCategory, TFindingState::InUse);
  if (row == nullptr || (notRepaired == 0 && inUse == 0))
    return;
  row->Result->Hide();
  const std::wstring fixed = std::to_wstring(CategoryFixedCount(aCategory));
  row->Link->SetCaption(
      inUse == 0
          ? FEngine->GetAppStringEx(L"State.NotRepaired", {fixed, std::to_wstring(notRepaired)})
          : FEngine->GetAppStringEx(L"State.NotRepairedInUse",
                                    {fixed, std::to_wstring(notRepaired), std::to_wstring(inUse)}));
  row->Link->Show();
}

void TfrmMain::FigCureCured(const TFigScanedItem& aItem, TFigCureStatus aStatus, int aCurrentIndex,
                            int aMax) {
  if (aCurrentIndex < 0)
    return;
  TFindingOutcome outcome;
  if (aStatus == csUncured && FFigCure->CurrentFailure() == cfInUse) {
    outcome = {TFindingState::InUse, aItem.Category, L"Cure.InUse"};
  } else if (aStatus == csUncured) {
    outcome = {TFindingState::Failed, aItem.Category,
               FFigCure->CurrentFailure() == cfNotBackedUp ? L"Cure.NotBackedUp"
                                                           : L"Cure.NotChanged"};
  } else if (aStatus == csIgnored && FFigCure->CurrentFailure() == cfExcluded) {
    outcome = {TFindingState::Failed, aItem.Category, L"Cure.Excluded"};
  } else if (aItem.LocationStyle == lsRegistryItem) {
    // Its line reaches the registry only when the registry editor imports it at the end.
    outcome = {TFindingState::AwaitingImport, aItem.Category, L""};
  } else {
    outcome = {TFindingState::Repaired, aItem.Category, L""};
  }
  SetOutcome(aCurrentIndex, std::move(outcome));
  if (aItem.Category < kCategorySlots)
    FCureProgressCategories[aItem.Category] = true;
  FCureProgressCategory = aItem.Category;
  FCureProgressIndex = aCurrentIndex;
  FCureProgressMax = aMax;
  // The first outcome shows at once; those that follow, with the timer.
  if (!tmrCureProgress->Enabled()) {
    ShowCureProgress();
    tmrCureProgress->SetEnabled(true);
  }
}

void TfrmMain::ShowCureProgress() {
  if (FCureProgressIndex < 0)
    return;
  for (const TfrmMaintain::TCategoryRow& row : FMaintain->Rows()) {
    if (row.Category < kCategorySlots && FCureProgressCategories[row.Category])
      SetCategoryFixedLabel(row.Category);
  }
  if (FMaintain->Row(FCureProgressCategory) != nullptr)
    SetStatusText(L"[" + FEngine->GetAppString(CategoryTitleKey(FCureProgressCategory)) +
                  L"].....");
  FMaintain->sgScan->SetMax(FCureProgressMax);
  FMaintain->sgScan->SetPosition(FCureProgressIndex);
  FCureProgressCategories.fill(false);
  FCureProgressIndex = -1;
}

void TfrmMain::tmrCureProgressTimer() {
  if (FCureProgressIndex < 0) {
    tmrCureProgress->SetEnabled(false);
    return;
  }
  ShowCureProgress();
}

bool TfrmMain::SettleRepairRun(bool aAborted) {
  const bool imported = FFigCure->LastImportStatus() == isImported;
  bool importFailed = false;
  bool failed = false;
  for (size_t i = 0; i < FOutcomes.size(); ++i) {
    TFindingOutcome outcome = FOutcomes[i];
    if (outcome.State == TFindingState::AwaitingImport) {
      if (imported) {
        outcome.State = TFindingState::Repaired;
      } else if (aAborted) {
        // A stopped run applies no fix lines: the finding is as it was before the run.
        outcome.State = TFindingState::Open;
      } else {
        outcome = {TFindingState::Failed, outcome.Category, L"Cure.NotImported"};
        importFailed = true;
      }
    } else if (outcome.State == TFindingState::Trying) {
      outcome = aAborted
                    ? TFindingOutcome{}
                    : TFindingOutcome{TFindingState::Failed, outcome.Category, L"Cure.NotReached"};
    }
    // What was repaired is not repaired again.
    if (outcome.State == TFindingState::Repaired)
      FFigCure->SetChecked(static_cast<int>(i), false);
    failed =
        failed || outcome.State == TFindingState::Failed || outcome.State == TFindingState::InUse;
    SetOutcome(static_cast<int>(i), std::move(outcome));
  }
  if (importFailed) {
    FEngine->ShowMessageEx(L"MSGBox.CureImportFailed", {FFigCure->LastError()}, false, mr::None,
                           mb::OK, TMsgDlgType::mtError, 0);
  }
  for (const TfrmMaintain::TCategoryRow& row : FMaintain->Rows()) {
    if (row.Result->Visible())
      SetCategoryFixedLabel(row.Category);
  }
  return failed;
}

void TfrmMain::FigCureFinished() {
  ShowCureProgress();
  tmrCureProgress->SetEnabled(false);
  FClearNow = false;
  const bool aborted = std::exchange(FCureAborted, false);
  if (FFigCure->LastRunNotStarted()) {
    // Nothing was changed: the findings wait as the scan left them, and the user hears why.
    SettleRepairRun(true);
    ShowResultsState();
    FMaintain->sgScan->Hide();
    FMaintain->lblInfo->Show();
    for (const TfrmMaintain::TCategoryRow& row : FMaintain->Rows())
      FMaintain->CategoryFinished(row.Category, CategoryCount(row.Category));
    SetStatusKey(L"SState.ScanFinished");
    FEngine->ShowMessageEx(L"MSGBox.CureNotStarted", {FFigCure->LastError()}, false, mr::None,
                           mb::OK, TMsgDlgType::mtError, 0);
    return;
  }
  const bool failed = SettleRepairRun(aborted);
  // A stopped run reports its end too; the window then stays with the findings.
  if (aborted)
    return;
  if (failed) {
    // What was not repaired waits, with its reason, in the result list.
    ShowResultsState();
    FMaintain->sgScan->Hide();
    FMaintain->lblInfo->Show();
    SetStatusKey(L"State.NotAllRepaired");
    for (const TfrmMaintain::TCategoryRow& row : FMaintain->Rows())
      ShowNotRepairedLink(row.Category);
    return;
  }
  SetButtons(KNormal, KInvisibled, KInvisibled, KNormal, KNormal, KNormal);
  SetMainAction(actScan);
  FMaintain->sgScan->Hide();
  FMaintain->lblInfo->Show();
  SetStatusKey(L"State.Ready");
  FMaintain->SetCategoryBoxesEnabled(true);
}

void TfrmMain::FigCureAbort() {
  ShowCureProgress();
  tmrCureProgress->SetEnabled(false);
  FCureAborted = true;
  ShowResultsState();
  FMaintain->sgScan->Hide();
  FMaintain->HideResults();
}
