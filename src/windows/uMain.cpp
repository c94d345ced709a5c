#include "windows/uMain.h"

#include "windows/CLAboutForm.h"
#include "windows/CLUpdateForm.h"

#include "appengine/FigEngineSettings.h"
#include "appengine/FigWinapp2Source.h"
#include "base/CLHelpers.h"
#include "base/CLIniFiles.h"
#include "base/CLSettings.h"
#include "components/CLPlace.h"
#include "components/CLSkin.h"
#include "engine/FigExclusions.h"
#include "engine/FigPrograms.h"
#include "platform/FileIO.h"
#include "windows/CLWindowLanguage.h"
#include "windows/uHome.h"
#include "windows/uMaintain.h"
#include "windows/uProgramCheck.h"
#include "windows/uScanedResult.h"
#include "windows/uSchedule.h"
#include "windows/uStatistics.h"
#include "windows/uUtilities.h"

#include <algorithm>

namespace {

// The launch timer's delay after start-up.
constexpr uint32_t kLaunchDelayMs = 2500;
// How often a repair's progress is shown while its outcomes come in.
constexpr uint32_t kCureProgressMs = 100;

// Layout at 96 DPI; the settings' layout values replace it.
constexpr int kFormWidth = 780;
constexpr int kFormHeight = 560;
constexpr int kHeaderHeight = 64;
constexpr int kButtonPanelWidth = 160;
constexpr int kContainerLeft = 166;
constexpr int kContainerWidth = 600;
constexpr int kContainerHeight = 440;

ICLMessageBox*& DefaultMessageBox() {
  static ICLMessageBox* box = nullptr;
  return box;
}

} // namespace

std::wstring ScanPlaceText(TLocationStyle aLocationStyle, const std::wstring& aRoot,
                           const std::wstring& aPath, const std::wstring& aName) {
  if (aLocationStyle == lsRegistry) {
    const std::wstring place = aPath + L"\\" + aName;
    if (place.size() <= 20)
      return aRoot + L"\\" + place;
    return aRoot + L"..." + place.substr(place.size() - 20);
  }
  if (aLocationStyle == lsDisk) {
    const std::wstring place = JoinPath(aRoot, aName);
    if (place.size() > 30)
      return place.substr(0, 3) + L"..." + place.substr(place.size() - 30);
    return place;
  }
  return L"";
}

std::wstring ResultPositionText(const TFigScanedItem& aItem) {
  if (aItem.FigResult.Reason == frNeedSweep)
    return AppText(L"Result.CurrentPC");
  if (aItem.LocationStyle == lsDisk)
    return aItem.ScanedRoot + aItem.ScanedName;
  // Root, key and value are separated as a registry path is written, so that the position
  // names the place exactly.
  std::wstring position = aItem.ScanedRoot;
  if (!aItem.ScanedPath.empty())
    position += L"\\" + aItem.ScanedPath;
  if (!aItem.ScanedSection.empty())
    position += L"\\" + aItem.ScanedSection;
  return position + L"[" + aItem.ScanedName + L"]";
}

// --- Creation

