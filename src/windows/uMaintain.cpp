#include "windows/uMaintain.h"

#include "components/CLPlace.h"
#include "components/CLSkin.h"
#include "windows/CLWindowLanguage.h"
#include "windows/uMain.h"

namespace {

// Layout at 96 DPI, inside the main window's 600 x 440 container.
constexpr int kRowTop = 14;
constexpr int kRowHeight = 58;
constexpr int kCategoriesTop = 8;
constexpr int kCategoriesHeight = 4 * kRowHeight + 2 * kRowTop - 8;
// Below the category rows.
constexpr int kBottom = kCategoriesTop + kCategoriesHeight;
// The Registry Fix page of the settings window.
constexpr int kRegistryFixSettingsPage = 10;

} // namespace

TfrmMaintain::TfrmMaintain(TComponent* aOwner, TfrmMain& aMain, TCLMultiLangData* aLanguageData)
    : TForm(aOwner, L"TfrmMaintain"), FMain(aMain) {
  SetName(L"frmMaintain");
  SetBounds(0, 0, 600, 440);
  FLanguage = NewWindowLanguage(*this, aLanguageData);

  using W = TfrmMaintain;
  // clang-format off
  static const TCLPlace kControls[] = {
      {Field<&W::lblMaintainTitle>, L"lblMaintainTitle", nullptr, {16, 10, 568, 22}},
      {Field<&W::lblMaintainText>, L"lblMaintainText", nullptr, {16, 34, 568, 34}},
      {Field<&W::pcMaintain>, L"pcMaintain", nullptr, {8, 74, 584, 358}},
      {Field<&W::tsFunction>, L"tsFunction", L"pcMaintain", {}},
      {Field<&W::tsSettings>, L"tsSettings", L"pcMaintain", {}},
      {Field<&W::pnlCategories>, L"pnlCategories", L"tsFunction",
       {8, kCategoriesTop, 560, kCategoriesHeight}},
  };
  // clang-format on
  PlaceControls(*this, kControls);
  lblMaintainText->SetWordWrap(true);
  pcMaintain->SetActivePage(tsFunction);
  pcMaintain->OnChange = [this](TObject&) { pcMaintainChange(); };

  FRows = {MakeRow(tcARegFix, L"cbRegistryFix", L"lblDescRegistryFix", L"lblResultRegistryFix",
                   L"llResultRegistryFix", kRowTop),
           MakeRow(tcBPrivacySweep, L"cbPrivacySweep", L"lblDescPrivacySweep",
                   L"lblResultPrivacySweep", L"llResultPrivacySweep", kRowTop + kRowHeight),
           MakeRow(tcCJunkFile, L"cbJunkFilesClean", L"lblDescJunkFiles", L"lblResultJunkFiles",
                   L"llResultJunkFiles", kRowTop + 2 * kRowHeight),
           MakeRow(tcDSystemOptimization, L"cbSystemOptimization", L"lblDescSystemOptimization",
                   L"lblResultSystemOptimization", L"llResultSystemOptimization",
                   kRowTop + 3 * kRowHeight)};
  cbRegistryFix = FRows[0].Box;
  cbPrivacySweep = FRows[1].Box;
  cbJunkFilesClean = FRows[2].Box;
  cbSystemOptimization = FRows[3].Box;
  lblResultRegistryFix = FRows[0].Result;
  lblResultPrivacySweep = FRows[1].Result;
  lblResultJunkFiles = FRows[2].Result;
  lblResultSystemOptimization = FRows[3].Result;
  llResultRegistryFix = FRows[0].Link;
  llResultPrivacySweep = FRows[1].Link;
  llResultJunkFiles = FRows[2].Link;
  llResultSystemOptimization = FRows[3].Link;

  // clang-format off
  static const TCLPlace kProgress[] = {
      {Field<&W::aniArrow>, L"aniArrow", L"pnlCategories", {12, kRowTop, 16, 18}},
      {Field<&W::lblInfo>, L"lblInfo", L"tsFunction", {12, kBottom + 12, 420, 18}},
      {Field<&W::sgScan>, L"sgScan", L"tsFunction", {12, kBottom + 36, 420, 18}},
      {Field<&W::btnMaintainScan>, L"btnMaintainScan", L"tsFunction", {448, kBottom + 16, 112, 34}},
      {Field<&W::llCleanNow>, L"llCleanNow", L"tsFunction", {448, kBottom + 54, 112, 18}},
  };
  // clang-format on
  PlaceControls(*this, kProgress);
  aniArrow->SetCaption(L"\u00BB");
  aniArrow->SetFontColor(kActiveCaption);
  aniArrow->Hide();
  sgScan->Hide();
  llCleanNow->SetAction(FMain.actCleanNow);

  ApplyBandColours();
  FSkinListener = AddSkinThemeListener([this] { ApplyBandColours(); });
  Loaded();
}

TfrmMaintain::~TfrmMaintain() {
  RemoveSkinThemeListener(FSkinListener);
}

