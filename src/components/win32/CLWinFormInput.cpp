// The messages of a form's controls: their commands and notifications go to their sites, their
// colours come from the skin, the context menu and the mouse reach their components.
#include "components/win32/CLWinForm.h"

#include <windowsx.h>

LRESULT CALLBACK TFormWindow::ContainerProc(HWND aWindow, UINT aMsg, WPARAM aWParam,
                                            LPARAM aLParam) {
  auto* self = reinterpret_cast<TFormWindow*>(::GetWindowLongPtrW(aWindow, GWLP_USERDATA));
  if (self == nullptr || self->FClosing)
    return ::DefWindowProcW(aWindow, aMsg, aWParam, aLParam);
  TControlSite* site = self->SiteOfWindow(aWindow);
  if (site == nullptr)
    return ::DefWindowProcW(aWindow, aMsg, aWParam, aLParam);
  return self->ContainerMessage(*site, aMsg, aWParam, aLParam);
}

LRESULT TFormWindow::ContainerMessage(TControlSite& aSite, UINT aMsg, WPARAM aWParam,
                                      LPARAM aLParam) {
  LRESULT result = 0;
  if (ChildMessage(aMsg, aWParam, aLParam, result))
    return result;
  return aSite.ContainerMessage(aMsg, aWParam, aLParam);
}

bool TFormWindow::ChildMessage(UINT aMsg, WPARAM aWParam, LPARAM aLParam, LRESULT& aResult) {
  switch (aMsg) {
  case WM_COMMAND: {
    HWND from = reinterpret_cast<HWND>(aLParam);
    if (from != nullptr) {
      if (TControlSite* site = SiteOfWindow(from))
        return site->Command(HIWORD(aWParam));
    }
    // Enter and Escape, as the dialog keyboard interface sends them.
    const int id = LOWORD(aWParam);
    if (id != IDOK && id != IDCANCEL)
      return false;
    if (TButton* button = DialogButton(id == IDOK ? mr::OK : mr::Cancel)) {
      button->Click();
    } else if (id == IDCANCEL && FForm.Modal()) {
      FForm.Close();
    }
    aResult = 0;
    return true;
  }
  case WM_NOTIFY: {
    auto* header = reinterpret_cast<NMHDR*>(aLParam);
    if (header == nullptr)
      return false;
    if (TControlSite* site = SiteOfWindow(header->hwndFrom))
      return site->Notify(*header, aResult);
    return false;
  }
  case WM_CTLCOLORSTATIC:
  case WM_CTLCOLORBTN:
  case WM_CTLCOLOREDIT:
  case WM_CTLCOLORLISTBOX: {
    HBRUSH brush =
        ColourMessage(reinterpret_cast<HDC>(aWParam), reinterpret_cast<HWND>(aLParam), aMsg);
    aResult = reinterpret_cast<LRESULT>(brush);
    return brush != nullptr;
  }
  case WM_CONTEXTMENU:
    ContextMenu(reinterpret_cast<HWND>(aWParam), aLParam);
    aResult = 0;
    return true;
  default:
    return false;
  }
}

TControlSite* TFormWindow::SiteOwning(HWND aWindow) {
  if (TControlSite* site = SiteOfWindow(aWindow))
    return site;
  // A window the control made itself: a combo box's drop-down list, a list view's header.
  for (auto& [component, candidate] : FSites) {
    if (candidate->OwnsWindow(aWindow))
      return candidate.get();
  }
  return nullptr;
}

HBRUSH TFormWindow::ColourMessage(HDC aDC, HWND aWindow, UINT aMsg) {
  TControlSite* site = aMsg == WM_CTLCOLORLISTBOX ? SiteOwning(aWindow) : SiteOfWindow(aWindow);
  return site != nullptr ? site->ColourBrush(aDC) : nullptr;
}

void TFormWindow::ContextMenu(HWND aWindow, LPARAM aLParam) {
  TControl* control = nullptr;
  if (aWindow == FWindow) {
    control = &FForm;
  } else if (TControlSite* site = SiteOfWindow(aWindow)) {
    control = &site->Control();
    aWindow = site->Window();
  }
  if (control == nullptr)
    return;
  POINT point{GET_X_LPARAM(aLParam), GET_Y_LPARAM(aLParam)};
  if (aLParam == -1) {
    // From the keyboard: the middle of the control.
    RECT client{};
    ::GetClientRect(aWindow, &client);
    point = POINT{client.right / 2, client.bottom / 2};
  } else {
    ::ScreenToClient(aWindow, &point);
  }
  TShiftState shift = 0;
  if (::GetKeyState(VK_SHIFT) < 0)
    shift |= ss::Shift;
  if (::GetKeyState(VK_CONTROL) < 0)
    shift |= ss::Ctrl;
  if (::GetKeyState(VK_MENU) < 0)
    shift |= ss::Alt;
  // Taken first: the control's handler may free it.
  const bool ownMenu = control->PopupMenu() != nullptr;
  TControl* parent = control->Parent();
  control->MouseUp(TMouseButton::mbRight, shift, Unscale(point.x), Unscale(point.y));
  if (ownMenu)
    return;
  // A control without a menu of its own shows its parent's.
  for (; parent != nullptr; parent = parent->Parent()) {
    if (parent->PopupMenu() != nullptr) {
      ::ClientToScreen(aWindow, &point);
      parent->PopupMenu()->Popup(point.x, point.y);
      return;
    }
  }
}

