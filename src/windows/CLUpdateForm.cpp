#include "windows/CLUpdateForm.h"

#include "appengine/CLEngine.h"
#include "base/CLDateUtils.h"
#include "base/CLHelpers.h"
#include "base/CLSettings.h"
#include "base/CLUpdateAnswer.h"
#include "components/CLPlace.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr wchar_t kDebugTag[] = L"CLUpdate";
constexpr uint16_t kKeyEscape = 0x1B;
constexpr int kMinDelaySeconds = 5;
// A debug line carries the start of an answer, not megabytes of it.
constexpr size_t kMaxLoggedChars = 4096;

// The designed layout at 96 DPI; the logo changes the window's size from here.
constexpr int kClientWidth = 360;
constexpr int kLogoHeight = 80;
constexpr int kInfoHeight = 100;
constexpr int kButtonsHeight = 44;
constexpr int kMargin = 12;
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 26;
constexpr int kButtonTop = (kButtonsHeight - kButtonHeight) / 2;
constexpr int kButtonsTop = kLogoHeight + kInfoHeight;
constexpr int kLineWidth = kClientWidth - 2 * kMargin;
constexpr int kLastButtonLeft = kClientWidth - kMargin - kButtonWidth;

} // namespace

TfrmCLUpdateForm::TfrmCLUpdateForm(TComponent* aOwner, TCLEngine& aEngine)
    : TForm(aOwner, L"TfrmCLUpdateForm"), FEngine(aEngine) {
  using W = TfrmCLUpdateForm;
  // clang-format off
  static const TCLPlace kControls[] = {
      {Field<&W::pnLogo>, L"pnLogo", nullptr, {0, 0, kClientWidth, kLogoHeight}},
      {Field<&W::imgLogo>, L"imgLogo", L"pnLogo", {0, 0, kClientWidth, kLogoHeight}},
      {Field<&W::pnInfo>, L"pnInfo", nullptr, {0, kLogoHeight, kClientWidth, kInfoHeight}},
      {Field<&W::lbInfo>, L"lbInfo", L"pnInfo", {kMargin, 10, kLineWidth, 46}},
      {Field<&W::lblTimer>, L"lblTimer", L"pnInfo", {kMargin, 56, kLineWidth, 18}},
      {Field<&W::cbAutoCheckUpdate>, L"cbAutoCheckUpdate", L"pnInfo",
       {kMargin, 76, kLineWidth, 20}},
      {Field<&W::pnOkCancel>, L"pnOkCancel", nullptr,
       {0, kButtonsTop, kClientWidth, kButtonsHeight}},
      {Field<&W::btnOK>, L"btnOK", L"pnOkCancel",
       {kLastButtonLeft - kMargin - kButtonWidth, kButtonTop, kButtonWidth, kButtonHeight}},
      {Field<&W::btnCancel>, L"btnCancel", L"pnOkCancel",
       {kLastButtonLeft, kButtonTop, kButtonWidth, kButtonHeight}},
      {Field<&W::pnOK>, L"pnOK", nullptr, {0, kButtonsTop, kClientWidth, kButtonsHeight}},
      {Field<&W::btnOK2>, L"btnOK2", L"pnOK",
       {kLastButtonLeft, kButtonTop, kButtonWidth, kButtonHeight}},
      {Field<&W::pnProcess>, L"pnProcess", nullptr, {0, 0, kClientWidth, kButtonsHeight}},
      {Field<&W::lbProcess>, L"lbProcess", L"pnProcess",
       {kMargin, (kButtonsHeight - 18) / 2, kLineWidth - kMargin - kButtonWidth, 18}},
      {Field<&W::btnCancelProcess>, L"btnCancelProcess", L"pnProcess",
       {kLastButtonLeft, kButtonTop, kButtonWidth, kButtonHeight}},
  };
  // clang-format on
  PlaceControls(*this, kControls);
  lbInfo->SetWordWrap(true);
  lblTimer->Hide();
  btnOK->OnClick = [this](TObject&) { btnOKClick(); };
  btnCancel->OnClick = [this](TObject&) { btnCancelClick(); };
  btnOK2->OnClick = [this](TObject&) { btnOK2Click(); };
  pnProcess->Hide();
  btnCancelProcess->OnClick = [this](TObject&) { btnOK2Click(); };

  sdDownload = NewComponent<TSingleDownloader>(this, L"sdDownload");
  sdDownload->HttpCharset = THttpCharset::KAnsi;
  sdDownload->OnDoneString = [this](TObject&, const std::wstring& aText) {
    sdDownloadDoneString(aText);
  };
  sdDownload->OnError = [this](TObject&) { sdDownloadError(); };

  tmrTimer = NewComponent<TTimer>(this, L"tmrTimer");
  tmrTimer->SetEnabled(false);
  tmrTimer->SetInterval(200);
  tmrTimer->OnTimer = [this](TObject&) { tmrTimerTimer(); };

  // Closing the window while the server has not answered gives the request up: the window
  // must not come back with an answer the user walked away from.
  OnClose = [this](TObject&, TCloseAction&) {
    tmrTimer->SetEnabled(false);
    if (FUpdating) {
      sdDownload->Abort();
      FUpdating = false;
    }
    FResultPending = false;
  };
  OnKeyUp = [this](TObject&, uint16_t aKey) { FormKeyUp(aKey); };
  FInheritedWndProc = WindowProc();
  SetWindowProc([this](TWindowMessage& aMessage) { return WndProc(aMessage); });
  FormCreate();
}

