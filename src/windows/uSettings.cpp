#include "windows/uSettings.h"

#include "appengine/CLEngine.h"
#include "appengine/FigEngineSettings.h"
#include "base/CLDateUtils.h"
#include "base/CLHelpers.h"
#include "base/CLIniParse.h"
#include "base/CLSettings.h"
#include "components/CLPlace.h"
#include "engine/FigEngine.h"
#include "windows/CLWindowLanguage.h"
#include "windows/uSchedule.h"

#include <cmath>
#include <cwchar>
#include <utility>

namespace {

constexpr int kPageLeft = 196;
constexpr int kPageWidth = 436;
constexpr int kPageHeight = 384;
constexpr int kActionCount = 3;
// The launch time shown when none is stored: now plus 5 minutes 11 seconds.
constexpr double kLaunchTimeOffset = 0.0036;

struct TPageInfo {
  int Number;
  const wchar_t* Panel;
  const wchar_t* Title; // the text name of the page's title and node
};

const TPageInfo kPages[] = {
    {0, L"pnlGeneralSettings", L"SettingsTree.General"},
    {2, L"pnlUpdate", L"SettingsTree.Update"},
    {3, L"pnlBackup", L"SettingsTree.Backup"},
    {4, L"pnlIgnoreList", L"SettingsTree.IgnoreList"},
    {5, L"pnlUserInterface", L"SettingsTree.UserInterface"},
    {10, L"pnlRegistryFix", L"SettingsTree.RegistryFix"},
    {11, L"pnlPrivacySweep", L"SettingsTree.PrivacySweep"},
    {12, L"pnlJunkFilesClean", L"SettingsTree.JunkFiles"},
    {13, L"pnlSystemOptimization", L"SettingsTree.SystemOptimization"},
    {14, L"pnlAutoScan", L"SettingsTree.AutoScan"},
    {15, L"pnlAutoSweep", L"SettingsTree.AutoSweep"},
};

// The controls on the pages and the buttons below them, after the tree and the pages.
using W = TfrmSettings;
// clang-format off
const TCLPlace kControls[] = {
    {Field<&W::cbStartup>, L"cbStartup", L"pnlGeneralSettings", {12, 40, 400, 20}},
    {Field<&W::cbMinimize>, L"cbMinimize", L"pnlGeneralSettings", {12, 64, 400, 20}},
    {Field<&W::cbCleanedShutdown>, L"cbCleanedShutdown", L"pnlGeneralSettings",
     {12, 88, 400, 20}},
    {Field<&W::cbShowGuide>, L"cbShowGuide", L"pnlGeneralSettings", {12, 112, 400, 20}},
    {Field<&W::cbShowBalloon>, L"cbShowBalloon", L"pnlGeneralSettings", {12, 136, 400, 20}},
    {Field<&W::btnClearShowAgainFlag>, L"btnClearShowAgainFlag", L"pnlGeneralSettings",
     {12, 76, 180, 26}},
    {Field<&W::lbRegistryFixList>, L"lbRegistryFixList", L"pnlRegistryFix", {12, 36, 412, 336}},
    {Field<&W::tvPSList>, L"tvPSList", L"pnlPrivacySweep", {12, 36, 412, 248}},
    {Field<&W::lblWinapp2File>, L"lblWinapp2File", L"pnlPrivacySweep", {12, 290, 412, 18}},
    {Field<&W::edtWinapp2File>, L"edtWinapp2File", L"pnlPrivacySweep", {12, 310, 244, 24}},
    {Field<&W::btnWinapp2Choose>, L"btnWinapp2Choose", L"pnlPrivacySweep", {262, 309, 78, 26}},
    {Field<&W::btnWinapp2Fetch>, L"btnWinapp2Fetch", L"pnlPrivacySweep", {346, 309, 78, 26}},
    {Field<&W::lblWinapp2Info>, L"lblWinapp2Info", L"pnlPrivacySweep", {12, 340, 412, 40}},
    {Field<&W::lbJunkFiles>, L"lbJunkFiles", L"pnlJunkFilesClean", {12, 36, 412, 336}},
    {Field<&W::lblSOText>, L"lblSOText", L"pnlSystemOptimization", {12, 36, 412, 48}},
    {Kind<TLabel>, L"lblSOCO", L"pnlSystemOptimization", {12, 96, 150, 20}},
    {Field<&W::cbSOCO>, L"cbSOCO", L"pnlSystemOptimization", {168, 92, 256, 24}},
    {Kind<TLabel>, L"lblSONO", L"pnlSystemOptimization", {12, 128, 150, 20}},
    {Field<&W::cbSONO>, L"cbSONO", L"pnlSystemOptimization", {168, 124, 256, 24}},
    {Field<&W::lblSONothing>, L"lblSONothing", L"pnlSystemOptimization", {12, 156, 412, 32}},
    {Field<&W::tvSOTopics>, L"tvSOTopics", L"pnlSystemOptimization", {12, 192, 412, 66}},
    {Field<&W::lblSOCaption>, L"lblSOCaption", L"pnlSystemOptimization", {12, 262, 412, 42}},
    {Field<&W::llSOReference>, L"llSOReference", L"pnlSystemOptimization", {12, 306, 412, 32}},
    {Field<&W::lblSONote>, L"lblSONote", L"pnlSystemOptimization", {12, 340, 412, 28}},
    {Field<&W::llSOHelp>, L"llSOHelp", L"pnlSystemOptimization", {12, 372, 200, 20}},
    {Field<&W::cbASEnabled>, L"cbASEnabled", L"pnlAutoScan", {12, 36, 412, 20}},
    {Field<&W::cbASDisabled>, L"cbASDisabled", L"pnlAutoScan", {12, 60, 412, 20}},
    // The mode radios have their own parent, so that they do not clear the pair above.
    {Field<&W::pnlASMode>, L"pnlASMode", L"pnlAutoScan", {28, 88, 396, 56}},
    {Field<&W::cbASSModeOnce>, L"cbASSModeOnce", L"pnlASMode", {0, 4, 190, 20}},
    {Field<&W::cbASSModeEveryDay>, L"cbASSModeEveryDay", L"pnlASMode", {196, 4, 190, 20}},
    {Field<&W::cbASSModeEveryWeek>, L"cbASSModeEveryWeek", L"pnlASMode", {0, 30, 190, 20}},
    {Field<&W::cbASSModeEveryMonth>, L"cbASSModeEveryMonth", L"pnlASMode", {196, 30, 190, 20}},
    {Kind<TLabel>, L"lblASTime", L"pnlAutoScan", {28, 156, 120, 20}},
    {Field<&W::edtASHour>, L"edtASHour", L"pnlAutoScan", {152, 152, 56, 24}},
    {Field<&W::edtASMin>, L"edtASMin", L"pnlAutoScan", {216, 152, 56, 24}},
    {Field<&W::lbASAction>, L"lbASAction", L"pnlAutoScan", {28, 188, 396, 76}},
    {Field<&W::cbASWLogin>, L"cbASWLogin", L"pnlAutoSweep", {12, 36, 412, 20}},
    {Field<&W::cbASWLogoff>, L"cbASWLogoff", L"pnlAutoSweep", {12, 60, 412, 20}},
    {Field<&W::cbAutoUpdate>, L"cbAutoUpdate", L"pnlUpdate", {12, 36, 412, 20}},
    {Kind<TLabel>, L"lblMaxBackupFile", L"pnlBackup", {12, 40, 240, 20}},
    {Field<&W::edtMaxBackupFile>, L"edtMaxBackupFile", L"pnlBackup", {256, 36, 64, 24}},
    {Field<&W::lblExclusionsText>, L"lblExclusionsText", L"pnlIgnoreList", {12, 36, 412, 64}},
    {Field<&W::tvExclusions>, L"tvExclusions", L"pnlIgnoreList", {12, 104, 412, 176}},
    {Field<&W::edtExclusion>, L"edtExclusion", L"pnlIgnoreList", {12, 288, 412, 24}},
    {Field<&W::btnExclusionAdd>, L"btnExclusionAdd", L"pnlIgnoreList", {12, 318, 96, 26}},
    {Field<&W::btnExclusionChange>, L"btnExclusionChange", L"pnlIgnoreList",
     {114, 318, 96, 26}},
    {Field<&W::btnExclusionRemove>, L"btnExclusionRemove", L"pnlIgnoreList",
     {216, 318, 96, 26}},
    {Field<&W::lblExclusionsProblem>, L"lblExclusionsProblem", L"pnlIgnoreList",
     {12, 348, 412, 32}},
    {Field<&W::btnRecommend>, L"btnRecommend", nullptr, {kPageLeft, 408, 110, 28}},
    {Field<&W::btnOk>, L"btnOk", nullptr, {376, 408, 80, 28}},
    {Field<&W::btnApply>, L"btnApply", nullptr, {464, 408, 80, 28}},
    {Field<&W::btnCancel>, L"btnCancel", nullptr, {552, 408, 80, 28}},
};
// clang-format on

TCLSettings& Settings() {
  return GetCLSettings();
}

// A decimal number and nothing else (blanks around it allowed).
bool ParseInteger(const std::wstring& aText, int32_t& aValue) {
  const std::wstring text(ini::TrimLine(aText));
  if (text.empty() || text.size() > 10)
    return false;
  wchar_t* end = nullptr;
  const long value = std::wcstol(text.c_str(), &end, 10);
  if (end != text.c_str() + text.size())
    return false;
  aValue = static_cast<int32_t>(value);
  return true;
}

bool ParsesAsInteger(const std::wstring& aText) {
  int32_t value = 0;
  return ParseInteger(aText, value);
}

// The text of a launch time edit to store. One or two digits within the edit's range stay as
// typed; anything else would never match a clock and silently stop the schedule, so it becomes
// the nearest value of the range (its start for a text that is no number), as the spin arrows
// would set it, and the edit shows what is stored.
std::wstring LaunchTimeText(TSpinEdit& aEdit) {
  const std::wstring text = aEdit.Text();
  int32_t value = 0;
  const bool digits = !text.empty() && text.size() <= 2 &&
                      text.find_first_not_of(L"0123456789") == std::wstring::npos;
  if (digits && ParseInteger(text, value) && value >= aEdit.MinValue() && value <= aEdit.MaxValue())
    return text;
  aEdit.SetValue(aEdit.Value());
  return aEdit.Text();
}

// Fills a check list with one line per topic of the category, ticked from aPrefix + name.
void FillTopicList(const TFigEngine& aEngine, TTopicCategory aCategory, TCheckListBox& aList,
                   const std::wstring& aPrefix) {
  aList.Items().Clear();
  TStringList indexes;
  aEngine.GetCategoryList(aCategory, &indexes);
  for (int i = 0; i < indexes.Count(); ++i) {
    int32_t index = 0;
    if (!ParseInteger(indexes.Strings(i), index))
      continue;
    TFigTopic* topic = aEngine.GetTopic(index);
    const int line = aList.Items().Add(topic->GetValue(L"Rule_Caption"), topic);
    aList.SetChecked(line, Settings().GetSettingBool(aPrefix + topic->Name()));
  }
}

// Stores the tick of every line that has a topic as aPrefix + name.
void StoreTopicList(const TCheckListBox& aList, const std::wstring& aPrefix) {
  for (int i = 0; i < aList.Items().Count(); ++i)
    if (const auto* topic = dynamic_cast<const TFigTopic*>(aList.Items().Objects(i)))
      Settings().SetSettingBool(aPrefix + topic->Name(), aList.Checked(i));
}

void RecommendTopicList(TCheckListBox& aList, const std::wstring& aPrefix) {
  for (int i = 0; i < aList.Items().Count(); ++i)
    if (const auto* topic = dynamic_cast<const TFigTopic*>(aList.Items().Objects(i)))
      aList.SetChecked(i, Settings().GetSettingBool(L"Recommend." + aPrefix + topic->Name()));
}

} // namespace

