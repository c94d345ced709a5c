#pragma once
// The update window: asks the update server (setting "URL.Update" with the program's parameters)
// whether a newer version exists, shows "Connecting..." while it waits and then the answer, and
// offers to open the download page of a newer version. The same answer refreshes the "Banner."
// settings. A window started by the automatic check stays hidden unless there is something to
// show.
//
// What the window shows and stores is decided on the main thread from the downloader's events;
// the answer is read by ParseUpdateAnswer, so a foreign, broken or hostile answer is a network
// error and a page is opened only when it is a web address and the user pressed OK.

#include "appengine/SingleDownloader.h"
#include "components/CLControls.h"

#include <cstdint>
#include <string>

class TCLEngine;

class TfrmCLUpdateForm : public TForm {
public:
  // The private message that shows the result.
  static constexpr uint32_t kWMShowResult = 0x8000 + 0x4C55; // WM_APP + "LU"

  TfrmCLUpdateForm(TComponent* aOwner, TCLEngine& aEngine);
  std::wstring ClassName() const override { return L"TfrmCLUpdateForm"; }

  // Starts the request. AShowModal shows the window modally (returning when it closed),
  // AShowConnecting shows it at once, ADoUpdate reports the version answer, AProcess shows only
  // the compact progress panel, AAutoClose closes the result after the countdown.
  void StartUpdate(bool AShowModal, bool AShowConnecting, bool ADoUpdate, bool AProcess,
                   bool AAutoClose);
  // Starts the countdown that closes the window.
  void StartAutoClose();

  // The handlers, public so that the window system and tests act as the user does.
  void FormKeyUp(uint16_t aKey);
  void btnOKClick();
  void btnOK2Click();
  void btnCancelClick();
  void tmrTimerTimer();
  void sdDownloadDoneString(const std::wstring& strResult);
  void sdDownloadError();

  bool Updating() const { return FUpdating; }
  const std::wstring& Info() const { return FInfo; }
  const std::wstring& URL() const { return FURL; }
  int DelaySeconds() const { return FDelaySeconds; }

  TPanel* pnLogo;
  TImage* imgLogo;
  TPanel* pnInfo;
  TLabel* lbInfo;
  TLabel* lblTimer;
  TCheckBox* cbAutoCheckUpdate;
  TPanel* pnOkCancel;
  TButton* btnOK;
  TButton* btnCancel;
  TPanel* pnOK;
  TButton* btnOK2;
  TPanel* pnProcess;
  TLabel* lbProcess;
  TButton* btnCancelProcess;
  TSingleDownloader* sdDownload;
  TTimer* tmrTimer;

private:
  void FormCreate();
  void LoadLogo(const std::wstring& aFileName);
  void ShowResult();
  void StoreAutoCheck();
  // The result panels back in place after the compact progress panel.
  void NormalLayout();
  bool WndProc(TWindowMessage& aMessage);

  TCLEngine& FEngine;
  bool FUpdating = false;
  std::wstring FInfo;
  std::wstring FURL;
  // Tick count of the countdown's first tick; FCounting tells whether it has started.
  uint64_t FStartTime = 0;
  bool FCounting = false;
  int FDelaySeconds = 5;
  bool FShowModal = false;
  bool FShowConnecting = false;
  bool FDoUpdate = false;
  bool FProcess = false;
  bool FAutoClose = false;
  // A result was posted and the window has not been closed since.
  bool FResultPending = false;
  int FNormalHeight = 0;
  TWndMethod FInheritedWndProc;
};

// AppUpdate shows the update window connecting at once; with bWait it is modal and freed when it
// closed. A window that is showing is brought forward instead of a second one. AppUpdateAuto asks
// the server when "Update.Days" whole days have passed since "Update.LastDate" (or that date lies
// ahead), in a hidden window that shows only a newer version, and only when "Update.AutoCheck" is
// on, "Update.NoAutoCheck" off and this is not the first start. The windows are owned by the
// engine.
void AppUpdate(TCLEngine& aEngine, bool bWait);
void AppUpdateAuto(TCLEngine& aEngine);
// The update window of the last AppUpdate or AppUpdateAuto, while it exists.
TfrmCLUpdateForm* UpdateFormOf(const TCLEngine& aEngine);
