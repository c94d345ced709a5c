#include "components/win32/CLWinWebView.h"

#include "base/CLHelpers.h"
#include "components/CLHtmlText.h"
#include "components/CLSkin.h"
#include "components/win32/CLWinBinding.h"
#include "platform/TextCodec.h"

#include <windows.h>

#include <commctrl.h>
#include <exdisp.h>
#include <exdispid.h>
#include <ocidl.h>
#include <oleidl.h>
#include <shlwapi.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

// Our subclass of the component's window, beside the binding's own (id 1).
constexpr UINT_PTR kViewSubclass = 0x5756;
// The HTML engine's document; when it cannot be made, the browser control shows nothing at all.
constexpr GUID kHtmlDocumentClass = {
    0x25336920, 0x03f9, 0x11cf, {0x8f, 0xd0, 0x00, 0xaa, 0x00, 0x68, 0x6f, 0x13}};

template <typename T> void ReleaseInterface(T*& aInterface) {
  if (aInterface != nullptr)
    std::exchange(aInterface, nullptr)->Release();
}

// The text of a string argument of an event, given by value or by reference.
std::wstring VariantText(const VARIANT& aValue) {
  const VARIANT* value = &aValue;
  if (value->vt == (VT_BYREF | VT_VARIANT) && value->pvarVal != nullptr)
    value = value->pvarVal;
  if (value->vt == VT_BSTR && value->bstrVal != nullptr)
    return std::wstring(value->bstrVal, ::SysStringLen(value->bstrVal));
  if (value->vt == (VT_BYREF | VT_BSTR) && value->pbstrVal != nullptr &&
      *value->pbstrVal != nullptr)
    return std::wstring(*value->pbstrVal, ::SysStringLen(*value->pbstrVal));
  return std::wstring();
}

void SetCancel(VARIANT& aCancel) {
  if (aCancel.vt == (VT_BYREF | VT_BOOL) && aCancel.pboolVal != nullptr)
    *aCancel.pboolVal = VARIANT_TRUE;
}

bool SameObject(IUnknown* aFirst, IUnknown* aSecond) {
  if (aFirst == nullptr || aSecond == nullptr)
    return false;
  IUnknown* first = nullptr;
  IUnknown* second = nullptr;
  aFirst->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&first));
  aSecond->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&second));
  const bool same = first != nullptr && first == second;
  ReleaseInterface(first);
  ReleaseInterface(second);
  return same;
}

// Whether the system can draw HTML at all: Windows without its HTML engine (or Wine without
// one) still makes the browser control, which then stays blank.
bool HtmlEngineAvailable() {
  static const bool available = [] {
    IUnknown* document = nullptr;
    const HRESULT result = ::CoCreateInstance(kHtmlDocumentClass, nullptr, CLSCTX_INPROC_SERVER,
                                              IID_IUnknown, reinterpret_cast<void**>(&document));
    ReleaseInterface(document);
    return SUCCEEDED(result);
  }();
  return available;
}

COLORREF PageColour() {
  const TCLSkinTheme& theme = CurrentSkinTheme();
  return theme.SystemColors ? ::GetSysColor(COLOR_WINDOW) : (theme.Window & 0xFFFFFF);
}

COLORREF PageTextColour() {
  const TCLSkinTheme& theme = CurrentSkinTheme();
  return theme.SystemColors ? ::GetSysColor(COLOR_WINDOWTEXT) : (theme.WindowText & 0xFFFFFF);
}

class TWin32WebView;