void TfrmCLUpdateForm::FormCreate() {
  // A dialog: its size follows the logo and the panels, not the user.
  SetBorderStyle(TFormBorderStyle::bsSingle);
  SetBounds(0, 0, kClientWidth, kButtonsTop + kButtonsHeight);

  LoadLogo(GetAppPath() + L"res\\images\\update.png");
  FNormalHeight = Height();

  TCLSettings& settings = GetCLSettings();
  SetCaption(FEngine.GetLibString(L"TfrmCLUpdateForm.Caption"));
  btnOK->SetCaption(FEngine.GetLibString(L"btnOk.Caption"));
  btnOK2->SetCaption(FEngine.GetLibString(L"btnOk.Caption"));
  btnCancel->SetCaption(FEngine.GetLibString(L"btnCancel.Caption"));
  btnCancelProcess->SetCaption(FEngine.GetLibString(L"btnCancel.Caption"));
  cbAutoCheckUpdate->SetCaption(FEngine.GetLibString(L"cbAutoCheckUpdate.Caption"));
  lbInfo->SetCaption(FEngine.GetLibString(L"Update.Connecting"));
  lbProcess->SetCaption(FEngine.GetLibString(L"Update.Connecting"));
  pnOkCancel->Hide();
  cbAutoCheckUpdate->SetVisible(!settings.GetSettingBool(L"Update.NoAutoCheck"));
  cbAutoCheckUpdate->SetChecked(settings.GetSettingBool(L"Update.AutoCheck"));
  FDelaySeconds = std::max(kMinDelaySeconds, settings.GetSettingInteger(L"Update.DelaySeconds"));
}

void TfrmCLUpdateForm::LoadLogo(const std::wstring& aFileName) {
  std::vector<TControl*> below = {pnInfo, pnOkCancel, pnOK};
  if (!imgLogo->LoadFromFile(aFileName)) {
    pnLogo->Hide();
    for (TControl* control : below)
      control->SetTop(control->Top() - kLogoHeight);
    SetHeight(Height() - kLogoHeight);
    return;
  }
  const int width = imgLogo->PictureWidth();
  const int heightDelta = imgLogo->PictureHeight() - kLogoHeight;
  const int widthDelta = width - Width();
  pnLogo->SetBounds(0, 0, width, imgLogo->PictureHeight());
  imgLogo->SetBounds(0, 0, width, imgLogo->PictureHeight());
  for (TControl* control : below)
    control->SetBounds(0, control->Top() + heightDelta, width, control->Height());
  pnProcess->SetWidth(width);
  for (TControl* control :
       {static_cast<TControl*>(lbInfo), static_cast<TControl*>(lblTimer),
        static_cast<TControl*>(cbAutoCheckUpdate), static_cast<TControl*>(lbProcess)})
    control->SetWidth(std::max(0, control->Width() + widthDelta));
  for (TControl* control :
       {static_cast<TControl*>(btnOK), static_cast<TControl*>(btnCancel),
        static_cast<TControl*>(btnOK2), static_cast<TControl*>(btnCancelProcess)})
    control->SetLeft(control->Left() + widthDelta);
  SetBounds(Left(), Top(), width, Height() + heightDelta);
}

