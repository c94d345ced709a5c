#include "components/win32/CLWinPagesSite.h"

#include "components/win32/CLWinForm.h"
#include "components/win32/CLWinWebBrowserSite.h"

// --- Page controls ------------------------------------------------------------------------------

TSiteWindowStyle TPagesSite::WindowStyle() {
  return {WC_TABCONTROLW, WS_GROUP | WS_TABSTOP | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, {}};
}

void TPagesSite::Place() {
  TControlSite::Place();
  PlaceSheets();
}

void TPagesSite::PropertyChanged(std::wstring_view aProperty) {
  if (aProperty == L"Pages" || aProperty == L"ActivePage")
    SyncTabs();
  else
    TControlSite::PropertyChanged(aProperty);
}

void TPagesSite::SyncTabs() {
  TPageControl& pages = Pages();
  std::vector<int> tabs;
  std::vector<std::wstring> texts;
  for (int i = 0; i < pages.PageCount(); ++i) {
    if (pages.Pages(i)->TabVisible()) {
      tabs.push_back(i);
      texts.push_back(pages.Pages(i)->Caption());
    }
  }
  ++Updating;
  if (tabs != FTabs || texts != FTabTexts) {
    ::SendMessageW(Window(), TCM_DELETEALLITEMS, 0, 0);
    for (size_t i = 0; i < tabs.size(); ++i) {
      TCITEMW item{};
      item.mask = TCIF_TEXT;
      item.pszText = texts[i].data();
      ::SendMessageW(Window(), TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    FTabs = tabs;
    FTabTexts = texts;
  }
  int selected = -1;
  for (size_t i = 0; i < tabs.size(); ++i) {
    if (tabs[i] == pages.ActivePageIndex())
      selected = static_cast<int>(i);
  }
  ::SendMessageW(Window(), TCM_SETCURSEL, static_cast<WPARAM>(selected), 0);
  --Updating;
  PlaceSheets();
  for (int i = 0; i < pages.PageCount(); ++i) {
    if (TControlSite* sheet = Form().SiteOf(pages.Pages(i)))
      sheet->Show();
  }
}

void TPagesSite::PlaceSheets() {
  TPageControl& pages = Pages();
  RECT area{};
  ::GetClientRect(Window(), &area);
  ::SendMessageW(Window(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  for (int i = 0; i < pages.PageCount(); ++i) {
    if (TControlSite* sheet = Form().SiteOf(pages.Pages(i)))
      ::SetWindowPos(sheet->Window(), nullptr, area.left, area.top, area.right - area.left,
                     area.bottom - area.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

bool TPagesSite::Notify(NMHDR& aHeader, LRESULT& aResult) {
  if (aHeader.code != TCN_SELCHANGE)
    return false;
  TFormWindow& form = Form();
  TControl& control = Control();
  const int tab = static_cast<int>(::SendMessageW(Window(), TCM_GETCURSEL, 0, 0));
  if (tab >= 0 && tab < static_cast<int>(FTabs.size()))
    Pages().SelectByUser(FTabs[static_cast<size_t>(tab)]);
  if (auto* site = dynamic_cast<TPagesSite*>(form.SiteOf(&control)))
    site->SyncTabs();
  aResult = 0;
  return true;
}

// --- Sheets -------------------------------------------------------------------------------------

TPagesSite* TSheetSite::PagesSite() const {
  TPageControl* pages = static_cast<TTabSheet&>(Control()).PageControl();
  return pages != nullptr ? dynamic_cast<TPagesSite*>(Form().SiteOf(pages)) : nullptr;
}

void TSheetSite::Place() {
  if (TPagesSite* pages = PagesSite())
    pages->PlaceSheets();
}

void TSheetSite::Show() {
  const auto& sheet = static_cast<const TTabSheet&>(Control());
  const bool visible = sheet.Visible() && sheet.PageControl() != nullptr &&
                       sheet.PageControl()->ActivePage() == &sheet;
  ::ShowWindow(Window(), visible ? SW_SHOWNA : SW_HIDE);
  if (visible)
    WebPagesShown(static_cast<TTabSheet&>(Control()));
}

void TSheetSite::CaptionChanged() {
  if (TPagesSite* pages = PagesSite())
    pages->SyncTabs();
}

void TSheetSite::PropertyChanged(std::wstring_view aProperty) {
  if (aProperty != L"TabVisible") {
    TContainerSite::PropertyChanged(aProperty);
    return;
  }
  if (TPagesSite* pages = PagesSite())
    pages->SyncTabs();
}

LRESULT TSheetSite::ContainerMessage(UINT aMsg, WPARAM aWParam, LPARAM aLParam) {
  // A sheet is no button: a click on its empty part is nobody's.
  if (aMsg == WM_LBUTTONUP)
    return ::DefWindowProcW(Window(), aMsg, aWParam, aLParam);
  return TContainerSite::ContainerMessage(aMsg, aWParam, aLParam);
}
