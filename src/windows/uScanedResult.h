#pragma once
// The result dialog: the findings of one category in a list with check boxes, the category's
// title and tips. What the user ticks here is handed to the repair manager when the dialog
// closes with OK (TfrmMain::ShowResultList). The whole position of the selected finding is shown
// below the list, where it can be selected and copied; the widths the user gives the columns are
// kept for the next time. The list's menu (also from the keyboard) puts the selected finding, or
// the key or folder that holds it, on the user's list of exclusions.

#include "components/CLControls.h"
#include "components/CLListControls.h"
#include "components/CLMultiLang.h"
#include "components/CLNonVisual.h"

#include <functional>
#include <vector>

class TfrmScanedResult : public TForm {
public:
  TfrmScanedResult(TComponent* aOwner, TCLMultiLangData* aLanguageData);

  // Every row ticked, or every row unticked.
  void CheckAll(bool aChecked);
  // Asks OnIgnore to exclude the selected row's place (aContainer: its key or folder); the rows
  // it answers with leave the list at once.
  void IgnoreSelected(bool aContainer);

  // The rows (indices into lvResult's items) that an exclusion of the row's place now covers;
  // empty when nothing was excluded.
  std::function<std::vector<int>(const TListItem& aRow, bool aContainer)> OnIgnore;

  TLabel* lblTitle;
  TListView* lvResult;
  TLabel* lblPosition;
  TEdit* edtPosition;
  TLabel* tlTips;
  TButton* btnSelectAll;
  TButton* btnUnSelectAll;
  TButton* btnOk;
  TButton* btnCancel;
  TPopupMenu* pmResult;
  TMenuItem* miIgnoreItem;
  TMenuItem* miIgnoreFolder;

private:
  void ShowPosition(const TListItem* aItem);
  // The widths of the columns before the position, which takes the rest.
  void LoadColumnWidths();
  void SaveColumnWidths();
  TCLMultiLang* FLanguage;
};
