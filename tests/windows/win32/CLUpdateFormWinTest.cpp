// The update window on the real window system and WinInet, asking a server of this test on
// 127.0.0.1: connecting, up to date, a newer version and the network error, the automatic
// check's day rule, and a key that gives the request up. Pictures of the states go to the
// screenshots folder.
#include "windows/CLUpdateForm.h"

#include "appengine/win32/CLWinInet.h"
#include "base/CLDateUtils.h"
#include "support/win32/LocalHttpServer.h"
#include "support/win32/WinWindowTest.h"
#include "windows/uMain.h"

#include <functional>
#include <string>

namespace {

using ktest::win32::THttpReply;

const std::string kNewer = "magicword=KESTROVA\r\nResult=1\r\n"
                           "info=Kestrova 9.0 is out, with a faster scan.\r\n"
                           "page=http://127.0.0.1/download\r\n"
                           "Banner.KestrovaWinTest.URL=http://127.0.0.1/banner.html\r\n";

// Serves the thread's messages as the program's loop does (keys reach the forms first) until
// aDone holds.
bool Serve(const std::function<bool()>& aDone) {
  const ULONGLONG end = ::GetTickCount64() + 30000;
  while (!aDone()) {
    if (::GetTickCount64() >= end)
      return false;
    ::MsgWaitForMultipleObjectsEx(0, nullptr, 20, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (!TranslateFormMessage(message)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
      }
    }
  }
  return true;
}

using ktest::win32::Shoot;

bool Shown(TControl& aControl) {
  HWND window = ControlWindow(aControl);
  return window != nullptr && ::IsWindowVisible(window);
}

class UpdateWindowWin : public WinEngineWindowTest {
protected:
  UpdateWindowWin() {
    FPreviousTransfer = InstallWinInetTransfer();
    TStringList overwrite;
    overwrite.Add(L"URL.Update=" + FServer.URL("/check"));
    overwrite.Add(L"App.MagicWord=KESTROVA");
    FEngine.SetSettingOverwrite(overwrite);
    TCLSettings& settings = GetCLSettings();
    FLastDate = settings.GetSettingFloat(L"Update.LastDate");
    FAutoCheck = settings.GetSettingBool(L"Update.AutoCheck");
    FDays = settings.GetSettingInteger(L"Update.Days");
  }
  ~UpdateWindowWin() override {
    delete UpdateFormOf(FEngine);
    FServer.Release();
    EXPECT_TRUE(TSingleDownloader::WaitForAbandoned(30000));
    TSingleDownloader::SetTransferFactory(FPreviousTransfer);
    TCLSettings& settings = GetCLSettings();
    settings.SetSettingFloat(L"Update.LastDate", FLastDate);
    settings.SetSettingBool(L"Update.AutoCheck", FAutoCheck);
    settings.SetSettingInteger(L"Update.Days", FDays);
  }

  // The user's check, served until its answer is on the screen.
  TfrmCLUpdateForm& Check(const THttpReply& aReply) {
    FServer.SetReply("/check", aReply);
    AppUpdate(FEngine, false);
    TfrmCLUpdateForm& form = *UpdateFormOf(FEngine);
    EXPECT_TRUE(Serve([&form] { return !form.Updating(); }));
    Serve([&form] { return ::GetQueueStatus(QS_POSTMESSAGE) == 0; });
    return form;
  }

  ktest::win32::TLocalHttpServer FServer;
  TTransferFactory FPreviousTransfer;
  double FLastDate = 0;
  bool FAutoCheck = false;
  int FDays = 0;
};

} // namespace