namespace {

// The keys held during a mouse message (its wParam).
TShiftState KeyShift(WPARAM aKeys) {
  TShiftState shift = 0;
  if ((aKeys & MK_SHIFT) != 0)
    shift |= ss::Shift;
  if ((aKeys & MK_CONTROL) != 0)
    shift |= ss::Ctrl;
  if (::GetKeyState(VK_MENU) < 0)
    shift |= ss::Alt;
  return shift;
}

} // namespace

TControlSite* TFormWindow::SiteOfAny(HWND aWindow, TFormWindow*& aForm) {
  for (TFormWindow* form : All()) {
    if (TControlSite* site = form->SiteOfWindow(aWindow)) {
      aForm = form;
      return site;
    }
  }
  return nullptr;
}

LRESULT CALLBACK TFormWindow::MouseSubclass(HWND aWindow, UINT aMsg, WPARAM aWParam, LPARAM aLParam,
                                            UINT_PTR, DWORD_PTR) {
  TFormWindow* self = nullptr;
  switch (aMsg) {
  case WM_SETCURSOR:
    if (LOWORD(aLParam) == HTCLIENT && reinterpret_cast<HWND>(aWParam) == aWindow) {
      TControlSite* site = SiteOfAny(aWindow, self);
      if (site != nullptr && site->Control().Cursor() == TCursor::crHandPoint) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
      }
    }
    return ::DefSubclassProc(aWindow, aMsg, aWParam, aLParam);
  case WM_MOUSEMOVE: {
    const LRESULT result = ::DefSubclassProc(aWindow, aMsg, aWParam, aLParam);
    if (TControlSite* site = SiteOfAny(aWindow, self))
      site->Control().MouseMove(KeyShift(aWParam), self->Unscale(GET_X_LPARAM(aLParam)),
                                self->Unscale(GET_Y_LPARAM(aLParam)));
    return result;
  }
  case WM_LBUTTONDOWN:
  case WM_LBUTTONUP:
  case WM_RBUTTONDOWN:
  case WM_MBUTTONDOWN:
  case WM_MBUTTONUP: {
    // The control's own handling first (a button's click); it may free the control or its
    // form, so both are looked up again afterwards.
    const LRESULT result = ::DefSubclassProc(aWindow, aMsg, aWParam, aLParam);
    MouseButton(aWindow, aMsg, aWParam, aLParam);
    return result;
  }
  case WM_NOTIFY: {
    // A part the control made itself (a list view's header) tells the control, not the form;
    // the site hears it once the control has taken the change in.
    const LRESULT result = ::DefSubclassProc(aWindow, aMsg, aWParam, aLParam);
    auto* header = reinterpret_cast<NMHDR*>(aLParam);
    TControlSite* site = header != nullptr ? SiteOfAny(aWindow, self) : nullptr;
    if (site != nullptr && site->OwnsWindow(header->hwndFrom)) {
      LRESULT ignored = 0;
      site->Notify(*header, ignored);
    }
    return result;
  }
  default:
    return ::DefSubclassProc(aWindow, aMsg, aWParam, aLParam);
  }
}

void TFormWindow::MouseButton(HWND aWindow, UINT aMsg, WPARAM aWParam, LPARAM aLParam) {
  TMouseButton button = TMouseButton::mbLeft;
  if (aMsg == WM_RBUTTONDOWN)
    button = TMouseButton::mbRight;
  else if (aMsg == WM_MBUTTONDOWN || aMsg == WM_MBUTTONUP)
    button = TMouseButton::mbMiddle;
  const bool down = aMsg == WM_LBUTTONDOWN || aMsg == WM_RBUTTONDOWN || aMsg == WM_MBUTTONDOWN;
  TFormWindow* self = nullptr;
  TControlSite* site = SiteOfAny(aWindow, self);
  if (site == nullptr)
    return;
  site->BeforeMouse();
  // The site's reading may have reached handlers that freed the control or its form.
  if ((site = SiteOfAny(aWindow, self)) == nullptr)
    return;
  const TShiftState shift = KeyShift(aWParam);
  const int x = self->Unscale(GET_X_LPARAM(aLParam));
  const int y = self->Unscale(GET_Y_LPARAM(aLParam));
  const bool holdsDown = site->HoldsButtonDown();
  if (down)
    site->Control().MouseDown(button, shift, x, y);
  else
    site->Control().MouseUp(button, shift, x, y);
  // A list view waits inside its button-down for the release (or a drag) and swallows the
  // button-up: a click on it ends with the button already released.
  if (down && button == TMouseButton::mbLeft && holdsDown &&
      (::GetAsyncKeyState(VK_LBUTTON) & 0x8000) == 0) {
    // The button-down's handler may have freed the list or its form.
    if ((site = SiteOfAny(aWindow, self)) != nullptr)
      site->Control().MouseUp(button, shift, x, y);
  }
}