TfrmMain::TfrmMain(TComponent* aOwner)
    : TForm(aOwner, L"TfrmMain"), FFigCure(std::make_unique<TFigCure>()),
      FFigEngine(std::make_unique<TFigEngine>()) {
  SetName(L"frmMain");
  SetBounds(0, 0, kFormWidth, kFormHeight);
  // The layout is made for one size: the window is neither sized nor maximised.
  SetBorderStyle(TFormBorderStyle::bsSingle);
  FLanguageData = NewComponent<TCLMultiLangData>(this, L"CLMultiLangData1");
  FLanguageData->DefaultData().LoadFromString(CLBuiltInEnglish());
  FEngine = NewComponent<TCLEngine>(this, L"CLEngine1");
  FEngine->SetLanguageData(FLanguageData);
  FEngine->SetMessageBox(DefaultMessageBox());
  CLMultiLang1 = NewComponent<TCLMultiLang>(this, L"CLMultiLang1");
  CLMultiLang1->SetLanguageData(FLanguageData);

  CreateActions();
  CreateMenus();

  // The links are wide enough for the longer texts of other languages.
  // clang-format off
  static const TCLPlace kControls[] = {
      {Field<&TfrmMain::pnlBtnPanel>, L"pnlBtnPanel", nullptr,
       {0, kHeaderHeight, kButtonPanelWidth, kContainerHeight}},
      {Field<&TfrmMain::pnlContainer>, L"pnlContainer", nullptr,
       {kContainerLeft, kHeaderHeight, kContainerWidth, kContainerHeight}},
      {Field<&TfrmMain::llTellAFriend>, L"llTellAFriend", nullptr, {280, 24, 112, 18}},
      {Field<&TfrmMain::llUpdate>, L"llUpdate", nullptr, {396, 24, 160, 18}},
      {Field<&TfrmMain::llRestore>, L"llRestore", nullptr, {560, 24, 100, 18}},
      {Field<&TfrmMain::llSettings>, L"llSettings", nullptr, {660, 24, 110, 18}},
  };
  // clang-format on
  PlaceControls(*this, kControls);
  llUpdate->SetAction(actUpdate);
  llRestore->SetAction(actRestore);
  llSettings->SetAction(actSettings);
  llTellAFriend->OnClick = [this](TObject&) { TellAFriend(); };

  il16 = NewComponent<TImageList>(this, L"il16");
  il16->SetSize(16, 16);
  il32 = NewComponent<TImageList>(this, L"il32");
  il32->SetSize(32, 32);
  spTray = NewComponent<TTrayIcon>(this, L"spTray");
  spTray->SetPopupMenu(pmTray);
  spTray->OnClick = [this](TObject&) { actOpen->Execute(); };
  spTray->OnDblClick = [this](TObject&) { actOpen->Execute(); };
  SetPopupMenu(pmSys);

  tmrCleannow = NewComponent<TTimer>(this, L"tmrCleannow");
  tmrCleannow->SetEnabled(false);
  tmrCleannow->SetInterval(kLaunchDelayMs);
  tmrCleannow->OnTimer = [this](TObject&) { tmrCleannowTimer(); };
  tmrSchedule = NewComponent<TTimer>(this, L"tmrSchedule");
  tmrSchedule->SetInterval(1000);
  tmrSchedule->OnTimer = [this](TObject&) { tmrScheduleTimer(); };
  tmrCureProgress = NewComponent<TTimer>(this, L"tmrCureProgress");
  tmrCureProgress->SetEnabled(false);
  tmrCureProgress->SetInterval(kCureProgressMs);
  tmrCureProgress->OnTimer = [this](TObject&) { tmrCureProgressTimer(); };
  FEngine->OnCmdFile = [this](const std::wstring& strFileName) { CLEngineCmdFile(strFileName); };

  OnClose = [this](TObject&, TCloseAction& aAction) { FormClose(aAction); };
  // The bar's buttons and the status line follow the language.
  FEngine->OnLanguageChanged = [this](TObject&) {
    UpdateButtonCaptions();
    if (!FStatusKey.empty())
      SetStatusKey(FStatusKey);
  };
  HookEngines();
  FEngine->SetSkinData(NewComponent<TCLSkinData>(this, L"CLSkinData1"));
  FEngine->SetLanguageMenuItem(miLanguage);
  FEngine->SetSkinMenuItem(miSkin);
  Loaded();
  FormCreate();
}

