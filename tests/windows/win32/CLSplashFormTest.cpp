// The splash window on the real window system.
#include "windows/win32/CLSplashForm.h"

#include "support/win32/WinScratch.h"
#include "support/win32/WinScreenshot.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr DWORD kCloseLimitMs = 10000;

class WinSplash : public ::testing::Test {
protected:
  void SetUp() override {
    FFolder = ktest::win32::TempFolder() + L"KestrovaSplashTest\\";
    ktest::win32::RemoveTree(FFolder);
    ASSERT_TRUE(::CreateDirectoryW(FFolder.c_str(), nullptr));
    FPicture = FFolder + L"splash.png";
    std::vector<uint32_t> pixels(size_t(120) * 80, 0xFF2060A0u);
    ASSERT_TRUE(ktest::win32::SaveBgraPng(pixels, 120, 80, FPicture));
  }
  void TearDown() override {
    SplashClose();
    ktest::win32::RemoveTree(FFolder);
  }

  std::wstring FFolder;
  std::wstring FPicture;
};

} // namespace

TEST_F(WinSplash, MissingPictureClosesAtOnce) {
  SplashShow(FFolder + L"missing.png");
  EXPECT_TRUE(ktest::win32::PumpUntil([] { return SplashWindow() == nullptr; }, kCloseLimitMs));
}

TEST_F(WinSplash, ShowsCentredUntilClosed) {
  EXPECT_NE(SplashImageFile().find(L"\\res\\images\\splash.png"), std::wstring::npos);
  SplashShow(FPicture);
  HWND window = SplashWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(::IsWindowVisible(window));
  EXPECT_TRUE(::GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
  RECT rect = {};
  ::GetWindowRect(window, &rect);
  EXPECT_EQ(rect.right - rect.left, 120);
  EXPECT_EQ(rect.bottom - rect.top, 80);
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  ::GetMonitorInfoW(::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
  EXPECT_NEAR((rect.left + rect.right) / 2.0, (monitor.rcWork.left + monitor.rcWork.right) / 2.0,
              1);
  EXPECT_NEAR((rect.top + rect.bottom) / 2.0, (monitor.rcWork.top + monitor.rcWork.bottom) / 2.0,
              1);

  SplashClose();
  EXPECT_EQ(SplashWindow(), nullptr);
  EXPECT_FALSE(::IsWindow(window));
}

TEST_F(WinSplash, ClosesWhenAnotherWindowIsActivated) {
  SplashShow(FPicture);
  HWND splash = SplashWindow();
  ASSERT_NE(splash, nullptr);
  ASSERT_TRUE(
      ktest::win32::PumpUntil([&] { return ::GetActiveWindow() == splash; }, kCloseLimitMs));
  HWND other = ::CreateWindowExW(0, L"STATIC", L"main", WS_OVERLAPPEDWINDOW, 10, 10, 200, 100,
                                 nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(other, nullptr);
  ::ShowWindow(other, SW_SHOW);
  ::SetActiveWindow(other);
  EXPECT_TRUE(ktest::win32::PumpUntil([] { return SplashWindow() == nullptr; }, kCloseLimitMs));
  ::DestroyWindow(other);
}
