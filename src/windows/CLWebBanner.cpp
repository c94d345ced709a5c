#include "windows/CLWebBanner.h"

#include "appengine/CLEngine.h"
#include "base/CLSettings.h"
#include "base/CLUpdateAnswer.h"
#include "platform/FileIO.h"

#include <algorithm>

std::wstring BannerCacheFile(const std::wstring& aRemoteURL) {
  if (!IsWebAddress(aRemoteURL) || aRemoteURL.size() > kMaxBannerCacheName)
    return std::wstring();
  std::wstring name = aRemoteURL;
  for (wchar_t& c : name) {
    if (c == L'/' || c == L':' || c == L'\\' || c == L'?' || c == L'&' || c == L'=')
      c = L'_';
  }
  const bool refused = std::any_of(name.begin(), name.end(), [](wchar_t c) {
    return c < 0x20 || c == L'*' || c == L'<' || c == L'>' || c == L'|' || c == L'"';
  });
  if (refused || name.back() == L'.')
    return std::wstring();
  return GetCLSettings().UserDataPath() + L"Banners\\" + name;
}

TCLWebBanner::TCLWebBanner(TComponent* aOwner) : TWebBrowser(aOwner) {
  OnBeforeNavigate2 = [](TObject&, const std::wstring& aURL, bool& aCancel) {
    if (const TCLEngine* engine = GetCLEngine())
      engine->WebBeforeNavigate2(aURL, aCancel);
  };
}

TCLWebBanner::~TCLWebBanner() {
  if (TCLEngine* engine = GetCLEngine()) {
    for (const std::wstring& address : FRequested)
      engine->DownloadtoCacheCancel(address);
  }
}

void TCLWebBanner::Loaded() {
  if (IsLoaded())
    return;
  MarkLoaded();
  ShowBanner();
}

void TCLWebBanner::SetBannerName(const std::wstring& aValue) {
  FBannerName = aValue;
  if (IsLoaded())
    ShowBanner();
}

void TCLWebBanner::ShowBanner() {
  if (TCLEngine* engine = GetCLEngine()) {
    for (const std::wstring& address : FRequested)
      engine->DownloadtoCacheCancel(address);
  }
  FRequested.clear();
  const TCLSettings& settings = GetCLSettings();
  const std::wstring prefix = L"Banner." + FBannerName + L".";
  const std::wstring remoteA = settings.GetSettingString(prefix + L"RemoteURLA");
  const std::wstring remote = settings.GetSettingString(prefix + L"RemoteURL");
  const std::wstring cacheA = BannerCacheFile(remoteA);
  const std::wstring cache = BannerCacheFile(remote);

  std::wstring shown;
  if (!cacheA.empty() && kplat::FileExists(cacheA)) {
    shown = cacheA;
  } else if (const std::wstring urlA = settings.GetSettingString(prefix + L"URLA"); !urlA.empty()) {
    shown = ExpandExePath(urlA);
  } else if (!cache.empty() && kplat::FileExists(cache)) {
    shown = cache;
  } else if (const std::wstring url = settings.GetSettingString(prefix + L"URL"); !url.empty()) {
    shown = ExpandExePath(url);
  }
  if (!shown.empty())
    Navigate(shown);
  if (shown != cacheA)
    RequestCopy(remoteA, cacheA);
  if (shown != cache)
    RequestCopy(remote, cache);
}

void TCLWebBanner::RequestCopy(const std::wstring& aRemoteURL, const std::wstring& aCacheFile) {
  TCLEngine* engine = GetCLEngine();
  if (engine == nullptr || aCacheFile.empty())
    return;
  FRequested.push_back(aRemoteURL);
  engine->DownloadtoCache(aRemoteURL, aCacheFile, [this](TObject&, const std::wstring&, int64_t) {
    if (OnCached)
      OnCached(*this);
  });
}