void TfrmMain::CreateActions() {
  auto make = [this](const wchar_t* aName, std::function<void()> aExecute) {
    TAction* action = NewComponent<TAction>(this, aName);
    if (aExecute) {
      action->OnExecute = [execute = std::move(aExecute)](TObject&) { execute(); };
    } else {
      // Its window is not part of the program yet.
      action->SetEnabled(false);
    }
    return action;
  };
  actHome = make(L"actHome", [this] {
    FHome->SetWidth(pnlContainer->Width());
    ShowPage(FHome);
  });
  actMaintainWindows = make(L"actMaintainWindows", [this] { ShowPage(FMaintain); });
  actTools = make(L"actTools", [this] { actToolsExecute(); });
  actRestore = make(L"actRestore", [this] { actRestoreExecute(); });
  actSettings = make(L"actSettings", [this] { actSettingsExecute(); });
  actUpdate = make(L"actUpdate", [this] { AppUpdate(*FEngine, false); });
  actScan = make(L"actScan", [this] { actScanExecute(); });
  actStop = make(L"actStop", [this] {
    FFigEngine->Abort();
    FMaintain->ResetCategoryLabel();
  });
  actCure = make(L"actCure", [this] { actCureExecute(); });
  actStopCure = make(L"actStopCure", [this] {
    FFigCure->Abort();
    FMaintain->ResetCategoryLabel();
  });
  actCleanNow = make(L"actCleanNow", [this] {
    if (Busy())
      return;
    FClearNow = true;
    actScan->Execute();
    // A refused scan must not leave the next one repairing without asking.
    if (!FFigEngine->IsRunning())
      FClearNow = false;
  });
  actAbout = make(L"actAbout", [this] { AppAbout(*FEngine); });
  actHomePage = make(L"actHomePage", [this] { FEngine->ShowPage(L"home"); });
  actHelpCenter = make(L"actHelpCenter", [this] { FEngine->ShowPage(L"help"); });
  actExit = make(L"actExit", [this] { actExitExecute(); });
  actViewRestorePoint = make(L"actViewRestorePoint", [this] { actViewRestorePointExecute(); });
  actOpen = make(L"actOpen", [this] { RestoreFromTray(); });
  actAlwaysOnTop = make(L"actAlwaysOnTop", [this] { actAlwaysOnTopExecute(); });
}

TMenuItem* TfrmMain::AddMenuItem(TPopupMenu* aMenu, const std::wstring& aName, TAction* aAction) {
  TMenuItem* item = NewComponent<TMenuItem>(this, aName);
  if (aAction != nullptr)
    item->SetAction(aAction);
  else
    item->SetCaption(L"-");
  aMenu->Items().Add(item);
  return item;
}

void TfrmMain::CreateMenus() {
  pmTray = NewComponent<TPopupMenu>(this, L"pmTray");
  AddMenuItem(pmTray, L"miOpen", actOpen);
  miScan = AddMenuItem(pmTray, L"miScan", actScan);
  AddMenuItem(pmTray, L"miTrayLine1", nullptr);
  AddMenuItem(pmTray, L"miTraySettings", actSettings);
  AddMenuItem(pmTray, L"miTrayUpdate", actUpdate);
  AddMenuItem(pmTray, L"miTrayLine2", nullptr);
  AddMenuItem(pmTray, L"miTrayHelpCenter", actHelpCenter);
  AddMenuItem(pmTray, L"miTrayHomePage", actHomePage);
  AddMenuItem(pmTray, L"miTrayAbout", actAbout);
  AddMenuItem(pmTray, L"miExit", actExit);

  pmSys = NewComponent<TPopupMenu>(this, L"pmSys");
  AddMenuItem(pmSys, L"miAlwaysOnTop", actAlwaysOnTop);
  AddMenuItem(pmSys, L"miSysLine1", nullptr);
  AddMenuItem(pmSys, L"miSysSettings", actSettings);
  AddMenuItem(pmSys, L"miSysUpdate", actUpdate);
  miSysViewRestorePoint = AddMenuItem(pmSys, L"miSysViewRestorePoint", actViewRestorePoint);
  AddMenuItem(pmSys, L"miSysLine2", nullptr);
  AddMenuItem(pmSys, L"miSysHomePage", actHomePage);
  AddMenuItem(pmSys, L"miSysHelpCenter", actHelpCenter);
  AddMenuItem(pmSys, L"miSysAbout", actAbout);
  // The engine fills these with one entry per language and skin (hidden with only one).
  AddMenuItem(pmSys, L"miSysLine3", nullptr);
  miLanguage = NewComponent<TMenuItem>(this, L"miLanguage");
  pmSys->Items().Add(miLanguage);
  miSkin = NewComponent<TMenuItem>(this, L"miSkin");
  pmSys->Items().Add(miSkin);
}

