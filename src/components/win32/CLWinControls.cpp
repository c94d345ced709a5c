// The real controls of a form's components: made when the form gets its window (or when a
// control is put on it later), kept up to date with every property change, and turned back into
// the components' calls when the user works them.
#include "components/win32/CLWinBinding.h"
#include "components/win32/CLWinForm.h"

#include "components/CLSkin.h"
#include "components/CLWebBrowser.h"
#include "components/win32/CLWinImages.h"

#include <uxtheme.h>

#include <optional>

namespace {

constexpr wchar_t kContainerClass[] = L"KestrovaContainer";

bool RegisterContainerClass() {
  static bool registered = false;
  if (registered)
    return true;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = &TFormWindow::ContainerProc;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kContainerClass;
  registered =
      ::RegisterClassExW(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  return registered;
}

std::optional<TSiteKind> KindOf(const TControl& aControl) {
  if (dynamic_cast<const TForm*>(&aControl))
    return std::nullopt;
  if (dynamic_cast<const TLinkLabel*>(&aControl))
    return TSiteKind::Link;
  if (dynamic_cast<const TLabel*>(&aControl))
    return TSiteKind::Label;
  if (dynamic_cast<const TButton*>(&aControl))
    return TSiteKind::Button;
  if (dynamic_cast<const TCheckBox*>(&aControl))
    return TSiteKind::CheckBox;
  if (dynamic_cast<const TRadioButton*>(&aControl))
    return TSiteKind::Radio;
  if (dynamic_cast<const TSpinEdit*>(&aControl))
    return TSiteKind::Spin;
  if (dynamic_cast<const TEdit*>(&aControl))
    return TSiteKind::Edit;
  if (dynamic_cast<const TComboBox*>(&aControl))
    return TSiteKind::Combo;
  if (dynamic_cast<const TCheckListBox*>(&aControl))
    return TSiteKind::CheckList;
  if (dynamic_cast<const TProgressBar*>(&aControl))
    return TSiteKind::Progress;
  if (dynamic_cast<const TImage*>(&aControl))
    return TSiteKind::Image;
  if (dynamic_cast<const TPageControl*>(&aControl))
    return TSiteKind::Pages;
  if (dynamic_cast<const TTabSheet*>(&aControl))
    return TSiteKind::Sheet;
  if (dynamic_cast<const TListView*>(&aControl))
    return TSiteKind::List;
  if (dynamic_cast<const TTreeView*>(&aControl))
    return TSiteKind::Tree;
  if (dynamic_cast<const TWinControl*>(&aControl))
    return TSiteKind::Panel;
  return std::nullopt;
}

// The first radio button of its parent starts the group the arrow keys move in.
bool FirstRadio(const TControl& aControl) {
  const TWinControl* parent = aControl.Parent();
  if (parent == nullptr)
    return true;
  for (int i = 0; i < parent->ControlCount(); ++i) {
    if (dynamic_cast<const TRadioButton*>(parent->Controls(i)))
      return parent->Controls(i) == &aControl;
  }
  return true;
}

std::wstring WindowText(HWND aWindow) {
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(aWindow)) + 1, L'\0');
  text.resize(
      static_cast<size_t>(::GetWindowTextW(aWindow, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::wstring LinkMarkup(const std::wstring& aCaption) {
  if (aCaption.find(L"<a") != std::wstring::npos || aCaption.find(L"<A") != std::wstring::npos)
    return aCaption;
  return L"<a>" + aCaption + L"</a>";
}

using TSetWindowTheme = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);

// Skinned colours reach check boxes, radio buttons and progress bars only without visual
// styles; with the system's colours the styles come back.
void UseVisualStyles(HWND aWindow, bool aOn) {
  static const auto setTheme = [] {
    HMODULE module = ::LoadLibraryW(L"uxtheme.dll");
    return module != nullptr ? reinterpret_cast<TSetWindowTheme>(reinterpret_cast<void (*)()>(
                                   ::GetProcAddress(module, "SetWindowTheme")))
                             : nullptr;
  }();
  if (setTheme != nullptr)
    setTheme(aWindow, aOn ? nullptr : L"", aOn ? nullptr : L"");
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
  return found != FSites.end() ? found->second->Window : nullptr;
}

HWND TFormWindow::ParentWindow(const TControl& aControl) const {
  const TWinControl* parent = aControl.Parent();
  if (parent == nullptr)
    return nullptr;
  if (parent == &FForm)
    return FWindow;
  return ControlWindow(*parent);
}

// --- Making and freeing controls ----------------------------------------------------------------

void TFormWindow::CreateChildren(TWinControl& aParent) {
  for (int i = 0; i < aParent.ControlCount(); ++i)
    CreateSite(*aParent.Controls(i));
}

void TFormWindow::CreateSite(TControl& aControl) {
  if (SiteOf(&aControl) != nullptr)
    return;
  const std::optional<TSiteKind> kind = KindOf(aControl);
  HWND parent = ParentWindow(aControl);
  if (!kind || parent == nullptr || !RegisterContainerClass())
    return;
  auto site = std::make_unique<TControlSite>();
  site->Control = &aControl;
  site->Kind = *kind;
  site->Id = FNextId++;
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  DWORD exStyle = 0;
  const wchar_t* windowClass = kContainerClass;
  std::wstring text;
  switch (site->Kind) {
  case TSiteKind::Label:
    windowClass = WC_STATICW;
    style |= WS_GROUP | SS_NOTIFY |
             (static_cast<TLabel&>(aControl).WordWrap() ? SS_LEFT : SS_LEFTNOWORDWRAP);
    text = aControl.Caption();
    break;
  case TSiteKind::Link:
    windowClass = WC_LINK;
    style |= WS_GROUP | WS_TABSTOP;
    text = LinkMarkup(aControl.Caption());
    break;
  case TSiteKind::Button: {
    windowClass = WC_BUTTONW;
    const TModalResult result = static_cast<TButton&>(aControl).ModalResult();
    // Enter and Escape find these through the dialog keyboard interface.
    if (result == mr::OK && DialogButton(mr::OK) == nullptr) {
      style |= BS_DEFPUSHBUTTON;
      site->Id = IDOK;
    } else if (result == mr::Cancel && DialogButton(mr::Cancel) == nullptr) {
      style |= BS_PUSHBUTTON;
      site->Id = IDCANCEL;
    } else if (static_cast<TButton&>(aControl).KeepsState()) {
      // A push button's pressed state ends with the next click or capture change; a push-like
      // check box that only the program checks stays drawn pushed in for as long as it is down.
      style |= BS_CHECKBOX | BS_PUSHLIKE;
    } else {
      style |= BS_PUSHBUTTON;
    }
    style |= WS_GROUP | WS_TABSTOP;
    text = aControl.Caption();
    break;
  }
  case TSiteKind::CheckBox:
    windowClass = WC_BUTTONW;
    style |= WS_GROUP | WS_TABSTOP | BS_CHECKBOX;
    text = aControl.Caption();
    break;
  case TSiteKind::Radio:
    windowClass = WC_BUTTONW;
    style |= BS_RADIOBUTTON | (FirstRadio(aControl) ? WS_GROUP | WS_TABSTOP : 0);
    text = aControl.Caption();
    break;
  case TSiteKind::Edit:
  case TSiteKind::Spin:
    windowClass = WC_EDITW;
    style |= WS_GROUP | WS_TABSTOP | ES_AUTOHSCROLL |
             (static_cast<TEdit&>(aControl).ReadOnly() ? ES_READONLY : 0);
    exStyle |= WS_EX_CLIENTEDGE;
    text = static_cast<TEdit&>(aControl).Text();
    break;
  case TSiteKind::Combo:
    windowClass = WC_COMBOBOXW;
    style |= WS_GROUP | WS_TABSTOP | WS_VSCROLL |
             (static_cast<TComboBox&>(aControl).Style() == TComboBoxStyle::csDropDown
                  ? CBS_DROPDOWN | CBS_AUTOHSCROLL
                  : CBS_DROPDOWNLIST);
    break;
  case TSiteKind::CheckList:
    windowClass = WC_LISTVIEWW;
    style |=
        WS_GROUP | WS_TABSTOP | LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS;
    exStyle |= WS_EX_CLIENTEDGE;
    break;
  case TSiteKind::List:
    windowClass = WC_LISTVIEWW;
    style |= WS_GROUP | WS_TABSTOP | LVS_SINGLESEL | LVS_SHOWSELALWAYS;
    exStyle |= WS_EX_CLIENTEDGE;
    break;
  case TSiteKind::Tree:
    windowClass = WC_TREEVIEWW;
    style |=
        WS_GROUP | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS;
    exStyle |= WS_EX_CLIENTEDGE;
    break;
  case TSiteKind::Progress:
    windowClass = PROGRESS_CLASSW;
    break;
  case TSiteKind::Pages:
    windowClass = WC_TABCONTROLW;
    style |= WS_GROUP | WS_TABSTOP | WS_CLIPCHILDREN;
    exStyle |= WS_EX_CONTROLPARENT;
    break;
  case TSiteKind::Panel:
  case TSiteKind::Sheet:
    style |= WS_CLIPCHILDREN;
    exStyle |= WS_EX_CONTROLPARENT;
    break;
  case TSiteKind::Image:
    break;
  }
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  HWND window =
      ::CreateWindowExW(exStyle, windowClass, text.c_str(), style, 0, 0, 0, 0, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(site->Id)), instance, nullptr);
  if (window == nullptr && site->Kind == TSiteKind::Link) {
    // Without Common Controls 6 there is no link control: a label that answers clicks.
    site->Kind = TSiteKind::Label;
    window = ::CreateWindowExW(0, WC_STATICW, aControl.Caption().c_str(),
                               WS_CHILD | WS_CLIPSIBLINGS | WS_GROUP | SS_NOTIFY, 0, 0, 0, 0,
                               parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(site->Id)),
                               instance, nullptr);
  }
  if (window == nullptr)
    return;
  site->Window = window;
  if (windowClass == kContainerClass)
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(FFont), FALSE);
  ::SetWindowSubclass(window, &TFormWindow::MouseSubclass, 1, 0);
  TControlSite& added = *site;
  FWindows[window] = &added;
  FSites[&aControl] = std::move(site);
  aControl.SetBinding(this);

