#include "components/win32/CLWinComboSite.h"

#include "components/win32/CLWinForm.h"

TSiteWindowStyle TComboSite::WindowStyle() {
  const DWORD kind = Combo().Style() == TComboBoxStyle::csDropDown
                         ? static_cast<DWORD>(CBS_DROPDOWN | CBS_AUTOHSCROLL)
                         : static_cast<DWORD>(CBS_DROPDOWNLIST);
  return {WC_COMBOBOXW, WS_GROUP | WS_TABSTOP | WS_VSCROLL | kind, 0, {}};
}

bool TComboSite::ShowsItems() const {
  const int count = static_cast<int>(::SendMessageW(Window(), CB_GETCOUNT, 0, 0));
  if (count != Combo().Items().Count())
    return false;
  for (int i = 0; i < count; ++i) {
    const int length = static_cast<int>(::SendMessageW(Window(), CB_GETLBTEXTLEN, i, 0));
    std::wstring item(static_cast<size_t>(std::max(length, 0)) + 1, L'\0');
    ::SendMessageW(Window(), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()));
    item.resize(static_cast<size_t>(std::max(length, 0)));
    if (item != Combo().Items().Strings(i))
      return false;
  }
  return true;
}

void TComboSite::PushState() {
  TComboBox& combo = Combo();
  if (!ShowsItems()) {
    ::SendMessageW(Window(), CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < combo.Items().Count(); ++i)
      ::SendMessageW(Window(), CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(combo.Items().Strings(i).c_str()));
  }
  ::SendMessageW(Window(), CB_SETCURSEL, static_cast<WPARAM>(combo.ItemIndex()), 0);
  if (combo.Style() == TComboBoxStyle::csDropDown && combo.ItemIndex() < 0 &&
      WindowText(Window()) != combo.Text())
    ::SetWindowTextW(Window(), combo.Text().c_str());
}

void TComboSite::Place() {
  const RECT bounds = Bounds();
  // The window's height includes the dropped-down list; the closed box takes the font's.
  ::SetWindowPos(Window(), nullptr, bounds.left, bounds.top, bounds.right - bounds.left,
                 bounds.bottom - bounds.top + Form().Scale(200), SWP_NOZORDER | SWP_NOACTIVATE);
}

bool TComboSite::Command(int aCode) {
  if (Updating != 0)
    return false;
  TFormWindow& form = Form();
  TControl& control = Control();
  if (aCode == CBN_SELCHANGE) {
    const int index = static_cast<int>(::SendMessageW(Window(), CB_GETCURSEL, 0, 0));
    if (index >= 0)
      Combo().SelectByUser(index);
    // A choice the combo box refused (it is disabled) is taken back.
    if (TControlSite* site = form.SiteOf(&control))
      site->Push();
    return true;
  }
  if (aCode == CBN_EDITCHANGE) {
    ++Updating;
    Combo().SetText(WindowText(Window()));
    if (TControlSite* site = form.SiteOf(&control))
      --site->Updating;
    return true;
  }
  return false;
}

bool TComboSite::OwnsWindow(HWND aWindow) const {
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  return ::GetComboBoxInfo(Window(), &info) && info.hwndList == aWindow;
}