void TfrmCLUpdateForm::StartUpdate(bool AShowModal, bool AShowConnecting, bool ADoUpdate,
                                   bool AProcess, bool AAutoClose) {
  tmrTimer->SetEnabled(false);
  FCounting = false;
  FStartTime = 0;
  FShowModal = AShowModal;
  FShowConnecting = AShowConnecting;
  FDoUpdate = ADoUpdate;
  FProcess = AProcess;
  FAutoClose = AAutoClose;
  FUpdating = true;

  const std::wstring address = FEngine.GetURL(L"Update", true);
  kplat::DebugLog(kDebugTag, L"Update URL : " + address);
  if (AProcess) {
    pnLogo->Hide();
    pnInfo->Hide();
    pnOK->Hide();
    pnOkCancel->Hide();
    pnProcess->SetTop(0);
    pnProcess->Show();
    SetHeight(pnProcess->Height());
  }
  sdDownload->URL = address;
  sdDownload->GetString();
  if (AShowModal)
    ShowModal();
  else if (AShowConnecting)
    ShowForm();
}

void TfrmCLUpdateForm::NormalLayout() {
  pnProcess->Hide();
  pnLogo->SetVisible(imgLogo->PictureWidth() > 0);
  pnInfo->Show();
  SetHeight(FNormalHeight);
}

void TfrmCLUpdateForm::StartAutoClose() {
  FCounting = false;
  tmrTimer->SetEnabled(true);
}

void TfrmCLUpdateForm::tmrTimerTimer() {
  const uint64_t now = kplat::Platform().Clock().TickMs();
  if (!FCounting) {
    FCounting = true;
    FStartTime = now;
  }
  const auto elapsed = static_cast<int64_t>((now - FStartTime) / 1000);
  lblTimer->SetCaption(
      FEngine.GetLibStringEx(L"lblTimer.Caption", {std::to_wstring(FDelaySeconds - elapsed)}));
  lblTimer->Show();
  if (elapsed >= FDelaySeconds) {
    tmrTimer->SetEnabled(false);
    Close();
  }
}

void TfrmCLUpdateForm::sdDownloadDoneString(const std::wstring& strResult) {
  kplat::DebugLog(kDebugTag, L"Update Net : " + strResult.substr(0, kMaxLoggedChars));
  TCLSettings& settings = GetCLSettings();
  settings.SetSettingDate(L"Update.LastDate", Now());
  if (!FUpdating)
    return;

  const TUpdateAnswer answer =
      ParseUpdateAnswer(strResult, settings.GetSettingString(L"App.MagicWord"));
  bool show = false;
  if (answer.Valid) {
    settings.BeginUpdate();
    for (const auto& [name, value] : answer.Banners)
      settings.SetSettingstring(name, value);
    // The count stops at the largest number it can hold.
    const int32_t times = settings.GetSettingInteger(L"Update.Times");
    settings.SetSettingInteger(L"Update.Times",
                               times < std::numeric_limits<int32_t>::max() ? times + 1 : times);
    settings.EndUpdate();
    if (FDoUpdate && answer.Result == 0 && Visible()) {
      FInfo = FEngine.GetLibString(L"Update.LastVersionAlready");
      FURL.clear();
      show = true;
    } else if (FDoUpdate && answer.Result == 1) {
      FInfo = answer.Info;
      FURL = answer.Page;
      show = true;
    }
  }
  FUpdating = false;
  if (!answer.Valid && Visible()) {
    FInfo = FEngine.GetLibString(L"Update.NetError");
    FURL.clear();
    show = true;
  }
  if (show) {
    FResultPending = true;
    PostMessage(kWMShowResult);
  } else {
    Close();
  }
}

void TfrmCLUpdateForm::sdDownloadError() {
  FUpdating = false;
  kplat::DebugLog(kDebugTag, L"Update Net Error !");
  if (FDoUpdate && Visible()) {
    FInfo = FEngine.GetLibString(L"Update.NetError");
    FURL.clear();
    FResultPending = true;
    PostMessage(kWMShowResult);
  } else {
    Close();
  }
}