// The container's side of the hosted control: its client site, in-place site and frame (as
// little of each as the control asks for) and the receiver of its events.
class TBrowserSite final : public IOleClientSite,
                           public IOleInPlaceSite,
                           public IOleInPlaceFrame,
                           public IDispatch {
public:
  TBrowserSite(TWin32WebView& aView, HWND aContainer) : FView(&aView), FContainer(aContainer) {}
  TBrowserSite(const TBrowserSite&) = delete;
  TBrowserSite& operator=(const TBrowserSite&) = delete;

  // The view is going: events that still arrive are ignored.
  void Detach() { FView = nullptr; }
  void SetInPlaceObject(IOleInPlaceObject* aObject) { FInPlace = aObject; }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID aId, void** aResult) override {
    if (aResult == nullptr)
      return E_POINTER;
    *aResult = nullptr;
    if (IsEqualIID(aId, IID_IUnknown) || IsEqualIID(aId, IID_IOleClientSite))
      *aResult = static_cast<IOleClientSite*>(this);
    else if (IsEqualIID(aId, IID_IOleWindow) || IsEqualIID(aId, IID_IOleInPlaceSite))
      *aResult = static_cast<IOleInPlaceSite*>(this);
    else if (IsEqualIID(aId, IID_IOleInPlaceUIWindow) || IsEqualIID(aId, IID_IOleInPlaceFrame))
      *aResult = static_cast<IOleInPlaceFrame*>(this);
    else if (IsEqualIID(aId, IID_IDispatch) || IsEqualIID(aId, DIID_DWebBrowserEvents2))
      *aResult = static_cast<IDispatch*>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++FReferences; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --FReferences;
    if (left == 0)
      delete this;
    return left;
  }

  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** aMoniker) override {
    if (aMoniker != nullptr)
      *aMoniker = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** aContainer) override {
    if (aContainer != nullptr)
      *aContainer = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow (of both the in-place site and the frame)
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* aWindow) override {
    if (aWindow == nullptr)
      return E_POINTER;
    *aWindow = FContainer;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** aFrame, IOleInPlaceUIWindow** aDoc,
                                             LPRECT aPosition, LPRECT aClip,
                                             LPOLEINPLACEFRAMEINFO aInfo) override {
    if (aFrame == nullptr || aDoc == nullptr || aPosition == nullptr || aClip == nullptr ||
        aInfo == nullptr)
      return E_POINTER;
    *aFrame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *aDoc = nullptr;
    ::GetClientRect(FContainer, aPosition);
    *aClip = *aPosition;
    aInfo->fMDIApp = FALSE;
    aInfo->hwndFrame = ::GetAncestor(FContainer, GA_ROOT);
    aInfo->haccel = nullptr;
    aInfo->cAccelEntries = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT aPosition) override {
    if (FInPlace != nullptr && aPosition != nullptr)
      FInPlace->SetObjectRects(aPosition, aPosition);
    return S_OK;
  }

  // IOleInPlaceUIWindow and IOleInPlaceFrame: the control gets no menus, tool bars or status
  // line of ours.
  HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override {
    return INPLACE_E_NOTOOLSPACE;
  }
  HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return OLE_E_INVALIDRECT; }
  HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  // IDispatch: the control's events (DWebBrowserEvents2)
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* aCount) override {
    if (aCount != nullptr)
      *aCount = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID aId, REFIID, LCID, WORD, DISPPARAMS* aParams, VARIANT*,
                                   EXCEPINFO*, UINT*) override;

private:
  ~TBrowserSite() = default;

  ULONG FReferences = 1;
  TWin32WebView* FView;
  HWND FContainer;
  // Not counted: the view holds it for as long as the site is attached.
  IOleInPlaceObject* FInPlace = nullptr;
};

class TWin32WebView final : public IWebView {
public:
  TWin32WebView(TWebBrowser& aBrowser, HWND aContainer)
      : FBrowser(aBrowser), FContainer(aContainer) {
    ::SetWindowSubclass(FContainer, &ContainerSubclass, kViewSubclass,
                        reinterpret_cast<DWORD_PTR>(this));
    if (!StartBrowser()) {
      FKind = TWebViewKind::PlainText;
      // The page's own background at once, never the panel's empty face.
      ShowPlain(std::wstring(), {});
    }
  }
  ~TWin32WebView() override { Close(); }
  TWin32WebView(const TWin32WebView&) = delete;
  TWin32WebView& operator=(const TWin32WebView&) = delete;

  TWebViewKind Kind() const { return FContainer != nullptr ? FKind : TWebViewKind::None; }

  void Navigate(const std::wstring& aURL) override {
    if (FContainer == nullptr)
      return;
    if (FKind == TWebViewKind::PlainText) {
      ShowPlain(std::wstring(), {THtmlLink{aURL, aURL}});
      return;
    }
    FPendingDocument.reset();
    NavigateControl(aURL);
  }

  void LoadDocument(const std::wstring& aHtml) override {
    if (FContainer == nullptr)
      return;
    if (FKind == TWebViewKind::PlainText) {
      ShowPlain(PlainTextOfHtml(aHtml), LinksOfHtml(aHtml));
      return;
    }
    // The control takes a document only once it shows one: an empty page first, and the text
    // when that is complete.
    FPendingDocument = aHtml;
    NavigateControl(L"about:blank");
  }