  if (added.Kind == TSiteKind::Spin) {
    added.UpDown = ::CreateWindowExW(0, UPDOWN_CLASSW, nullptr,
                                     WS_CHILD | WS_CLIPSIBLINGS | UDS_ARROWKEYS | UDS_HOTTRACK, 0,
                                     0, 0, 0, parent, nullptr, instance, nullptr);
    if (added.UpDown != nullptr) {
      ::SendMessageW(added.UpDown, UDM_SETBUDDY, reinterpret_cast<WPARAM>(window), 0);
      ::SendMessageW(added.UpDown, UDM_SETRANGE32, static_cast<WPARAM>(-1000000), 1000000);
      FWindows[added.UpDown] = &added;
    }
  }
  if (added.Kind == TSiteKind::Tree && static_cast<TTreeView&>(aControl).Checkboxes()) {
    // The tree view takes this style only once it exists.
    SetStyleBit(window, TVS_CHECKBOXES, true);
  }
  PushState(added);
  PlaceControl(added);
  SetHint(added);
  if (auto* container = dynamic_cast<TWinControl*>(&aControl))
    CreateChildren(*container);
  if (added.Kind == TSiteKind::Pages)
    SyncTabs(added);
  if (auto* browser = dynamic_cast<TWebBrowser*>(&aControl)) {
    // The page is drawn in this window, with the form's font.
    browser->RecreateView();
    ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(FFont), FALSE);
  }
  ShowControl(added);
}

