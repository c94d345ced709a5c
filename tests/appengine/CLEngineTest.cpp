#include "appengine/CLEngine.h"

#include "platform/TextCodec.h"
#include "support/WindowTest.h"

#include <memory>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::wstring>;

// A window as far as the title goes.
class TCaptioned : public TComponent {
public:
  TCaptioned() : TComponent(nullptr) {
    PublishString(
        L"Caption", [this] { return Caption; },
        [this](const std::wstring& aText) { Caption = aText; }, L"TCaption");
  }
  std::wstring ClassName() const override { return L"TfrmMain"; }
  std::wstring Caption;
};

class CLEngine : public MachineTest {
protected:
  CLEngine() {
    FLanguage.DefaultData().LoadFromString(L"[AppRes]\n"
                                           L"AppName=Kestrova\n"
                                           L"MSGBox.CureAfterScan=Cure {1} items of {1}? {2}\n"
                                           L"[LibRes]\n"
                                           L"btnOk.Caption=OK\n"
                                           L"Settings.Unreadable=Cannot read {1}\n");
    FEngine.SetLanguageData(&FLanguage);
    FEngine.SetMessageBox(&FBox);
  }

  void SetConst(const std::string& aLines) { Program().Settings(aLines); }

  TCLMultiLangData FLanguage{nullptr};
  TCLEngine FEngine{nullptr};
};

} // namespace

TEST_F(CLEngine, TextsComeFromTheirSectionsWithArguments) {
  EXPECT_EQ(FEngine.GetLibString(L"btnOk.Caption"), L"OK");
  EXPECT_EQ(FEngine.GetAppString(L"btnOk.Caption"), L"");
  EXPECT_EQ(FEngine.GetAppStringEx(L"MSGBox.CureAfterScan", {L"{2}", L"now"}),
            L"Cure {2} items of {2}? now");
  EXPECT_EQ(FEngine.GetAppStringEx(L"MSGBox.CureAfterScan", {L"3"}), L"Cure 3 items of 3? {2}");

  FLanguage.CurrentData().LoadFromString(L"[AppRes]\nAppName=Kestrova FR\n");
  EXPECT_EQ(FEngine.GetAppName(), L"Kestrova FR");
  FLanguage.CurrentData().ClearAll();
  FLanguage.DefaultData().ClearAll();
  SetConst("App.Name=Kestrova Setting\n");
  EXPECT_EQ(FEngine.GetAppName(), L"Kestrova Setting");
}

TEST_F(CLEngine, TitleCarriesTheVersionUnlessTurnedOff) {
  SetConst("App.Ver=1.2.3.4\n");
  TCaptioned window;
  TCLEngine& engine = *new TCLEngine(&window);
  engine.SetLanguageData(&FLanguage);
  int changes = 0;
  engine.OnTitleChange = [&changes](TObject&) { ++changes; };
  engine.UpdateTitle();
  EXPECT_EQ(engine.AppTitle(), L"Kestrova  1.2.3.4");
  EXPECT_EQ(window.Caption, L"Kestrova  1.2.3.4");
  engine.SetTitleIncludeVer(false);
  EXPECT_EQ(engine.AppTitle(), L"Kestrova");
  EXPECT_EQ(changes, 2);

  GetCLSettings().SetSettingBool(L"App.NoAutoTitle", true);
  engine.SetTitleIncludeVer(true);
  EXPECT_EQ(engine.AppTitle(), L"Kestrova  1.2.3.4");
  EXPECT_EQ(window.Caption, L"Kestrova");
  EXPECT_EQ(changes, 2);
}

TEST_F(CLEngine, MessageBoxShowsTheTextOrItsMarker) {
  EXPECT_EQ(FEngine.ShowMessageEx(L"MSGBox.CureAfterScan", {L"5", L"!"}, false, mr::None, mb::YesNo,
                                  TMsgDlgType::mtInformation, 0),
            mr::OK);
  ASSERT_EQ(FBox.Requests.size(), 1u);
  EXPECT_EQ(FBox.Requests[0].Text, L"Cure 5 items of 5? !");
  EXPECT_EQ(FBox.Requests[0].Caption, L"Kestrova");
  EXPECT_EQ(FBox.Requests[0].Buttons, mb::YesNo);
  EXPECT_EQ(FBox.Requests[0].ShowFlagCaption, L"");

  FEngine.ShowErrorMessage(L"Update.NetError", L"404", true);
  ASSERT_EQ(FBox.Requests.size(), 2u);
  EXPECT_EQ(FBox.Requests[1].Text, L"[LibRes]Update.NetError");
  EXPECT_EQ(FBox.Requests[1].DlgType, TMsgDlgType::mtError);
  EXPECT_EQ(FBox.Requests[1].Buttons, mb::OK);
  FEngine.ShowMessageEx(L"MSGBox.Missing", {}, false, mr::None, mb::OK, TMsgDlgType::mtWarning, 0);
  EXPECT_EQ(FBox.Requests[2].Text, L"[AppRes]MSGBox.Missing");

  FEngine.SetMessageBox(nullptr);
  EXPECT_EQ(FEngine.ShowMessageEx(L"MSGBox.CureAfterScan", {}, false, mr::Yes, mb::YesNo,
                                  TMsgDlgType::mtInformation, 0),
            mr::None);
}

