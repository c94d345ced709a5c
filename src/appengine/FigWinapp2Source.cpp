#include "appengine/FigWinapp2Source.h"

#include "appengine/CLEngine.h"
#include "base/CLHelpers.h"
#include "base/CLSettings.h"
#include "engine/FigEngine.h"
#include "engine/FigWinapp2Topic.h"
#include "platform/Platform.h"

namespace {

constexpr std::wstring_view kFileSetting = L"Winapp2.File";
constexpr std::wstring_view kURLSetting = L"URL.Winapp2";

// The fetched file waits here until it has been read.
std::wstring ArrivalOf(const std::wstring& aCopy) {
  return aCopy + L".new";
}

} // namespace

std::wstring Winapp2CopyIn(const std::wstring& aUserDataPath) {
  return NormalizeFolder(aUserDataPath) + L"Winapp2.ini";
}

TWinapp2Source LoadWinapp2Topics(TFigEngine& aEngine) {
  TWinapp2Source source;
  source.FileName = GetCLSettings().GetSettingString(std::wstring(kFileSetting));
  if (source.FileName.empty()) {
    RemoveWinapp2Topics(aEngine);
    return source;
  }
  const TWinapp2File file = ReadWinapp2Rules(source.FileName);
  source.Status = file.Status;
  source.Error = file.Error;
  source.Version = file.Version;
  source.Entries = static_cast<int>(file.Entries.size());
  source.Applying = AddWinapp2Topics(aEngine, file);
  return source;
}

std::wstring DescribeWinapp2Source(const TWinapp2Source& aSource, const TCLEngine& aTexts) {
  if (aSource.FileName.empty()) {
    return aTexts.GetAppString(L"Winapp2.NoFile");
  }
  if (aSource.Status != TWinapp2Status::Loaded) {
    return aTexts.GetAppStringEx(Winapp2StatusTextName(aSource.Status),
                                 {aSource.FileName, SystemErrorMessage(aSource.Error)});
  }
  return aTexts.GetAppStringEx(
      aSource.Version.empty() ? L"Winapp2.SummaryNoVersion" : L"Winapp2.Summary",
      {aSource.Version, std::to_wstring(aSource.Entries), std::to_wstring(aSource.Applying)});
}

TWinapp2Fetch::TWinapp2Fetch(const std::wstring& aUserDataPath, const TCLEngine& aTexts)
    : FCopy(Winapp2CopyIn(aUserDataPath)), FTexts(aTexts) {
  FDownloader.BinaryData = true;
  FDownloader.OnDoneFile = [this](TObject&, const std::wstring&, int64_t) { Arrived(); };
  FDownloader.OnError = [this](TObject&) {
    kplat::Platform().Files().DeleteFile(ArrivalOf(FCopy));
    Finish(FTexts.GetAppStringEx(L"Winapp2.FetchFailed", {FURL}));
  };
}

bool TWinapp2Fetch::Start(TDone aDone) {
  if (Busy()) {
    return false;
  }
  FDone = std::move(aDone);
  FURL = Trim(GetCLSettings().GetSettingString(std::wstring(kURLSetting)));
  TDownloadAddress address;
  if (!ParseDownloadURL(FURL, address)) {
    Finish(FTexts.GetAppString(L"Winapp2.FetchNoAddress"));
    return true;
  }
  FDownloader.URL = FURL;
  FDownloader.FileName = ArrivalOf(FCopy);
  FDownloader.GetFile();
  return true;
}

void TWinapp2Fetch::Arrived() {
  const std::wstring arrival = ArrivalOf(FCopy);
  const TWinapp2File file = ReadWinapp2File(arrival);
  kplat::IFileSystem& files = kplat::Platform().Files();
  if (file.Status != TWinapp2Status::Loaded) {
    files.DeleteFile(arrival);
    Finish(FTexts.GetAppStringEx(
        L"Winapp2.FetchRefused",
        {FURL, FTexts.GetAppStringEx(Winapp2StatusTextName(file.Status),
                                     {FURL, SystemErrorMessage(file.Error)})}));
    return;
  }
  if (const kplat::TErrorCode rc = files.ReplaceFile(arrival, FCopy); rc != kplat::err::Success) {
    files.DeleteFile(arrival);
    Finish(FTexts.GetAppStringEx(L"Winapp2.FetchNotStored", {FCopy, SystemErrorMessage(rc)}));
    return;
  }
  GetCLSettings().SetSettingstring(std::wstring(kFileSetting), FCopy);
  Finish(L"");
}

void TWinapp2Fetch::Finish(const std::wstring& aMessage) {
  if (TDone done = std::move(FDone)) {
    done(aMessage);
  }
}