TEST_F(UpdateWindowWin, ConnectingUpToDateNewerAndNetworkError) {
  ASSERT_NE(FServer.Port(), 0);
  // Connecting: the server holds the request.
  FServer.SetReply("/check", THttpReply{.Hold = true});
  AppUpdate(FEngine, false);
  TfrmCLUpdateForm& connecting = *UpdateFormOf(FEngine);
  HWND window = FormWindow(connecting);
  ASSERT_TRUE(::IsWindowVisible(window));
  ASSERT_TRUE(FServer.WaitForRequests(1, 30000));
  EXPECT_EQ(FServer.Requests()[0].rfind("GET /check?ACTION=Update&", 0), 0u)
      << FServer.Requests()[0];
  // The window the schedule check looks for.
  EXPECT_EQ(::FindWindowW(L"TfrmCLUpdateForm", L"Update Kestrova"), window);
  EXPECT_EQ(connecting.lbInfo->Caption(), L"Connecting to the update server...");
  Shoot(window, L"update-connecting");
  // Closing it gives the request up; nothing comes back.
  ::SendMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(::IsWindowVisible(window));
  FServer.Release();
  ASSERT_TRUE(TSingleDownloader::WaitForAbandoned(30000));
  Serve([] { return ::GetQueueStatus(QS_ALLPOSTMESSAGE) == 0; });
  EXPECT_FALSE(connecting.Visible());

  TfrmCLUpdateForm& latest = Check(THttpReply{.Body = "magicword=KESTROVA\r\nResult=0\r\n"});
  ASSERT_TRUE(::IsWindowVisible(FormWindow(latest)));
  EXPECT_EQ(latest.lbInfo->Caption(), L"You already have the latest version of Kestrova.");
  EXPECT_TRUE(Shown(*latest.btnOK2));
  EXPECT_FALSE(Shown(*latest.btnOK));
  Shoot(FormWindow(latest), L"update-latest");
  ::SendMessageW(ControlWindow(*latest.btnOK2), BM_CLICK, 0, 0);
  EXPECT_FALSE(::IsWindowVisible(FormWindow(latest)));

  const int times = GetCLSettings().GetSettingInteger(L"Update.Times");
  TfrmCLUpdateForm& newer = Check(THttpReply{.Body = kNewer});
  ASSERT_TRUE(::IsWindowVisible(FormWindow(newer)));
  EXPECT_EQ(newer.lbInfo->Caption(), L"Kestrova 9.0 is out, with a faster scan.");
  EXPECT_TRUE(Shown(*newer.btnOK));
  EXPECT_TRUE(Shown(*newer.btnCancel));
  EXPECT_FALSE(Shown(*newer.btnOK2));
  EXPECT_EQ(newer.URL(), L"http://127.0.0.1/download");
  EXPECT_EQ(GetCLSettings().GetSettingInteger(L"Update.Times"), times + 1);
  EXPECT_EQ(GetCLSettings().GetSettingString(L"Banner.KestrovaWinTest.URL"),
            L"http://127.0.0.1/banner.html");
  Shoot(FormWindow(newer), L"update-newer");
  // Cancel: the page is not opened.
  ::SendMessageW(ControlWindow(*newer.btnCancel), BM_CLICK, 0, 0);
  EXPECT_FALSE(::IsWindowVisible(FormWindow(newer)));

  for (const THttpReply& reply :
       {THttpReply{.Status = "503 Service Unavailable", .Body = kNewer},
        THttpReply{.Body = "magicword=SOMEONE\r\nResult=1\r\npage=http://127.0.0.1/evil\r\n"},
        THttpReply{.Body = kNewer, .SendOnly = 20}}) {
    TfrmCLUpdateForm& failed = Check(reply);
    ASSERT_TRUE(::IsWindowVisible(FormWindow(failed)));
    EXPECT_EQ(failed.lbInfo->Caption().rfind(L"The update server could not be reached.", 0), 0u);
    EXPECT_TRUE(Shown(*failed.btnOK2));
    EXPECT_TRUE(failed.URL().empty());
    if (reply.Status != "200 OK")
      Shoot(FormWindow(failed), L"update-neterror");
    ::SendMessageW(ControlWindow(*failed.btnOK2), BM_CLICK, 0, 0);
  }
  EXPECT_EQ(GetCLSettings().GetSettingInteger(L"Update.Times"), times + 1);
}

