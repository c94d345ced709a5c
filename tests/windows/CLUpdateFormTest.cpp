// The update window's decisions over a scripted update server: what it shows, what it opens and
// which settings it writes, for the user's check and the automatic one, and for answers that
// must never hurt.
#include "windows/CLUpdateForm.h"

#include "base/CLDateUtils.h"
#include "support/FakeServer.h"
#include "support/WindowTest.h"

#include <condition_variable>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace {

const std::wstring kPage = L"https://www.kestrova.example/download";
// Answers with bytes that end a C string.
const char kBinaryTail[] = "magicword=KSTV\nResult=1\npage=http://evil.example/\0\x01\x02";
const char kPicture[] = "\x89PNG\r\n\x1A\n\0\0\0\rIHDR";

const std::string kNewer =
    "magicword=kstv\r\nResult=1\r\ninfo=Kestrova 2.0 is out\r\n"
    "page=https://www.kestrova.example/download\r\nBanner.Home.URL=http://b.example/home.html\r\n";

class UpdateWindowTest : public WindowTest {
protected:
  UpdateWindowTest() : WindowTest(TCLIdleWait::WaitForCall) { StartWithRunTimes(3); }
  ~UpdateWindowTest() override { delete UpdateFormOf(FEngine); }

  // The settings of a program that has started aRunTimes times before.
  void StartWithRunTimes(int aRunTimes) {
    GetCLSettings().SetSettingInteger(L"RunTimes", aRunTimes);
    FreeCLSettings();
    TCLSettings& settings = GetCLSettings();
    settings.SetSettingstring(L"App.MagicWord", L"KSTV");
    settings.SetSettingstring(L"URL.Update", L"http://update.kestrova.example/check");
    settings.SetSettingBool(L"Update.AutoCheck", true);
    settings.SetSettingInteger(L"Update.Days", 7);
    settings.SetSettingInteger(L"Update.DelaySeconds", 2);
  }
  TCLSettings& Settings() { return GetCLSettings(); }

  // Serves the main thread until the window has its answer and has shown it.
  static bool Settle(TfrmCLUpdateForm& aForm) {
    return ::Settle([&aForm] { return !aForm.Updating(); }, 20000);
  }
  TfrmCLUpdateForm& Interactive(std::optional<std::string> aAnswer) {
    FServer->Answer = std::move(aAnswer);
    AppUpdate(FEngine, false);
    TfrmCLUpdateForm& form = *UpdateFormOf(FEngine);
    EXPECT_TRUE(Settle(form));
    return form;
  }
  std::vector<std::wstring> Opened() {
    std::vector<std::wstring> opened;
    for (const auto& request : Machine().ShellExecutions())
      opened.push_back(request.File);
    for (const auto& start : Machine().Launches())
      opened.push_back(start.CommandLine);
    return opened;
  }

  const TScopedHeadless FHeadless;
  TScopedFakeServer FServer;
};

} // namespace

TEST_F(UpdateWindowTest, ANewerVersionIsOfferedAndItsPageOpenedOnlyOnOK) {
  FServer->Answer = kNewer;
  AppUpdate(FEngine, false);
  TfrmCLUpdateForm& form = *UpdateFormOf(FEngine);
  // Connecting, at once.
  EXPECT_TRUE(form.Visible());
  EXPECT_EQ(form.Caption(), L"Update Kestrova");
  EXPECT_EQ(form.lbInfo->Caption(), L"Connecting to the update server...");
  EXPECT_TRUE(form.pnOK->Visible());
  EXPECT_FALSE(form.pnOkCancel->Visible());
  EXPECT_TRUE(form.cbAutoCheckUpdate->Checked());
  EXPECT_EQ(form.DelaySeconds(), 5);
  EXPECT_EQ(form.BorderStyle(), TFormBorderStyle::bsSingle);

  ASSERT_TRUE(Settle(form));
  EXPECT_EQ(FServer->Object.rfind(L"/check?ACTION=Update&", 0), 0u) << FServer->Object;
  EXPECT_EQ(form.lbInfo->Caption(), L"Kestrova 2.0 is out");
  EXPECT_TRUE(form.pnOkCancel->Visible());
  EXPECT_FALSE(form.pnOK->Visible());
  EXPECT_TRUE(form.btnOK->Enabled());
  EXPECT_FALSE(form.tmrTimer->Enabled());
  EXPECT_TRUE(Opened().empty());
  EXPECT_EQ(Settings().GetSettingInteger(L"Update.Times"), 1);
  EXPECT_EQ(Settings().GetSettingString(L"Banner.Home.URL"), L"http://b.example/home.html");
  EXPECT_NEAR(Settings().GetSettingDate(L"Update.LastDate"), Now(), 1.0 / 24);

  // Cancel closes without storing the tick box.
  form.cbAutoCheckUpdate->Click();
  form.btnCancel->Click();
  EXPECT_FALSE(form.Visible());
  EXPECT_TRUE(Settings().GetSettingBool(L"Update.AutoCheck"));
  EXPECT_TRUE(Opened().empty());

  // OK stores it and opens the page.
  TfrmCLUpdateForm& again = Interactive(kNewer);
  again.cbAutoCheckUpdate->Click();
  again.btnOK->Click();
  EXPECT_FALSE(again.Visible());
  EXPECT_FALSE(Settings().GetSettingBool(L"Update.AutoCheck"));
  EXPECT_EQ(Opened(), std::vector<std::wstring>{kPage});
  EXPECT_EQ(Settings().GetSettingInteger(L"Update.Times"), 2);
}