void TfrmMain::HookEngines() {
  FFigEngine->SetFigCure(FFigCure.get());
  FFigEngine->OnTopicLoaded = [this](TObject&) { FigEngineTopicLoaded(); };
  FFigEngine->OnStarted = [this](TObject&) { FigEngineStarted(); };
  FFigEngine->OnCategoryStarted = [this](TTopicCategory aCategory) {
    FMaintain->CategoryStarted(aCategory);
  };
  FFigEngine->OnCategoryFinished = [this](TTopicCategory aCategory) {
    FMaintain->CategoryFinished(aCategory, CategoryCount(aCategory));
  };
  FFigEngine->OnTopicProcessing = [this](const std::wstring&, TLocationStyle aLocationStyle,
                                         const std::wstring& aRoot, const std::wstring& aPath,
                                         const std::wstring&, const std::wstring& aName,
                                         int32_t aCurrentPer) {
    FigEngineTopicProcessing(aLocationStyle, aRoot, aPath, aName, aCurrentPer);
  };
  FFigEngine->OnTopicMatched = [this](const TFigScanedItem& aItem) {
    FigEngineTopicMatched(aItem);
  };
  FFigEngine->OnTopicFinished = [this](TFigTopic& aTopic) { FigEngineTopicFinished(aTopic); };
  FFigEngine->OnFinished = [this](TObject&) { FigEngineFinished(); };
  FFigEngine->OnAbort = [this](TObject&) { FigEngineAbort(); };

  FFigCure->OnStarted = [this](TObject&) { FigCureStarted(); };
  FFigCure->OnCured = [this](const TFigScanedItem& aItem, TFigCureStatus aStatus, int aCurrentIndex,
                             int aMax) { FigCureCured(aItem, aStatus, aCurrentIndex, aMax); };
  FFigCure->OnFinished = [this](TObject&) { FigCureFinished(); };
  FFigCure->OnAbort = [this](TObject&) { FigCureAbort(); };
}

void TfrmMain::FormCreate() {
  const std::wstring appPath = GetAppPath();
  TCLSettings& settings = GetCLSettings();
  if (const std::wstring icon = JoinPath(appPath, L"res\\icon.ico"); kplat::FileExists(icon))
    spTray->LoadIcon(icon);
  spTray->SetVisible(true);

  CreateAllWindow();
  FClearNow = false;
  FTopicDbProblem = LoadTopicDatabase(*FFigEngine, JoinPath(appPath, L"data\\topic.db"), *FEngine);
  LoadWinapp2Topics(*FFigEngine);
  FHome->Refresh();
  FMaintain->SetCategorySwitches(LoadCategorySwitches());

  // A folder that cannot be made is reported when a repair needs it.
  const std::wstring backupPath = BackupFolderIn(settings.UserDataPath());
  FFigCure->SetBackupPath(backupPath);
  ForceBackupFolder(backupPath);
  FFigEngine->SetExclusionsFile(ExclusionsFileIn(settings.UserDataPath()));
  FFigCure->SetExclusionsFile(FFigEngine->ExclusionsFile());

  if (FTopicDbProblem.empty()) {
    SetStatusKey(L"State.Ready");
  } else {
    // Nothing to scan with: the user hears which file is wrong, and the status line keeps it.
    actScan->SetEnabled(false);
    actCleanNow->SetEnabled(false);
    FEngine->ShowMessageEx(L"TopicDb.Error", {FTopicDbProblem}, false, mr::None, mb::OK,
                           TMsgDlgType::mtError, 0);
    SetStatusText(FEngine->GetAppStringEx(L"TopicDb.Error", {FTopicDbProblem}));
    FMaintain->lblInfo->SetWordWrap(true);
    FMaintain->lblInfo->SetHeight(FMaintain->lblInfo->Height() * 4);
  }
  // The window is made once, at its final size and place: the layout and the stay-on-top state
  // come before the first page asks for it.
  ApplyLayout();
  // A window kept on top stays so from one run to the next.
  actAlwaysOnTop->SetChecked(settings.GetSettingBool(L"AlwaysOnTop"));
  SetStayOnTop(actAlwaysOnTop->Checked());
  if (!actHome->Execute())
    actMaintainWindows->Execute();

  il16->LoadFromFile(JoinPath(appPath, L"res\\16.png"));
  if (!il32->LoadFromFile(JoinPath(appPath, L"res\\32.png"))) {
    FEngine->ShowMessageEx(L"MsgBox.LoadResourceError", {}, false, mr::None, mb::OK,
                           TMsgDlgType::mtError, 0);
  }

  PlaceBtnPanel(pnlBtnPanel);
  FDefaultSettingPage = 0;
  tmrCleannow->SetEnabled(true);
}

