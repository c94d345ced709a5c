// The main window's home page, statistics window and Tools page on the real system, with the
// shipped data beside the program.
#include "ui/uMain.h"

#include "framework/CLMainThread.h"
#include "framework/CLSettings.h"
#include "framework/win32/CLMainThreadWin.h"
#include "platform/TextCodec.h"
#include "platform/win32/Win32Platform.h"
#include "support/win32/WinScreenshot.h"
#include "ui/uHome.h"
#include "ui/uStatistics.h"
#include "ui/uUtilities.h"
#include "ui/win32/CLWinBinding.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

class TAnsweringBox : public ICLMessageBox {
public:
  TModalResult Show(const TCLMessageRequest& aRequest, bool& aFlagChecked) override {
    Texts.push_back(aRequest.Text);
    aFlagChecked = false;
    return mr::OK;
  }
  std::vector<std::wstring> Texts;
};

void Shoot(HWND aWindow, const wchar_t* aName) {
  ::RedrawWindow(aWindow, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  ktest::win32::PumpUntil([] { return ::GetQueueStatus(QS_PAINT) == 0; }, 2000);
  EXPECT_TRUE(ktest::win32::SaveWindowPng(aWindow, ktest::win32::ScreenshotPath(aName))) << aName;
}

std::wstring ListText(HWND aList, int aRow, int aColumn) {
  wchar_t text[256] = {};
  LVITEMW item{};
  item.iSubItem = aColumn;
  item.pszText = text;
  item.cchTextMax = 256;
  ::SendMessageW(aList, LVM_GETITEMTEXTW, aRow, reinterpret_cast<LPARAM>(&item));
  return text;
}

class PagesWin : public ::testing::Test {
protected:
  PagesWin() {
    FPrevious = SetCLMainThread(&FMainThread);
    InstallWin32Binding();
    TfrmMain::SetDefaultMessageBox(&FBox);
    FForm = std::make_unique<TfrmMain>(nullptr);
    FForm->tmrCleannow->SetEnabled(false);
  }
  ~PagesWin() override {
    FForm.reset();
    TfrmMain::SetDefaultMessageBox(nullptr);
    FreeCLSettings();
    SetCLMainThread(FPrevious);
  }

  kplat::win32::TWin32Platform FPlatform;
  kplat::TScopedPlatform FScope{FPlatform};
  TCLMainThreadWin FMainThread;
  TCLMainThread* FPrevious = nullptr;
  TAnsweringBox FBox;
  std::unique_ptr<TfrmMain> FForm;
};

TEST_F(PagesWin, HomeAndStatisticsShowTheShippedData) {
  TfrmMain& form = *FForm;
  TCLSettings& settings = GetCLSettings();
  settings.SetSettingInteger(L"Summary.AllCount", 48213);
  settings.SetSettingFloat(L"Summary.FileSizeCount", 1572864);
  form.ShowForm();
  ASSERT_TRUE(form.actHome->Execute());
  TfrmHome& home = *form.Home();
  EXPECT_TRUE(::IsWindowVisible(FormWindow(home)));
  EXPECT_EQ(home.lblPV->Caption(), settings.GetSettingString(L"App.Ver"));
  EXPECT_FALSE(home.lblDD->Caption().empty());
  EXPECT_TRUE(home.SetInfo());
  EXPECT_TRUE(FBox.Texts.empty()) << kplat::ToUtf8(FBox.Texts.front());
  Shoot(FormWindow(form), L"home");

  // The statistics window, opened by the page's link, shows the totals in its list.
  bool shown = false;
  const ULONGLONG deadline = ::GetTickCount64() + 30000;
  std::function<void()> inDialog = [&] {
    HWND dialogWindow = ::FindWindowW(L"TfrmStatistics", nullptr);
    auto* dialog = dynamic_cast<TfrmStatistics*>(FormFromWindow(dialogWindow));
    if (dialog == nullptr || !::IsWindowVisible(dialogWindow)) {
      if (::GetTickCount64() < deadline)
        GetCLMainThread().Post(inDialog);
      return;
    }
    HWND list = ControlWindow(*dialog->lvStatistics);
    EXPECT_EQ(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 8);
    EXPECT_EQ(ListText(list, 0, 1), L"48213");
    EXPECT_EQ(ListText(list, 3, 1), FormatMegabytes(1572864));
    Shoot(dialogWindow, L"statistics");
    shown = true;
    ::SendMessageW(ControlWindow(*dialog->btnClose), BM_CLICK, 0, 0);
  };
  GetCLMainThread().Post(inDialog);
  HWND link = ControlWindow(*home.llViewSS);
  NMHDR click{link, static_cast<UINT_PTR>(::GetDlgCtrlID(link)), static_cast<UINT>(NM_CLICK)};
  ::SendMessageW(::GetParent(link), WM_NOTIFY, click.idFrom, reinterpret_cast<LPARAM>(&click));
  EXPECT_TRUE(shown);
}

TEST_F(PagesWin, ToolsPageListsTheShippedTools) {
  TfrmMain& form = *FForm;
  form.ShowForm();
  form.actTools->Execute();
  TfrmUtilities& page = *form.Utilities();
  ASSERT_TRUE(::IsWindowVisible(FormWindow(page)));
  HWND list = ControlWindow(*page.lvList);
  ASSERT_EQ(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 7);
  EXPECT_EQ(ListText(list, 0, 0), L"Registry Editor");
  Shoot(FormWindow(form), L"tools");
}

} // namespace