TEST_F(CLEngine, TickedMessageIsAnsweredFromTheSettings) {
  const auto ask = [this](TModalResult aDefault) {
    return FEngine.ShowMessageEx(L"MSGBox.CureAfterScan", {}, false, aDefault, mb::YesNo,
                                 TMsgDlgType::mtInformation, 10);
  };
  FBox.Unscripted = mr::No;
  EXPECT_EQ(ask(mr::None), mr::No);
  ASSERT_EQ(FBox.Requests.size(), 1u);
  EXPECT_EQ(FBox.Requests[0].ShowFlagCaption, L"Do not display this message again");
  EXPECT_TRUE(GetCLSettings().GetMessageShowAgainFlag(10));

  FLanguage.CurrentData().LoadFromString(L"[SkinRes]\nMSG_CAP_SHOWFLAG=Nicht mehr anzeigen\n");
  FBox.TickShowAgain = true;
  FBox.Unscripted = mr::Yes;
  EXPECT_EQ(ask(mr::None), mr::Yes);
  EXPECT_EQ(FBox.Requests[1].ShowFlagCaption, L"Nicht mehr anzeigen");

  // From now on nothing is shown: the given default wins, else the stored answer.
  EXPECT_EQ(ask(mr::None), mr::Yes);
  EXPECT_EQ(ask(mr::Cancel), mr::Cancel);
  EXPECT_EQ(FBox.Requests.size(), 2u);
  FreeCLSettings();
  EXPECT_EQ(GetCLSettings().GetMessageShowAgainResult(10), mr::Yes);
  EXPECT_FALSE(GetCLSettings().GetMessageShowAgainFlag(10));
}

TEST_F(CLEngine, AddressesOfPages) {
  SetConst("URL.Help=%EXEPATH%\\help\\index.html\n"
           "URL.Buy=  \n"
           "URL.Redirect=http://r.example/go\n"
           "URL.News=https://news.example/list?id=4\n"
           "URL.Forum=http://forum.example/?\n"
           "URL.Local=file://%exepath%/a?x=1\n");
  EXPECT_EQ(FEngine.GetURL(L"Help", true), L"C:\\Program Files\\Kestrova\\help\\index.html");
  const std::wstring params = FEngine.GetURLParam();
  EXPECT_EQ(FEngine.GetURL(L"Buy", false), L"http://r.example/go");
  EXPECT_EQ(FEngine.GetURL(L"Buy", true), L"http://r.example/go?ACTION=Buy&" + params);
  EXPECT_EQ(FEngine.GetURL(L"News", true), L"https://news.example/list?id=4&ACTION=News&" + params);
  EXPECT_EQ(FEngine.GetURL(L"Forum", true), L"http://forum.example/?ACTION=Forum&" + params);
  EXPECT_EQ(FEngine.GetURL(L"Local", true), L"file://C:\\Program Files\\Kestrova/a?x=1");
}

TEST_F(CLEngine, UnreadableSettingsAreToldOnceAtStart) {
  const std::wstring file = L"C:\\ProgramData\\C__Program Files_Kestrova_Kestrova.exe\\setting.dat";
  Machine().AddTextFile(file, "[setting]\nRunTimes=3\n");
  Machine().FailOpenFile(file, kplat::err::SharingViolation);
  FEngine.InitPost();
  FEngine.InitPost();
  ASSERT_EQ(FBox.Requests.size(), 1u);
  EXPECT_EQ(FBox.Requests[0].Text, L"Cannot read " + file);
  EXPECT_EQ(FBox.Requests[0].DlgType, TMsgDlgType::mtWarning);
}