void TfrmMain::ApplyLayout() {
  const TCLSettings& settings = GetCLSettings();
  auto get = [&settings](const wchar_t* aName) { return settings.GetSettingInteger(aName); };
  pnlContainer->SetBounds(get(L"Container.L"), get(L"Container.T"), get(L"Container.W"),
                          get(L"Container.H"));
  pnlBtnPanel->SetBounds(get(L"ButtonPanel.L"), get(L"ButtonPanel.T"), get(L"ButtonPanel.W"),
                         get(L"ButtonPanel.H"));
  if (const int left = get(L"llRestore.L"); left > 0)
    llRestore->SetLeft(left);
  if (const int top = get(L"llRestore.T"); top > 0)
    llRestore->SetTop(top);
  if (const int left = get(L"llSettings.L"); left > 0)
    llSettings->SetLeft(left);
  if (const int top = get(L"llSettings.T"); top > 0)
    llSettings->SetTop(top);
  if (const int width = get(L"MainForm.W"); width != 0)
    SetWidth(width);
  if (const int height = get(L"MainForm.H"); height != 0)
    SetHeight(height);
}

void TfrmMain::SetDefaultMessageBox(ICLMessageBox* aMessageBox) {
  DefaultMessageBox() = aMessageBox;
}

TfrmMain::~TfrmMain() {
  FormDestroy();
  // Freeing the engines waits for their workers and serves the main thread meanwhile: no timer
  // may reach an engine that is half freed.
  tmrSchedule->SetEnabled(false);
  tmrCleannow->SetEnabled(false);
  // The engines go first: no event of theirs may reach the pages while they are freed.
  FFigEngine.reset();
  FFigCure.reset();
  DestroyComponents();
}

void TfrmMain::FormDestroy() {
  if (FMaintain == nullptr)
    return;
  const TFigCategorySwitches switches = FMaintain->CategorySwitches();
  TCLSettings& settings = GetCLSettings();
  settings.SetSettingBool(L"Switch.RegistryFix", switches[0]);
  settings.SetSettingBool(L"Switch.PrivacySweep", switches[1]);
  settings.SetSettingBool(L"Switch.JunkFilesClean", switches[2]);
  settings.SetSettingBool(L"Switch.SystemOptimization", switches[3]);
}

void TfrmMain::CreateAllWindow() {
  if (FMaintain == nullptr) {
    FMaintain = new TfrmMaintain(this, *this, FLanguageData);
    SetMainAction(actScan);
  }
  if (FUtilities == nullptr)
    FUtilities = new TfrmUtilities(this, il32);
  if (FHome == nullptr) {
    THomeHost host;
    host.Engine = FFigEngine.get();
    host.OpenSettings = [this](int aPage) {
      FDefaultSettingPage = aPage;
      actSettings->Execute();
      FDefaultSettingPage = 0;
    };
    FHome = new TfrmHome(this, std::move(host));
  }
}

void TfrmMain::PlaceBtnPanel(TWinControl* aContainer) {
  if (FButtonPanel == nullptr) {
    FButtonPanel = NewComponent<TfrmButtonPanel>(this, L"frmButtonPanel");
    FButtonPanel->OnButtonRelease = [this](const std::wstring& aName) { ButtonRelease(aName); };
  }
  const TCLSettings& settings = GetCLSettings();
  FButtonPanel->LoadPlayer(settings.GetSettingInteger(L"ButtonPanel.W"),
                           settings.GetSettingInteger(L"ButtonPanel.H"));
  UpdateButtonCaptions();
  const bool home = FHome != nullptr && FHome->Visible();
  SetButtons(KNormal, KInvisibled, KInvisibled, home ? KDown : KNormal, home ? KNormal : KDown,
             KNormal);
  // Its buttons' windows are made last, in their final places and states.
  FButtonPanel->SetParent(aContainer);
}

