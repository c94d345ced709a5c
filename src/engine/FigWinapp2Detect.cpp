#include "engine/FigDiskLocation.h"
#include "engine/FigWinapp2.h"

#include "base/CLHelpers.h"
#include "platform/FileIO.h"
#include "platform/Platform.h"
#include "platform/RegKey.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <array>

namespace {

// Where the well-known applications keep their profiles.
constexpr std::array<std::pair<TWinapp2Special, std::wstring_view>, 4> kSpecialFolders = {{
    {TWinapp2Special::Chrome, L"%LocalAppData%\\Google\\Chrome\\User Data"},
    {TWinapp2Special::Mozilla, L"%AppData%\\Mozilla\\Firefox"},
    {TWinapp2Special::Thunderbird, L"%AppData%\\Thunderbird"},
    {TWinapp2Special::Opera, L"%AppData%\\Opera Software"},
}};

std::wstring Env(const std::wstring& aName) {
  std::wstring value;
  kplat::Platform().System().GetEnv(aName, value);
  return value;
}

// The distinct non-empty folders, in the order given.
std::vector<std::wstring> Distinct(std::initializer_list<std::wstring> aFolders) {
  std::vector<std::wstring> folders;
  for (const std::wstring& folder : aFolders) {
    if (!folder.empty() &&
        std::none_of(folders.begin(), folders.end(),
                     [&](const std::wstring& aSeen) { return kplat::SamePath(aSeen, folder); })) {
      folders.push_back(folder);
    }
  }
  return folders;
}

// A user folder as the shell names it, or where a profile keeps it when the registry does not
// say.
std::wstring UserFolder(const std::wstring& aShellName, const std::wstring& aProfileName) {
  const std::wstring folder = GetShellFolder(aShellName);
  const std::wstring profile = Env(L"USERPROFILE");
  return !folder.empty() || profile.empty() ? folder : NormalizeFolder(profile) + aProfileName;
}

bool FoundOrUnreadable(kplat::TErrorCode aCode) {
  return aCode == kplat::err::Success || aCode == kplat::err::AccessDenied ||
         aCode == kplat::err::SharingViolation;
}

// A listing longer than this is not read: asking for the one name is cheaper.
constexpr size_t kMaxListedNames = 2000;
// Keys this near a root are looked up in listings (the root, Software, WOW6432Node).
constexpr size_t kListedKeyLevels = 3;

} // namespace

const std::vector<std::wstring>* TWinapp2Detector::OwnVariable(const std::wstring& aName) {
  if (!FRead) {
    FRead = true;
    const std::wstring profile = Env(L"USERPROFILE");
    // A 32-bit program on 64-bit Windows sees the 32-bit folders in %ProgramFiles%; the two
    // "W6432" names always give the 64-bit ones.
    FVariables[L"PROGRAMFILES"] =
        Distinct({Env(L"ProgramW6432"), Env(L"ProgramFiles(x86)"), Env(L"ProgramFiles")});
    FVariables[L"COMMONPROGRAMFILES"] = Distinct(
        {Env(L"CommonProgramW6432"), Env(L"CommonProgramFiles(x86)"), Env(L"CommonProgramFiles")});
    FVariables[L"COMMONAPPDATA"] = Distinct({Env(L"ProgramData"), Env(L"ALLUSERSPROFILE")});
    FVariables[L"DOCUMENTS"] = Distinct({UserFolder(L"Personal", L"Documents")});
    FVariables[L"MUSIC"] = Distinct({UserFolder(L"My Music", L"Music")});
    FVariables[L"PICTURES"] = Distinct({UserFolder(L"My Pictures", L"Pictures")});
    FVariables[L"VIDEO"] = Distinct({UserFolder(L"My Video", L"Videos")});
    FVariables[L"LOCALLOWAPPDATA"] =
        Distinct({profile.empty() ? L"" : NormalizeFolder(profile) + L"AppData\\LocalLow"});
    for (auto& [name, folders] : FVariables) {
      for (std::wstring& folder : folders) {
        folder = StripTrailingBackslashes(folder);
      }
    }
  }
  const auto found = FVariables.find(kplat::UpperCase(aName));
  return found == FVariables.end() ? nullptr : &found->second;
}