TEST_F(UpdateWindowTest, UpToDateAndNewerWithoutPageShowTheOneButtonPanel) {
  TfrmCLUpdateForm& latest = Interactive("magicword=KSTV\nResult=0\npage=http://x.example/\n");
  EXPECT_EQ(latest.lbInfo->Caption(), L"You already have the latest version of Kestrova.");
  EXPECT_TRUE(latest.pnOK->Visible());
  EXPECT_FALSE(latest.pnOkCancel->Visible());
  latest.btnOK2->Click();
  EXPECT_FALSE(latest.Visible());
  EXPECT_TRUE(Opened().empty());

  // A "page" that is no web address is never opened.
  for (const char* answer : {"magicword=KSTV\nResult=1\ninfo=New!\n",
                             "magicword=KSTV\nResult=1\ninfo=New!\npage=C:\\Windows\\calc.exe\n",
                             "magicword=KSTV\nResult=1\ninfo=New!\npage=file:///C:/x.exe\n"}) {
    TfrmCLUpdateForm& form = Interactive(answer);
    EXPECT_EQ(form.lbInfo->Caption(), L"New!") << answer;
    EXPECT_TRUE(form.pnOK->Visible()) << answer;
    EXPECT_TRUE(form.URL().empty()) << answer;
    form.btnOK2->Click();
  }
  EXPECT_TRUE(Opened().empty());

  // A result the program does not know shows nothing at all.
  TfrmCLUpdateForm& unknown = Interactive("magicword=KSTV\nResult=2\n");
  EXPECT_FALSE(unknown.Visible());
  EXPECT_EQ(Settings().GetSettingInteger(L"Update.Times"), 5);

  // The count of answers stops at the largest number it holds.
  Settings().SetSettingInteger(L"Update.Times", std::numeric_limits<int32_t>::max());
  Interactive("magicword=KSTV\nResult=0\n").btnOK2->Click();
  EXPECT_EQ(Settings().GetSettingInteger(L"Update.Times"), std::numeric_limits<int32_t>::max());
}

TEST_F(UpdateWindowTest, AnswersThatAreNoAnswerShowTheNetworkErrorAndStoreNothing) {
  Settings().SetSettingInteger(L"Update.Days", 7);
  const std::string huge = "magicword=KSTV\nResult=1\ninfo=" + std::string(3 * 1024 * 1024, 'x');
  const std::vector<std::optional<std::string>> answers = {
      std::nullopt,
      std::string(),
      std::string("magicword=OTHER\nResult=1\ninfo=x\npage=http://evil.example/\n"
                  "Banner.Home.URL=http://evil.example/\n"),
      std::string("Result=1\npage=http://evil.example/\n"),
      std::string(kBinaryTail, sizeof(kBinaryTail) - 1),
      huge,
      std::string(kPicture, sizeof(kPicture) - 1),
  };
  for (const auto& answer : answers) {
    TfrmCLUpdateForm& form = Interactive(answer);
    EXPECT_TRUE(form.Visible());
    EXPECT_EQ(form.lbInfo->Caption(),
              L"The update server could not be reached. Your computer may be offline, or the "
              L"server is busy; please try again later.");
    EXPECT_TRUE(form.pnOK->Visible());
    EXPECT_FALSE(form.pnOkCancel->Visible());
    form.btnOK2->Click();
  }
  EXPECT_TRUE(Opened().empty());
  EXPECT_EQ(Settings().GetSettingInteger(L"Update.Times"), 0);
  EXPECT_FALSE(Settings().GetSettingExists(L"Banner.Home.URL"));
  EXPECT_EQ(Settings().GetSettingInteger(L"Update.Days"), 7);

  // Only "Banner." names are written, whatever else the answer carries.
  Interactive("magicword=KSTV\nResult=0\nUpdate.Days=0\nApp.MagicWord=x\nURL.Update=http://e/\n"
              "Banner.A=http://a.example/\nBanner.a\\..\\b=http://a.example/\n")
      .btnOK2->Click();
  EXPECT_EQ(Settings().GetSettingInteger(L"Update.Days"), 7);
  EXPECT_EQ(Settings().GetSettingString(L"App.MagicWord"), L"KSTV");
  EXPECT_EQ(Settings().GetSettingString(L"URL.Update"), L"http://update.kestrova.example/check");
  EXPECT_EQ(Settings().GetSettingString(L"Banner.A"), L"http://a.example/");
}

