// The real controls of a form's components: made when the form gets its window (or when a
// control is put on it later), kept up to date with every property change, and freed with their
// components. What each kind of control does is its site's (CLWin*Site.h).
#include "components/win32/CLWinBinding.h"
#include "components/win32/CLWinForm.h"

#include "components/CLWebBrowser.h"
#include "components/win32/CLWinButtonSite.h"
#include "components/win32/CLWinCheckListSite.h"
#include "components/win32/CLWinComboSite.h"
#include "components/win32/CLWinImageSite.h"
#include "components/win32/CLWinLabelSite.h"
#include "components/win32/CLWinListViewSite.h"
#include "components/win32/CLWinPagesSite.h"
#include "components/win32/CLWinProgressSite.h"
#include "components/win32/CLWinRadioSite.h"
#include "components/win32/CLWinSpinSite.h"
#include "components/win32/CLWinTreeSite.h"
#include "components/win32/CLWinWebBrowserSite.h"

namespace {

using TSiteMaker = std::unique_ptr<TControlSite> (*)(TFormWindow&, TControl&, int);

struct TSiteKind {
  bool (*Matches)(const TControl&);
  TSiteMaker Make;
};

template <class TComponentClass> bool Is(const TControl& aControl) {
  return dynamic_cast<const TComponentClass*>(&aControl) != nullptr;
}

template <class TSite>
std::unique_ptr<TControlSite> Make(TFormWindow& aForm, TControl& aControl, int aId) {
  return std::make_unique<TSite>(aForm, aControl, aId);
}

// The site of each kind of component; the first that matches wins, so a class comes before the
// classes it derives from.
const TSiteKind kSiteKinds[] = {
    {&Is<TLinkLabel>, &Make<TLinkSite>},
    {&Is<TLabel>, &Make<TLabelSite>},
    {&Is<TButton>, &Make<TButtonSite>},
    {&Is<TCheckBox>, &Make<TCheckBoxSite>},
    {&Is<TRadioButton>, &Make<TRadioSite>},
    {&Is<TSpinEdit>, &Make<TSpinSite>},
    {&Is<TEdit>, &Make<TEditSite>},
    {&Is<TComboBox>, &Make<TComboSite>},
    {&Is<TCheckListBox>, &Make<TCheckListSite>},
    {&Is<TProgressBar>, &Make<TProgressSite>},
    {&Is<TImage>, &Make<TImageSite>},
    {&Is<TPageControl>, &Make<TPagesSite>},
    {&Is<TTabSheet>, &Make<TSheetSite>},
    {&Is<TListView>, &Make<TListViewSite>},
    {&Is<TTreeView>, &Make<TTreeSite>},
    {&Is<TWebBrowser>, &Make<TWebBrowserSite>},
    {&Is<TWinControl>, &Make<TPanelSite>},
};

// A docked form is a form window of its own; a control of no known kind has no window.
const TSiteKind* KindOf(const TControl& aControl) {
  if (Is<TForm>(aControl))
    return nullptr;
  for (const TSiteKind& kind : kSiteKinds) {
    if (kind.Matches(aControl))
      return &kind;
  }
  return nullptr;
}

} // namespace

// --- Lookups ------------------------------------------------------------------------------------

TControlSite* TFormWindow::SiteOf(const TComponent* aComponent) {
  const auto found = FSites.find(aComponent);
  return found != FSites.end() ? found->second.get() : nullptr;
}

TControlSite* TFormWindow::SiteOfWindow(HWND aWindow) {
  const auto found = FWindows.find(aWindow);
  return found != FWindows.end() ? found->second : nullptr;
}

HWND TFormWindow::ControlWindow(const TComponent& aControl) const {
  const auto found = FSites.find(&aControl);
  return found != FSites.end() ? found->second->Window() : nullptr;
}

HWND TFormWindow::ParentWindow(const TControl& aControl) const {
  const TWinControl* parent = aControl.Parent();
  if (parent == nullptr)
    return nullptr;
  if (parent == &FForm)
    return FWindow;
  return ControlWindow(*parent);
}

void TFormWindow::AddWindow(HWND aWindow, TControlSite& aSite) {
  FWindows[aWindow] = &aSite;
}

UINT TFormWindow::ReadMessage() {
  static const UINT message = ::RegisterWindowMessageW(L"KestrovaTreeChecks");
  return message;
}

UINT TFormWindow::TrayMessage() {
  static const UINT message = ::RegisterWindowMessageW(L"KestrovaTrayIcons");
  return message;
}

void TFormWindow::PostRead(TControlSite& aSite) {
  ::PostMessageW(FWindow, ReadMessage(), 0, reinterpret_cast<LPARAM>(aSite.Window()));
}

