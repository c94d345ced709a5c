#pragma once
// The maintenance page: the four scan categories with their check boxes, descriptions and
// results, the status line, the progress bar and the main button, whose action the main window
// switches between scan, stop, cure and stop-cure. The page lives in the main window's container
// and reports the user's choices to the main window.

#include "appengine/FigEngineSettings.h"
#include "components/CLControls.h"
#include "components/CLMultiLang.h"
#include "engine/FigTopic.h"

#include <array>

class TfrmMain;

class TfrmMaintain : public TForm {
public:
  // The four rows in the order tcARegFix, tcBPrivacySweep, tcCJunkFile, tcDSystemOptimization.
  struct TCategoryRow {
    TTopicCategory Category = tcUnknow;
    TCheckBox* Box = nullptr;
    TLabel* Description = nullptr;
    TLabel* Result = nullptr;
    TLinkLabel* Link = nullptr;
  };

  TfrmMaintain(TComponent* aOwner, TfrmMain& aMain, TCLMultiLangData* aLanguageData);
  ~TfrmMaintain() override;

  // The row of a scan category, or nullptr for any other category.
  const TCategoryRow* Row(TTopicCategory aCategory) const;
  const std::array<TCategoryRow, 4>& Rows() const { return FRows; }

  // Check-box captions back to the normal colour.
  void ResetCategoryLabel();
  // A scan reached the category: the arrow beside its row, "Scanning..." as its result, its
  // caption highlighted.
  void CategoryStarted(TTopicCategory aCategory);
  // The scan left the category with aCount findings: a link to them, "No problem." for a
  // checked category without findings, nothing for an unchecked one.
  void CategoryFinished(TTopicCategory aCategory, int aCount);
  // Every result label and link hidden.
  void HideResults();
  void SetCategoryBoxesEnabled(bool aEnabled);
  bool AnyCategoryChecked() const;
  TFigCategorySwitches CategorySwitches() const;
  void SetCategorySwitches(const TFigCategorySwitches& aSwitches);

  // Highlighted and normal caption colours of the category rows.
  static constexpr TColor kActiveCaption = clGreen;
  static constexpr TColor kNormalCaption = clWhite;

  TLabel* lblMaintainTitle;
  TLabel* lblMaintainText;
  TPageControl* pcMaintain;
  TTabSheet* tsFunction;
  TTabSheet* tsSettings;
  TPanel* pnlCategories;
  TCheckBox* cbRegistryFix;
  TCheckBox* cbPrivacySweep;
  TCheckBox* cbJunkFilesClean;
  TCheckBox* cbSystemOptimization;
  TLabel* lblResultRegistryFix;
  TLabel* lblResultPrivacySweep;
  TLabel* lblResultJunkFiles;
  TLabel* lblResultSystemOptimization;
  TLinkLabel* llResultRegistryFix;
  TLinkLabel* llResultPrivacySweep;
  TLinkLabel* llResultJunkFiles;
  TLinkLabel* llResultSystemOptimization;
  TLabel* aniArrow;
  TLabel* lblInfo;
  TProgressBar* sgScan;
  TButton* btnMaintainScan;
  // Scans and repairs what it finds without asking (the main window's Clean Now).
  TLinkLabel* llCleanNow;

private:
  TCategoryRow MakeRow(TTopicCategory aCategory, const std::wstring& aBox,
                       const std::wstring& aDescription, const std::wstring& aResult,
                       const std::wstring& aLink, int aTop);
  TCategoryRow* FindRow(TTopicCategory aCategory);
  void ResultLinkClick(TTopicCategory aCategory);
  void pcMaintainChange();
  // The category band and its descriptions in the current skin's colours.
  void ApplyBandColours();

  TfrmMain& FMain;
  TCLMultiLang* FLanguage;
  std::array<TCategoryRow, 4> FRows;
  TTopicCategory FActiveCategory = tcUnknow;
  int FSkinListener = 0;
};