  // Events of the hosted control.
  bool AllowNavigation(const std::wstring& aURL) {
    if (!FOwnNavigation.empty() && aURL == FOwnNavigation) {
      // Ours, already asked by the component (or the empty page a document is loaded into).
      FOwnNavigation.clear();
      return true;
    }
    return FBrowser.BeforeNavigate(aURL);
  }
  void NewWindow(const std::wstring& aURL) {
    if (!aURL.empty() && FBrowser.BeforeNavigate(aURL))
      OpenURLInBrowser(aURL);
  }
  void DocumentComplete(IDispatch* aFrame) {
    if (!FPendingDocument || !SameObject(aFrame, FWebBrowser))
      return;
    const std::wstring html = *std::exchange(FPendingDocument, std::nullopt);
    IDispatch* document = nullptr;
    if (FAILED(FWebBrowser->get_Document(&document)) || document == nullptr)
      return;
    IPersistStreamInit* persist = nullptr;
    if (SUCCEEDED(
            document->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)))) {
      std::string bytes = "\xEF\xBB\xBF" + kplat::ToUtf8(html);
      IStream* stream = ::SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()),
                                            static_cast<UINT>(bytes.size()));
      if (stream != nullptr && SUCCEEDED(persist->InitNew()))
        persist->Load(stream);
      ReleaseInterface(stream);
      ReleaseInterface(persist);
    }
    ReleaseInterface(document);
  }