TfrmSettings::TfrmSettings(TComponent* aOwner, TFigEngine& aEngine)
    : TForm(aOwner, L"TfrmSettings"), FEngine(aEngine) {
  SetName(L"frmSettings");
  SetBounds(0, 0, 640, 448);
  CreatePages();
  CreateControls();
  ConnectControls();
  CLMultiLang1 = NewWindowLanguage(*this);
  Loaded();

  // FormCreate.
  FInit = true;
  tvPSList->SetCheckboxes(true);
  BuildLists();
  LoadApplications();
  LoadValues();
  LoadExclusions();
  SetPage(0);
  OnShow = [this](TObject& aSender) { FormShow(aSender); };
}

void TfrmSettings::CreatePages() {
  tvSettingsList = Place<TTreeView>(this, this, L"tvSettingsList", {8, 8, 180, kPageHeight});
  tvSettingsList->SetReadOnly(true);
  tvSettingsList->OnMouseUp = [this](TObject& aSender, TMouseButton aButton, TShiftState aShift,
                                     int aX, int aY) {
    tvSettingsListMouseUp(aSender, aButton, aShift, aX, aY);
  };
  for (const TPageInfo& page : kPages) {
    TPanel* panel = Place<TPanel>(this, this, page.Panel, {kPageLeft, 8, kPageWidth, kPageHeight});
    panel->SetVisible(false);
    Place<TLabel>(this, panel, std::wstring(page.Panel).replace(0, 3, L"lbl") + L"Title",
                  {12, 8, 400, 20})
        ->SetCaption(AppText(page.Title));
    FPages[page.Number] = panel;
  }
  pnlGeneralSettings = FPages[0];
  pnlUpdate = FPages[2];
  pnlBackup = FPages[3];
  pnlIgnoreList = FPages[4];
  pnlUserInterface = FPages[5];
  pnlRegistryFix = FPages[10];
  pnlPrivacySweep = FPages[11];
  pnlJunkFilesClean = FPages[12];
  pnlSystemOptimization = FPages[13];
  pnlAutoScan = FPages[14];
  pnlAutoSweep = FPages[15];

  TTreeNodes& nodes = tvSettingsList->Items();
  auto addNode = [&](TTreeNode* aParent, const wchar_t* aTitle, int aPage) {
    TTreeNode& node = nodes.AddChild(aParent, AppText(aTitle));
    FNodePages[&node] = aPage;
    FPageNodes[aPage] = &node;
    return &node;
  };
  addNode(nullptr, L"SettingsTree.General", 0);
  TTreeNode* maintenance = addNode(nullptr, L"SettingsTree.Maintenance", 1);
  addNode(maintenance, L"SettingsTree.RegistryFix", 10);
  addNode(maintenance, L"SettingsTree.PrivacySweep", 11);
  addNode(maintenance, L"SettingsTree.JunkFiles", 12);
  addNode(maintenance, L"SettingsTree.SystemOptimization", 13);
  addNode(maintenance, L"SettingsTree.AutoScan", 14);
  addNode(maintenance, L"SettingsTree.AutoSweep", 15);
  addNode(nullptr, L"SettingsTree.Update", 2);
  addNode(nullptr, L"SettingsTree.Backup", 3);
  addNode(nullptr, L"SettingsTree.IgnoreList", 4);
}

