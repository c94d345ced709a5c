#pragma once
// Placing a form's window inside another program's window (the about window's ParentHWND).

// Installs the way PlaceFormInWindow (windows/CLAboutForm.h) puts a form's window into another
// window: it becomes a child window there, at 0,0. Call once at start, after the binding.
void InstallWin32FormPlacer();
