#pragma once
// Pop-up menus for the Win32 binding. A bound TPopupMenu shows itself when its Popup is called:
// the system menu is built from the item tree each time (captions with their "&" accelerators,
// "-" separators, check and radio marks, disabled items, hidden items left out, sub-menus), and
// the chosen item's Click runs once the menu has closed. Positions are screen pixels.
// GUI thread only.

#include "components/CLNonVisual.h"

#include <windows.h>

// Shows aMenu at aX, aY and returns once it has closed, after running the chosen item's Click.
// aOwner receives the menu's messages and is brought to the foreground first (so that a click
// elsewhere closes the menu); nullptr uses a hidden window of the binding's own. An item freed
// while the menu is open is not clicked.
void ShowPopupMenu(TPopupMenu& aMenu, int aX, int aY, HWND aOwner);

// Lets aMenu's Popup show it, owned by the window of the form the menu belongs to when that form
// has a window. A menu with a binding already keeps it.
void BindPopupMenu(TPopupMenu& aMenu);
