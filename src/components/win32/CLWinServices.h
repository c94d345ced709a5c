#pragma once
// The bindings of the components that have no window of their own.

#include "components/CLComponents.h"

// Binds a TPopupMenu (CLWinMenus.h) or a TTrayIcon (CLWinTray.h); other components need no
// binding (image lists are made on demand by WinImageList). The form binding calls it for every
// component a form owns when the form gets its window; binding twice changes nothing.
void BindNonVisual(TComponent& aComponent);
