#include "windows/uHome.h"

#include "components/CLWebBrowser.h"
#include "engine/FigEngine.h"
#include "support/WindowTest.h"

namespace {

class HomePage : public WindowTest {
protected:
  HomePage() {
    Program()
        .Settings("App.Name=Kestrova\nApp.Ver=2.0.1.7\nApp.LastScan=2026-12-08 21:15\n"
                  "SystemOptimization.CO=9\nSystemOptimization.NO=2\nAutoScan.Enabled=1\n"
                  "URL.UpdateInfoURL=https://news.example/\nURL.InfoHeight=180\n")
        .Topics("[GLOBAL]\nMAGICWORD=FIG\nDATETIME=3/7/2026\n[TOPIC_0]\nNAME=A\n");
    EXPECT_TRUE(FFigEngine.LoadTopics(kProgram + L"data\\topic.db"));
    FHost.Engine = &FFigEngine;
    FHost.OpenSettings = [this](int aPage) { FPages.push_back(aPage); };
  }

  TFigEngine FFigEngine;
  THomeHost FHost;
  std::vector<int> FPages;
};

} // namespace

TEST_F(HomePage, OverviewFollowsTheSettingsAndItsSwitchesChangeThem) {
  kplat::TDateTimeFormats formats;
  formats.DateSeparator = L".";
  Machine().SetDateTimeFormats(formats);
  TfrmHome home(nullptr, FHost);
  EXPECT_EQ(home.lblPV->Caption(), L"2.0.1.7");
  EXPECT_EQ(home.lblDD->Caption(), L"07.03.2026");
  EXPECT_EQ(home.lblLS->Caption(), L"2026-12-08 21:15");
  EXPECT_EQ(home.lblAutoCureSwitch->Caption(), L"ON");
  EXPECT_EQ(home.lblAutoSweepSwitch->Caption(), L"OFF");
  EXPECT_EQ(home.lblCO->Caption(), L"Basic");
  EXPECT_EQ(home.lblNO->Caption(), L"LAN");
  EXPECT_EQ(UsageProfileName(-1), L"Basic");
  EXPECT_EQ(UsageProfileName(6), L"Computing (Business User)");
  EXPECT_EQ(ConnectionProfileName(4), L"Basic");

  TCLSettings& settings = GetCLSettings();
  home.lblAutoCureSwitch->Click();
  EXPECT_FALSE(settings.GetSettingBool(L"AutoScan.Enabled"));
  EXPECT_EQ(home.lblAutoCureSwitch->Caption(), L"OFF");
  home.lblAutoSweepSwitch->Click();
  EXPECT_TRUE(settings.GetSettingBool(L"AutoSweep.Login"));
  EXPECT_EQ(Machine().GetRegString(kplat::regroot::CurrentUser, kRunKey, L"Kestrova").value_or(L""),
            L"\"" + Machine().System().GetProgramPath() + L"\" AutoSweep");

  // The page follows a change made elsewhere within a second.
  settings.SetSettingstring(L"Database.Ver", L"2026.12");
  settings.SetSettingInteger(L"SystemOptimization.CO", 3);
  Machine().AdvanceMs(1000);
  FMain.ProcessMessages();
  EXPECT_EQ(home.lblDD->Caption(), L"2026.12");
  EXPECT_EQ(home.lblCO->Caption(), L"Top Performance (Home User)");

  home.lblNO->Click();
  EXPECT_EQ(FPages, (std::vector<int>{13}));
}

TEST_F(HomePage, NewsPageIsTheFilledTemplateOrAClearMessage) {
  {
    TfrmHome home(nullptr, FHost);
    ASSERT_EQ(FBox.Texts.size(), 1u);
    EXPECT_NE(FBox.Texts[0].find(L"info.html"), std::wstring::npos) << FBox.Texts[0];
    EXPECT_TRUE(home.wbInfo->Document().empty());
    // Told once, not at every look at the tab.
    home.pcHome->SelectByUser(1);
    EXPECT_EQ(FBox.Texts.size(), 1u);
  }
  Machine().AddTextFile(kProgram + L"res\\info.html",
                        "<link href=\"{CSSAPPPATH}res/news.css\"><iframe src=\"{news_url}\" "
                        "height=\"{NEWS_HEIGHT}\">");
  TfrmHome home(nullptr, FHost);
  EXPECT_EQ(home.wbInfo->Document(),
            L"<link href=\"file:///C|/Program Files/Kestrova/res/news.css\"><iframe "
            L"src=\"https://news.example/\" height=\"180\">\r\n");

  // The page's own addresses go to the engine and are never loaded.
  EXPECT_FALSE(home.wbInfo->BeforeNavigate(L"wcme:page?PAGE=news"));
  EXPECT_TRUE(home.wbInfo->BeforeNavigate(L"https://news.example/"));
}

TEST_F(HomePage, NewsPageRepeatsTheOverviewRowsAndLinksTheConfiguredPages) {
  TCLSettings& settings = GetCLSettings();
  settings.SetSettingstring(L"App.Ver", L"2.1 <beta>");
  settings.SetSettingstring(L"Database.Ver", L"2026.12");
  settings.SetSettingstring(L"URL.help", L"https://help.example/");
  settings.SetSettingstring(L"URL.support", L" ");
  Machine().AddTextFile(kProgram + L"res\\info.html",
                        "<!-- begin block state -->{caption}={Value};<!-- end block state -->|"
                        "<!-- begin block link --><a href=\"wcme:page?PAGE={page}\">{text}</a>"
                        "<!-- end block link -->");
  TfrmHome home(nullptr, FHost);
  EXPECT_TRUE(FBox.Texts.empty());
  EXPECT_EQ(home.wbInfo->Document(),
            L"Program Version:=2.1 &lt;beta&gt;;Database Date:=2026.12;Last Scan:=2026-12-08 "
            L"21:15;|<a href=\"wcme:page?PAGE=help\">Help Center</a>\r\n");

  // A template the filler cannot follow shows no half-filled page, and says why, once.
  Machine().AddTextFile(kProgram + L"res\\info.html", "<p>cut<!-- end block state -->rest");
  EXPECT_FALSE(home.SetInfo());
  EXPECT_TRUE(home.wbInfo->Document().empty());
  home.pcHome->SelectByUser(1);
  ASSERT_EQ(FBox.Texts.size(), 1u);
  EXPECT_NE(FBox.Texts[0].find(L"res\\info.html is damaged"), std::wstring::npos) << FBox.Texts[0];
  EXPECT_NE(FBox.Texts[0].find(L"never began"), std::wstring::npos);
}