TEST_F(UpdateWindowTest, TheAutomaticCheckKeepsItsDaysAndShowsOnlyANewerVersion) {
  const TDateTime now = Now();
  // Six days after the last answer: no request.
  Settings().SetSettingDate(L"Update.LastDate", now - 6);
  AppUpdateAuto(FEngine);
  EXPECT_EQ(UpdateFormOf(FEngine), nullptr);
  EXPECT_EQ(FServer.Requests(), 0);

  // Seven: a request in a hidden window that shows the newer version.
  Settings().SetSettingDate(L"Update.LastDate", now - 7);
  FServer->Answer = kNewer;
  AppUpdateAuto(FEngine);
  ASSERT_NE(UpdateFormOf(FEngine), nullptr);
  EXPECT_FALSE(UpdateFormOf(FEngine)->Visible());
  ASSERT_TRUE(Settle(*UpdateFormOf(FEngine)));
  EXPECT_EQ(FServer.Requests(), 1);
  EXPECT_TRUE(UpdateFormOf(FEngine)->Visible());
  EXPECT_TRUE(UpdateFormOf(FEngine)->pnOkCancel->Visible());
  UpdateFormOf(FEngine)->btnCancel->Click();

  // The answer moved the date: no request now. A date ahead of the clock does not stop checks.
  AppUpdateAuto(FEngine);
  EXPECT_EQ(FServer.Requests(), 1);
  Settings().SetSettingDate(L"Update.LastDate", now + 400);
  FServer->Answer = "magicword=KSTV\nResult=0\n";
  AppUpdateAuto(FEngine);
  ASSERT_TRUE(Settle(*UpdateFormOf(FEngine)));
  EXPECT_EQ(FServer.Requests(), 2);
  // Up to date is nothing to show for a hidden window.
  EXPECT_FALSE(UpdateFormOf(FEngine)->Visible());
}

TEST_F(UpdateWindowTest, AHiddenCheckShowsNothingUnlessAllowedAndRefreshesTheSettings) {
  struct TCase {
    int RunTimes;
    bool AutoCheck;
    bool NoAutoCheck;
    std::string Answer;
    bool Shown;
    int Times;
  };
  const TCase cases[] = {
      // The first start after installation asks but shows nothing.
      {0, true, false, kNewer, false, 1},
      {3, false, false, kNewer, false, 1},
      {3, true, true, kNewer, false, 1},
      {3, true, false, kNewer, true, 1},
      // A foreign answer: nothing shown, the date moves, the count does not.
      {3, true, false, "magicword=OTHER\nResult=1\ninfo=x\n", false, 0},
      {3, true, false, "", false, 0},
  };
  for (const TCase& c : cases) {
    StartWithRunTimes(c.RunTimes);
    Settings().SetSettingInteger(L"Update.Times", 0);
    Settings().SetSettingDate(L"Update.LastDate", 0);
    Settings().SetSettingBool(L"Update.AutoCheck", c.AutoCheck);
    Settings().SetSettingBool(L"Update.NoAutoCheck", c.NoAutoCheck);
    FServer->Answer = c.Answer;
    AppUpdateAuto(FEngine);
    ASSERT_TRUE(Settle(*UpdateFormOf(FEngine)));
    EXPECT_EQ(UpdateFormOf(FEngine)->Visible(), c.Shown) << c.RunTimes << c.Answer.size();
    EXPECT_EQ(Settings().GetSettingInteger(L"Update.Times"), c.Times) << c.Answer.size();
    // An empty body is no answer: the date stays.
    EXPECT_EQ(Settings().GetSettingDate(L"Update.LastDate") > 0, !c.Answer.empty());
    EXPECT_EQ(UpdateFormOf(FEngine)->cbAutoCheckUpdate->Visible(), !c.NoAutoCheck);
    // A window on the screen keeps the next automatic check away.
    if (c.Shown) {
      AppUpdateAuto(FEngine);
      EXPECT_EQ(FServer.Requests(), &c - cases + 1);
      UpdateFormOf(FEngine)->btnCancel->Click();
    }
  }
  EXPECT_TRUE(Opened().empty());
}