void TfrmMain::UpdateButtonCaptions() {
  if (FButtonPanel == nullptr)
    return;
  const std::pair<const wchar_t*, TAction*> captions[] = {
      {L"Home", actHome}, {L"Adv", actMaintainWindows}, {L"Utilities", actTools},
      {L"Scan", actScan}, {L"Cure", actCure},           {L"Stop", actStop}};
  for (const auto& [name, action] : captions)
    FButtonPanel->Button(name)->SetCaption(action->Caption());
}

// --- Operations

void TfrmMain::DoScan() {
  LoadFigEngineSettings();
  ClearResultList();
  FFigEngine->StartScan();
}

void TfrmMain::DoCure() {
  // A program that holds ticked findings is named, to be closed or its findings skipped; a run
  // nobody watches skips them by itself.
  if (!FFigCure->Unattended() &&
      !SettleRunningPrograms(*FFigCure, [this](const THeldFindings& aHeld) {
        const TModalResult answer = FEngine->ShowMessageEx(
            L"MSGBox.CloseProgram", {ProgramCaption(aHeld.Program), aHeld.Caption}, false, mr::None,
            mb::Retry | mb::Ignore | mb::Cancel, TMsgDlgType::mtWarning, 0);
        return answer == mr::Retry    ? TProgramAnswer::TryAgain
               : answer == mr::Ignore ? TProgramAnswer::Skip
                                      : TProgramAnswer::Cancel;
      }))
    return;
  FFigCure->SetQuarantineBytes(QuarantineBytesSetting());
  // What cannot be undone is said before anything is deleted.
  if (!FFigCure->Unattended()) {
    const TUndoPlan plan = FFigCure->PlanUndo();
    std::wstring lost;
    if (plan.PermanentFiles > 0)
      lost = FEngine->GetAppStringEx(L"MSGBox.CureFilesNoUndo",
                                     {std::to_wstring(plan.PermanentFiles),
                                      FormatMegabytes(double(plan.PermanentBytes))}) +
             L" ";
    if (plan.SweepActions > 0)
      lost += FEngine->GetAppString(L"MSGBox.CureSweepNoUndo") + L" ";
    if (!lost.empty() && FEngine->ShowMessageEx(
                             L"MSGBox.CureUndo",
                             {std::to_wstring(plan.RestorableFiles),
                              FormatMegabytes(double(plan.RestorableBytes)), lost},
                             false, mr::None, mb::YesNo, TMsgDlgType::mtConfirmation, 0) != mr::Yes)
      return;
  }
  // A run whose backup file or index cannot be written changes nothing; the user hears why.
  if (!FFigCure->StartCure())
    FEngine->ShowMessageEx(L"MSGBox.CureNotStarted", {FFigCure->LastError()}, false, mr::None,
                           mb::OK, TMsgDlgType::mtError, 0);
}

void TfrmMain::LoadFigEngineSettings() {
  ::LoadFigEngineSettings(*FFigEngine, FMaintain->CategorySwitches());
}

void TfrmMain::SetStatusText(const std::wstring& aStr) {
  FStatusKey.clear();
  FMaintain->lblInfo->SetCaption(aStr);
}

void TfrmMain::SetStatusKey(const std::wstring& aKey) {
  SetStatusText(FEngine->GetAppString(aKey));
  FStatusKey = aKey;
}

void TfrmMain::ClearResultList() {
  FCategoryCounts.fill(0);
}

void TfrmMain::ClearFixedResultList() {
  FOutcomes.clear();
  for (auto& counts : FOutcomeCounts)
    counts.fill(0);
}

int TfrmMain::CategoryCount(TTopicCategory aCategory) const {
  return aCategory < kCategorySlots ? FCategoryCounts[aCategory] : 0;
}

int TfrmMain::CategoryFixedCount(TTopicCategory aCategory) const {
  return CountOutcomes(aCategory, TFindingState::Repaired) +
         CountOutcomes(aCategory, TFindingState::AwaitingImport);
}

