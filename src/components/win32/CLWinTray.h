#pragma once
// The tray icon binding: a bound TTrayIcon is in the notification area while it is Visible,
// with its Hint as the tool tip (cut to the 127 characters the shell keeps) and the icon of its
// IconFile, else the program's own icon (resource 1), else the system's application icon, at
// the small-icon size of the screen's resolution. A hidden window of its own hears the shell:
// a left click calls Click, a double click DblClick, a right click (or the context-menu key)
// MouseUp(mbRight) at the cursor, which opens the icon's pop-up menu; the icon is added again
// when the shell restarts ("TaskbarCreated"). GUI thread only.

#include "components/CLNonVisual.h"

#include <windows.h>

// The message the shell sends to the icon's window (lParam: the mouse or notification message
// in its low word, the icon number in its high word).
constexpr UINT kTrayCallbackMessage = WM_APP + 0x0A01;

// Binds aTray (and its pop-up menu when it opens); a tray icon with a binding already keeps it.
void BindTrayIcon(TTrayIcon& aTray);
// The window that hears the shell for aTray, nullptr when aTray is not bound here.
HWND TrayIconWindow(const TTrayIcon& aTray);
// Whether the shell took aTray's icon and shows it.
bool TrayIconShown(const TTrayIcon& aTray);