TEST_F(UpdateWindowWin, TheAutomaticCheckAsksOnlyAfterItsDays) {
  TCLSettings& settings = GetCLSettings();
  settings.SetSettingInteger(L"Update.Days", 7);
  settings.SetSettingBool(L"Update.AutoCheck", true);
  if (settings.RunTimes() == 0) {
    FreeCLSettings();
  }
  ASSERT_GT(GetCLSettings().RunTimes(), 0);
  FServer.SetReply("/check", THttpReply{.Body = kNewer});
  GetCLSettings().SetSettingDate(L"Update.LastDate", Now() - 6);
  AppUpdateAuto(FEngine);
  EXPECT_EQ(UpdateFormOf(FEngine), nullptr);

  GetCLSettings().SetSettingDate(L"Update.LastDate", Now() - 7.01);
  AppUpdateAuto(FEngine);
  TfrmCLUpdateForm& form = *UpdateFormOf(FEngine);
  EXPECT_FALSE(form.Visible());
  ASSERT_TRUE(Serve([&form] { return form.Visible(); }));
  EXPECT_EQ(FServer.Requests().size(), 1u);
  EXPECT_TRUE(::IsWindowVisible(FormWindow(form)));
  EXPECT_TRUE(Shown(*form.btnOK));
  EXPECT_NEAR(GetCLSettings().GetSettingDate(L"Update.LastDate"), Now(), 0.01);
  ::SendMessageW(ControlWindow(*form.btnCancel), BM_CLICK, 0, 0);
}

TEST_F(UpdateWindowWin, AKeyGivesTheRequestUp) {
  FServer.SetReply("/check", THttpReply{.Hold = true});
  AppUpdate(FEngine, false);
  TfrmCLUpdateForm& form = *UpdateFormOf(FEngine);
  ASSERT_TRUE(FServer.WaitForRequests(1, 30000));
  HWND button = ControlWindow(*form.btnOK2);
  ::PostMessageW(button, WM_KEYUP, 'A', 0);
  ASSERT_TRUE(Serve([&form] { return !form.Visible(); }));
  EXPECT_FALSE(form.Updating());
  FServer.Release();
  ASSERT_TRUE(TSingleDownloader::WaitForAbandoned(30000));
  Serve([] { return ::GetQueueStatus(QS_ALLPOSTMESSAGE) == 0; });
  EXPECT_FALSE(::IsWindowVisible(FormWindow(form)));
}

TEST_F(UpdateWindowWin, CheckForUpdateInBothMenusOfTheMainWindowAsksTheServer) {
  FServer.SetReply("/check", THttpReply{.Body = "magicword=KESTROVA\r\nResult=0\r\n"});
  GetCLSettings().SetSettingDate(L"Update.LastDate", Now());
  TfrmMain main(nullptr);
  main.tmrCleannow->SetEnabled(false);
  for (TPopupMenu* menu : {main.pmTray, main.pmSys}) {
    TMenuItem* entry = nullptr;
    for (int i = 0; i < menu->Items().Count(); ++i) {
      if (menu->Items().Items(i)->Action() == main.actUpdate)
        entry = menu->Items().Items(i);
    }
    ASSERT_NE(entry, nullptr);
    const size_t asked = FServer.Requests().size();
    entry->Click();
    TfrmCLUpdateForm& form = *UpdateFormOf(main.Engine());
    ASSERT_TRUE(Serve([&form] { return !form.Updating(); }));
    Serve([] { return ::GetQueueStatus(QS_POSTMESSAGE) == 0; });
    EXPECT_EQ(FServer.Requests().size(), asked + 1);
    EXPECT_TRUE(::IsWindowVisible(FormWindow(form)));
    EXPECT_EQ(form.lbInfo->Caption(), L"You already have the latest version of Kestrova.");
    ::SendMessageW(ControlWindow(*form.btnOK2), BM_CLICK, 0, 0);
    EXPECT_FALSE(::IsWindowVisible(FormWindow(form)));
  }
}