std::vector<std::wstring> TWinapp2Detector::ExpandPath(const std::wstring& aPath) {
  // This format's own variables first (one path per folder they stand for); the environment's
  // are left to the engine's expansion.
  std::vector<std::wstring> paths{L""};
  size_t pos = 0;
  while (pos < aPath.size()) {
    const size_t open = aPath.find(L'%', pos);
    const size_t close = open == aPath.npos ? aPath.npos : aPath.find(L'%', open + 1);
    if (close == aPath.npos) {
      break;
    }
    const std::wstring name = aPath.substr(open + 1, close - open - 1);
    const std::vector<std::wstring>* own =
        name.empty() || name.find(L'\\') != name.npos ? nullptr : OwnVariable(name);
    if (own == nullptr) {
      for (std::wstring& path : paths) {
        path.append(aPath, pos, close - pos);
      }
      pos = close;
      continue;
    }
    std::vector<std::wstring> next;
    for (const std::wstring& path : paths) {
      for (const std::wstring& folder : *own) {
        next.push_back(path + aPath.substr(pos, open - pos) + folder);
      }
    }
    paths = std::move(next);
    pos = close + 1;
  }
  std::vector<std::wstring> expanded;
  for (std::wstring& path : paths) {
    path.append(aPath, std::min(pos, aPath.size()));
    std::wstring full;
    if (ExpandLocationVariables(path, full) && IsFullPath(full)) {
      expanded.push_back(std::move(full));
    }
  }
  return expanded;
}

bool TWinapp2Detector::KeyExists(const TWinapp2RegPath& aKey) {
  if (KeyFound(aKey.Root, aKey.Key)) {
    return true;
  }
  // A 32-bit program's keys under HKLM\Software are in its 32-bit view, which 64-bit Windows
  // keeps below WOW6432Node.
  constexpr std::wstring_view kSoftware = L"Software\\";
  return aKey.Root == kplat::regroot::LocalMachine && StartsText(aKey.Key, kSoftware) &&
         !StartsText(aKey.Key.substr(kSoftware.size()), L"WOW6432Node") &&
         KeyFound(aKey.Root, L"Software\\WOW6432Node\\" + aKey.Key.substr(kSoftware.size()));
}

bool TWinapp2Detector::KeyFound(kplat::TRegHandle aRoot, const std::wstring& aKey) {
  // The first levels below a root are looked up in their listings; a deeper key is opened.
  std::vector<std::wstring> parts;
  SplitText(aKey, L'\\', parts);
  std::wstring parent;
  for (size_t i = 0; i < parts.size() && i < kListedKeyLevels; ++i) {
    const TNames& names = KeyNames(aRoot, parent);
    if (!names) {
      break;
    }
    if (names->count(kplat::UpperCase(parts[i])) == 0) {
      return false;
    }
    parent += (parent.empty() ? L"" : L"\\") + parts[i];
    if (i + 1 == parts.size()) {
      return true;
    }
  }
  kplat::TRegKey key;
  return FoundOrUnreadable(
      key.Open(aRoot, aKey, kplat::TRegAccess::Read, kplat::TRegView::Native64));
}

const TWinapp2Detector::TNames& TWinapp2Detector::KeyNames(kplat::TRegHandle aRoot,
                                                           const std::wstring& aKey) {
  const auto [found, added] = FKeyNames.try_emplace({aRoot, kplat::UpperCase(aKey)});
  if (!added) {
    return found->second;
  }
  kplat::TRegKey key;
  kplat::TRegKeyInfo info;
  std::vector<std::wstring> names;
  if (key.Open(aRoot, aKey, kplat::TRegAccess::Read, kplat::TRegView::Native64) ==
          kplat::err::Success &&
      key.Info(info) == kplat::err::Success && info.SubKeyCount <= kMaxListedNames &&
      kplat::Platform().Registry().EnumSubKeys(key.Handle(), names) == kplat::err::Success) {
    std::unordered_set<std::wstring>& set = found->second.emplace();
    for (const std::wstring& name : names) {
      set.insert(kplat::UpperCase(name));
    }
  }
  return found->second;
}

bool TWinapp2Detector::PathExists(const std::wstring& aPath) {
  for (const std::wstring& path : ExpandPath(aPath)) {
    if (ExistsOnDisk(path)) {
      return true;
    }
  }
  return false;
}

bool TWinapp2Detector::ExistsOnDisk(const std::wstring& aFullPath) {
  kplat::IFileSystem& files = kplat::Platform().Files();
  if (!HasWildcard(aFullPath)) {
    return FileFound(aFullPath);
  }
  // The folders before the first wildcard must be there for anything below them to be.
  const size_t wildcard = aFullPath.find_first_of(L"*?");
  const size_t before = aFullPath.rfind(L'\\', wildcard);
  if (before != std::wstring::npos && before > 2 && !FileFound(aFullPath.substr(0, before))) {
    return false;
  }
  const size_t slash = aFullPath.rfind(L'\\');
  if (slash == std::wstring::npos) {
    return false;
  }
  const std::wstring parent = aFullPath.substr(0, slash);
  const std::wstring last = aFullPath.substr(slash + 1);
  const std::vector<std::wstring> folders =
      HasWildcard(parent) ? MatchWildcardFolders(parent) : std::vector<std::wstring>{parent};
  for (const std::wstring& folder : folders) {
    if (!HasWildcard(last)) {
      if (FileFound(folder + L"\\" + last)) {
        return true;
      }
      continue;
    }
    if (const TNames& names = FolderNames(folder); names) {
      if (std::any_of(names->begin(), names->end(), [&](const std::wstring& aName) {
            return kplat::MatchesWildcard(aName, last);
          })) {
        return true;
      }
      continue;
    }
    // A folder that cannot be listed may hold the file: it counts as found.
    kplat::TFindHandle find = kplat::kNoFindHandle;
    kplat::TFindData data;
    const kplat::TErrorCode rc = files.FindFirst(folder + L"\\" + last, find, data);
    if (rc == kplat::err::AccessDenied) {
      return true;
    }
    bool matched = false;
    // The system's find also matches short (8.3) names; only the long name counts here.
    for (bool more = rc == kplat::err::Success; more && !matched;
         more = files.FindNext(find, data) == kplat::err::Success) {
      matched = !kplat::IsDotEntry(data) && kplat::MatchesWildcard(data.Name, last);
    }
    if (rc == kplat::err::Success) {
      files.FindClose(find);
    }
    if (matched) {
      return true;
    }
  }
  return false;
}

