#include "windows/uScanedResult.h"

#include "components/CLPlace.h"
#include "windows/CLWindowLanguage.h"

#include <algorithm>

TfrmScanedResult::TfrmScanedResult(TComponent* aOwner, TCLMultiLangData* aLanguageData)
    : TForm(aOwner, L"TfrmScanedResult") {
  SetName(L"frmScanedResult");
  SetBounds(0, 0, 640, 460);
  FLanguage = NewWindowLanguage(*this, aLanguageData);

  // clang-format off
  static const TCLPlace kControls[] = {
      {Field<&TfrmScanedResult::lblTitle>, L"lblTitle", nullptr, {12, 10, 600, 20}},
      {Field<&TfrmScanedResult::lvResult>, L"lvResult", nullptr, {12, 34, 600, 272}},
      {Field<&TfrmScanedResult::tlTips>, L"tlTips", nullptr, {12, 314, 600, 62}},
      {Field<&TfrmScanedResult::btnSelectAll>, L"btnSelectAll", nullptr, {12, 386, 100, 28}},
      {Field<&TfrmScanedResult::btnUnSelectAll>, L"btnUnSelectAll", nullptr, {120, 386, 100, 28}},
      {Field<&TfrmScanedResult::btnOk>, L"btnOk", nullptr, {404, 386, 100, 28}},
      {Field<&TfrmScanedResult::btnCancel>, L"btnCancel", nullptr, {512, 386, 100, 28}},
  };
  // clang-format on
  PlaceControls(*this, kControls);
  lvResult->SetViewStyle(TViewStyle::vsReport);
  lvResult->SetCheckboxes(true);
  lvResult->SetRowSelect(true);
  lvResult->SetReadOnly(true);
  constexpr int kWidths[] = {150, 180, 80};
  for (int width : kWidths)
    lvResult->Columns().Add().SetWidth(width);
  lvResult->Columns().Add().SetAutoSize(true);
  tlTips->SetWordWrap(true);
  btnSelectAll->OnClick = [this](TObject&) { CheckAll(true); };
  btnUnSelectAll->OnClick = [this](TObject&) { CheckAll(false); };
  pmResult = NewComponent<TPopupMenu>(this, L"pmResult");
  miIgnoreItem = NewComponent<TMenuItem>(this, L"miIgnoreItem");
  miIgnoreItem->OnClick = [this](TObject&) { IgnoreSelected(false); };
  pmResult->Items().Add(miIgnoreItem);
  miIgnoreFolder = NewComponent<TMenuItem>(this, L"miIgnoreFolder");
  miIgnoreFolder->OnClick = [this](TObject&) { IgnoreSelected(true); };
  pmResult->Items().Add(miIgnoreFolder);
  pmResult->OnPopup = [this](TObject&) {
    const bool selected = lvResult->Selected() != nullptr;
    miIgnoreItem->SetEnabled(selected);
    miIgnoreFolder->SetEnabled(selected);
  };
  lvResult->SetPopupMenu(pmResult);
  btnOk->SetModalResult(mr::OK);
  btnCancel->SetModalResult(mr::Cancel);

  Loaded();
}

void TfrmScanedResult::CheckAll(bool aChecked) {
  for (int i = 0; i < lvResult->Items().Count(); ++i)
    lvResult->Items().Item(i).SetChecked(aChecked);
}

void TfrmScanedResult::IgnoreSelected(bool aContainer) {
  const TListItem* row = lvResult->Selected();
  if (row == nullptr || !OnIgnore)
    return;
  std::vector<int> covered = OnIgnore(*row, aContainer);
  // From the last, so that the indices still to go stay valid.
  std::sort(covered.rbegin(), covered.rend());
  for (const int index : covered)
    lvResult->Items().Delete(index);
}