const TfrmMain::TFindingOutcome& TfrmMain::Outcome(int aIndex) const {
  static const TFindingOutcome kNeverTried;
  return aIndex >= 0 && static_cast<size_t>(aIndex) < FOutcomes.size()
             ? FOutcomes[static_cast<size_t>(aIndex)]
             : kNeverTried;
}

void TfrmMain::SetOutcome(int aIndex, TFindingOutcome aOutcome) {
  if (aIndex < 0)
    return;
  if (static_cast<size_t>(aIndex) >= FOutcomes.size())
    FOutcomes.resize(static_cast<size_t>(aIndex) + 1);
  TFindingOutcome& outcome = FOutcomes[static_cast<size_t>(aIndex)];
  const auto count = [this](const TFindingOutcome& aOf) -> int* {
    const auto state = static_cast<size_t>(aOf.State);
    // Open is never asked after: most findings stay so, and need no count.
    return aOf.State != TFindingState::Open && aOf.Category < kCategorySlots &&
                   state < kFindingStates
               ? &FOutcomeCounts[aOf.Category][state]
               : nullptr;
  };
  if (int* before = count(outcome))
    --*before;
  outcome = std::move(aOutcome);
  if (int* after = count(outcome))
    ++*after;
}

int TfrmMain::CountOutcomes(TTopicCategory aCategory, TFindingState aState) const {
  const auto state = static_cast<size_t>(aState);
  return aCategory < kCategorySlots && state < kFindingStates ? FOutcomeCounts[aCategory][state]
                                                              : 0;
}

void TfrmMain::RestoreFromTray() {
  ShowForm();
  SetWindowState(TWindowState::wsNormal);
}

void TfrmMain::MinimizeToTray() {
  HideForm();
}

void TfrmMain::ShowResultList(TTopicCategory aCategory) {
  const wchar_t* x = nullptr;
  switch (aCategory) {
  case tcARegFix:
    x = L"RegistryFix";
    break;
  case tcBPrivacySweep:
    x = L"PrivacySweep";
    break;
  case tcCJunkFile:
    x = L"JunkFilesClean";
    break;
  case tcDSystemOptimization:
    x = L"SystemOptimization";
    break;
  default:
    return;
  }
  const std::unique_ptr<TfrmScanedResult> dialog =
      std::make_unique<TfrmScanedResult>(this, FLanguageData);
  dialog->lblTitle->SetCaption(FEngine->GetAppString(std::wstring(L"Title.") + x));
  dialog->tlTips->SetCaption(FEngine->GetAppString(std::wstring(L"Tips.") + x));
  dialog->lvResult->SetSmallImages(il16);
  dialog->OnIgnore = [this, &dialog](const TListItem& aRow, bool aContainer) {
    return IgnoreFinding(*dialog, aRow, aContainer);
  };
  // What the user excluded since the scan is no longer a finding either.
  TFigExclusions exclusions;
  exclusions.Load(FFigEngine->ExclusionsFile());
  const TFigExclusionMatcher excluded(exclusions.Items());
  for (int i = 0; i < FFigCure->ItemCount(); ++i) {
    const TFigScanedItem& item = FFigCure->GetMatchedItem(i);
    // What was repaired is no longer a finding.
    const TFindingOutcome& outcome = Outcome(i);
    if (item.Category != aCategory || outcome.State == TFindingState::Repaired ||
        excluded.Covers(item))
      continue;
    TListItem& row = dialog->lvResult->Items().Add();
    row.SetCaption(item.RuleCaption);
    row.SetImageIndex(0);
    std::wstring reason =
        FEngine->GetAppString(std::wstring(L"Reason.") + GetEnumName(item.FigResult.Reason));
    if (item.Kept)
      reason = FEngine->GetAppStringEx(L"Cure.KeptWarning", {reason});
    if (outcome.State == TFindingState::Failed || outcome.State == TFindingState::InUse)
      reason = FEngine->GetAppStringEx(L"Cure.NotRepaired",
                                       {reason, FEngine->GetAppString(outcome.FailureKey)});
    row.SubItems().Add(reason);
    row.SubItems().Add(std::to_wstring(item.FigResult.Level));
    row.SubItems().Add(ResultPositionText(item));
    row.SubItems().Add(std::to_wstring(item.SID));
    row.SetChecked(item.Checked);
  }
  if (dialog->ShowModal() != mr::OK)
    return;
  for (int i = 0; i < dialog->lvResult->Items().Count(); ++i) {
    const TListItem& row = dialog->lvResult->Items().Item(i);
    FFigCure->SetChecked(ParseIniInteger(row.SubItems().Strings(3)).value_or(-1), row.Checked());
  }
}

