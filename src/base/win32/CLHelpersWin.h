#pragma once
// The common helpers that work on windows and other Win32 objects (Windows build only):
// foreground and top-most placement, the single-instance mutex and the "tell a friend" mail
// through Simple MAPI.

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

// Into or out of the always-on-top band, without moving, sizing or reordering the owner.
bool SetWindowTopMost(HWND aWindow, bool aOn);
// Restores and shows the window and makes it the foreground window, working around the
// system's foreground lock. True when the window ended in front.
bool ForceForegroundWindow(HWND aWindow);
// True when a new mutex of that name was created; its handle then stays open until the process
// ends. False (nothing kept) when one of that name already existed or it could not be created.
bool CreateSingleInstanceMutex(const std::wstring& aName);

// Mail fields by name: "to", "subject", "body", and "attachment0", "attachment1", ... (read in
// order up to the first missing or empty one). Names are compared without regard to case; the
// first of a name counts.
using TMailFields = std::vector<std::pair<std::wstring, std::wstring>>;
// Opens the mail program's dialog with the message filled in, for the user to edit and send;
// the calling thread's other windows are disabled meanwhile. Returns the Simple MAPI result (0
// success, 1 when the mail library or an entry point is missing). When the log-on fails the user
// is told that no mail program is set up.
ULONG SendMailByMAPI(HWND aWindow, const TMailFields& aFields);

// The message box the mail helper shows; replaceable so that tests see it without a window.
using TMailMessageBox = int (*)(HWND aWindow, const std::wstring& aText,
                                const std::wstring& aCaption, UINT aType);
// Installs aBox (nullptr: the system's message box) and returns the one before.
TMailMessageBox SetMailMessageBox(TMailMessageBox aBox);