TEST_F(UpdateWindowTest, TheCountdownClosesTheResultAfterAtLeastFiveSeconds) {
  Settings().SetSettingBool(L"Update.AutoClose", true);
  Settings().SetSettingDate(L"Update.LastDate", Now() - 30);
  FServer->Answer = kNewer;
  AppUpdateAuto(FEngine);
  TfrmCLUpdateForm& form = *UpdateFormOf(FEngine);
  ASSERT_TRUE(Settle(form));
  ASSERT_TRUE(form.Visible());
  EXPECT_TRUE(form.tmrTimer->Enabled());
  EXPECT_EQ(form.tmrTimer->Interval(), 200u);
  EXPECT_FALSE(form.lblTimer->Visible());

  form.tmrTimerTimer();
  EXPECT_TRUE(form.lblTimer->Visible());
  EXPECT_EQ(form.lblTimer->Caption(), L"This window will close in 5 sec(s)...");
  Machine().AdvanceMs(2400);
  form.tmrTimerTimer();
  EXPECT_EQ(form.lblTimer->Caption(), L"This window will close in 3 sec(s)...");
  Machine().AdvanceMs(2500);
  form.tmrTimerTimer();
  EXPECT_TRUE(form.Visible());
  Machine().AdvanceMs(100);
  form.tmrTimerTimer();
  EXPECT_FALSE(form.Visible());
  EXPECT_FALSE(form.tmrTimer->Enabled());
}

TEST_F(UpdateWindowTest, AKeyOrClosingGivesTheRequestUpAndNothingComesBack) {
  FServer->Hold = true;
  for (const bool byKey : {true, false}) {
    FServer->Holding = false;
    FServer->Cancelled = false;
    AppUpdate(FEngine, false);
    TfrmCLUpdateForm& form = *UpdateFormOf(FEngine);
    {
      std::unique_lock lock(FServer->Lock);
      ASSERT_TRUE(FServer->Changed.wait_for(lock, std::chrono::seconds(20),
                                            [this] { return FServer->Holding; }));
    }
    if (byKey)
      form.FormKeyUp(L'A');
    else
      form.Close();
    EXPECT_FALSE(form.Visible());
    EXPECT_FALSE(form.Updating());
    EXPECT_TRUE(FServer->Cancelled);
    ASSERT_TRUE(TSingleDownloader::WaitForAbandoned(20000));
    FMain.ProcessMessages();
    EXPECT_FALSE(form.Visible());
  }
  EXPECT_EQ(Settings().GetSettingDate(L"Update.LastDate"), 0);
}

TEST_F(UpdateWindowTest, TheModalWindowClosesWithEscapeAfterItsResult) {
  FServer->Answer = "magicword=KSTV\nResult=0\n";
  int shown = 0;
  TForm::SetModalHandler([&](TForm& aForm) {
    auto& form = dynamic_cast<TfrmCLUpdateForm&>(aForm);
    ++shown;
    EXPECT_TRUE(Settle(form));
    EXPECT_EQ(form.lbInfo->Caption(), L"You already have the latest version of Kestrova.");
    form.FormKeyUp(L'A');
    EXPECT_TRUE(form.Visible());
    form.FormKeyUp(0x1B);
    EXPECT_FALSE(form.Visible());
    return form.ModalResult();
  });
  AppUpdate(FEngine, true);
  EXPECT_EQ(shown, 1);
  // The modal window is gone with its call.
  EXPECT_EQ(UpdateFormOf(FEngine), nullptr);
  EXPECT_EQ(FEngine.ComponentCount(), 0);
}