void TfrmMaintain::ApplyBandColours() {
  // The category rows sit on a dark band of the skin's, so that their white and green captions
  // read well.
  const TCLSkinTheme& theme = CurrentSkinTheme();
  pnlCategories->SetColor(theme.Band);
  for (const TCategoryRow& row : FRows) {
    row.Box->SetColor(theme.Band);
    row.Description->SetFontColor(theme.BandText);
  }
}

TfrmMaintain::TCategoryRow TfrmMaintain::MakeRow(TTopicCategory aCategory, const std::wstring& aBox,
                                                 const std::wstring& aDescription,
                                                 const std::wstring& aResult,
                                                 const std::wstring& aLink, int aTop) {
  TCategoryRow row;
  row.Category = aCategory;
  row.Box = Place<TCheckBox>(this, pnlCategories, aBox, {36, aTop, 240, 20});
  row.Box->SetFontColor(kNormalCaption);
  row.Box->SetChecked(true);
  // Below the result column too: the texts of other languages are longer.
  row.Description = Place<TLabel>(this, pnlCategories, aDescription, {56, aTop + 22, 496, 18});
  // Wide enough for "n fixed, m not repaired, k left in use.", clear of the check box.
  row.Result = Place<TLabel>(this, pnlCategories, aResult, {300, aTop + 2, 248, 18});
  row.Result->SetFontColor(kNormalCaption);
  row.Result->Hide();
  row.Link = Place<TLinkLabel>(this, pnlCategories, aLink, {300, aTop + 2, 248, 18});
  row.Link->Hide();
  row.Link->OnClick = [this, aCategory](TObject&) { ResultLinkClick(aCategory); };
  return row;
}

const TfrmMaintain::TCategoryRow* TfrmMaintain::Row(TTopicCategory aCategory) const {
  for (const TCategoryRow& row : FRows) {
    if (row.Category == aCategory)
      return &row;
  }
  return nullptr;
}

TfrmMaintain::TCategoryRow* TfrmMaintain::FindRow(TTopicCategory aCategory) {
  return const_cast<TCategoryRow*>(Row(aCategory));
}

void TfrmMaintain::ResetCategoryLabel() {
  for (TCategoryRow& row : FRows) {
    row.Box->SetFontColor(kNormalCaption);
    row.Box->Invalidate();
  }
  FActiveCategory = tcUnknow;
}

void TfrmMaintain::CategoryStarted(TTopicCategory aCategory) {
  TCategoryRow* row = FindRow(aCategory);
  if (row == nullptr)
    return;
  aniArrow->SetTop(row->Box->Top() + 10);
  aniArrow->Show();
  row->Result->SetCaption(FMain.Engine().GetAppString(L"State.Scanning"));
  row->Result->Show();
  for (TCategoryRow& other : FRows)
    other.Box->SetFontColor(other.Category == aCategory ? kActiveCaption : kNormalCaption);
  if (TCategoryRow* previous = FindRow(FActiveCategory))
    previous->Box->Invalidate();
  row->Box->Invalidate();
  FActiveCategory = aCategory;
  Invalidate();
}

void TfrmMaintain::CategoryFinished(TTopicCategory aCategory, int aCount) {
  TCategoryRow* row = FindRow(aCategory);
  if (row == nullptr)
    return;
  row->Result->Hide();
  if (aCount > 0) {
    row->Link->SetCaption(std::to_wstring(aCount) + L" " +
                          FMain.Engine().GetAppString(L"State.Result"));
    row->Link->Show();
  } else if (row->Box->Checked()) {
    row->Result->SetCaption(FMain.Engine().GetAppString(L"State.NoProblem"));
    row->Result->Show();
  }
}

void TfrmMaintain::HideResults() {
  for (TCategoryRow& row : FRows) {
    row.Result->Hide();
    row.Link->Hide();
  }
}

void TfrmMaintain::SetCategoryBoxesEnabled(bool aEnabled) {
  for (TCategoryRow& row : FRows)
    row.Box->SetEnabled(aEnabled);
}

bool TfrmMaintain::AnyCategoryChecked() const {
  for (const TCategoryRow& row : FRows) {
    if (row.Box->Checked())
      return true;
  }
  return false;
}

TFigCategorySwitches TfrmMaintain::CategorySwitches() const {
  return {FRows[0].Box->Checked(), FRows[1].Box->Checked(), FRows[2].Box->Checked(),
          FRows[3].Box->Checked()};
}

void TfrmMaintain::SetCategorySwitches(const TFigCategorySwitches& aSwitches) {
  for (size_t i = 0; i < FRows.size(); ++i)
    FRows[i].Box->SetChecked(aSwitches[i]);
}

void TfrmMaintain::ResultLinkClick(TTopicCategory aCategory) {
  if (!FMain.FigEngine().IsRunning())
    FMain.ShowResultList(aCategory);
}

void TfrmMaintain::pcMaintainChange() {
  if (pcMaintain->ActivePage() != tsSettings)
    return;
  FMain.SetDefaultSettingPage(kRegistryFixSettingsPage);
  FMain.actSettings->Execute();
  FMain.SetDefaultSettingPage(0);
  pcMaintain->SetActivePage(tsFunction);
}