TEST_F(CLEngine, AddressParametersIdentifyTheProgram) {
  SetConst("Language=Deutsch Süd\nApp.Ver=1.2.3.4 beta\nApp.SubVer=77\nApp.RegPath=Kestrova\n");
  kplat::TOSVersion version;
  version.Major = 5;
  version.Minor = 1;
  version.ServicePack = L"Service Pack 3";
  Machine().SetVersion(version);
  Machine().SetLangID(1031);
  Machine().AdvanceMs(7042);
  GetCLSettings(); // the first start: no earlier runs

  EXPECT_EQ(FEngine.GetURLParam(), L"07042&LANG=Deutsch+S%FCd&DAY=0&RUNTIME=0&VER=01020304"
                                   L"&SVER=77&WVER=5_1_Service+Pack+3&WLANG=1031"
                                   L"&CHL=756E6B6E6F77");

  Machine().SetRegString(kplat::regroot::LocalMachine, L"Software\\Kestrova", L"CHL",
                         L"\"C:\\Setup\\chan1\"");
  const std::wstring params = FEngine.GetURLParam();
  EXPECT_EQ(params.substr(params.find(L"&CHL=")), L"&CHL=6368616E31");

  // The language name goes out in the system's code page.
  Machine().SetAnsiCodePage(1251);
  GetCLSettings().SetSettingstring(L"Language", L"\u0420\u0443\u0441\u0441\u043A\u0438\u0439");
  const std::wstring russian = FEngine.GetURLParam();
  EXPECT_EQ(russian.substr(russian.find(L"&LANG="), 28), L"&LANG=%D0%F3%F1%F1%EA%E8%E9&");

  EXPECT_EQ(PackVersion(L"1.2.3"), L"00000000");
  EXPECT_EQ(PackVersion(L"300.256.257.x"), L"2C000100");
}

TEST_F(CLEngine, OwnProtocolOpensPagesAndNeverNavigates) {
  SetConst("URL.support=http://support.example/\n");
  bool cancel = false;
  FEngine.WebBeforeNavigate2(L"http://www.example/", cancel);
  EXPECT_FALSE(cancel);
  FEngine.WebBeforeNavigate2(L"WCME:open?other=1&PAGE=", cancel);
  EXPECT_TRUE(cancel);
  EXPECT_TRUE(Machine().ShellExecutions().empty());

  cancel = false;
  FEngine.WebBeforeNavigate2(L"wcme:open?x=%ZZ&PAGE=sup%70ort", cancel);
  EXPECT_TRUE(cancel);
  ASSERT_EQ(Machine().ShellExecutions().size(), 1u);
  EXPECT_TRUE(
      Machine().ShellExecutions()[0].File.starts_with(L"http://support.example/?ACTION=support&"));
}

TEST_F(CLEngine, PagesOfTheProgramFolderOpenAsFileAddresses) {
  Machine().AddTextFile(L"C:\\Program Files\\Kestrova\\help\\index #1.html", "<html/>");
  Machine().AddTextFile(L"C:\\Program Files\\outside.html", "<html/>");
  SetConst("URL.Help=%exepath%\\help\\index #1.html\n"
           "URL.Slashes=%EXEPATH%/help/index #1.html\n"
           "URL.Missing=%exepath%\\help\\gone.html\n"
           "URL.Climb=%exepath%\\help\\..\\..\\outside.html\n"
           "URL.Dots=%exepath%\\help\\. . \\index #1.html\n"
           "URL.Folder=%exepath%\\help\n"
           "URL.Elsewhere=C:\\Program Files\\outside.html\n");
  const std::wstring help = L"file:///C:/Program%20Files/Kestrova/help/index%20%231.html";
  struct TCase {
    const wchar_t* Page;
    std::wstring Opened; // empty: refused
  };
  const TCase cases[] = {{L"Help", help}, {L"Slashes", help}, {L"Missing", L""},  {L"Climb", L""},
                         {L"Dots", L""},  {L"Folder", L""},   {L"Elsewhere", L""}};
  for (const TCase& c : cases) {
    const size_t before = Machine().ShellExecutions().size();
    EXPECT_EQ(FEngine.ShowPageByURL(FEngine.GetURL(c.Page, true)), !c.Opened.empty()) << c.Page;
    const auto executions = Machine().ShellExecutions();
    ASSERT_EQ(executions.size(), before + (c.Opened.empty() ? 0 : 1)) << c.Page;
    if (!c.Opened.empty()) {
      EXPECT_EQ(executions.back().File, c.Opened) << c.Page;
    }
  }
}

