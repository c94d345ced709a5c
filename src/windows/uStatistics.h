#pragma once
// The statistics window: the running totals of every scan so far, and "Clear" to start them
// again from nothing.

#include "components/CLControls.h"
#include "components/CLListControls.h"

#include <string>

class TCLMultiLang;

// Bytes as megabytes with two decimals and the user's decimal separator: "1.50 MB".
std::wstring FormatMegabytes(double aBytes);

class TfrmStatistics : public TForm {
public:
  explicit TfrmStatistics(TComponent* aOwner);

  void FormCreate();
  void btnClearClick(TObject& Sender);

  TListView* lvStatistics;
  TButton* btnClear;
  TButton* btnClose;
  TCLMultiLang* CLMultiLang1;
};
