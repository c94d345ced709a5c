// The message box on the real task dialog and on the plain system box, answered by a thread
// timer that the box's own modal loop serves.
#include "components/win32/CLWinMessageBox.h"

#include "appengine/CLEngine.h"
#include "base/CLSettings.h"
#include "platform/win32/Win32Platform.h"
#include "support/win32/WinScreenshot.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>

namespace {

constexpr UINT kPollMs = 20;
constexpr int kPollLimit = 500; // 10 s

// What the timer does with the box once it is up; it is called again on later ticks until it
// returns true.
std::function<bool(HWND)> GAnswer;
int GTicks = 0;
bool GFound = false;

BOOL CALLBACK FindDialog(HWND aWindow, LPARAM aFound) {
  wchar_t name[16] = {};
  ::GetClassNameW(aWindow, name, 16);
  if (std::wstring(name) == L"#32770" && ::IsWindowVisible(aWindow)) {
    *reinterpret_cast<HWND*>(aFound) = aWindow;
    return FALSE;
  }
  return TRUE;
}

void CALLBACK Poll(HWND, UINT, UINT_PTR aTimer, DWORD) {
  HWND dialog = nullptr;
  ::EnumThreadWindows(::GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
  if (dialog != nullptr)
    GFound = true;
  if ((dialog != nullptr && GAnswer(dialog)) || ++GTicks > kPollLimit)
    ::KillTimer(nullptr, aTimer);
}

// Shows the box, answering it with aAnswer.
TModalResult ShowAnswered(TWinMessageBox& aBox, const TCLMessageRequest& aRequest,
                          bool& aFlagChecked, std::function<bool(HWND)> aAnswer) {
  GAnswer = std::move(aAnswer);
  GTicks = 0;
  GFound = false;
  ::SetTimer(nullptr, 0, kPollMs, Poll);
  const TModalResult result = aBox.Show(aRequest, aFlagChecked);
  EXPECT_TRUE(GFound) << "the box never showed";
  return result;
}

std::wstring ChildText(HWND aDialog, int aId) {
  wchar_t text[64] = {};
  ::GetWindowTextW(::GetDlgItem(aDialog, aId), text, 64);
  return text;
}

bool IsDefaultButton(HWND aDialog, int aId) {
  return (::GetWindowLongW(::GetDlgItem(aDialog, aId), GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON;
}

} // namespace

TEST(WinMessageBox, TaskDialogReturnsTheButtonAndTheTick) {
  TWinMessageBox box;
  TCLMessageRequest request;
  request.Caption = L"Kestrova";
  request.Text = L"Repair the 12 selected problems now?";
  request.DlgType = TMsgDlgType::mtWarning;
  request.Buttons = mb::YesNo;
  request.ShowFlagCaption = L"Do not display this message again";
  bool flag = false;
  std::wstring caption;
  bool yesIsDefault = false;
  int step = 0;
  const std::wstring shot = ktest::win32::ScreenshotPath(L"messagebox");
  ::DeleteFileW(shot.c_str());
  const TModalResult result = ShowAnswered(box, request, flag, [&](HWND aDialog) {
    // Tick, let the box paint the tick, take the picture, then answer.
    if (step == 0) {
      wchar_t text[64] = {};
      ::GetWindowTextW(aDialog, text, 64);
      caption = text;
      yesIsDefault = IsDefaultButton(aDialog, IDYES);
      ::SendMessageW(aDialog, TDM_CLICK_VERIFICATION, TRUE, FALSE);
      ::RedrawWindow(aDialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    } else if (step == 3) {
      ktest::win32::SaveWindowPng(aDialog, shot);
      ::SendMessageW(aDialog, TDM_CLICK_BUTTON, IDNO, 0);
      return true;
    }
    ++step;
    return false;
  });
  EXPECT_EQ(result, mr::No);
  EXPECT_TRUE(flag);
  EXPECT_EQ(caption, L"Kestrova");
  EXPECT_TRUE(yesIsDefault);
  EXPECT_NE(::GetFileAttributesW(shot.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(WinMessageBox, OwnButtonsCarryTheirResultsAndTextsAndEscapeMeansOk) {
  TWinMessageBox box;
  TCLMessageRequest request;
  request.Caption = L"Kestrova";
  request.Text = L"The backup file could not be written.";
  request.DlgType = TMsgDlgType::mtError;
  request.Buttons = mb::Abort | mb::Retry | mb::Ignore;
  bool flag = true;
  std::wstring retryText;
  bool abortIsDefault = false;
  EXPECT_EQ(ShowAnswered(box, request, flag,
                         [&](HWND aDialog) {
                           retryText = ChildText(aDialog, IDRETRY);
                           abortIsDefault = IsDefaultButton(aDialog, IDABORT);
                           ::SendMessageW(aDialog, TDM_CLICK_BUTTON, IDRETRY, 0);
                           return true;
                         }),
            mr::Retry);
  EXPECT_FALSE(flag);
  EXPECT_EQ(retryText, L"&Retry");
  EXPECT_TRUE(abortIsDefault);

  // A box with only OK may be closed; that is its OK.
  request.Buttons = mb::OK;
  request.DlgType = TMsgDlgType::mtInformation;
  EXPECT_EQ(ShowAnswered(box, request, flag,
                         [](HWND aDialog) {
                           ::PostMessageW(aDialog, WM_CLOSE, 0, 0);
                           return true;
                         }),
            mr::OK);
}

TEST(WinMessageBox, PlainBoxAnswersWithoutTheTick) {
  TWinMessageBox box(true);
  TCLMessageRequest request;
  request.Caption = L"Kestrova";
  request.Text = L"Cancel the scan?";
  request.DlgType = TMsgDlgType::mtConfirmation;
  request.Buttons = mb::OKCancel;
  request.ShowFlagCaption = L"Do not display this message again";
  bool flag = true;
  bool hasCancel = false;
  EXPECT_EQ(ShowAnswered(box, request, flag,
                         [&](HWND aDialog) {
                           hasCancel = ::GetDlgItem(aDialog, IDCANCEL) != nullptr;
                           ::PostMessageW(aDialog, WM_COMMAND, IDCANCEL, 0);
                           return true;
                         }),
            mr::Cancel);
  EXPECT_TRUE(hasCancel);
  EXPECT_FALSE(flag);
}

TEST(WinMessageBox, TheShowAgainAnswerIsStoredAndGivenWithoutTheBox) {
  constexpr int32_t kNumber = 9917;
  kplat::win32::TWin32Platform platform;
  const kplat::TScopedPlatform scope(platform);
  GetCLSettings().SetMessageShowAgainFlag(kNumber, true);
  TWinMessageBox box;
  TCLEngine engine(nullptr);
  engine.SetMessageBox(&box);
  const auto ask = [&engine] {
    return engine.ShowMessageEx(L"Empty the recycle bin as well?", {}, false, mr::None, mb::YesNo,
                                TMsgDlgType::mtConfirmation, kNumber);
  };
  // The user ticks "Do not display this message again" and answers No.
  GAnswer = [](HWND aDialog) {
    ::SendMessageW(aDialog, TDM_CLICK_VERIFICATION, TRUE, FALSE);
    ::SendMessageW(aDialog, TDM_CLICK_BUTTON, IDNO, 0);
    return true;
  };
  GTicks = 0;
  GFound = false;
  UINT_PTR timer = ::SetTimer(nullptr, 0, kPollMs, Poll);
  EXPECT_EQ(ask(), mr::No);
  EXPECT_TRUE(GFound) << "the box never showed";
  ::KillTimer(nullptr, timer);

  // The answer is in the settings file: read afresh, it is given at once, with no box.
  FreeCLSettings();
  EXPECT_FALSE(GetCLSettings().GetMessageShowAgainFlag(kNumber));
  GAnswer = [](HWND aDialog) {
    ::SendMessageW(aDialog, TDM_CLICK_BUTTON, IDYES, 0);
    return true;
  };
  GTicks = 0;
  GFound = false;
  timer = ::SetTimer(nullptr, 0, kPollMs, Poll);
  EXPECT_EQ(ask(), mr::No);
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
    ::DispatchMessageW(&message);
  ::KillTimer(nullptr, timer);
  EXPECT_FALSE(GFound);

  GetCLSettings().SetMessageShowAgainFlag(kNumber, true);
  FreeCLSettings();
}
