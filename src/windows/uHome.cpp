#include "windows/uHome.h"

#include "appengine/CLEngine.h"
#include "base/CLDateUtils.h"
#include "base/CLHelpers.h"
#include "base/CLSettings.h"
#include "components/CLPlace.h"
#include "components/CLWebBrowser.h"
#include "engine/FigEngine.h"
#include "platform/TextCodec.h"
#include "windows/CLWindowLanguage.h"
#include "windows/YewTpl.h"
#include "windows/uSchedule.h"
#include "windows/uStatistics.h"

#include <algorithm>
#include <utility>

namespace {

constexpr int kSettingsOptimizationPage = 13;

// Profile aValue of a list the settings window offers, the first for a value outside it.
std::wstring ProfileName(const wchar_t* aList, int aValue) {
  const std::wstring names = LanguageText(L"TfrmSettings", aList);
  std::wstring first;
  size_t start = 0;
  for (int i = 0; start < names.size(); ++i) {
    const size_t end = std::min(names.find(L"\r\n", start), names.size());
    std::wstring name = names.substr(start, end - start);
    if (i == aValue)
      return name;
    if (i == 0)
      first = std::move(name);
    start = end + 2;
  }
  return first;
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
  return ProfileName(L"cbSOCO.Items", aValue);
}

std::wstring ConnectionProfileName(int aValue) {
  return ProfileName(L"cbSONO.Items", aValue);
}

TfrmHome::TfrmHome(TComponent* aOwner, THomeHost aHost)
    : TForm(aOwner, L"TfrmHome"), FHost(std::move(aHost)) {
  SetName(L"frmHome");
  SetBounds(0, 0, 600, 420);
  // clang-format off
  static const TCLPlace kControls[] = {
      {Field<&TfrmHome::pcHome>, L"pcHome", nullptr, {12, 12, 576, 396}},
      {Field<&TfrmHome::tsOverview>, L"tsOverview", L"pcHome", {}},
      {Field<&TfrmHome::tsLastestNews>, L"tsLastestNews", L"pcHome", {}},
      {Kind<TLabel>, L"lblProgramVersion", L"tsOverview", {20, 20, 190, 20}},
      {Field<&TfrmHome::lblPV>, L"lblPV", L"tsOverview", {220, 20, 320, 20}},
      {Kind<TLabel>, L"lblDatabaseDate", L"tsOverview", {20, 52, 190, 20}},
      {Field<&TfrmHome::lblDD>, L"lblDD", L"tsOverview", {220, 52, 320, 20}},
      {Kind<TLabel>, L"lblLastScan", L"tsOverview", {20, 84, 190, 20}},
      {Field<&TfrmHome::lblLS>, L"lblLS", L"tsOverview", {220, 84, 320, 20}},
      {Kind<TLabel>, L"lblStatistics", L"tsOverview", {20, 116, 190, 20}},
      {Field<&TfrmHome::llViewSS>, L"llViewSS", L"tsOverview", {220, 116, 320, 20}},
      {Kind<TLabel>, L"lblAutomatedScan", L"tsOverview", {20, 148, 190, 20}},
      {Field<&TfrmHome::lblAutoCureSwitch>, L"lblAutoCureSwitch", L"tsOverview",
       {220, 148, 320, 20}},
      {Kind<TLabel>, L"lblAutomatedSweep", L"tsOverview", {20, 180, 190, 20}},
      {Field<&TfrmHome::lblAutoSweepSwitch>, L"lblAutoSweepSwitch", L"tsOverview",
       {220, 180, 320, 20}},
      {Kind<TLabel>, L"lblComputerOptimization", L"tsOverview", {20, 212, 190, 20}},
      {Field<&TfrmHome::lblCO>, L"lblCO", L"tsOverview", {220, 212, 320, 20}},
      {Kind<TLabel>, L"lblNetworkOptimization", L"tsOverview", {20, 244, 190, 20}},
      {Field<&TfrmHome::lblNO>, L"lblNO", L"tsOverview", {220, 244, 320, 20}},
      {Field<&TfrmHome::wbInfo>, L"wbInfo", L"tsLastestNews", {0, 0, 568, 364}},
  };
  // clang-format on
  PlaceControls(*this, kControls);
  const wchar_t* const stateCaptions[] = {L"lblProgramVersion", L"lblDatabaseDate", L"lblLastScan"};
  for (size_t i = 0; i < std::size(FStateCaptions); ++i)
    FStateCaptions[i] = static_cast<TLabel*>(FindComponent(stateCaptions[i]));
  pcHome->OnChange = [this](TObject& aSender) { pcHomeChange(aSender); };
  llViewSS->OnClick = [this](TObject& aSender) { llViewSSClick(aSender); };
  lblAutoCureSwitch->OnClick = [this](TObject& aSender) { lblAutoCureSwitchClick(aSender); };
  lblAutoSweepSwitch->OnClick = [this](TObject& aSender) { lblAutoSweepSwitchClick(aSender); };
  lblCO->OnClick = [this](TObject& aSender) { lblCOClick(aSender); };
  lblNO->OnClick = [this](TObject& aSender) { lblCOClick(aSender); };

  wbInfo->OnBeforeNavigate2 = [](TObject&, const std::wstring& aURL, bool& aCancel) {
    if (const TCLEngine* engine = GetCLEngine())
      engine->WebBeforeNavigate2(aURL, aCancel);
  };

  tmrCheckState = NewComponent<TTimer>(this, L"tmrCheckState");
  tmrCheckState->SetInterval(1000);
  tmrCheckState->OnTimer = [this](TObject&) { Refresh(); };

  CLMultiLang1 = NewWindowLanguage(*this);
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
