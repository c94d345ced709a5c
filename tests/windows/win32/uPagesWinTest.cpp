// The main window's home page, statistics window and Tools page on the real system, with the
// shipped data beside the program.
#include "windows/uMain.h"

#include "components/CLWebBrowser.h"
#include "components/win32/CLWinWebView.h"
#include "platform/TextCodec.h"
#include "support/win32/WinScratch.h"
#include "support/win32/WinWindowTest.h"
#include "windows/uHome.h"
#include "windows/uStatistics.h"
#include "windows/uUtilities.h"

#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace ktest::win32;

// Moves the pointer as the user does, to a point of the window's client area.
void MoveTo(HWND aWindow, POINT aPoint) {
  ::ClientToScreen(aWindow, &aPoint);
  ::SetForegroundWindow(::GetAncestor(aWindow, GA_ROOT));
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = ::MulDiv(aPoint.x, 65535, ::GetSystemMetrics(SM_CXSCREEN) - 1);
  input.mi.dy = ::MulDiv(aPoint.y, 65535, ::GetSystemMetrics(SM_CYSCREEN) - 1);
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  ::SendInput(1, &input, sizeof(INPUT));
}

// A click of the left button as the user makes it.
void ClickAt(HWND aWindow, POINT aPoint) {
  MoveTo(aWindow, aPoint);
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_MOUSE;
  input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  ::SendInput(2, input, sizeof(INPUT));
}

class PagesWin : public WinWindowTest {
protected:
  PagesWin() {
    TfrmMain::SetDefaultMessageBox(&FBox);
    FForm = std::make_unique<TfrmMain>(nullptr);
    FForm->tmrCleannow->SetEnabled(false);
  }
  ~PagesWin() override {
    FForm.reset();
    TfrmMain::SetDefaultMessageBox(nullptr);
  }

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
  ktest::win32::WhenShown<TfrmStatistics>(
      L"TfrmStatistics", [&](TfrmStatistics& dialog, HWND dialogWindow) {
        HWND list = ControlWindow(*dialog.lvStatistics);
        EXPECT_EQ(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 8);
        EXPECT_EQ(ListText(list, 0, 1), L"48213");
        EXPECT_EQ(ListText(list, 3, 1), FormatMegabytes(1572864));
        Shoot(dialogWindow, L"statistics");
        shown = true;
        ::SendMessageW(ControlWindow(*dialog.btnClose), BM_CLICK, 0, 0);
      });
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

TEST_F(PagesWin, NewsTabShowsThePageAndItsLinksAskFirst) {
  TfrmMain& form = *FForm;
  form.ShowForm();
  ASSERT_TRUE(form.actHome->Execute());
  TfrmHome& home = *form.Home();
  std::vector<std::wstring> asked;
  home.wbInfo->OnBeforeNavigate2 = [&asked](TObject&, const std::wstring& aURL, bool& aCancel) {
    asked.push_back(aURL);
    aCancel = true;
  };
  // The page's view, and the web browser behind it, wait until the tab is first opened.
  EXPECT_EQ(WebViewKind(*home.wbInfo), TWebViewKind::None);
  home.pcHome->SelectByUser(1);
  HWND view = ControlWindow(*home.wbInfo);
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(::IsWindowVisible(view));
  const TWebViewKind kind = WebViewKind(*home.wbInfo);
  // The test prefix has no HTML engine: the plain view shows the page.
  wchar_t overrides[256] = {};
  ::GetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides, 256);
  if (std::wstring(overrides).find(L"mshtml=") != std::wstring::npos) {
    ASSERT_EQ(kind, TWebViewKind::PlainText);
  }
  Shoot(FormWindow(form), L"home-news");
  if (kind != TWebViewKind::PlainText)
    return;

  HWND text = ::FindWindowExW(view, nullptr, WC_EDITW, nullptr);
  ASSERT_NE(text, nullptr);
  const std::wstring shown = WindowText(text);
  EXPECT_NE(shown.find(L"Kestrova news"), std::wstring::npos) << kplat::ToUtf8(shown);
  EXPECT_NE(shown.find(L"Program Version: " + GetCLSettings().GetSettingString(L"App.Ver")),
            std::wstring::npos)
      << kplat::ToUtf8(shown);
  EXPECT_EQ(shown.find(L"<"), std::wstring::npos);

  // The first link is the home page's "wcme:" address: the component is asked, and cancels.
  HWND links = ::FindWindowExW(view, nullptr, WC_LINK, nullptr);
  ASSERT_NE(links, nullptr);
  EXPECT_EQ(WindowText(links).rfind(L"<a>", 0), 0u);
  ClickAt(links, POINT{4, 4});
  EXPECT_TRUE(ktest::win32::PumpUntil([&asked] { return !asked.empty(); }, 10000));
  EXPECT_EQ(asked, (std::vector<std::wstring>{L"wcme:page?PAGE=home"}));
}

TEST_F(PagesWin, AToolClickedOnTheToolsPageStartsWithItsArgument) {
  const std::wstring record = ktest::win32::TempFolder() + L"kestrova-toolprobe-" +
                              std::to_wstring(::GetCurrentProcessId()) + L".txt";
  ::DeleteFileW(record.c_str());
  ASSERT_TRUE(::SetEnvironmentVariableW(L"KESTROVA_TOOLPROBE_RECORD", record.c_str()));
  TfrmMain& form = *FForm;
  form.ShowForm();
  form.actTools->Execute();
  TfrmUtilities& page = *form.Utilities();
  // A tool of the program folder, as the utilities file names one.
  TListItem& tool = page.lvList->Items().Add();
  tool.SetCaption(L"Probe");
  tool.SubItems().Add(L"{APPPATH}toolprobe.exe");
  HWND list = ControlWindow(*page.lvList);
  const int row = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)) - 1;
  ASSERT_EQ(ListText(list, row, 0), L"Probe");
  ::SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
  RECT bounds{};
  bounds.left = LVIR_LABEL;
  ASSERT_TRUE(::SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row),
                             reinterpret_cast<LPARAM>(&bounds)));
  const POINT middle{bounds.left + 8, (bounds.top + bounds.bottom) / 2};

  // The pointer is a hand over the tool.
  MoveTo(list, middle);
  EXPECT_TRUE(ktest::win32::PumpUntil(
      [&page] { return page.lvList->Cursor() == TCursor::crHandPoint; }, 5000));
  EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_HAND));

  ClickAt(list, middle);
  std::wstring got;
  EXPECT_TRUE(ktest::win32::PumpUntil(
      [&] {
        HANDLE file = ::CreateFileW(record.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
          return false;
        wchar_t buffer[64] = {};
        DWORD read = 0;
        ::ReadFile(file, buffer, sizeof(buffer) - sizeof(wchar_t), &read, nullptr);
        ::CloseHandle(file);
        got.assign(buffer, read / sizeof(wchar_t));
        return true;
      },
      30000));
  EXPECT_EQ(got, L"cwm");
  ::DeleteFileW(record.c_str());
  ::SetEnvironmentVariableW(L"KESTROVA_TOOLPROBE_RECORD", nullptr);
}

} // namespace