void TfrmSettings::CreateControls() {
  PlaceControls(*this, kControls);
  // Stored only: the program has no use for them yet.
  for (TCheckBox* hidden : {cbMinimize, cbCleanedShutdown, cbShowGuide, cbShowBalloon, cbASWLogoff})
    hidden->SetVisible(false);
  for (TLabel* label : {lblWinapp2Info, lblSOText, lblSONote, lblSONothing, lblSOCaption,
                        lblExclusionsText, lblExclusionsProblem})
    label->SetWordWrap(true);
  for (TTreeView* tree : {tvSOTopics, tvExclusions})
    tree->SetReadOnly(true);
  edtWinapp2File->SetReadOnly(true);
  cbASSModeOnce->SetChecked(true);
  edtASHour->SetRange(0, 23);
  edtASMin->SetRange(0, 59);
  edtMaxBackupFile->SetRange(1, 100);
  edtMaxBackupFile->SetValue(20);
  btnOk->SetModalResult(mr::OK);
  btnCancel->SetModalResult(mr::Cancel);
}

void TfrmSettings::ConnectControls() {
  btnClearShowAgainFlag->OnClick = [](TObject&) { Settings().ClearShowAgainFlag(); };
  tvPSList->OnMouseDown = [this](TObject& aSender, TMouseButton aButton, TShiftState aShift, int aX,
                                 int aY) { tvPSListMouseDown(aSender, aButton, aShift, aX, aY); };
  tvPSList->OnCheckClick = [this](TTreeNode& aNode) { tvPSListCheckClick(aNode); };
  btnWinapp2Choose->OnClick = [this](TObject&) { btnWinapp2ChooseClick(); };
  btnWinapp2Fetch->OnClick = [this](TObject&) { btnWinapp2FetchClick(); };
  cbSOCO->OnChange = [this](TObject&) { ShowOptimizations(); };
  cbSONO->OnChange = [this](TObject&) { ShowOptimizations(); };
  tvSOTopics->OnChange = [this](TObject&) { ShowOptimizationReference(); };
  llSOReference->OnClick = [this](TObject&) { OpenURLInBrowser(llSOReference->Caption()); };
  llSOHelp->OnClick = [](TObject&) {
    if (TCLEngine* engine = GetCLEngine())
      engine->ShowPage(L"help");
  };
  cbASEnabled->OnClick = [this](TObject&) {
    if (cbASEnabled->Checked())
      SetAutoScanControlsEnabled(true);
  };
  cbASDisabled->OnClick = [this](TObject&) {
    if (cbASDisabled->Checked())
      SetAutoScanControlsEnabled(false);
  };
  tvExclusions->OnChange = [this](TObject&) {
    if (const TTreeNode* node = tvExclusions->Selected())
      edtExclusion->SetText(node->Text());
  };
  btnExclusionAdd->OnClick = [this](TObject&) { EditExclusion(true); };
  btnExclusionChange->OnClick = [this](TObject&) { EditExclusion(false); };
  btnExclusionRemove->OnClick = [this](TObject&) { RemoveExclusion(); };
  btnRecommend->OnClick = [this](TObject& aSender) { btnRecommendClick(aSender); };
  btnOk->OnClick = [this](TObject&) { Save(); };
  btnApply->OnClick = [this](TObject&) { Save(); };
}

