#include "components/win32/CLWinMenus.h"

#include "components/CLControls.h"

#include <string>
#include <vector>

namespace {

// The items the open menu can return; an item freed meanwhile turns into nullptr.
class TMenuCommands : public TComponent {
public:
  TMenuCommands() : TComponent(nullptr) {}

  // The command number of aItem (from 1).
  UINT Add(TMenuItem* aItem) {
    FItems.push_back(aItem);
    FreeNotification(aItem);
    return static_cast<UINT>(FItems.size());
  }
  TMenuItem* Item(UINT aCommand) const {
    return aCommand >= 1 && aCommand <= FItems.size() ? FItems[aCommand - 1] : nullptr;
  }

protected:
  void Notification(TComponent& aComponent, TOperation aOperation) override {
    if (aOperation != TOperation::opRemove)
      return;
    for (TMenuItem*& item : FItems) {
      if (item == &aComponent)
        item = nullptr;
    }
  }

private:
  std::vector<TMenuItem*> FItems;
};

void AddItems(HMENU aMenu, const TMenuItem& aParent, TMenuCommands& aCommands) {
  for (int i = 0; i < aParent.Count(); ++i) {
    TMenuItem* item = aParent.Items(i);
    if (!item->Visible())
      continue;
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    std::wstring caption = item->Caption();
    if (item->IsLine()) {
      info.fMask = MIIM_FTYPE;
      info.fType = MFT_SEPARATOR;
    } else {
      info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_STRING;
      info.fType = MFT_STRING | (item->RadioItem() ? MFT_RADIOCHECK : 0);
      info.fState = (item->Checked() ? MFS_CHECKED : MFS_UNCHECKED) |
                    (item->Enabled() ? MFS_ENABLED : MFS_DISABLED);
      info.dwTypeData = caption.data();
      if (item->Count() > 0) {
        info.fMask |= MIIM_SUBMENU;
        info.hSubMenu = ::CreatePopupMenu();
        AddItems(info.hSubMenu, *item, aCommands);
      } else {
        info.fMask |= MIIM_ID;
        info.wID = aCommands.Add(item);
      }
    }
    ::InsertMenuItemW(aMenu, ::GetMenuItemCount(aMenu), TRUE, &info);
  }
}

LRESULT CALLBACK OwnerWindowProc(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) {
  return ::DefWindowProcW(aWindow, aMessage, aWParam, aLParam);
}

// The owner of menus whose form has no window: hidden, never shown, alive for the process.
HWND HiddenOwner() {
  static HWND GWindow = nullptr;
  if (GWindow == nullptr || !::IsWindow(GWindow)) {
    static const bool GRegistered = [] {
      WNDCLASSEXW windowClass = {};
      windowClass.cbSize = sizeof(windowClass);
      windowClass.lpfnWndProc = OwnerWindowProc;
      windowClass.hInstance = ::GetModuleHandleW(nullptr);
      windowClass.lpszClassName = L"KestrovaMenuOwner";
      return ::RegisterClassExW(&windowClass) != 0;
    }();
    if (GRegistered)
      GWindow = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"KestrovaMenuOwner", L"", WS_POPUP, 0, 0, 0, 0,
                                  nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  }
  return GWindow;
}

HWND FormWindowOf(const TComponent& aComponent) {
  for (TComponent* owner = aComponent.Owner(); owner != nullptr; owner = owner->Owner()) {
    if (auto* form = dynamic_cast<TForm*>(owner))
      return form->Host() != nullptr ? reinterpret_cast<HWND>(form->Host()->Handle()) : nullptr;
  }
  return nullptr;
}

// One binding serves every menu: it keeps nothing of them.
class TPopupMenuBinding : public IComponentBinding {
public:
  void PropertyChanged(TComponent& aComponent, std::wstring_view aProperty) override {
    if (aProperty != L"Popup")
      return;
    auto& menu = static_cast<TPopupMenu&>(aComponent);
    ShowPopupMenu(menu, menu.PopupX(), menu.PopupY(), FormWindowOf(menu));
  }
  void ComponentDestroyed(TComponent&) override {}
};

TPopupMenuBinding GPopupMenuBinding;

} // namespace

void ShowPopupMenu(TPopupMenu& aMenu, int aX, int aY, HWND aOwner) {
  if (aOwner == nullptr || !::IsWindow(aOwner))
    aOwner = HiddenOwner();
  HMENU menu = ::CreatePopupMenu();
  if (menu == nullptr || aOwner == nullptr) {
    if (menu != nullptr)
      ::DestroyMenu(menu);
    return;
  }
  TMenuCommands commands;
  AddItems(menu, aMenu.Items(), commands);
  UINT flags = TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON | TPM_TOPALIGN;
  flags |= ::GetSystemMetrics(SM_MENUDROPALIGNMENT) != 0 ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
  // Without the foreground the menu would not close when the user clicks elsewhere.
  ::SetForegroundWindow(aOwner);
  const UINT command = static_cast<UINT>(::TrackPopupMenuEx(menu, flags, aX, aY, aOwner, nullptr));
  // Makes the system switch tasks properly after a menu of a background window.
  ::PostMessageW(aOwner, WM_NULL, 0, 0);
  ::DestroyMenu(menu);
  if (TMenuItem* item = commands.Item(command))
    item->Click();
}

void BindPopupMenu(TPopupMenu& aMenu) {
  if (aMenu.Binding() == nullptr)
    aMenu.SetBinding(&GPopupMenuBinding);
}
