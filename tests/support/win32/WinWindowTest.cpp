#include "support/win32/WinWindowTest.h"

#include <commctrl.h>

WinWindowTest::WinWindowTest() {
  FPrevious = SetCLMainThread(&FMainThread);
  FBinding.emplace();
}

WinWindowTest::~WinWindowTest() {
  FreeCLSettings();
  SetCLMainThread(FPrevious);
}

WinEngineWindowTest::WinEngineWindowTest() {
  FLanguage.DefaultData().LoadFromString(CLBuiltInEnglish());
  FEngine.SetLanguageData(&FLanguage);
  FEngine.SetMessageBox(&FBox);
}

namespace ktest::win32 {

namespace {

void Redraw(HWND aWindow) {
  ::RedrawWindow(aWindow, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
}

} // namespace

void Paint(HWND aWindow) {
  Redraw(aWindow);
  PumpUntil([] { return ::GetQueueStatus(QS_PAINT) == 0; }, 2000);
}

void Shoot(HWND aWindow, const wchar_t* aName) {
  Paint(aWindow);
  EXPECT_TRUE(SaveWindowPng(aWindow, ScreenshotPath(aName))) << aName;
}

void ShootNow(HWND aWindow, const wchar_t* aName) {
  Redraw(aWindow);
  EXPECT_TRUE(SaveWindowPng(aWindow, ScreenshotPath(aName))) << aName;
}

void Click(TControl& aControl) {
  HWND window = ControlWindow(aControl);
  ASSERT_NE(window, nullptr);
  ::SendMessageW(window, BM_CLICK, 0, 0);
}

std::wstring WindowText(HWND aWindow) {
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(aWindow)) + 1, L'\0');
  text.resize(
      static_cast<size_t>(::GetWindowTextW(aWindow, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::wstring ListText(HWND aList, int aRow, int aColumn) {
  wchar_t text[512] = {};
  LVITEMW item{};
  item.iSubItem = aColumn;
  item.pszText = text;
  item.cchTextMax = 512;
  ::SendMessageW(aList, LVM_GETITEMTEXTW, aRow, reinterpret_cast<LPARAM>(&item));
  return text;
}

} // namespace ktest::win32