void TfrmSettings::BuildLists() {
  FillTopicList(FEngine, tcARegFix, *lbRegistryFixList, L"RegFix.");

  TTreeNodes& nodes = tvPSList->Items();
  nodes.Clear();
  TStringList roots;
  FEngine.GetRootList(tcBPrivacySweep, &roots);
  for (int r = 0; r < roots.Count(); ++r) {
    TStringList children;
    FEngine.GetChildList(tcBPrivacySweep, roots.Strings(r), &children);
    // The community entries have a branch of their own.
    for (int c = children.Count() - 1; c >= 0; --c) {
      const auto* topic = dynamic_cast<const TFigTopic*>(children.Objects(c));
      if (topic != nullptr && topic->Winapp2Entry())
        children.Delete(c);
    }
    if (children.Count() == 0 && roots.Strings(r).empty())
      continue;
    TTreeNode& root = nodes.Add(roots.Strings(r));
    for (int c = 0; c < children.Count(); ++c) {
      auto* topic = dynamic_cast<TFigTopic*>(children.Objects(c));
      TTreeNode& child = nodes.AddChild(&root, children.Strings(c), topic);
      if (topic != nullptr)
        child.SetChecked(Settings().GetSettingBool(L"PrivacySweep." + topic->Name()));
    }
  }
  TickFullRoots();

  FillTopicList(FEngine, tcCJunkFile, *lbJunkFiles, L"JunkFiles.");
  cbSOCO->SetItemIndex(Settings().GetSettingInteger(L"SystemOptimization.CO"));
  cbSONO->SetItemIndex(Settings().GetSettingInteger(L"SystemOptimization.NO"));
  ShowOptimizations();
}