bool TWinapp2Detector::FileFound(const std::wstring& aFullPath) {
  // Drive paths are looked up folder by folder in listings; anything else is asked directly, and
  // so is a path that may hold a short (8.3) name, which listings do not show (%Temp% can).
  std::vector<std::wstring> parts;
  SplitText(aFullPath, L'\\', parts);
  const bool listable = parts.size() >= 2 && parts[0].size() == 2 && parts[0][1] == L':' &&
                        std::none_of(parts.begin() + 1, parts.end(), [](const std::wstring& aPart) {
                          return aPart.empty() || aPart == L"." || aPart == L".." ||
                                 aPart.find(L'~') != std::wstring::npos;
                        });
  std::wstring folder = parts.empty() ? L"" : parts[0];
  for (size_t i = 1; listable && i < parts.size(); ++i) {
    const TNames& names = FolderNames(folder);
    if (!names) {
      break;
    }
    if (names->count(kplat::UpperCase(parts[i])) == 0) {
      return false;
    }
    folder += L"\\" + parts[i];
    if (i + 1 == parts.size()) {
      return true;
    }
  }
  uint32_t attributes = 0;
  return FoundOrUnreadable(kplat::Platform().Files().GetAttributes(aFullPath, attributes));
}

const TWinapp2Detector::TNames& TWinapp2Detector::FolderNames(const std::wstring& aFolder) {
  const auto [found, added] = FFolderNames.try_emplace(kplat::UpperCase(aFolder));
  if (!added) {
    return found->second;
  }
  kplat::IFileSystem& files = kplat::Platform().Files();
  kplat::TFindHandle find = kplat::kNoFindHandle;
  kplat::TFindData data;
  const kplat::TErrorCode rc = files.FindFirst(aFolder + L"\\*", find, data);
  if (rc == kplat::err::FileNotFound) {
    found->second.emplace(); // an empty drive
  }
  if (rc != kplat::err::Success) {
    return found->second;
  }
  std::unordered_set<std::wstring> names;
  bool more = true;
  for (; more && names.size() <= kMaxListedNames; more = files.FindNext(find, data) == 0) {
    if (!kplat::IsDotEntry(data)) {
      names.insert(kplat::UpperCase(data.Name));
    }
  }
  files.FindClose(find);
  if (!more) {
    found->second = std::move(names);
  }
  return found->second;
}

bool TWinapp2Detector::Applies(const TWinapp2Entry& aEntry) {
  if (aEntry.DetectOS) {
    if (!FVersion) {
      FVersion = kplat::Platform().System().GetVersion();
    }
    const std::pair<uint32_t, uint32_t> version{FVersion->Major, FVersion->Minor};
    if ((aEntry.DetectOS->Min && version < *aEntry.DetectOS->Min) ||
        (aEntry.DetectOS->Max && version > *aEntry.DetectOS->Max)) {
      return false;
    }
  }
  if (aEntry.DetectKeys.empty() && aEntry.DetectFiles.empty() && aEntry.SpecialDetects.empty()) {
    return true;
  }
  return std::any_of(aEntry.DetectKeys.begin(), aEntry.DetectKeys.end(),
                     [&](const TWinapp2RegPath& aKey) { return KeyExists(aKey); }) ||
         std::any_of(aEntry.DetectFiles.begin(), aEntry.DetectFiles.end(),
                     [&](const std::wstring& aPath) { return PathExists(aPath); }) ||
         std::any_of(aEntry.SpecialDetects.begin(), aEntry.SpecialDetects.end(),
                     [&](TWinapp2Special aSpecial) {
                       for (const auto& [special, folder] : kSpecialFolders) {
                         if (special == aSpecial && PathExists(std::wstring(folder))) {
                           return true;
                         }
                       }
                       return false;
                     });
}
