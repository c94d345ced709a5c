// The result dialog on its own: the selected finding's whole position below the list, and the
// column widths the user gives it, kept for the next time it opens.

#include "windows/uScanedResult.h"

#include "support/WindowTest.h"

#include <memory>
#include <string>
#include <vector>

namespace {

class ScanedResult : public WindowTest {
protected:
  ScanedResult() { Program().Settings("App.Ver=1.0\n"); }

  std::unique_ptr<TfrmScanedResult> Open() {
    auto dialog = std::make_unique<TfrmScanedResult>(nullptr, &FLanguage);
    for (const wchar_t* position :
         {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{00000000-0000-0000-0000-000000000001}"
          L"\\InprocServer32[]",
          L"C:\\Users\\User\\AppData\\Local\\Temp\\setup.log"}) {
      TListItem& row = dialog->lvResult->Items().Add();
      row.SetCaption(L"Finding");
      row.SubItems().SetText(std::wstring(L"Reason\n2\n") + position + L"\n0");
    }
    return dialog;
  }
  static std::vector<int> Widths(const TfrmScanedResult& aDialog) {
    std::vector<int> widths;
    for (int i = 0; i < 3; ++i)
      widths.push_back(aDialog.lvResult->Columns().Items(i).Width());
    return widths;
  }

  TScopedHeadless FHeadless;
};

TEST_F(ScanedResult, TheSelectedFindingShowsItsWholePosition) {
  const auto dialog = Open();
  TListItems& rows = dialog->lvResult->Items();
  EXPECT_TRUE(dialog->edtPosition->ReadOnly());
  EXPECT_EQ(dialog->edtPosition->Text(), L"");
  rows.Item(0).SetSelected(true);
  EXPECT_EQ(dialog->edtPosition->Text(), rows.Item(0).SubItems().Strings(2));
  // A move down leaves the first row and selects the second, as the arrow keys do.
  rows.Item(0).SetSelected(false);
  rows.Item(1).SetSelected(true);
  EXPECT_EQ(dialog->edtPosition->Text(), L"C:\\Users\\User\\AppData\\Local\\Temp\\setup.log");
  rows.Item(1).SetSelected(false);
  EXPECT_EQ(dialog->edtPosition->Text(), L"");
}

TEST_F(ScanedResult, ColumnWidthsAreKeptAndDamagedOnesGiveWayToTheDefaults) {
  const struct {
    const char* Stored; // nullptr: never stored
    std::vector<int> Opened;
  } cases[] = {
      {nullptr, {150, 180, 80}},        {"200,90,60", {200, 90, 60}},       {"210", {210, 180, 80}},
      {"abc,-4,99999", {150, 180, 80}}, {" 5 , 300 ,1001", {150, 300, 80}}, {"", {150, 180, 80}},
  };
  for (const auto& test : cases) {
    FreeCLSettings();
    Program().Settings(test.Stored == nullptr
                           ? std::string("App.Ver=1.0\n")
                           : std::string("ResultList.ColumnWidths=") + test.Stored + "\n");
    EXPECT_EQ(Widths(*Open()), test.Opened) << (test.Stored ? test.Stored : "none");
  }

  // What the user drags is written when the dialog closes; a column made narrower than a
  // header can be grabbed by comes back at the least width, and the position column goes on
  // taking the rest.
  FreeCLSettings();
  Program().Settings("App.Ver=1.0\n");
  auto dialog = Open();
  dialog->lvResult->ColumnResizedByUser(0, 240);
  dialog->lvResult->ColumnResizedByUser(2, 3);
  dialog->lvResult->ColumnResizedByUser(3, 40);
  EXPECT_TRUE(dialog->lvResult->Columns().Items(3).AutoSize());
  dialog->ShowModal();
  EXPECT_EQ(GetCLSettings().GetSettingString(L"ResultList.ColumnWidths"), L"240,180,20");
  EXPECT_EQ(Widths(*Open()), (std::vector<int>{240, 180, 20}));
}

} // namespace
