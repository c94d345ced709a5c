#include "windows/uHome.h"

#include "appengine/CLEngine.h"
#include "base/CLDateUtils.h"
#include "base/CLHelpers.h"
#include "base/CLSettings.h"
#include "components/CLMultiLang.h"
#include "components/CLWebBrowser.h"
#include "engine/FigEngine.h"
#include "platform/TextCodec.h"
#include "windows/YewTpl.h"
#include "windows/uSchedule.h"
#include "windows/uStatistics.h"

#include <array>
#include <utility>

namespace {

constexpr int kSettingsOptimizationPage = 13;

const std::array<const wchar_t*, 7> kUsageProfiles = {L"Basic",
                                                      L"Daily Use (Home User)",
                                                      L"Entertainment (Home User)",
                                                      L"Top Performance (Home User)",
                                                      L"Office Work (Business User)",
                                                      L"Server (Business User)",
                                                      L"Computing (Business User)"};
const std::array<const wchar_t*, 4> kConnectionProfiles = {L"Basic", L"DSL", L"LAN",
                                                           L"Dial-Up Modem"};

template <size_t N>
std::wstring ProfileName(const std::array<const wchar_t*, N>& aNames, int aValue) {
  return aValue >= 0 && static_cast<size_t>(aValue) < N ? aNames[static_cast<size_t>(aValue)]
                                                        : aNames[0];
}

const wchar_t* OnOff(bool aOn) {
  return aOn ? L"ON" : L"OFF";
}

std::wstring ReplaceAll(std::wstring aText, wchar_t aFrom, wchar_t aTo) {
  for (wchar_t& c : aText)
    if (c == aFrom)
      c = aTo;
  return aText;
}

// Text as it must stand in the page's markup.
std::wstring HtmlText(const std::wstring& aText) {
  std::wstring html;
  for (wchar_t c : aText) {
    switch (c) {
    case L'&':
      html += L"&amp;";
      break;
    case L'<':
      html += L"&lt;";
      break;
    case L'>':
      html += L"&gt;";
      break;
    case L'"':
      html += L"&quot;";
      break;
    default:
      html += c;
    }
  }
  return html;
}

// The program's web pages the news page links to ("wcme:" addresses the engine opens), with the
// language texts of their links.
struct TNewsLink {
  const wchar_t* Page;
  const wchar_t* Text;
};
constexpr TNewsLink kNewsLinks[] = {
    {L"home", L"News.LinkHome"}, {L"help", L"News.LinkHelp"}, {L"support", L"News.LinkSupport"}};

} // namespace

std::wstring UsageProfileName(int aValue) {
  return ProfileName(kUsageProfiles, aValue);
}

std::wstring ConnectionProfileName(int aValue) {
  return ProfileName(kConnectionProfiles, aValue);
}