void TfrmSettings::ShowOptimizations() {
  TTreeNodes& nodes = tvSOTopics->Items();
  nodes.Clear();
  const int usage = cbSOCO->ItemIndex();
  const int connection = cbSONO->ItemIndex();
  bool usageHasOwn = false;
  bool connectionHasOwn = false;
  for (int i = 0; i < FEngine.TopicCount(); ++i) {
    TFigTopic* topic = FEngine.GetTopic(i);
    if (topic->Category() != tcDSystemOptimization)
      continue;
    const int32_t level = topic->GetInteger(kTopicKeyLevel, 1);
    if (!OptimizationProfilesReach(level, usage, connection))
      continue;
    nodes.Add(topic->GetValue(L"Rule_Caption"), topic);
    usageHasOwn = usageHasOwn || level == usage + 2;
    connectionHasOwn = connectionHasOwn || level == connection + 12;
  }
  // A choice without a topic of its own changes nothing the choice before it does not.
  std::wstring nothing;
  if (usage >= 0 && !usageHasOwn)
    nothing = AppText(L"Settings.SOUsageAddsNothing");
  if (connection >= 0 && !connectionHasOwn)
    nothing += (nothing.empty() ? L"" : L" ") + AppText(L"Settings.SONetworkAddsNothing");
  lblSONothing->SetCaption(nothing);
  lblSONothing->SetVisible(!nothing.empty());
  ShowOptimizationReference();
}