bool TfrmCLUpdateForm::WndProc(TWindowMessage& aMessage) {
  if (aMessage.Msg == kWMShowResult) {
    ShowResult();
    return true;
  }
  return FInheritedWndProc && FInheritedWndProc(aMessage);
}

void TfrmCLUpdateForm::ShowResult() {
  if (!FResultPending)
    return;
  FResultPending = false;
  if (FProcess)
    NormalLayout();
  lbInfo->SetCaption(FInfo);
  const bool page = !FURL.empty();
  pnOkCancel->SetVisible(page);
  pnOK->SetVisible(!page);
  btnOK->SetEnabled(true);
  btnOK2->SetEnabled(true);
  if (!Visible())
    ShowForm();
  if (FAutoClose)
    StartAutoClose();
}

void TfrmCLUpdateForm::StoreAutoCheck() {
  TCLSettings& settings = GetCLSettings();
  if (!settings.GetSettingBool(L"Update.NoAutoCheck"))
    settings.SetSettingBool(L"Update.AutoCheck", cbAutoCheckUpdate->Checked());
}

void TfrmCLUpdateForm::btnOKClick() {
  StoreAutoCheck();
  if (!FURL.empty())
    FEngine.ShowPageByURL(FURL);
  if (Modal())
    SetModalResult(mr::OK);
  Close();
}

void TfrmCLUpdateForm::btnOK2Click() {
  sdDownload->Abort();
  StoreAutoCheck();
  if (Modal())
    SetModalResult(mr::OK);
  Close();
}

void TfrmCLUpdateForm::btnCancelClick() {
  if (Modal())
    SetModalResult(mr::Cancel);
  Close();
}

void TfrmCLUpdateForm::FormKeyUp(uint16_t aKey) {
  // A key while the server has not answered gives the request up, as closing the window does.
  const bool waiting = FUpdating;
  sdDownload->Abort();
  if (waiting || (aKey == kKeyEscape && Modal())) {
    if (Modal())
      SetModalResult(mr::Cancel);
    Close();
  }
}

namespace {

constexpr int64_t kMsPerDay = 24 * 3600 * 1000;

// Whole days from aLast to aNow; negative when aLast lies ahead.
int64_t WholeDaysBetween(TDateTime aLast, TDateTime aNow) {
  const int64_t ms = std::llround((aNow - aLast) * static_cast<double>(kMsPerDay));
  return ms >= 0 ? ms / kMsPerDay : -1;
}

} // namespace

TfrmCLUpdateForm* UpdateFormOf(const TCLEngine& aEngine) {
  return dynamic_cast<TfrmCLUpdateForm*>(aEngine.FindComponent(L"frmCLUpdateForm"));
}

void AppUpdate(TCLEngine& aEngine, bool bWait) {
  if (bWait) {
    auto* form = NewComponent<TfrmCLUpdateForm>(&aEngine, L"", aEngine);
    form->StartUpdate(true, true, true, false, false);
    delete form;
    return;
  }
  TfrmCLUpdateForm* form = UpdateFormOf(aEngine);
  if (form != nullptr && form->Visible()) {
    form->ShowForm();
    return;
  }
  delete form;
  form = NewComponent<TfrmCLUpdateForm>(&aEngine, L"frmCLUpdateForm", aEngine);
  form->StartUpdate(false, true, true, false, false);
}

void AppUpdateAuto(TCLEngine& aEngine) {
  TCLSettings& settings = GetCLSettings();
  // A last date ahead of the clock (the clock was put back, or the setting is damaged) must
  // not stop the checks for good.
  const int64_t days = WholeDaysBetween(settings.GetSettingDate(L"Update.LastDate"), Now());
  if (days >= 0 && days < settings.GetSettingInteger(L"Update.Days")) {
    return;
  }
  TfrmCLUpdateForm* form = UpdateFormOf(aEngine);
  // The user's own check is on the screen: it refreshes the same settings.
  if (form != nullptr && form->Visible()) {
    return;
  }
  const bool showResult = settings.GetSettingBool(L"Update.AutoCheck") &&
                          !settings.GetSettingBool(L"Update.NoAutoCheck") &&
                          settings.RunTimes() > 0;
  delete form;
  form = NewComponent<TfrmCLUpdateForm>(&aEngine, L"frmCLUpdateForm", aEngine);
  form->StartUpdate(false, false, showResult, false, settings.GetSettingBool(L"Update.AutoClose"));
}