TfrmHome::TfrmHome(TComponent* aOwner, THomeHost aHost)
    : TForm(aOwner, L"TfrmHome"), FHost(std::move(aHost)) {
  SetName(L"frmHome");
  SetBounds(0, 0, 600, 420);
  pcHome = NewComponent<TPageControl>(this, L"pcHome");
  pcHome->SetParent(this);
  pcHome->SetBounds(12, 12, 576, 396);
  tsOverview = NewComponent<TTabSheet>(this, L"tsOverview");
  tsOverview->SetPageControl(pcHome);
  tsOverview->SetCaption(L"Overview");
  tsLastestNews = NewComponent<TTabSheet>(this, L"tsLastestNews");
  tsLastestNews->SetPageControl(pcHome);
  tsLastestNews->SetCaption(L"Latest News");
  pcHome->OnChange = [this](TObject& aSender) { pcHomeChange(aSender); };

  struct TRow {
    const wchar_t* Name;
    const wchar_t* Caption;
  };
  const TRow rows[] = {{L"lblProgramVersion", L"Program Version:"},
                       {L"lblDatabaseDate", L"Database Date:"},
                       {L"lblLastScan", L"Last Scan:"},
                       {L"lblStatistics", L"Statistics:"},
                       {L"lblAutomatedScan", L"Automated Scan:"},
                       {L"lblAutomatedSweep", L"Automated Sweep:"},
                       {L"lblComputerOptimization", L"Computer Optimization:"},
                       {L"lblNetworkOptimization", L"Network Optimization:"}};
  int top = 20;
  TControl* values[8];
  for (size_t i = 0; i < std::size(rows); ++i, top += 32) {
    TLabel* caption = NewComponent<TLabel>(this, rows[i].Name);
    caption->SetParent(tsOverview);
    caption->SetBounds(20, top, 190, 20);
    caption->SetCaption(rows[i].Caption);
    if (i < std::size(FStateCaptions))
      FStateCaptions[i] = caption;
    const bool link = i >= 3;
    static const wchar_t* const kValueNames[] = {
        L"lblPV", L"lblDD", L"lblLS", L"llViewSS", L"lblAutoCureSwitch", L"lblAutoSweepSwitch",
        L"lblCO", L"lblNO"};
    TControl* value = link ? static_cast<TControl*>(NewComponent<TLinkLabel>(this, kValueNames[i]))
                           : NewComponent<TLabel>(this, kValueNames[i]);
    value->SetParent(tsOverview);
    value->SetBounds(220, top, 320, 20);
    values[i] = value;
  }
  lblPV = static_cast<TLabel*>(values[0]);
  lblDD = static_cast<TLabel*>(values[1]);
  lblLS = static_cast<TLabel*>(values[2]);
  llViewSS = static_cast<TLinkLabel*>(values[3]);
  llViewSS->SetCaption(L"View");
  lblAutoCureSwitch = static_cast<TLinkLabel*>(values[4]);
  lblAutoSweepSwitch = static_cast<TLinkLabel*>(values[5]);
  lblCO = static_cast<TLinkLabel*>(values[6]);
  lblNO = static_cast<TLinkLabel*>(values[7]);
  llViewSS->OnClick = [this](TObject& aSender) { llViewSSClick(aSender); };
  lblAutoCureSwitch->OnClick = [this](TObject& aSender) { lblAutoCureSwitchClick(aSender); };
  lblAutoSweepSwitch->OnClick = [this](TObject& aSender) { lblAutoSweepSwitchClick(aSender); };
  lblCO->OnClick = [this](TObject& aSender) { lblCOClick(aSender); };
  lblNO->OnClick = [this](TObject& aSender) { lblCOClick(aSender); };

  wbInfo = NewComponent<TWebBrowser>(this, L"wbInfo");
  wbInfo->SetParent(tsLastestNews);
  wbInfo->SetBounds(0, 0, 568, 364);
  wbInfo->OnBeforeNavigate2 = [](TObject&, const std::wstring& aURL, bool& aCancel) {
    if (const TCLEngine* engine = GetCLEngine())
      engine->WebBeforeNavigate2(aURL, aCancel);
  };

  tmrCheckState = NewComponent<TTimer>(this, L"tmrCheckState");
  tmrCheckState->SetInterval(1000);
  tmrCheckState->OnTimer = [this](TObject&) { Refresh(); };

  CLMultiLang1 = NewComponent<TCLMultiLang>(this, L"CLMultiLang1");
  if (TCLEngine* engine = GetCLEngine())
    CLMultiLang1->SetLanguageData(engine->LanguageData());
  Loaded();
  pcHome->SetActivePage(tsOverview);
  Refresh();
  SetInfo();
}

void TfrmHome::Refresh() {
  const TCLSettings& settings = GetCLSettings();
  lblPV->SetCaption(settings.GetSettingString(L"App.Ver"));
  std::wstring database = settings.GetSettingString(L"Database.Ver");
  // Before the topic database is loaded its date is the zero date: nothing to show yet.
  if (database.empty() && FHost.Engine != nullptr && FHost.Engine->TopicDateTime() > 0) {
    const std::wstring separator = UserDateTimeFormats().DateSeparator;
    database = DateToStr(FHost.Engine->TopicDateTime(), TDateOrder::DayMonthYear,
                         separator.empty() ? L'/' : separator[0], true);
  }
  lblDD->SetCaption(database);
  lblLS->SetCaption(settings.GetSettingString(L"App.LastScan"));
  lblAutoCureSwitch->SetCaption(OnOff(settings.GetSettingBool(L"AutoScan.Enabled")));
  lblAutoSweepSwitch->SetCaption(OnOff(settings.GetSettingBool(L"AutoSweep.Login")));
  lblCO->SetCaption(UsageProfileName(settings.GetSettingInteger(L"SystemOptimization.CO")));
  lblNO->SetCaption(ConnectionProfileName(settings.GetSettingInteger(L"SystemOptimization.NO")));
}

