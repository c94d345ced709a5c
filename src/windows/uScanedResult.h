#pragma once
// The result dialog: the findings of one category in a list with check boxes, the category's
// title and tips. What the user ticks here is handed to the repair manager when the dialog
// closes with OK (TfrmMain::ShowResultList).

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
  TLabel* tlTips;
  TButton* btnSelectAll;
  TButton* btnUnSelectAll;
  TButton* btnOk;
  TButton* btnCancel;

private:
  TCLMultiLang* FLanguage;
};