void TfrmSettings::ShowOptimizationReference() {
  const TTreeNode* node = tvSOTopics->Selected();
  const auto* topic = node ? dynamic_cast<const TFigTopic*>(node->Data()) : nullptr;
  const std::wstring reference = topic ? topic->GetValue(L"REFERENCE") : std::wstring();
  // The list's rows are one line; the whole caption of the selected change reads below it.
  lblSOCaption->SetCaption(topic ? topic->GetValue(L"Rule_Caption") : std::wstring());
  lblSOCaption->SetVisible(topic != nullptr);
  llSOReference->SetCaption(reference);
  llSOReference->SetVisible(!reference.empty());
}

void TfrmSettings::TickFullRoots() {
  TTreeNodes& nodes = tvPSList->Items();
  for (int r = 0; r < nodes.RootCount(); ++r) {
    TTreeNode& root = nodes.Root(r);
    if (&root == FApplications)
      continue;
    bool all = true;
    for (int c = 0; c < root.Count(); ++c)
      all = all && root.Item(c).Checked();
    if (all)
      root.SetChecked(true);
  }
}

void TfrmSettings::LoadValues() {
  const TCLSettings& settings = Settings();
  cbStartup->SetChecked(settings.GetSettingBool(L"General.Startup"));
  cbMinimize->SetChecked(settings.GetSettingBool(L"General.Minimize"));
  cbCleanedShutdown->SetChecked(settings.GetSettingBool(L"General.CleanedShutdown"));
  cbShowGuide->SetChecked(settings.GetSettingBool(L"General.ShowGuide"));
  cbShowBalloon->SetChecked(settings.GetSettingBool(L"General.ShowBalloon"));

  if (settings.GetSettingBool(L"AutoScan.Enabled"))
    cbASEnabled->SetChecked(true);
  else
    cbASDisabled->SetChecked(true);

  const std::wstring hour = settings.GetSettingString(L"AutoScan.LaunchHour");
  const std::wstring minute = settings.GetSettingString(L"AutoScan.LaunchMin");
  if (ParsesAsInteger(hour) && ParsesAsInteger(minute)) {
    edtASHour->SetText(hour);
    edtASMin->SetText(minute);
  } else {
    const TDateParts soon = DecodeDateTime(Now() + kLaunchTimeOffset).value_or(TDateParts{});
    edtASHour->SetText(ZeroPadded(soon.Hour, 2));
    edtASMin->SetText(ZeroPadded(soon.Minute, 2));
  }

  if (TRadioButton* mode = ModeRadio(settings.GetSettingInteger(L"AutoScan.ScanMode")))
    mode->SetChecked(true);
  for (int i = 0; i < kActionCount; ++i)
    lbASAction->SetChecked(i, settings.GetSettingBool(L"AutoScan.Action" + std::to_wstring(i)));

  cbASWLogin->SetChecked(settings.GetSettingBool(L"AutoSweep.Login"));
  cbASWLogoff->SetChecked(settings.GetSettingBool(L"AutoSweep.Logoff"));
  edtMaxBackupFile->SetValue(settings.GetSettingInteger(L"Backup.MaxBackup"));
  cbAutoUpdate->SetChecked(settings.GetSettingBool(L"Update.AutoCheck"));
}

