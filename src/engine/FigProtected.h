#pragma once
// Files that hold what people keep: a browser's bookmarks, saved passwords, payment and autofill
// data, preferences and certificates, and everything in the user's own document, picture, music,
// video and desktop folders. Whatever rule finds one, the finding starts unticked with a warning,
// and no run that nobody watches deletes it. This is the one list; scan and repair both ask it.

#include <string>
#include <vector>

// Whether the file name is one of the kept browser files, or the journal of one of them (a
// database's "-journal", "-wal" or "-shm" file is part of it). Case is ignored.
bool IsKeptFileName(const std::wstring& aName);

// The user's own folders, looked up once: a scan asks about every finding it makes, and the
// folders do not move while it runs.
class TFigKeptFolders {
public:
  TFigKeptFolders();
  // Whether the disk place aName in aFolder is a kept file, lies in one of the user's own folders
  // or holds one of them.
  bool Covers(const std::wstring& aFolder, const std::wstring& aName);

private:
  std::vector<std::wstring> FFolders; // in the form kplat::ComparablePath gives
  // The folder asked about last, and its comparable form with a trailing backslash: a walk asks
  // about the places of one folder after another.
  std::wstring FLastFolder;
  std::wstring FLastComparable;
};