TEST_F(CLEngine, APageNameFromAWebPageIsOneQueryValue) {
  SetConst("URL.Redirect=http://redirect.example/go\n");
  bool cancel = false;
  FEngine.WebBeforeNavigate2(L"wcme:open?PAGE=support%26CHL%3Dforged%20x", cancel);
  ASSERT_EQ(Machine().ShellExecutions().size(), 1u);
  const std::wstring address = Machine().ShellExecutions()[0].File;
  EXPECT_TRUE(address.starts_with(L"http://redirect.example/go?ACTION=support%26CHL%3Dforged+x&"))
      << kplat::ToUtf8(address);
  EXPECT_EQ(address.find(L"CHL=forged"), std::wstring::npos);
}

TEST_F(CLEngine, SkinAndLanguageListsAreSortedOnce) {
  for (const wchar_t* name :
       {L"Blue.skn", L"Blue.nsf.skn", L"default.skn", L"aqua.skn", L"My.Theme.skn", L"x.txt"}) {
    Machine().AddFile(kProgram + L"skins\\" + name);
  }
  Machine().AddFolder(kProgram + L"skins\\Folder.skn");
  for (const wchar_t* name : {L"German.lan", L"english.lan", L"french.lan"}) {
    Machine().AddFile(kProgram + L"lang\\" + name);
  }
  const auto lines = [](const TStringList& aList) {
    Lines result;
    for (int i = 0; i < aList.Count(); ++i) {
      result.push_back(aList.Strings(i));
    }
    return result;
  };
  EXPECT_EQ(lines(FEngine.GetSkinList()), (Lines{L"Default", L"aqua", L"Blue", L"Blue", L"My"}));
  EXPECT_EQ(lines(FEngine.GetLanguageList()), (Lines{L"English", L"french", L"German"}));
  Machine().AddFile(kProgram + L"lang\\Dutch.lan");
  EXPECT_EQ(FEngine.GetLanguageList().Count(), 3);
}

TEST_F(CLEngine, LanguageChoiceLoadsOnlyReadableFiles) {
  const std::wstring german = kProgram + L"lang\\German.lan";
  Machine().AddTextFile(german, "[AppRes]\nAppName=Kestrova DE\nMSGBox.CureAfterScan=Jetzt?\n");
  Machine().AddTextFile(kProgram + L"lang\\Broken.lan", "[AppRes]\nAppName=Broken\n");
  Machine().FailOpenFile(kProgram + L"lang\\Broken.lan");
  int changes = 0;
  FEngine.OnLanguageChanged = [&changes](TObject&) { ++changes; };

  FEngine.SetLanguage(L"");
  EXPECT_EQ(FEngine.Language(), L"English");
  EXPECT_EQ(GetCLSettings().GetSettingString(L"Language"), L"English");

  FEngine.SetLanguage(L"German");
  EXPECT_EQ(FEngine.Language(), L"German");
  EXPECT_EQ(FEngine.GetAppString(L"MSGBox.CureAfterScan"), L"Jetzt?");
  EXPECT_EQ(FEngine.AppTitle(), L"Kestrova DE  ");
  // The same name in the same case is no change; in another case the file is read again.
  Machine().AddTextFile(german, "[AppRes]\nMSGBox.CureAfterScan=Sofort?\n");
  FEngine.SetLanguage(L"German");
  EXPECT_EQ(FEngine.GetAppString(L"MSGBox.CureAfterScan"), L"Jetzt?");
  FEngine.SetLanguage(L"GERMAN");
  EXPECT_EQ(FEngine.GetAppString(L"MSGBox.CureAfterScan"), L"Sofort?");
  EXPECT_EQ(changes, 3);

  // Without a readable file the built-in texts come back.
  for (const wchar_t* name : {L"Klingon", L"Broken"}) {
    FEngine.SetLanguage(L"German");
    FEngine.SetLanguage(name);
    EXPECT_EQ(FEngine.Language(), L"English");
    EXPECT_EQ(FEngine.GetAppName(), L"Kestrova");
    EXPECT_EQ(GetCLSettings().GetSettingString(L"Language"), L"English");
  }

  // Language data that is freed is let go of.
  auto data = std::make_unique<TCLMultiLangData>(nullptr);
  FEngine.SetLanguageData(data.get());
  data.reset();
  EXPECT_EQ(FEngine.LanguageData(), nullptr);
  FEngine.SetLanguage(L"German");
  EXPECT_EQ(FEngine.Language(), L"English");
}