TRadioButton* TfrmSettings::ModeRadio(int aMode) const {
  switch (aMode) {
  case 0:
    return cbASSModeOnce;
  case 1:
    return cbASSModeEveryDay;
  case 2:
    return cbASSModeEveryWeek;
  case 3:
    return cbASSModeEveryMonth;
  default:
    return nullptr;
  }
}

void TfrmSettings::SetAutoScanControlsEnabled(bool aEnabled) {
  for (TControl* control :
       std::initializer_list<TControl*>{cbASSModeOnce, cbASSModeEveryDay, cbASSModeEveryWeek,
                                        cbASSModeEveryMonth, edtASHour, edtASMin, lbASAction})
    control->SetEnabled(aEnabled);
}

void TfrmSettings::SetPage(int aState) {
  const auto page = FPages.find(aState);
  if (page == FPages.end())
    return;
  for (const auto& [number, panel] : FPages)
    panel->SetVisible(number == aState);
  FPage = aState;
  // The tree shows which page is open, however it was opened (a page without a node of its own
  // leaves the selection).
  if (const auto node = FPageNodes.find(aState); node != FPageNodes.end())
    tvSettingsList->SetSelected(node->second);
}

void TfrmSettings::FormShow(TObject&) {
  tvSettingsList->FullExpand();
  FInit = false;
}

void TfrmSettings::tvSettingsListMouseUp(TObject&, TMouseButton, TShiftState, int aX, int aY) {
  const TTreeNode* node = tvSettingsList->GetNodeAt(aX, aY);
  if (node == nullptr)
    return;
  const auto page = FNodePages.find(node);
  if (page != FNodePages.end() && FPages.count(page->second) != 0) {
    for (const auto& [number, panel] : FPages)
      panel->SetVisible(number == page->second);
    FPage = page->second;
  }
}

void TfrmSettings::tvPSListMouseDown(TObject&, TMouseButton, TShiftState, int aX, int aY) {
  TTreeNode* node = tvPSList->GetNodeAt(aX, aY);
  if (node == nullptr || !node->HasChildren() || InApplications(*node))
    return;
  for (int i = 0; i < node->Count(); ++i)
    node->Item(i).SetChecked(node->Checked());
}

