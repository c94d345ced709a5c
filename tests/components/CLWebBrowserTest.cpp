#include "components/CLWebBrowser.h"

#include "base/CLMainThread.h"
#include "platform/fake/FakeMachine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class TRecordingView : public IWebView {
public:
  explicit TRecordingView(std::vector<std::wstring>& aLog) : FLog(aLog) {}
  void Navigate(const std::wstring& aURL) override { FLog.push_back(L"go " + aURL); }
  void LoadDocument(const std::wstring& aHtml) override { FLog.push_back(L"doc " + aHtml); }

private:
  std::vector<std::wstring>& FLog;
};

} // namespace

TEST(WebBrowser, AsksBeforeEveryNavigationAndGivesALateViewThePage) {
  kplat::fake::TFakeMachineScope machine;
  TCLMainThreadQueue queue;
  TCLScopedMainThread mainThread(queue);
  std::vector<std::wstring> log;
  TWebBrowser browser(nullptr);
  browser.OnBeforeNavigate2 = [&log](TObject&, const std::wstring& aURL, bool& aCancel) {
    log.push_back(L"ask " + aURL);
    aCancel = aURL.rfind(L"wcme:", 0) == 0;
  };
  EXPECT_FALSE(browser.Navigate(L"wcme:page?PAGE=help"));
  EXPECT_TRUE(browser.LocationURL().empty());
  browser.LoadFromString(L"<p>news</p>");

  const auto previous = TWebBrowser::SetViewFactory(
      [&log](TWebBrowser&) { return std::make_unique<TRecordingView>(log); });
  browser.ViewNeeded();
  browser.ViewNeeded();
  EXPECT_TRUE(browser.BeforeNavigate(L"https://example.org/"));
  EXPECT_TRUE(browser.Navigate(L"https://example.org/"));
  EXPECT_TRUE(browser.Document().empty());
  // A new window gets a new view, which shows the page again.
  browser.RecreateView();
  TWebBrowser::SetViewFactory(previous);
  EXPECT_EQ(log,
            (std::vector<std::wstring>{L"ask wcme:page?PAGE=help", L"doc <p>news</p>",
                                       L"ask https://example.org/", L"ask https://example.org/",
                                       L"go https://example.org/", L"go https://example.org/"}));
}