// --- Making and freeing controls ----------------------------------------------------------------

void TFormWindow::CreateChildren(TWinControl& aParent) {
  for (int i = 0; i < aParent.ControlCount(); ++i)
    CreateSite(*aParent.Controls(i));
}

void TFormWindow::CreateSite(TControl& aControl) {
  if (SiteOf(&aControl) != nullptr)
    return;
  const TSiteKind* kind = KindOf(aControl);
  HWND parent = ParentWindow(aControl);
  if (kind == nullptr || parent == nullptr)
    return;
  std::unique_ptr<TControlSite> site = kind->Make(*this, aControl, FNextId++);
  if (!site->Create(parent)) {
    site = site->Fallback();
    if (site == nullptr || !site->Create(parent))
      return;
  }
  HWND window = site->Window();
  ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(FFont), FALSE);
  ::SetWindowSubclass(window, &TFormWindow::MouseSubclass, 1, 0);
  TControlSite& added = *site;
  FWindows[window] = &added;
  FSites[&aControl] = std::move(site);
  aControl.SetBinding(this);
  added.Attached(parent);
  added.Push();
  added.Place();
  SetHint(added);
  if (auto* container = dynamic_cast<TWinControl*>(&aControl))
    CreateChildren(*container);
  added.ChildrenMade();
  added.Show();
}

void TFormWindow::DestroySite(TComponent& aControl) {
  const auto found = FSites.find(&aControl);
  if (found == FSites.end())
    return;
  std::unique_ptr<TControlSite> site = std::move(found->second);
  FSites.erase(found);
  for (HWND window : site->Windows()) {
    FWindows.erase(window);
    if (FToolTip != nullptr) {
      TOOLINFOW tool{};
      tool.cbSize = sizeof(tool);
      tool.hwnd = FWindow;
      tool.uId = reinterpret_cast<UINT_PTR>(window);
      ::SendMessageW(FToolTip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    ::DestroyWindow(window);
  }
  site.reset();
  ForgetDeadWindows();
}

void TFormWindow::ForgetDeadWindows() {
  // Child controls went with their parent's window; their components live on without one.
  for (auto it = FSites.begin(); it != FSites.end();) {
    const HWND window = it->second->Window();
    if (window != nullptr && !::IsWindow(window)) {
      // A window beside the control (a spin edit's arrows) may sit in a parent that lives on.
      for (HWND other : it->second->Windows()) {
        FWindows.erase(other);
        if (other != window)
          ::DestroyWindow(other);
      }
      it = FSites.erase(it);
    } else {
      ++it;
    }
  }
}

// --- Pushing the state --------------------------------------------------------------------------

void TFormWindow::SetHint(TControlSite& aSite) {
  if (FToolTip == nullptr)
    return;
  TOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.hwnd = FWindow;
  tool.uId = reinterpret_cast<UINT_PTR>(aSite.Window());
  ::SendMessageW(FToolTip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  std::wstring hint = aSite.Control().Hint();
  if (hint.empty())
    return;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.lpszText = hint.data();
  ::SendMessageW(FToolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void TFormWindow::ShowCursor(TControlSite& aSite) {
  // The pointer takes the new shape at once when it is over the control.
  POINT cursor{};
  if (::GetCursorPos(&cursor) && ::WindowFromPoint(cursor) == aSite.Window())
    ::SendMessageW(aSite.Window(), WM_SETCURSOR, reinterpret_cast<WPARAM>(aSite.Window()),
                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
}

void TFormWindow::PlaceAll() {
  for (auto& [component, site] : FSites)
    site->Place();
}

void TFormWindow::ControlChanged(TControlSite& aSite, std::wstring_view aProperty) {
  if (aProperty == L"Parent") {
    HWND parent = ParentWindow(aSite.Control());
    if (parent == nullptr) {
      DestroySite(aSite.Control());
    } else if (::GetParent(aSite.Window()) != parent) {
      aSite.Reparent(parent);
      aSite.Place();
      aSite.Show();
    }
  } else if (aProperty == L"Bounds") {
    aSite.Place();
  } else if (aProperty == L"Visible") {
    aSite.Show();
  } else if (aProperty == L"Enabled") {
    aSite.Enable();
  } else if (aProperty == L"Caption") {
    aSite.CaptionChanged();
  } else if (aProperty == L"Hint") {
    SetHint(aSite);
  } else if (aProperty == L"Cursor") {
    ShowCursor(aSite);
  } else if (aProperty == L"Color" || aProperty == L"Font.Color") {
    aSite.ApplyColours();
  } else if (aProperty == L"Invalidate") {
    ::InvalidateRect(aSite.Window(), nullptr, TRUE);
  } else {
    aSite.PropertyChanged(aProperty);
  }
}
