// The engine's update check and download cache.

#include "framework/CLDateUtils.h"
#include "framework/CLEngine.h"
#include "framework/CLHelpers.h"
#include "framework/CLSettings.h"
#include "framework/SingleDownloader.h"
#include "platform/FileIO.h"
#include "platform/TextCodec.h"
#include "ui/CLUpdateForm.h"

#include <cmath>
#include <utility>

namespace {

constexpr int64_t kMsPerDay = 24 * 3600 * 1000;

// Whole days from aLast to aNow; negative when aLast lies ahead.
int64_t WholeDaysBetween(TDateTime aLast, TDateTime aNow) {
  const int64_t ms = std::llround((aNow - aLast) * static_cast<double>(kMsPerDay));
  return ms >= 0 ? ms / kMsPerDay : -1;
}

} // namespace

void TCLEngine::AppUpdate(bool bWait) {
  if (bWait) {
    auto* form = NewComponent<TfrmCLUpdateForm>(this, L"", *this);
    form->StartUpdate(true, true, true, false, false);
    delete form;
    return;
  }
  if (FUpdateForm != nullptr && FUpdateForm->Visible()) {
    FUpdateForm->ShowForm();
    return;
  }
  delete FUpdateForm;
  FUpdateForm = NewComponent<TfrmCLUpdateForm>(this, L"frmCLUpdateForm", *this);
  FreeNotification(FUpdateForm);
  FUpdateForm->StartUpdate(false, true, true, false, false);
}

void TCLEngine::AppUpdateAuto() {
  TCLSettings& settings = GetCLSettings();
  // A last date ahead of the clock (the clock was put back, or the setting is damaged) must
  // not stop the checks for good.
  const int64_t days = WholeDaysBetween(settings.GetSettingDate(L"Update.LastDate"), Now());
  if (days >= 0 && days < settings.GetSettingInteger(L"Update.Days")) {
    return;
  }
  // The user's own check is on the screen: it refreshes the same settings.
  if (FUpdateForm != nullptr && FUpdateForm->Visible()) {
    return;
  }
  const bool showResult = settings.GetSettingBool(L"Update.AutoCheck") &&
                          !settings.GetSettingBool(L"Update.NoAutoCheck") &&
                          settings.RunTimes() > 0;
  delete FUpdateForm;
  FUpdateForm = NewComponent<TfrmCLUpdateForm>(this, L"frmCLUpdateForm", *this);
  FreeNotification(FUpdateForm);
  FUpdateForm->StartUpdate(false, false, showResult, false,
                           settings.GetSettingBool(L"Update.AutoClose"));
}

void TCLEngine::DownloadtoCache(const std::wstring& strURL, const std::wstring& strCacheFile,
                                TDownloadDoneEvent onDone) {
  for (const std::wstring& requested : FDownloadCacheList) {
    if (kplat::SameText(requested, strURL)) {
      return;
    }
  }
  auto* downloader = NewComponent<TSingleDownloader>(this, L"");
  FDownloaderList.push_back(downloader);
  FDownloadCacheList.push_back(strURL);
  const std::wstring folder = ExtractFileDir(strCacheFile);
  if (!folder.empty()) {
    kplat::ForceFolders(folder);
  }
  downloader->URL = strURL;
  downloader->FileName = strCacheFile;
  downloader->OnDoneFile = std::move(onDone);
  downloader->GetFile();
}

void TCLEngine::DownloadtoCacheCancel(const std::wstring& strURL) {
  for (TSingleDownloader* downloader : FDownloaderList) {
    if (kplat::SameText(downloader->URL, strURL)) {
      downloader->OnDoneFile = nullptr;
    }
  }
}
