#pragma once
// The home page: the program's state at a glance (versions, the topic database's date, the last
// scan, the two automatic-work switches and the two optimisation profiles), the statistics link,
// and the "Latest News" tab rendered from the template "res\info.html".

#include "components/CLControls.h"
#include "components/CLNonVisual.h"

#include <functional>
#include <string>
#include <vector>

class TFigEngine;
class TCLMultiLang;
class TWebBrowser;

// The names of the usage ("SystemOptimization.CO") and connection ("SystemOptimization.NO")
// profiles; "Basic" for a value outside the list.
std::wstring UsageProfileName(int aValue);
std::wstring ConnectionProfileName(int aValue);

// What the home page needs of the main window.
struct THomeHost {
  // Its topic database's date is shown when setting "Database.Ver" is empty.
  const TFigEngine* Engine = nullptr;
  // Opens the settings window on a page (13: system optimisation).
  std::function<void(int aPage)> OpenSettings;
};

class TfrmHome : public TForm {
public:
  TfrmHome(TComponent* aOwner, THomeHost aHost);

  // Fills every value of the Overview from the settings (also every second).
  void Refresh();
  // Fills the news template and shows it; false (the user told once) when it cannot be read.
  bool SetInfo();
  void pcHomeChange(TObject& Sender);
  void lblAutoCureSwitchClick(TObject& Sender);
  void lblAutoSweepSwitchClick(TObject& Sender);
  void lblCOClick(TObject& Sender);
  void llViewSSClick(TObject& Sender);

  TPageControl* pcHome;
  TTabSheet* tsOverview;
  TTabSheet* tsLastestNews;
  TLabel* lblPV;
  TLabel* lblDD;
  TLabel* lblLS;
  TLinkLabel* llViewSS;
  TLinkLabel* lblAutoCureSwitch;
  TLinkLabel* lblAutoSweepSwitch;
  TLinkLabel* lblCO;
  TLinkLabel* lblNO;
  TWebBrowser* wbInfo;
  TTimer* tmrCheckState;
  TCLMultiLang* CLMultiLang1;

private:
  // Tells the user once why the news page stays empty.
  void NewsError(const std::wstring& aKey, const std::vector<std::wstring>& aArgs);

  THomeHost FHost;
  // The captions of the rows the news page repeats: version, database date, last scan.
  TLabel* FStateCaptions[3] = {};
  bool FNewsErrorShown = false;
};
