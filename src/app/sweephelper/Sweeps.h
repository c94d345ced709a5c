#pragma once
// The sweeps of the sweep helper: traces that only a running program can remove through the
// system, each reporting whether it succeeded.

#include <string>

struct TSweepOutcome {
  bool Done = false;
  std::wstring Note; // why it failed, or what was left (files in use); empty when all went
};

// Started by Kestrova the helper gets a console window of its own; it is hidden at once. A
// console shared with a prompt stays as it is.
void HideOwnConsole();

TSweepOutcome SweepClipboard();
// Empties the shell's list of recent documents (and with it the Recent folder's links).
TSweepOutcome SweepRecentDocs();
// Empties the Recycle Bin of every drive, without asking and without progress window.
TSweepOutcome SweepRecycleBin();
// Forgets the names the DNS client has cached; not every system offers it.
TSweepOutcome SweepDnsCache();
// Removes Explorer's thumbnail and icon caches; the files Explorer holds open stay.
TSweepOutcome SweepThumbnailCache();