bool TfrmHome::SetInfo() {
  TYewTpl tpl;
  const std::wstring file = GetAppPath() + L"res\\info.html";
  if (!tpl.LoadTpl(file)) {
    wbInfo->LoadFromString(L"");
    NewsError(L"MSGBox.NewsTemplateError", {tpl.LastError()});
    return false;
  }
  const TCLSettings& settings = GetCLSettings();
  tpl.SetVar(L"CSSAPPPATH",
             L"file:///" + ReplaceAll(ReplaceAll(GetAppPath(), L':', L'|'), L'\\', L'/'));
  tpl.SetVar(L"NEWS_URL", settings.GetSettingString(L"URL.UpdateInfoURL"));
  tpl.SetVar(L"NEWS_HEIGHT", settings.GetSettingString(L"URL.InfoHeight"));
  // The Overview's first rows, as the page shows them now.
  Refresh();
  const TLabel* values[] = {lblPV, lblDD, lblLS};
  for (size_t i = 0; i < std::size(values); ++i) {
    tpl.BeginBlock(L"state");
    tpl.SetVar(L"CAPTION", HtmlText(FStateCaptions[i]->Caption()));
    tpl.SetVar(L"VALUE", HtmlText(values[i]->Caption()));
    tpl.EndBlock(L"state");
  }
  if (const TCLEngine* engine = GetCLEngine()) {
    for (const TNewsLink& link : kNewsLinks) {
      // A page without an address would only open the redirection page.
      if (settings.GetSettingString(std::wstring(L"URL.") + link.Page).find_first_not_of(L" \t") ==
          std::wstring::npos)
        continue;
      tpl.BeginBlock(L"link");
      tpl.SetVar(L"PAGE", link.Page);
      tpl.SetVar(L"TEXT", HtmlText(engine->GetAppString(link.Text)));
      tpl.EndBlock(L"link");
    }
  }
  // A template the filler cannot follow to its end would show a page cut anywhere.
  if (!tpl.MakeHtml()) {
    wbInfo->LoadFromString(L"");
    NewsError(L"MSGBox.NewsTemplateInvalid", {file, tpl.LastError()});
    return false;
  }
  wbInfo->LoadFromString(tpl.OutPutHtml());
  return true;
}

void TfrmHome::NewsError(const std::wstring& aKey, const std::vector<std::wstring>& aArgs) {
  if (FNewsErrorShown)
    return;
  FNewsErrorShown = true;
  if (TCLEngine* engine = GetCLEngine())
    engine->ShowMessageEx(aKey, aArgs, false, mr::None, mb::OK, TMsgDlgType::mtWarning, 0);
}

void TfrmHome::pcHomeChange(TObject&) {
  if (pcHome->ActivePage() == tsLastestNews)
    SetInfo();
}

void TfrmHome::lblAutoCureSwitchClick(TObject&) {
  const bool on = !kplat::SameText(lblAutoCureSwitch->Caption(), L"ON");
  lblAutoCureSwitch->SetCaption(OnOff(on));
  GetCLSettings().SetSettingBool(L"AutoScan.Enabled", on);
}

void TfrmHome::lblAutoSweepSwitchClick(TObject&) {
  const bool on = !kplat::SameText(lblAutoSweepSwitch->Caption(), L"ON");
  lblAutoSweepSwitch->SetCaption(OnOff(on));
  GetCLSettings().SetSettingBool(L"AutoSweep.Login", on);
  UpdateRunEntry(RunEntryName());
}

void TfrmHome::lblCOClick(TObject&) {
  if (FHost.OpenSettings)
    FHost.OpenSettings(kSettingsOptimizationPage);
}

void TfrmHome::llViewSSClick(TObject&) {
  TfrmStatistics statistics(this);
  statistics.ShowModal();
}