void TfrmSettings::Save() {
  SaveExclusions();
  TCLSettings& settings = Settings();
  settings.BeginUpdate();
  settings.SetSettingBool(L"General.Startup", cbStartup->Checked());
  settings.SetSettingBool(L"General.Minimize", cbMinimize->Checked());
  settings.SetSettingBool(L"General.CleanedShutdown", cbCleanedShutdown->Checked());
  settings.SetSettingBool(L"General.ShowGuide", cbShowGuide->Checked());
  settings.SetSettingBool(L"General.ShowBalloon", cbShowBalloon->Checked());

  StoreTopicList(*lbRegistryFixList, L"RegFix.");
  for (const TTreeNode* node : tvPSList->Items().All())
    if (const auto* topic = dynamic_cast<const TFigTopic*>(node->Data()))
      settings.SetSettingBool(L"PrivacySweep." + topic->Name(), node->Checked());
  StoreTopicList(*lbJunkFiles, L"JunkFiles.");

  settings.SetSettingInteger(L"SystemOptimization.CO", cbSOCO->ItemIndex());
  settings.SetSettingInteger(L"SystemOptimization.NO", cbSONO->ItemIndex());
  settings.SetSettingBool(L"AutoScan.Enabled", cbASEnabled->Checked());

  const std::wstring hour = LaunchTimeText(*edtASHour);
  const std::wstring minute = LaunchTimeText(*edtASMin);
  if (settings.GetSettingString(L"AutoScan.LaunchHour") != hour ||
      settings.GetSettingString(L"AutoScan.LaunchMin") != minute)
    settings.SetSettingBool(L"AutoScan.LaunchOnce.Launched", false);
  settings.SetSettingstring(L"AutoScan.LaunchHour", hour);
  settings.SetSettingstring(L"AutoScan.LaunchMin", minute);

  for (int mode = 0; mode <= 3; ++mode)
    if (ModeRadio(mode)->Checked())
      settings.SetSettingInteger(L"AutoScan.ScanMode", mode);

  bool anyAction = false;
  for (int i = 0; i < kActionCount; ++i) {
    settings.SetSettingBool(L"AutoScan.Action" + std::to_wstring(i), lbASAction->Checked(i));
    anyAction = anyAction || lbASAction->Checked(i);
  }
  if (!anyAction) {
    if (TCLEngine* engine = GetCLEngine())
      engine->ShowMessageEx(L"MsgBox.SelectAutoScanItemOrDisabledAutoScan", {}, false, mr::None,
                            mb::OK, TMsgDlgType::mtInformation, 0);
    settings.SetSettingBool(L"AutoScan.Enabled", false);
  }

  settings.SetSettingBool(L"AutoSweep.Login", cbASWLogin->Checked());
  UpdateRunEntry(RunEntryName());
  settings.SetSettingBool(L"AutoSweep.Logoff", cbASWLogoff->Checked());
  settings.SetSettingInteger(L"Backup.MaxBackup",
                             static_cast<int32_t>(std::lround(edtMaxBackupFile->Value())));
  settings.SetSettingBool(L"Update.AutoCheck", cbAutoUpdate->Checked());
  // The choices stay in force for this run; the user hears that the next start will not know them.
  if (const kplat::TErrorCode rc = settings.EndUpdate(); rc != kplat::err::Success)
    if (TCLEngine* engine = GetCLEngine())
      engine->ShowMessageEx(L"MSGBox.SettingsNotSaved", {SystemErrorMessage(rc)}, false, mr::None,
                            mb::OK, TMsgDlgType::mtError, 0);
}

void TfrmSettings::btnRecommendClick(TObject&) {
  const TCLSettings& settings = Settings();
  cbMinimize->SetChecked(settings.GetSettingBool(L"Recommend.General.Minimize"));
  cbStartup->SetChecked(settings.GetSettingBool(L"Recommend.General.Startup"));
  cbCleanedShutdown->SetChecked(settings.GetSettingBool(L"Recommend.General.CleanedShutdown"));
  cbShowGuide->SetChecked(settings.GetSettingBool(L"Recommend.General.ShowGuide"));
  cbShowBalloon->SetChecked(settings.GetSettingBool(L"Recommend.General.ShowBalloon"));

  RecommendTopicList(*lbRegistryFixList, L"RegFix.");
  for (TTreeNode* node : tvPSList->Items().All())
    if (const auto* topic = dynamic_cast<const TFigTopic*>(node->Data()))
      node->SetChecked(settings.GetSettingBool(L"Recommend.PrivacySweep." + topic->Name()));
  TickFullRoots();
  TickApplicationGroups();
  RecommendTopicList(*lbJunkFiles, L"JunkFiles.");

  cbSOCO->SetItemIndex(settings.GetSettingInteger(L"Recommend.SystemOptimization.CO"));
  cbSONO->SetItemIndex(settings.GetSettingInteger(L"Recommend.SystemOptimization.NO"));
  ShowOptimizations();

  cbASEnabled->SetChecked(true);
  edtASHour->SetText(L"12");
  edtASMin->SetText(L"00");
  cbASSModeEveryDay->SetChecked(true);
  for (int i = 0; i < kActionCount; ++i)
    lbASAction->SetChecked(i, true);

  cbASWLogin->SetChecked(true);
  cbASWLogoff->SetChecked(true);
  edtMaxBackupFile->SetValue(settings.GetSettingInteger(L"Recommend.Backup.MaxBackup"));
  cbAutoUpdate->SetChecked(true);
}
