#pragma once
// The page of a web browser component on the real system. The system's web browser control is
// hosted in the component's window by a small in-place container of our own: pages given as text
// are loaded from memory, and every navigation the page starts is put to the component's
// BeforeNavigate first (cancelled when it says so; pages that would open a window of their own
// open in the default browser instead). Where the control or its HTML engine cannot be made, a
// plain view takes its place: the page's text, and its links, which open in the default browser
// once BeforeNavigate lets them.
//
// The view lives in the component's window, follows its size, and lets go of the control when
// that window goes. Main thread only.

#include "components/CLWebBrowser.h"

#include <memory>

enum class TWebViewKind { None, Browser, PlainText };

// The view factory the Win32 binding installs for every browser component.
std::unique_ptr<IWebView> CreateWin32WebView(TWebBrowser& aBrowser);
// Which view the component shows (None while it has no window).
TWebViewKind WebViewKind(const TWebBrowser& aBrowser);
