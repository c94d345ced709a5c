// The result dialog on the real list view: the keyboard moves the selection and the position
// below follows it; the column widths kept from last time are the list's.
#include "windows/uScanedResult.h"

#include "support/win32/WinWindowTest.h"

#include <commctrl.h>

#include <memory>
#include <string>

namespace {

const std::wstring kLongKey =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{6C4D5E2A-9B1F-4C3E-8A7D-2F0B1E9C5D44}"
    L"\\InprocServer32[ThreadingModel]";
const std::wstring kLongFile = L"C:\\Users\\User\\AppData\\Local\\Google\\Chrome\\User Data\\"
                               L"Profile 1\\Service Worker\\CacheStorage\\0f3c2a\\index.txt";

class ScanedResultWin : public WinEngineWindowTest {
protected:
  ~ScanedResultWin() override {
    // The next run's pictures start from the usual widths.
    GetCLSettings().SetSettingstring(L"ResultList.ColumnWidths", L"150,180,80");
  }

  std::unique_ptr<TfrmScanedResult> Open() {
    auto dialog = std::make_unique<TfrmScanedResult>(nullptr, &FLanguage);
    dialog->lblTitle->SetCaption(L"Privacy Sweep");
    for (const std::wstring& position : {kLongKey, kLongFile}) {
      TListItem& row = dialog->lvResult->Items().Add();
      row.SetCaption(L"Browser caches");
      row.SubItems().SetText(L"Junk file\n2\n" + position + L"\n0");
      row.SetChecked(true);
    }
    dialog->ShowForm();
    return dialog;
  }
};

TEST_F(ScanedResultWin, TheKeyboardMovesThePositionAndKeptWidthsAreRestored) {
  GetCLSettings().SetSettingstring(L"ResultList.ColumnWidths", L"240,180,80");
  std::unique_ptr<TfrmScanedResult> dialog = Open();
  HWND list = ControlWindow(*dialog->lvResult);
  HWND edit = ControlWindow(*dialog->edtPosition);
  ASSERT_NE(list, nullptr);
  ASSERT_NE(edit, nullptr);
  EXPECT_NE(::GetWindowLongPtrW(edit, GWL_STYLE) & ES_READONLY, 0);

  // The widths kept from last time, and the position column filling what is left.
  RECT client{};
  ::GetClientRect(list, &client);
  EXPECT_EQ(::SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0), 240);
  EXPECT_EQ(::SendMessageW(list, LVM_GETCOLUMNWIDTH, 3, 0), client.right - 240 - 180 - 80);

  LVITEMW first{};
  first.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  first.state = LVIS_SELECTED | LVIS_FOCUSED;
  ::SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&first));
  EXPECT_EQ(ktest::win32::WindowText(edit), kLongKey);
  ::SetFocus(list);
  ::SendMessageW(list, WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(dialog->edtPosition->Text(), kLongFile);
  EXPECT_EQ(ktest::win32::WindowText(edit), kLongFile);
  ktest::win32::Shoot(FormWindow(*dialog), L"result-list-position");

  // A width the list view's header reports, as after the user drags it, is kept on closing.
  ::SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, 200);
  EXPECT_EQ(dialog->lvResult->Columns().Items(0).Width(), 200);
  dialog->HideForm();
  EXPECT_EQ(GetCLSettings().GetSettingString(L"ResultList.ColumnWidths"), L"200,180,80");
}

} // namespace
