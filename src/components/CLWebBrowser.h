#pragma once
// An embedded web page: the news page of the home page, the about window's page and the web
// banners. The component holds what the page should show (an address, or a document given as
// text) and asks OnBeforeNavigate2 before every navigation, so that the program's own "wcme:"
// addresses are served by the engine and never loaded. The page itself is drawn by a view that
// the window system provides (SetViewFactory); without one the component only keeps its state.

#include "components/CLControls.h"

#include <functional>
#include <memory>
#include <string>

class TWebBrowser;

// The window system's side of one browser component.
class IWebView {
public:
  virtual ~IWebView() = default;
  virtual void Navigate(const std::wstring& aURL) = 0;
  // Shows the document given as text, loaded from memory.
  virtual void LoadDocument(const std::wstring& aHtml) = 0;
};

class TWebBrowser : public TPanel {
public:
  explicit TWebBrowser(TComponent* aOwner);
  ~TWebBrowser() override;
  std::wstring ClassName() const override { return L"TWebBrowser"; }

  // Asks OnBeforeNavigate2, then shows the address unless that cancelled it. False when it did.
  bool Navigate(const std::wstring& aURL);
  // Shows aHtml as the page ("about:blank" as its address).
  void LoadFromString(const std::wstring& aHtml);
  // What the page shows: the address, and the document when it was given as text.
  const std::wstring& LocationURL() const { return FLocationURL; }
  const std::wstring& Document() const { return FDocument; }

  // A navigation the page itself starts (a link clicked, a script): the view calls it before it
  // goes there and stops when it returns false (cancelled).
  bool BeforeNavigate(const std::wstring& aURL);
  std::function<void(TObject& Sender, const std::wstring& URL, bool& Cancel)> OnBeforeNavigate2;

  using TViewFactory = std::function<std::unique_ptr<IWebView>(TWebBrowser& aBrowser)>;
  // Installed once by the window system; browsers made afterwards get a view when they are shown
  // on a window (ViewNeeded). Returns the previous factory.
  static TViewFactory SetViewFactory(TViewFactory aFactory);
  // Makes the view now if there is a factory and none exists yet, and gives it the page.
  void ViewNeeded();
  // The window system made a new window for the component: the view of an earlier one goes and
  // a new one is made.
  void RecreateView();
  // The view goes (its window went, or the page is not on show yet); the page stays, for the next
  // ViewNeeded.
  void DropView();
  IWebView* View() const { return FView.get(); }

private:
  std::wstring FLocationURL;
  std::wstring FDocument;
  std::unique_ptr<IWebView> FView;
};
