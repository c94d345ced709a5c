// Web banners and the engine's download cache: which of the four addresses a banner shows, where
// the cached copies live, and that no address names a file outside the "Banners" folder.
#include "windows/CLWebBanner.h"

#include "appengine/SingleDownloader.h"
#include "support/FakeServer.h"
#include "support/WindowTest.h"

#include <memory>
#include <string>
#include <vector>

namespace {

class WebBannerTest : public WindowTest {
protected:
  WebBannerTest() : WindowTest(TCLIdleWait::WaitForCall) {
    FBanners = GetCLSettings().UserDataPath() + L"Banners\\";
  }
  ~WebBannerTest() override {
    // The cache's downloaders go first, so that their threads end while the dispatcher lives.
    while (FEngine.ComponentCount() > 0)
      delete FEngine.Components(0);
  }

  void SetBanner(const std::wstring& aKind, const std::wstring& aValue) {
    GetCLSettings().SetSettingstring(L"Banner.Home." + aKind, aValue);
  }
  // A loaded banner named "Home", with the page it chose.
  std::unique_ptr<TCLWebBanner> Load() {
    auto banner = std::make_unique<TCLWebBanner>(nullptr);
    banner->SetBannerName(L"Home");
    banner->Loaded();
    return banner;
  }
  // Serves the main thread until every cache download has reported.
  bool Downloaded() {
    return RunUntil(
        [this] {
          for (int i = 0; i < FEngine.ComponentCount(); ++i) {
            if (const auto* d = dynamic_cast<const TSingleDownloader*>(FEngine.Components(i));
                d != nullptr && d->Busy())
              return false;
          }
          return true;
        },
        20000);
  }
  const TScopedHeadless FHeadless;
  TScopedFakeServer FServer;
  std::wstring FBanners;
};

} // namespace

TEST(BannerCache, NamesTheCopyAfterTheAddressInsideTheBannersFolder) {
  kplat::fake::TFakeMachineScope scope;
  const std::wstring folder = GetCLSettings().UserDataPath() + L"Banners\\";
  EXPECT_EQ(BannerCacheFile(L"http://ads.example/b/home.html?id=3&x=y"),
            folder + L"http___ads.example_b_home.html_id_3_x_y");
  EXPECT_EQ(BannerCacheFile(L"https://ads.example:8443/a\\..\\..\\b"),
            folder + L"https___ads.example_8443_a_.._.._b");
  // Not a web address, no file name, or one Windows would read differently: no cached copy.
  for (const wchar_t* address :
       {L"", L"%exepath%res\\home.html", L"C:\\Windows\\win.ini", L"file:///C:/x", L"..\\..\\x",
        L"http://a.example/x.", L"http://a.example/*", L"http://a.example/<x>",
        L"http://a.example/a|b"}) {
    EXPECT_TRUE(BannerCacheFile(address).empty()) << address;
  }
  EXPECT_TRUE(
      BannerCacheFile(L"http://a.example/" + std::wstring(kMaxBannerCacheName, L'a')).empty());
  FreeCLSettings();
}

TEST_F(WebBannerTest, ShowsTheFirstAvailableOfTheFourAddresses) {
  const std::wstring remoteA = L"http://ads.example/a.html";
  const std::wstring remote = L"http://ads.example/b.html";
  const std::wstring cacheA = FBanners + L"http___ads.example_a.html";
  const std::wstring cache = FBanners + L"http___ads.example_b.html";

  // Nothing configured: nothing shown, nothing requested.
  EXPECT_TRUE(Load()->LocationURL().empty());
  EXPECT_TRUE(FEngine.DownloadCacheList().empty());

  SetBanner(L"URL", L"%EXEPATH%\\res\\home.html");
  EXPECT_EQ(Load()->LocationURL(), GetAppPathNoSlash() + L"\\res\\home.html");
  SetBanner(L"RemoteURL", remote);
  Machine().AddTextFile(cache, "<p>b</p>");
  EXPECT_EQ(Load()->LocationURL(), cache);
  SetBanner(L"URLA", L"http://www.kestrova.example/a.html");
  EXPECT_EQ(Load()->LocationURL(), L"http://www.kestrova.example/a.html");
  SetBanner(L"RemoteURLA", remoteA);
  // RemoteURLA has no copy yet: it is fetched, and the next banner shows it.
  FServer->Pages[L"ads.example/a.html"] = "<p>a</p>";
  auto banner = Load();
  EXPECT_EQ(banner->LocationURL(), L"http://www.kestrova.example/a.html");
  int cached = 0;
  banner->OnCached = [&](TObject&) { ++cached; };
  ASSERT_TRUE(Downloaded());
  EXPECT_EQ(cached, 1);
  EXPECT_EQ(Machine().FileContent(cacheA),
            std::vector<uint8_t>({'<', 'p', '>', 'a', '<', '/', 'p', '>'}));
  EXPECT_EQ(Load()->LocationURL(), cacheA);
  // Each address is requested once per run.
  EXPECT_EQ(FEngine.DownloadCacheList(), (std::vector<std::wstring>{remote, remoteA}));
}

TEST_F(WebBannerTest, ABannerThatIsGoneHearsNothingAndOthersStillDo) {
  FServer->Pages[L"ads.example/a.html"] = "<p>a</p>";
  SetBanner(L"RemoteURL", L"http://ads.example/a.html");
  int heard = 0;
  {
    auto banner = Load();
    banner->OnCached = [&](TObject&) { ++heard; };
  }
  ASSERT_TRUE(Downloaded());
  EXPECT_EQ(heard, 0);
  // The download went on into the cache.
  EXPECT_TRUE(Machine().HasFile(FBanners + L"http___ads.example_a.html"));

  // The engine's own cache: a second request of the same address (in any case) is ignored, and
  // a cancelled event is not called while the file still arrives.
  FServer->Pages[L"ads.example/c.html"] = "c";
  std::vector<std::wstring> done;
  const auto onDone = [&](TObject&, const std::wstring& aFile, int64_t aSize) {
    done.push_back(aFile + L":" + std::to_wstring(aSize));
  };
  FEngine.DownloadtoCache(L"http://ads.example/c.html", L"C:\\Cache\\One\\c.html", onDone);
  FEngine.DownloadtoCache(L"HTTP://ADS.EXAMPLE/c.html", L"C:\\Cache\\Two\\c.html", onDone);
  FEngine.DownloadtoCache(L"http://ads.example/d.html", L"C:\\Cache\\d.html", onDone);
  FEngine.DownloadtoCacheCancel(L"http://ADS.example/D.html");
  ASSERT_TRUE(Downloaded());
  EXPECT_EQ(done, std::vector<std::wstring>{L"C:\\Cache\\One\\c.html:1"});
  EXPECT_FALSE(Machine().HasFile(L"C:\\Cache\\Two\\c.html"));
  EXPECT_TRUE(Machine().HasFolder(L"C:\\Cache"));
}

TEST_F(WebBannerTest, ItsPagesAskTheEngineFirst) {
  GetCLSettings().SetSettingstring(L"URL.settings", L"http://www.kestrova.example/settings");
  auto banner = Load();
  EXPECT_FALSE(banner->Navigate(L"wcme:open?PAGE=settings"));
  EXPECT_TRUE(banner->LocationURL().empty());
  ASSERT_EQ(Machine().ShellExecutions().size(), 1u);
  EXPECT_EQ(Machine().ShellExecutions()[0].File.rfind(L"http://www.kestrova.example/settings?", 0),
            0u);
  EXPECT_TRUE(banner->Navigate(L"http://www.kestrova.example/"));
}