std::vector<int> TfrmMain::IgnoreFinding(const TfrmScanedResult& aDialog, const TListItem& aRow,
                                         bool aContainer) {
  const auto sidOf = [](const TListItem& aItem) {
    return ParseIniInteger(aItem.SubItems().Strings(3)).value_or(-1);
  };
  const int sid = sidOf(aRow);
  if (sid < 0 || sid >= FFigCure->ItemCount())
    return {};
  const std::wstring place = ExclusionPlaceOf(FFigCure->GetMatchedItem(sid), aContainer);
  if (place.empty())
    return {};
  const std::wstring& file = FFigEngine->ExclusionsFile();
  TFigExclusions exclusions;
  if (!exclusions.Load(file)) {
    FEngine->ShowMessageEx(
        L"Exclusions.Damaged",
        {file, exclusions.DamagedLine() > 0
                   ? FEngine->GetAppStringEx(L"Exclusions.DamagedLine",
                                             {std::to_wstring(exclusions.DamagedLine())})
                   : FEngine->GetAppString(L"Exclusions.Unreadable")},
        false, mr::None, mb::OK, TMsgDlgType::mtWarning, 0);
    return {};
  }
  if (const TFigExclusionError error = exclusions.Add(place); error != eeNone) {
    FEngine->ShowMessageEx(L"Exclusions.Refused",
                           {place, FEngine->GetAppString(L"Exclusions." + GetEnumName(error))},
                           false, mr::None, mb::OK, TMsgDlgType::mtWarning, 0);
    return {};
  }
  if (const kplat::TErrorCode rc = exclusions.Save(file); rc != kplat::err::Success) {
    FEngine->ShowMessageEx(L"Exclusions.SaveFailed",
                           {L"\"" + file + L"\": " + SystemErrorMessage(rc)}, false, mr::None,
                           mb::OK, TMsgDlgType::mtWarning, 0);
    return {};
  }
  const TFigExclusionMatcher excluded(exclusions.Items());
  std::vector<int> covered;
  for (int i = 0; i < aDialog.lvResult->Items().Count(); ++i) {
    const int rowSid = sidOf(aDialog.lvResult->Items().Item(i));
    if (rowSid >= 0 && excluded.Covers(FFigCure->GetMatchedItem(rowSid)))
      covered.push_back(i);
  }
  DropExcludedFindings(excluded);
  return covered;
}

void TfrmMain::DropExcludedFindings(const TFigExclusionMatcher& aExcluded) {
  std::array<bool, kCategorySlots> changed{};
  for (int i = 0; i < FFigCure->ItemCount(); ++i) {
    const TFigScanedItem& item = FFigCure->GetMatchedItem(i);
    const TFindingState state = Outcome(i).State;
    if (state == TFindingState::Repaired || state == TFindingState::Excluded ||
        !aExcluded.Covers(item))
      continue;
    FFigCure->SetChecked(i, false);
    SetOutcome(i, {TFindingState::Excluded, item.Category, L""});
    if (item.Category < kCategorySlots) {
      --FCategoryCounts[item.Category];
      changed[item.Category] = true;
    }
  }
  for (const TfrmMaintain::TCategoryRow& row : FMaintain->Rows()) {
    if (!changed[row.Category])
      continue;
    row.Link->Hide();
    row.Result->Hide();
    // After a run that left findings the link counts what it left; before any run, the findings.
    if (CountOutcomes(row.Category, TFindingState::Failed) +
            CountOutcomes(row.Category, TFindingState::InUse) >
        0)
      ShowNotRepairedLink(row.Category);
    else if (CategoryFixedCount(row.Category) > 0)
      SetCategoryFixedLabel(row.Category);
    else
      FMaintain->CategoryFinished(row.Category, CategoryCount(row.Category));
  }
}
