#pragma once
// A user whose profile roams: the "AppData" folder lies on a network share, and the per-machine
// data folder cannot be written, so that the program keeps its data, its backups among them, in
// the user's folder on the share. The current folder holds a backup index "info.rec" naming the
// backup "a.reg", which is there too: whatever the program does with its own backups must leave
// both as they are.

#include "platform/fake/FakeMachine.h"

#include <string>

// The user's "AppData" folder on the share.
inline const std::wstring kRoamingAppData = L"\\\\server\\profiles\\User\\AppData\\Roaming";
// The process's current folder, holding the planted index and backup.
inline const std::wstring kRoamingCurrentFolder = L"C:\\Current";

void UseRoamingProfile(kplat::fake::TFakeMachine& aMachine);
// Whether the planted index and backup are still in the current folder, unchanged, and nothing
// else was made there.
bool CurrentFolderUntouched(const kplat::fake::TFakeMachine& aMachine);