private:
  bool StartBrowser() {
    FOleInitialized = SUCCEEDED(::OleInitialize(nullptr));
    if (!FOleInitialized || !HtmlEngineAvailable())
      return false;
    if (FAILED(::CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                  reinterpret_cast<void**>(&FOleObject))))
      return false;
    FSite = new TBrowserSite(*this, FContainer);
    RECT client{};
    ::GetClientRect(FContainer, &client);
    if (FAILED(FOleObject->SetClientSite(FSite)) ||
        FAILED(
            FOleObject->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&FWebBrowser))) ||
        FAILED(FOleObject->QueryInterface(IID_IOleInPlaceObject,
                                          reinterpret_cast<void**>(&FInPlace)))) {
      CloseBrowser();
      return false;
    }
    FSite->SetInPlaceObject(FInPlace);
    ::OleSetContainedObject(FOleObject, TRUE);
    if (FAILED(FOleObject->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, FSite, -1, FContainer,
                                  &client))) {
      CloseBrowser();
      return false;
    }
    // Script errors and the like are the page's business, not dialogs of ours.
    FWebBrowser->put_Silent(VARIANT_TRUE);
    IConnectionPointContainer* points = nullptr;
    if (SUCCEEDED(FOleObject->QueryInterface(IID_IConnectionPointContainer,
                                             reinterpret_cast<void**>(&points)))) {
      if (SUCCEEDED(points->FindConnectionPoint(DIID_DWebBrowserEvents2, &FEvents)) &&
          FAILED(FEvents->Advise(static_cast<IDispatch*>(FSite), &FEventsCookie)))
        ReleaseInterface(FEvents);
      ReleaseInterface(points);
    }
    if (FEvents == nullptr) {
      // Without its events no navigation could be asked about first.
      CloseBrowser();
      return false;
    }
    return true;
  }

  void NavigateControl(const std::wstring& aURL) {
    FOwnNavigation = aURL;
    BSTR url = ::SysAllocStringLen(aURL.data(), static_cast<UINT>(aURL.size()));
    VARIANT empty;
    ::VariantInit(&empty);
    if (url != nullptr)
      FWebBrowser->Navigate(url, &empty, &empty, &empty, &empty);
    ::SysFreeString(url);
  }

  void CloseBrowser() {
    if (FSite != nullptr)
      FSite->Detach();
    if (FEvents != nullptr) {
      FEvents->Unadvise(FEventsCookie);
      ReleaseInterface(FEvents);
    }
    if (FInPlace != nullptr) {
      FInPlace->InPlaceDeactivate();
      ReleaseInterface(FInPlace);
    }
    if (FSite != nullptr)
      FSite->SetInPlaceObject(nullptr);
    ReleaseInterface(FWebBrowser);
    if (FOleObject != nullptr) {
      FOleObject->Close(OLECLOSE_NOSAVE);
      FOleObject->SetClientSite(nullptr);
      ReleaseInterface(FOleObject);
    }
    ReleaseInterface(FSite);
  }

  // Lets go of the control and the windows; the view shows nothing from now on.
  void Close() {
    if (FContainer == nullptr)
      return;
    CloseBrowser();
    ::RemoveWindowSubclass(FContainer, &ContainerSubclass, kViewSubclass);
    for (HWND window : {FText, FLinks}) {
      if (window != nullptr && ::IsWindow(window))
        ::DestroyWindow(window);
    }
    FText = FLinks = nullptr;
    FContainer = nullptr;
    if (FOleInitialized)
      ::OleUninitialize();
    FOleInitialized = false;
  }

  // --- The plain view ---------------------------------------------------------------------------

  void ShowPlain(const std::wstring& aText, std::vector<THtmlLink> aLinks) {
    FLinkList = std::move(aLinks);
    std::wstring text;
    for (wchar_t c : aText) {
      if (c == L'\n')
        text += L"\r\n";
      else
        text += c;
    }
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    if (FText == nullptr) {
      FText = ::CreateWindowExW(0, WC_EDITW, L"",
                                WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE |
                                    ES_READONLY | ES_AUTOVSCROLL,
                                0, 0, 0, 0, FContainer, nullptr, instance, nullptr);
    }
    std::wstring markup;
    for (const THtmlLink& link : FLinkList) {
      std::wstring caption = link.Text.empty() ? link.URL : link.Text;
      // The link control reads its own markup in the caption: angle brackets are shown as
      // look-alikes.
      for (wchar_t& c : caption) {
        if (c == L'<')
          c = L'\u2039';
        else if (c == L'>')
          c = L'\u203A';
        else if (c == L'\r' || c == L'\n')
          c = L' ';
      }
      markup += (markup.empty() ? L"" : L"\n") + std::wstring(L"<a>") + caption + L"</a>";
    }
    if (FLinks == nullptr && !markup.empty()) {
      FLinks = ::CreateWindowExW(0, WC_LINK, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 0, 0,
                                 FContainer, nullptr, instance, nullptr);
    }
    if (FLinks == nullptr && !FLinkList.empty()) {
      // No link control (Common Controls before version 6): the addresses as text.
      text += L"\r\n";
      for (const THtmlLink& link : FLinkList)
        text += L"\r\n" + link.Text + L": " + link.URL;
    }
    if (FText != nullptr)
      ::SetWindowTextW(FText, text.c_str());
    if (FLinks != nullptr)
      ::SetWindowTextW(FLinks, markup.c_str());
    if (FFont != nullptr)
      SetFont(FFont);
    Place();
  }

  void SetFont(HFONT aFont) {
    FFont = aFont;
    for (HWND window : {FText, FLinks}) {
      if (window != nullptr)
        ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(aFont), TRUE);
    }
  }

  int LineHeight() const {
    HDC dc = ::GetDC(FContainer);
    HGDIOBJ old = ::SelectObject(dc, FFont != nullptr ? static_cast<HGDIOBJ>(FFont)
                                                      : ::GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    ::SelectObject(dc, old);
    ::ReleaseDC(FContainer, dc);
    return metrics.tmHeight > 0 ? metrics.tmHeight : 16;
  }

  void Place() {
    RECT client{};
    ::GetClientRect(FContainer, &client);
    if (FKind == TWebViewKind::Browser) {
      if (FInPlace != nullptr)
        FInPlace->SetObjectRects(&client, &client);
      return;
    }
    const int width = client.right;
    const int height = client.bottom;
    const int margin = LineHeight() / 2;
    int links = 0;
    if (FLinks != nullptr && !FLinkList.empty()) {
      links = static_cast<int>(FLinkList.size()) * LineHeight() + margin;
      links = std::min(links, height / 2);
    }
    if (FText != nullptr)
      ::MoveWindow(FText, 0, 0, width, std::max(height - links, 0), TRUE);
    if (FLinks != nullptr)
      ::MoveWindow(FLinks, margin, height - links, std::max(width - 2 * margin, 0), links, TRUE);
  }

  void LinkClicked(int aIndex) {
    if (aIndex < 0 || static_cast<size_t>(aIndex) >= FLinkList.size())
      return;
    // Copied: the component's handler may replace the page, or free it.
    const std::wstring url = FLinkList[static_cast<size_t>(aIndex)].URL;
    if (FBrowser.BeforeNavigate(url))
      OpenURLInBrowser(url);
  }

  static LRESULT CALLBACK ContainerSubclass(HWND aWindow, UINT aMsg, WPARAM aWParam, LPARAM aLParam,
                                            UINT_PTR, DWORD_PTR aData) {
    auto* self = reinterpret_cast<TWin32WebView*>(aData);
    switch (aMsg) {
    case WM_SIZE:
      self->Place();
      break;
    case WM_SETFONT:
      self->SetFont(reinterpret_cast<HFONT>(aWParam));
      self->Place();
      break;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(aLParam);
      if (header != nullptr && header->hwndFrom == self->FLinks &&
          (header->code == NM_CLICK || header->code == NM_RETURN)) {
        self->LinkClicked(reinterpret_cast<const NMLINK*>(header)->item.iLink);
        return 0;
      }
      break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT: {
      const HWND from = reinterpret_cast<HWND>(aLParam);
      if (from == nullptr || (from != self->FText && from != self->FLinks))
        break;
      HDC dc = reinterpret_cast<HDC>(aWParam);
      ::SetTextColor(dc, PageTextColour());
      ::SetBkColor(dc, PageColour());
      // The DC's own brush: the link control of some systems deletes the brush it is given.
      ::SetDCBrushColor(dc, PageColour());
      return reinterpret_cast<LRESULT>(::GetStockObject(DC_BRUSH));
    }
    case WM_DESTROY:
      // The component's window goes (its form closes, or it leaves its parent): the control
      // goes with it, while its windows still exist.
      self->Close();
      break;
    default:
      break;
    }
    return ::DefSubclassProc(aWindow, aMsg, aWParam, aLParam);
  }

  TWebBrowser& FBrowser;
  HWND FContainer;
  TWebViewKind FKind = TWebViewKind::Browser;
  bool FOleInitialized = false;
  // The hosted control.
  IOleObject* FOleObject = nullptr;
  IWebBrowser2* FWebBrowser = nullptr;
  IOleInPlaceObject* FInPlace = nullptr;
  IConnectionPoint* FEvents = nullptr;
  DWORD FEventsCookie = 0;
  TBrowserSite* FSite = nullptr;
  std::wstring FOwnNavigation;
  std::optional<std::wstring> FPendingDocument;
  // The plain view.
  HWND FText = nullptr;
  HWND FLinks = nullptr;
  HFONT FFont = nullptr;
  std::vector<THtmlLink> FLinkList;
};

