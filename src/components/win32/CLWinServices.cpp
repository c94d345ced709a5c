#include "components/win32/CLWinServices.h"

#include "components/win32/CLWinMenus.h"
#include "components/win32/CLWinTray.h"

void BindNonVisual(TComponent& aComponent) {
  if (auto* menu = dynamic_cast<TPopupMenu*>(&aComponent))
    BindPopupMenu(*menu);
  else if (auto* tray = dynamic_cast<TTrayIcon*>(&aComponent))
    BindTrayIcon(*tray);
}
