#include "components/win32/CLWinLabelSite.h"

#include "components/CLSkin.h"
#include "components/win32/CLWinForm.h"

namespace {

DWORD WrapStyle(const TControl& aControl) {
  return static_cast<const TLabel&>(aControl).WordWrap() ? SS_LEFT : SS_LEFTNOWORDWRAP;
}

std::wstring LinkMarkup(const std::wstring& aCaption) {
  if (aCaption.find(L"<a") != std::wstring::npos || aCaption.find(L"<A") != std::wstring::npos)
    return aCaption;
  return L"<a>" + aCaption + L"</a>";
}

} // namespace

// --- Labels -------------------------------------------------------------------------------------

TLabelSite::TLabelSite(TFormWindow& aForm, TControl& aControl, int aId, bool aPlain)
    : TControlSite(aForm, aControl, aId), FPlain(aPlain) {}

TSiteWindowStyle TLabelSite::WindowStyle() {
  return {WC_STATICW, WS_GROUP | SS_NOTIFY | (FPlain ? SS_LEFT : WrapStyle(Control())), 0,
          Control().Caption()};
}

void TLabelSite::CaptionChanged() {
  SetText(Control().Caption());
}

void TLabelSite::PropertyChanged(std::wstring_view aProperty) {
  if (aProperty != L"WordWrap") {
    TControlSite::PropertyChanged(aProperty);
    return;
  }
  const LONG_PTR style = ::GetWindowLongPtrW(Window(), GWL_STYLE) & ~SS_TYPEMASK;
  ::SetWindowLongPtrW(Window(), GWL_STYLE, style | WrapStyle(Control()));
  Invalidate();
}

bool TLabelSite::Command(int aCode) {
  if (aCode == STN_CLICKED)
    Control().Click();
  else if (aCode == STN_DBLCLK)
    Control().DblClick();
  else
    return false;
  return true;
}

// --- Link labels --------------------------------------------------------------------------------

TSiteWindowStyle TLinkSite::WindowStyle() {
  return {WC_LINK, WS_GROUP | WS_TABSTOP, 0, LinkMarkup(Control().Caption())};
}

std::unique_ptr<TControlSite> TLinkSite::Fallback() {
  // Without Common Controls 6 there is no link control: a label that answers clicks.
  return std::make_unique<TLabelSite>(Form(), Control(), Id(), true);
}

void TLinkSite::CaptionChanged() {
  SetText(LinkMarkup(Control().Caption()));
}

HBRUSH TLinkSite::ColourBrush(HDC aDC) {
  const COLORREF background = Form().Background(Control());
  // A link in a skin's colours takes the skin's colour for links unless it has one of its own.
  const TCLSkinTheme& theme = CurrentSkinTheme();
  const bool skinned = Control().FontColor() == clBlack && !theme.SystemColors;
  ::SetTextColor(aDC, skinned ? static_cast<COLORREF>(theme.Link & 0xFFFFFF)
                              : Form().TextColour(Control()));
  ::SetBkColor(aDC, background);
  // Wine's link control deletes the brush it is given: it gets the DC's own brush, which
  // cannot be deleted, rather than one of the shared brushes.
  ::SetDCBrushColor(aDC, background);
  return static_cast<HBRUSH>(::GetStockObject(DC_BRUSH));
}

bool TLinkSite::Notify(NMHDR& aHeader, LRESULT& aResult) {
  if (aHeader.code != NM_CLICK && aHeader.code != NM_RETURN)
    return false;
  Control().Click();
  aResult = 0;
  return true;
}