HRESULT STDMETHODCALLTYPE TBrowserSite::Invoke(DISPID aId, REFIID, LCID, WORD, DISPPARAMS* aParams,
                                               VARIANT*, EXCEPINFO*, UINT*) {
  if (FView == nullptr || aParams == nullptr || aParams->rgvarg == nullptr)
    return S_OK;
  // The component's handler may free the view, which lets go of this site.
  AddRef();
  // The arguments come last first.
  VARIANT* args = aParams->rgvarg;
  switch (aId) {
  case DISPID_BEFORENAVIGATE2:
    // pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel
    if (aParams->cArgs == 7 && !FView->AllowNavigation(VariantText(args[5])))
      SetCancel(args[0]);
    break;
  case DISPID_NEWWINDOW3:
    // ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl: the page opens in the default browser.
    if (aParams->cArgs == 5) {
      SetCancel(args[3]);
      FView->NewWindow(VariantText(args[0]));
    }
    break;
  case DISPID_DOCUMENTCOMPLETE:
    // pDisp, URL
    if (aParams->cArgs == 2 && args[1].vt == VT_DISPATCH)
      FView->DocumentComplete(args[1].pdispVal);
    break;
  default:
    break;
  }
  Release();
  return S_OK;
}

} // namespace

std::unique_ptr<IWebView> CreateWin32WebView(TWebBrowser& aBrowser) {
  HWND container = ControlWindow(aBrowser);
  if (container == nullptr)
    return nullptr;
  return std::make_unique<TWin32WebView>(aBrowser, container);
}

TWebViewKind WebViewKind(const TWebBrowser& aBrowser) {
  const auto* view = dynamic_cast<const TWin32WebView*>(aBrowser.View());
  return view != nullptr ? view->Kind() : TWebViewKind::None;
}
