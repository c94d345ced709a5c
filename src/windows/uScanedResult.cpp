#include "windows/uScanedResult.h"

TfrmScanedResult::TfrmScanedResult(TComponent* aOwner, TCLMultiLangData* aLanguageData)
    : TForm(aOwner, L"TfrmScanedResult") {
  SetName(L"frmScanedResult");
  SetBounds(0, 0, 640, 460);
  FLanguage = NewComponent<TCLMultiLang>(this, L"CLMultiLang1");
  FLanguage->SetLanguageData(aLanguageData);

  lblTitle = NewComponent<TLabel>(this, L"lblTitle");
  lblTitle->SetParent(this);
  lblTitle->SetBounds(12, 10, 600, 20);

  lvResult = NewComponent<TListView>(this, L"lvResult");
  lvResult->SetParent(this);
  lvResult->SetBounds(12, 34, 600, 272);
  lvResult->SetViewStyle(TViewStyle::vsReport);
  lvResult->SetCheckboxes(true);
  lvResult->SetRowSelect(true);
  lvResult->SetReadOnly(true);
  constexpr int kWidths[] = {150, 180, 80};
  for (int width : kWidths)
    lvResult->Columns().Add().SetWidth(width);
  lvResult->Columns().Add().SetAutoSize(true);

  tlTips = NewComponent<TLabel>(this, L"tlTips");
  tlTips->SetParent(this);
  tlTips->SetWordWrap(true);
  tlTips->SetBounds(12, 314, 600, 62);

  btnSelectAll = NewComponent<TButton>(this, L"btnSelectAll");
  btnSelectAll->SetParent(this);
  btnSelectAll->SetBounds(12, 386, 100, 28);
  btnSelectAll->OnClick = [this](TObject&) { CheckAll(true); };
  btnUnSelectAll = NewComponent<TButton>(this, L"btnUnSelectAll");
  btnUnSelectAll->SetParent(this);
  btnUnSelectAll->SetBounds(120, 386, 100, 28);
  btnUnSelectAll->OnClick = [this](TObject&) { CheckAll(false); };
  btnOk = NewComponent<TButton>(this, L"btnOk");
  btnOk->SetParent(this);
  btnOk->SetBounds(404, 386, 100, 28);
  btnOk->SetModalResult(mr::OK);
  btnCancel = NewComponent<TButton>(this, L"btnCancel");
  btnCancel->SetParent(this);
  btnCancel->SetBounds(512, 386, 100, 28);
  btnCancel->SetModalResult(mr::Cancel);

  Loaded();
}

void TfrmScanedResult::CheckAll(bool aChecked) {
  for (int i = 0; i < lvResult->Items().Count(); ++i)
    lvResult->Items().Item(i).SetChecked(aChecked);
}
