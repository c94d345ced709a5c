#pragma once
// A web banner: an embedded page whose address comes from the "Banner." settings that the update
// server's answer refreshes. Named "Home", it reads "Banner.Home.RemoteURLA", "Banner.Home.URLA",
// "Banner.Home.RemoteURL" and "Banner.Home.URL" and, when loaded, shows the first available of:
// the cached copy of RemoteURLA, URLA, the cached copy of RemoteURL, URL ("%exepath%" made the
// program's folder). A remote address whose cached copy was not shown is fetched into the cache
// through the engine, so that the next start shows it. Every navigation asks the engine's
// WebBeforeNavigate2 first.

#include "components/CLWebBrowser.h"

#include <string>
#include <vector>

class TCLWebBanner : public TWebBrowser {
public:
  explicit TCLWebBanner(TComponent* aOwner);
  // Lets go of the completion events of its cache requests.
  ~TCLWebBanner() override;
  std::wstring ClassName() const override { return L"TCLWebBanner"; }

  // On a loaded banner, lets go of the previous requests' events and chooses again.
  void SetBannerName(const std::wstring& aValue);

  // Chooses the page and requests the remote copies.
  void Loaded() override;

  // A requested cached copy arrived (for the next start).
  TNotifyEvent OnCached;

private:
  void ShowBanner();
  void RequestCopy(const std::wstring& aRemoteURL, const std::wstring& aCacheFile);

  std::wstring FBannerName;
  std::vector<std::wstring> FRequested;
};

// Where the cached copy of a remote banner address lives: the user data folder's "Banners"
// folder, the file named by the address with every "/", ":", "\", "?", "&" and "=" made "_".
// Empty when the address is no http:// or https:// address, or the name would be no plain file
// name (characters Windows refuses, a trailing dot or more than kMaxBannerCacheName characters),
// so that no address can name a file outside that folder.
constexpr size_t kMaxBannerCacheName = 200;
std::wstring BannerCacheFile(const std::wstring& aRemoteURL);
