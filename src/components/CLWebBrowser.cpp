#include "components/CLWebBrowser.h"

#include <utility>

namespace {

TWebBrowser::TViewFactory& ViewFactory() {
  static TWebBrowser::TViewFactory factory;
  return factory;
}

} // namespace

TWebBrowser::TWebBrowser(TComponent* aOwner) : TPanel(aOwner) {}

TWebBrowser::~TWebBrowser() {
  // The view lets go of its window before the component's own state goes.
  FView.reset();
}

TWebBrowser::TViewFactory TWebBrowser::SetViewFactory(TViewFactory aFactory) {
  return std::exchange(ViewFactory(), std::move(aFactory));
}

void TWebBrowser::ViewNeeded() {
  if (FView || !ViewFactory())
    return;
  FView = ViewFactory()(*this);
  if (!FView)
    return;
  if (!FDocument.empty())
    FView->LoadDocument(FDocument);
  else if (!FLocationURL.empty())
    FView->Navigate(FLocationURL);
}

void TWebBrowser::RecreateView() {
  DropView();
  ViewNeeded();
}

void TWebBrowser::DropView() {
  FView.reset();
}

bool TWebBrowser::BeforeNavigate(const std::wstring& aURL) {
  bool cancel = false;
  if (OnBeforeNavigate2)
    OnBeforeNavigate2(*this, aURL, cancel);
  return !cancel;
}

bool TWebBrowser::Navigate(const std::wstring& aURL) {
  if (!BeforeNavigate(aURL))
    return false;
  FLocationURL = aURL;
  FDocument.clear();
  if (FView)
    FView->Navigate(aURL);
  return true;
}

void TWebBrowser::LoadFromString(const std::wstring& aHtml) {
  FLocationURL = L"about:blank";
  FDocument = aHtml;
  if (FView)
    FView->LoadDocument(aHtml);
}