void TFormWindow::DestroySite(TComponent& aControl) {
  const auto found = FSites.find(&aControl);
  if (found == FSites.end())
    return;
  std::unique_ptr<TControlSite> site = std::move(found->second);
  FSites.erase(found);
  for (HWND window : {site->Window, site->UpDown}) {
    if (window == nullptr)
      continue;
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
  DropPicture(*site);
  ForgetDeadWindows();
}

void TFormWindow::ForgetDeadWindows() {
  // Child controls went with their parent's window; their components live on without one.
  for (auto it = FSites.begin(); it != FSites.end();) {
    if (it->second->Window != nullptr && !::IsWindow(it->second->Window)) {
      FWindows.erase(it->second->Window);
      if (it->second->UpDown != nullptr) {
        FWindows.erase(it->second->UpDown);
        ::DestroyWindow(it->second->UpDown);
      }
      DropPicture(*it->second);
      it = FSites.erase(it);
    } else {
      ++it;
    }
  }
}

// --- Pushing the state --------------------------------------------------------------------------

void TFormWindow::SetStyleBit(HWND aWindow, LONG_PTR aBit, bool aOn) {
  const LONG_PTR style = ::GetWindowLongPtrW(aWindow, GWL_STYLE);
  const LONG_PTR wanted = aOn ? (style | aBit) : (style & ~aBit);
  if (wanted != style) {
    ::SetWindowLongPtrW(aWindow, GWL_STYLE, wanted);
    ::SetWindowPos(aWindow, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    ::InvalidateRect(aWindow, nullptr, TRUE);
  }
}

void TFormWindow::SetCaption(TControlSite& aSite) {
  const TControl& control = *aSite.Control;
  switch (aSite.Kind) {
  case TSiteKind::Label:
  case TSiteKind::Button:
  case TSiteKind::CheckBox:
  case TSiteKind::Radio:
    ::SetWindowTextW(aSite.Window, control.Caption().c_str());
    break;
  case TSiteKind::Link:
    ::SetWindowTextW(aSite.Window, LinkMarkup(control.Caption()).c_str());
    break;
  case TSiteKind::Panel:
    ::InvalidateRect(aSite.Window, nullptr, TRUE);
    break;
  case TSiteKind::Sheet:
    if (TPageControl* pages = static_cast<const TTabSheet&>(control).PageControl()) {
      if (TControlSite* pagesSite = SiteOf(pages))
        SyncTabs(*pagesSite);
    }
    break;
  default:
    break;
  }
}

void TFormWindow::SetHint(TControlSite& aSite) {
  if (FToolTip == nullptr)
    return;
  TOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.hwnd = FWindow;
  tool.uId = reinterpret_cast<UINT_PTR>(aSite.Window);
  ::SendMessageW(FToolTip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  std::wstring hint = aSite.Control->Hint();
  if (hint.empty())
    return;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.lpszText = hint.data();
  ::SendMessageW(FToolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void TFormWindow::PushState(TControlSite& aSite) {
  TControl& control = *aSite.Control;
  ++aSite.Updating;
  ::EnableWindow(aSite.Window, control.Enabled());
  if (aSite.UpDown != nullptr)
    ::EnableWindow(aSite.UpDown, control.Enabled());
  switch (aSite.Kind) {
  case TSiteKind::Button:
    if (const auto& button = static_cast<const TButton&>(control); button.KeepsState())
      ::SendMessageW(aSite.Window, BM_SETCHECK, button.Down() ? BST_CHECKED : BST_UNCHECKED, 0);
    break;
  case TSiteKind::CheckBox:
    ::SendMessageW(aSite.Window, BM_SETCHECK,
                   static_cast<TCheckBox&>(control).Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
    SetListColours(aSite);
    break;
  case TSiteKind::Radio:
    ::SendMessageW(aSite.Window, BM_SETCHECK,
                   static_cast<TRadioButton&>(control).Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
    SetListColours(aSite);
    break;
  case TSiteKind::Edit:
  case TSiteKind::Spin: {
    // Only a real difference is written: writing the same text moves the caret.
    // Read-only is no published property and tells nobody of its change: taken at every push.
    ::SendMessageW(aSite.Window, EM_SETREADONLY, static_cast<TEdit&>(control).ReadOnly(), 0);
    const std::wstring& text = static_cast<TEdit&>(control).Text();
    if (WindowText(aSite.Window) != text)
      ::SetWindowTextW(aSite.Window, text.c_str());
    break;
  }
  case TSiteKind::Combo: {
    auto& combo = static_cast<TComboBox&>(control);
    const int count = static_cast<int>(::SendMessageW(aSite.Window, CB_GETCOUNT, 0, 0));
    bool same = count == combo.Items().Count();
    for (int i = 0; same && i < count; ++i) {
      const int length = static_cast<int>(::SendMessageW(aSite.Window, CB_GETLBTEXTLEN, i, 0));
      std::wstring item(static_cast<size_t>(std::max(length, 0)) + 1, L'\0');
      ::SendMessageW(aSite.Window, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()));
      item.resize(static_cast<size_t>(std::max(length, 0)));
      same = item == combo.Items().Strings(i);
    }
    if (!same) {
      ::SendMessageW(aSite.Window, CB_RESETCONTENT, 0, 0);
      for (int i = 0; i < combo.Items().Count(); ++i)
        ::SendMessageW(aSite.Window, CB_ADDSTRING, 0,
                       reinterpret_cast<LPARAM>(combo.Items().Strings(i).c_str()));
    }
    ::SendMessageW(aSite.Window, CB_SETCURSEL, static_cast<WPARAM>(combo.ItemIndex()), 0);
    if (combo.Style() == TComboBoxStyle::csDropDown && combo.ItemIndex() < 0 &&
        WindowText(aSite.Window) != combo.Text())
      ::SetWindowTextW(aSite.Window, combo.Text().c_str());
    break;
  }
  case TSiteKind::CheckList:
    CreateListColumns(aSite);
    SyncListStyle(aSite);
    SyncRows(aSite);
    break;
  case TSiteKind::List: {
    SyncListStyle(aSite);
    CreateListColumns(aSite);
    SyncRows(aSite);
    // The row under a point is the list view's own answer (rows, header and scrolling).
    const HWND window = aSite.Window;
    static_cast<TListView&>(control).SetHitTest([window](int aX, int aY) {
      if (!::IsWindow(window))
        return -1;
      const int dpi = WindowDpi(window);
      LVHITTESTINFO info{};
      info.pt = {::MulDiv(aX, dpi, 96), ::MulDiv(aY, dpi, 96)};
      return static_cast<int>(
          ::SendMessageW(window, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&info)));
    });
    break;
  }
  case TSiteKind::Tree:
    SetListColours(aSite);
    SyncTree(aSite);
    SyncTreeSelection(aSite);
    break;
  case TSiteKind::Progress: {
    auto& bar = static_cast<TProgressBar&>(control);
    ::SendMessageW(aSite.Window, PBM_SETRANGE32, static_cast<WPARAM>(bar.Min()), bar.Max());
    ::SendMessageW(aSite.Window, PBM_SETPOS, static_cast<WPARAM>(bar.Position()), 0);
    SetListColours(aSite);
    break;
  }
  case TSiteKind::Image:
    LoadPicture(aSite);
    break;
  default:
    break;
  }
  --aSite.Updating;
}

void TFormWindow::SetListColours(TControlSite& aSite) {
  const TCLSkinTheme& theme = CurrentSkinTheme();
  const TControl& control = *aSite.Control;
  const COLORREF background = Background(control);
  const COLORREF text = TextColour(control);
  switch (aSite.Kind) {
  case TSiteKind::List:
  case TSiteKind::CheckList:
    ::SendMessageW(aSite.Window, LVM_SETBKCOLOR, 0, static_cast<LPARAM>(background));
    ::SendMessageW(aSite.Window, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(background));
    ::SendMessageW(aSite.Window, LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(text));
    break;
  case TSiteKind::Tree:
    ::SendMessageW(aSite.Window, TVM_SETBKCOLOR, 0, static_cast<LPARAM>(background));
    ::SendMessageW(aSite.Window, TVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(text));
    break;
  case TSiteKind::Progress:
    UseVisualStyles(aSite.Window, theme.SystemColors);
    ::SendMessageW(
        aSite.Window, PBM_SETBARCOLOR, 0,
        static_cast<LPARAM>(theme.SystemColors ? CLR_DEFAULT : (theme.Accent & 0xFFFFFF)));
    ::SendMessageW(aSite.Window, PBM_SETBKCOLOR, 0,
                   static_cast<LPARAM>(theme.SystemColors ? CLR_DEFAULT : background));
    break;
  case TSiteKind::CheckBox:
  case TSiteKind::Radio:
    UseVisualStyles(aSite.Window, theme.SystemColors);
    break;
  default:
    break;
  }
  ::InvalidateRect(aSite.Window, nullptr, TRUE);
}

void TFormWindow::PlaceControl(TControlSite& aSite) {
  if (aSite.Kind == TSiteKind::Sheet) {
    // A sheet fills its page control's display area.
    if (TPageControl* pages = static_cast<TTabSheet*>(aSite.Control)->PageControl()) {
      if (TControlSite* pagesSite = SiteOf(pages))
        PlaceSheets(*pagesSite);
    }
    return;
  }
  const TControl& control = *aSite.Control;
  const int left = Scale(control.Left());
  const int top = Scale(control.Top());
  int width = Scale(control.Width());
  int height = Scale(control.Height());
  const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
  switch (aSite.Kind) {
  case TSiteKind::Spin: {
    const int arrows = std::min(width / 2, Scale(17));
    ::SetWindowPos(aSite.Window, nullptr, left, top, width - arrows, height, flags);
    if (aSite.UpDown != nullptr)
      ::SetWindowPos(aSite.UpDown, nullptr, left + width - arrows, top, arrows, height, flags);
    return;
  }
  case TSiteKind::Combo:
    // The window's height includes the dropped-down list; the closed box takes the font's.
    height += Scale(200);
    break;
  default:
    break;
  }
  ::SetWindowPos(aSite.Window, nullptr, left, top, width, height, flags);
  if (aSite.Kind == TSiteKind::Pages)
    PlaceSheets(aSite);
  if (aSite.Kind == TSiteKind::CheckList)
    ::SendMessageW(aSite.Window, LVM_SETCOLUMNWIDTH, 0, LVSCW_AUTOSIZE_USEHEADER);
  if (aSite.Kind == TSiteKind::List)
    CreateListColumns(aSite);
  if (aSite.Kind == TSiteKind::Tree) {
    const int itemHeight = static_cast<int>(::SendMessageW(aSite.Window, TVM_GETITEMHEIGHT, 0, 0));
    if (itemHeight > 0)
      static_cast<TTreeView*>(aSite.Control)->SetItemHeight(Unscale(itemHeight));
  }
}

void TFormWindow::PlaceAll() {
  for (auto& [component, site] : FSites)
    PlaceControl(*site);
}

void TFormWindow::ShowControl(TControlSite& aSite) {
  bool visible = aSite.Control->Visible();
  if (aSite.Kind == TSiteKind::Sheet) {
    auto* sheet = static_cast<TTabSheet*>(aSite.Control);
    visible =
        visible && sheet->PageControl() != nullptr && sheet->PageControl()->ActivePage() == sheet;
  }
  const int command = visible ? SW_SHOWNA : SW_HIDE;
  ::ShowWindow(aSite.Window, command);
  if (aSite.UpDown != nullptr)
    ::ShowWindow(aSite.UpDown, command);
}

void TFormWindow::ControlChanged(TControlSite& aSite, std::wstring_view aProperty) {
  TControl& control = *aSite.Control;
  if (aProperty == L"Parent") {
    HWND parent = ParentWindow(control);
    if (parent == nullptr) {
      DestroySite(control);
    } else if (::GetParent(aSite.Window) != parent) {
      ::SetParent(aSite.Window, parent);
      if (aSite.UpDown != nullptr)
        ::SetParent(aSite.UpDown, parent);
      PlaceControl(aSite);
      ShowControl(aSite);
    }
  } else if (aProperty == L"Bounds") {
    PlaceControl(aSite);
  } else if (aProperty == L"Visible") {
    ShowControl(aSite);
  } else if (aProperty == L"Enabled") {
    ::EnableWindow(aSite.Window, control.Enabled());
    if (aSite.UpDown != nullptr)
      ::EnableWindow(aSite.UpDown, control.Enabled());
  } else if (aProperty == L"Caption") {
    SetCaption(aSite);
  } else if (aProperty == L"Hint") {
    SetHint(aSite);
  } else if (aProperty == L"Cursor") {
    // The pointer takes the new shape at once when it is over the control.
    POINT cursor{};
    if (::GetCursorPos(&cursor) && ::WindowFromPoint(cursor) == aSite.Window)
      ::SendMessageW(aSite.Window, WM_SETCURSOR, reinterpret_cast<WPARAM>(aSite.Window),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  } else if (aProperty == L"Color" || aProperty == L"Font.Color") {
    SetListColours(aSite);
  } else if (aProperty == L"Invalidate") {
    ::InvalidateRect(aSite.Window, nullptr, TRUE);
  } else if (aProperty == L"WordWrap") {
    const LONG_PTR style = ::GetWindowLongPtrW(aSite.Window, GWL_STYLE) & ~SS_TYPEMASK;
    ::SetWindowLongPtrW(
        aSite.Window, GWL_STYLE,
        style | (static_cast<TLabel&>(control).WordWrap() ? SS_LEFT : SS_LEFTNOWORDWRAP));
    ::InvalidateRect(aSite.Window, nullptr, TRUE);
  } else if (aProperty == L"Pages" || aProperty == L"ActivePage") {
    SyncTabs(aSite);
  } else if (aProperty == L"TabVisible") {
    if (TPageControl* pages = static_cast<TTabSheet&>(control).PageControl()) {
      if (TControlSite* pagesSite = SiteOf(pages))
        SyncTabs(*pagesSite);
    }
  } else if (aProperty == L"Columns") {
    ++aSite.Updating;
    CreateListColumns(aSite);
    SyncRows(aSite);
    --aSite.Updating;
  } else if (aProperty == L"Checkboxes" || aProperty == L"RowSelect" || aProperty == L"ViewStyle") {
    if (aSite.Kind == TSiteKind::Tree) {
      SetStyleBit(aSite.Window, TVS_CHECKBOXES, static_cast<TTreeView&>(control).Checkboxes());
      aSite.Nodes.clear();
      ++aSite.Updating;
      ::SendMessageW(aSite.Window, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
      SyncTree(aSite);
      SyncTreeSelection(aSite);
      --aSite.Updating;
    } else {
      SyncListStyle(aSite);
    }
  } else if (aProperty == L"SmallImages") {
    SyncListStyle(aSite);
  } else if (aProperty == L"Selected") {
    SyncTreeSelection(aSite);
  } else if ((aProperty == L"Items" || aProperty == L"ItemIndex") &&
             (aSite.Kind == TSiteKind::List || aSite.Kind == TSiteKind::CheckList)) {
    // Only the rows: setting the columns again makes the list view lay out every row.
    SyncRows(aSite);
  } else if (aProperty == L"Items" && aSite.Kind == TSiteKind::Tree) {
    ++aSite.Updating;
    SyncTree(aSite);
    SyncTreeSelection(aSite);
    --aSite.Updating;
  } else if (aProperty == L"Items" || aProperty == L"ItemIndex" || aProperty == L"Text" ||
             aProperty == L"Checked" || aProperty == L"Down" || aProperty == L"Range" ||
             aProperty == L"Position" || aProperty == L"Picture") {
    PushState(aSite);
    if (aProperty == L"Picture")
      ::InvalidateRect(aSite.Window, nullptr, TRUE);
  }
}

// --- The user's actions -------------------------------------------------------------------------

bool TFormWindow::Command(TControlSite& aSite, int aCode) {
  TControl& control = *aSite.Control;
  switch (aSite.Kind) {
  case TSiteKind::Button:
  case TSiteKind::CheckBox:
  case TSiteKind::Radio:
    if (aCode != BN_CLICKED)
      return false;
    control.Click();
    // The control decides the mark (it may be disabled or refuse); the window follows it.
    if (TControlSite* site = SiteOf(&control); site != nullptr && site->Kind != TSiteKind::Button)
      PushState(*site);
    return true;
  case TSiteKind::Label:
    if (aCode == STN_CLICKED)
      control.Click();
    else if (aCode == STN_DBLCLK)
      control.DblClick();
    else
      return false;
    return true;
  case TSiteKind::Edit:
  case TSiteKind::Spin:
    if (aCode != EN_CHANGE || aSite.Updating != 0)
      return false;
    ++aSite.Updating;
    static_cast<TEdit&>(control).SetText(WindowText(aSite.Window));
    if (TControlSite* site = SiteOf(&control))
      --site->Updating;
    return true;
  case TSiteKind::Combo: {
    if (aSite.Updating != 0)
      return false;
    auto& combo = static_cast<TComboBox&>(control);
    if (aCode == CBN_SELCHANGE) {
      const int index = static_cast<int>(::SendMessageW(aSite.Window, CB_GETCURSEL, 0, 0));
      if (index >= 0)
        combo.SelectByUser(index);
      // A choice the combo box refused (it is disabled) is taken back.
      if (TControlSite* site = SiteOf(&control))
        PushState(*site);
      return true;
    }
    if (aCode == CBN_EDITCHANGE) {
      ++aSite.Updating;
      combo.SetText(WindowText(aSite.Window));
      if (TControlSite* site = SiteOf(&control))
        --site->Updating;
      return true;
    }
    return false;
  }
  default:
    return false;
  }
}

bool TFormWindow::Notify(TControlSite& aSite, NMHDR& aHeader, LRESULT& aResult) {
  TControl& control = *aSite.Control;
  switch (aSite.Kind) {
  case TSiteKind::Link:
    if (aHeader.code == NM_CLICK || aHeader.code == NM_RETURN) {
      control.Click();
      aResult = 0;
      return true;
    }
    return false;
  case TSiteKind::Spin:
    if (aHeader.hwndFrom == aSite.UpDown && aHeader.code == UDN_DELTAPOS) {
      const auto& change = reinterpret_cast<const NMUPDOWN&>(aHeader);
      auto& spin = static_cast<TSpinEdit&>(control);
      if (!spin.Enabled() || spin.ReadOnly()) {
        aResult = 1;
        return true;
      }
      if (change.iDelta > 0)
        spin.StepUp();
      else if (change.iDelta < 0)
        spin.StepDown();
      // The arrows keep no position of their own: the edit's number is the value.
      aResult = 1;
      return true;
    }
    return false;
  case TSiteKind::Pages:
    if (aHeader.code == TCN_SELCHANGE) {
      const int tab = static_cast<int>(::SendMessageW(aSite.Window, TCM_GETCURSEL, 0, 0));
      if (tab >= 0 && tab < static_cast<int>(aSite.Tabs.size()))
        static_cast<TPageControl&>(control).SelectByUser(aSite.Tabs[tab]);
      if (TControlSite* site = SiteOf(&control))
        SyncTabs(*site);
      aResult = 0;
      return true;
    }
    return false;
  case TSiteKind::List:
  case TSiteKind::CheckList:
    return ListNotify(aSite, aHeader, aResult);
  case TSiteKind::Tree:
    return TreeNotify(aSite, aHeader, aResult);
  default:
    return false;
  }
}

// --- Pictures -----------------------------------------------------------------------------------

void TFormWindow::LoadPicture(TControlSite& aSite) {
  DropPicture(aSite);
  const auto& image = static_cast<const TImage&>(*aSite.Control);
  if (!image.FileName().empty())
    aSite.Picture = LoadPngBitmap(image.FileName(), aSite.PictureWidth, aSite.PictureHeight);
}

void TFormWindow::DropPicture(TControlSite& aSite) {
  if (aSite.Picture != nullptr)
    ::DeleteObject(aSite.Picture);
  aSite.Picture = nullptr;
  aSite.PictureWidth = 0;
  aSite.PictureHeight = 0;
}

void TFormWindow::PaintImage(TControlSite& aSite, HDC aDC) {
  if (aSite.Picture == nullptr)
    return;
  RECT client{};
  ::GetClientRect(aSite.Window, &client);
  DrawPng(aDC, aSite.Picture, client);
}
