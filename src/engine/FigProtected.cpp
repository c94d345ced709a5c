#include "engine/FigProtected.h"

#include "base/CLHelpers.h"
#include "platform/FileIO.h"
#include "platform/Platform.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace {

constexpr std::array<std::wstring_view, 10> kKeptNames = {
    // Chromium browsers (Chrome, Edge, Brave, Vivaldi, Opera)
    L"Bookmarks", L"Login Data", L"Web Data", L"Preferences", L"Local State",
    // Firefox
    L"places.sqlite", L"key4.db", L"logins.json", L"cert9.db", L"prefs.js"};
constexpr std::array<std::wstring_view, 3> kJournalEndings = {L"-journal", L"-wal", L"-shm"};

// The user's own folders: their "Shell Folders" names and where a profile keeps them when the
// registry does not say.
struct TUserFolder {
  std::wstring_view ShellName;
  std::wstring_view ProfileName;
};
constexpr std::array<TUserFolder, 5> kUserFolders = {{{L"Personal", L"Documents"},
                                                      {L"My Pictures", L"Pictures"},
                                                      {L"My Music", L"Music"},
                                                      {L"My Video", L"Videos"},
                                                      {L"Desktop", L"Desktop"}}};

// Both paths in the comparable form: the same, or one inside the other.
bool Overlaps(const std::wstring& aPath, const std::wstring& aFolder) {
  return aPath == aFolder || kplat::ComparablePathInFolder(aPath, aFolder) ||
         kplat::ComparablePathInFolder(aFolder, aPath);
}

} // namespace

bool IsKeptFileName(const std::wstring& aName) {
  for (const std::wstring_view kept : kKeptNames) {
    if (kplat::SameText(aName, kept)) {
      return true;
    }
    for (const std::wstring_view ending : kJournalEndings) {
      if (aName.size() == kept.size() + ending.size() &&
          kplat::SameText(std::wstring_view(aName).substr(0, kept.size()), kept) &&
          kplat::SameText(std::wstring_view(aName).substr(kept.size()), ending)) {
        return true;
      }
    }
  }
  return false;
}

TFigKeptFolders::TFigKeptFolders() {
  std::wstring profile;
  kplat::Platform().System().GetEnv(L"USERPROFILE", profile);
  for (const TUserFolder& folder : kUserFolders) {
    const std::wstring shellFolder = GetShellFolder(std::wstring(folder.ShellName));
    if (!shellFolder.empty()) {
      FFolders.push_back(kplat::ComparablePath(shellFolder));
    }
    if (!profile.empty()) {
      FFolders.push_back(
          kplat::ComparablePath(NormalizeFolder(profile) + std::wstring(folder.ProfileName)));
    }
  }
}

bool TFigKeptFolders::Covers(const std::wstring& aFolder, const std::wstring& aName) {
  if (IsKeptFileName(aName)) {
    return true;
  }
  std::wstring path;
  if (!aFolder.empty() && !aName.empty() && aName.find_first_of(L"\\/") == std::wstring::npos) {
    if (aFolder != FLastFolder || FLastComparable.empty()) {
      FLastFolder = aFolder;
      FLastComparable = kplat::ComparablePath(NormalizeFolder(aFolder)) + L'\\';
    }
    path = FLastComparable + kplat::UpperCase(aName);
  } else {
    path = kplat::ComparablePath(NormalizeFolder(aFolder) + aName);
  }
  return std::any_of(FFolders.begin(), FFolders.end(),
                     [&](const std::wstring& aKept) { return Overlaps(path, aKept); });
}
