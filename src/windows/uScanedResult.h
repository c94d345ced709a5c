#pragma once
// The result dialog: the findings of one category in a list with check boxes, the category's
// title and tips. What the user ticks here is handed to the repair manager when the dialog
// closes with OK (TfrmMain::ShowResultList). The whole position of the selected finding is shown
// below the list, where it can be selected and copied; the widths the user gives the columns are
// kept for the next time.

#include "components/CLControls.h"
#include "components/CLListControls.h"
#include "components/CLMultiLang.h"

class TfrmScanedResult : public TForm {
public:
  TfrmScanedResult(TComponent* aOwner, TCLMultiLangData* aLanguageData);

  // Every row ticked, or every row unticked.
  void CheckAll(bool aChecked);

  TLabel* lblTitle;
  TListView* lvResult;
  TLabel* lblPosition;
  TEdit* edtPosition;
  TLabel* tlTips;
  TButton* btnSelectAll;
  TButton* btnUnSelectAll;
  TButton* btnOk;
  TButton* btnCancel;

private:
  void ShowPosition(const TListItem* aItem);
  // The widths of the columns before the position, which takes the rest.
  void LoadColumnWidths();
  void SaveColumnWidths();
  TCLMultiLang* FLanguage;
};
