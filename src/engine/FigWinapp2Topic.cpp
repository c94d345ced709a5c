#include "engine/FigWinapp2Topic.h"

#include "base/CLHelpers.h"
#include "engine/FigDiskLocation.h"
#include "engine/FigEngine.h"
#include "platform/FileIO.h"
#include "platform/Platform.h"
#include "platform/RegKey.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <array>

namespace {

// A community entry's findings start ticked once the user has chosen the entry.
constexpr std::wstring_view kWinapp2Level = L"2";
// Files in a temporary folder younger than this are still in use, as for the engine's own
// temporary-file topics.
constexpr std::wstring_view kTempMinAgeHours = L"24";
// Parts of a path below the Windows folder that name what may be cleaned there.
constexpr std::array<std::wstring_view, 4> kCleanableParts = {L"CACHE", L"LOG", L"TEMP", L"TMP"};

std::wstring Env(const std::wstring& aName) {
  std::wstring value;
  kplat::Platform().System().GetEnv(aName, value);
  return value;
}

// The folders no rule cleans as a whole (Recursive: nor with everything below them), and the one
// (Windows) no rule cleans anything in but its cache, log and temporary folders.
struct TGuardFolders {
  std::vector<std::wstring> Whole;
  std::vector<std::wstring> Recursive;
  std::wstring Windows;
};

void AddFolder(std::vector<std::wstring>& aList, const std::wstring& aFolder) {
  if (!aFolder.empty()) {
    aList.push_back(ExcludeTrailingBackslash(aFolder));
  }
}

TGuardFolders GuardFolders() {
  TGuardFolders guards;
  guards.Windows = ExcludeTrailingBackslash(GetWindowsDir());
  for (const wchar_t* name :
       {L"ProgramFiles", L"ProgramFiles(x86)", L"ProgramW6432", L"CommonProgramFiles",
        L"CommonProgramFiles(x86)", L"CommonProgramW6432", L"USERPROFILE", L"PUBLIC"}) {
    AddFolder(guards.Whole, Env(name));
  }
  for (const wchar_t* name : {L"Personal", L"My Pictures", L"My Music", L"My Video", L"Desktop"}) {
    AddFolder(guards.Whole, GetShellFolder(name));
  }
  const std::wstring profile = Env(L"USERPROFILE");
  if (!profile.empty()) {
    for (const wchar_t* name : {L"Documents", L"Pictures", L"Music", L"Videos", L"Desktop"}) {
      AddFolder(guards.Whole, NormalizeFolder(profile) + name);
    }
  }
  if (!guards.Windows.empty()) {
    guards.Whole.push_back(guards.Windows);
    guards.Whole.push_back(guards.Windows + L"\\System32");
    guards.Whole.push_back(guards.Windows + L"\\WinSxS");
  }
  for (const wchar_t* name : {L"ProgramData", L"APPDATA", L"LOCALAPPDATA"}) {
    AddFolder(guards.Recursive, Env(name));
  }
  return guards;
}

// The folder parts of a full path, its root first ("C:").
std::vector<std::wstring> PathParts(const std::wstring& aPath) {
  std::vector<std::wstring> parts;
  SplitText(aPath, L'\\', parts);
  std::erase_if(parts, [](const std::wstring& aPart) { return aPart.empty(); });
  return parts;
}

// Whether the path (which may hold wildcards) may name the folder or, with aBelow, a folder
// that holds it.
bool MayName(const std::wstring& aPath, const std::wstring& aFolder, bool aBelow) {
  const std::vector<std::wstring> path = PathParts(aPath);
  const std::vector<std::wstring> folder = PathParts(aFolder);
  if (path.empty() || path.size() > folder.size() || (!aBelow && path.size() != folder.size())) {
    return false;
  }
  for (size_t i = 0; i < path.size(); ++i) {
    if (!kplat::MatchesWildcard(folder[i], path[i])) {
      return false;
    }
  }
  return true;
}

bool IsCleanablePart(const std::wstring& aPart) {
  if (HasWildcard(aPart)) {
    return false;
  }
  const std::wstring upper = kplat::UpperCase(aPart);
  return std::any_of(kCleanableParts.begin(), kCleanableParts.end(),
                     [&upper](std::wstring_view aName) { return upper.find(aName) != upper.npos; });
}

// Whether the path of aParts lies in the Windows folder aWindows, below it, and no part of it
// there names a cache, log or temporary folder.
bool InWindowsOutsideItsCleanableFolders(const std::vector<std::wstring>& aParts,
                                         const std::wstring& aWindows) {
  const size_t depth = PathParts(aWindows).size();
  if (aWindows.empty() || aParts.size() <= depth) {
    return false;
  }
  std::wstring head = aParts[0];
  for (size_t i = 1; i < depth; ++i) {
    head += L"\\" + aParts[i];
  }
  return MayName(head, aWindows, false) &&
         std::none_of(aParts.begin() + static_cast<std::ptrdiff_t>(depth), aParts.end(),
                      IsCleanablePart);
}

bool Guarded(const std::wstring& aPath, bool aRecursive, const TGuardFolders& aGuards) {
  const std::vector<std::wstring> parts = PathParts(aPath);
  if (parts.size() <= 1) {
    return true; // a drive or a share as a whole
  }
  const auto names = [&](const std::wstring& aFolder) {
    return MayName(aPath, aFolder, aRecursive);
  };
  if (std::any_of(aGuards.Whole.begin(), aGuards.Whole.end(), names) ||
      (aRecursive && std::any_of(aGuards.Recursive.begin(), aGuards.Recursive.end(), names))) {
    return true;
  }
  return InWindowsOutsideItsCleanableFolders(parts, aGuards.Windows);
}

// A key no rule deletes whole: a key right below a root, the vendor lists and the keys of
// Windows itself with their direct children.
bool GuardedKey(const std::wstring& aKey) {
  std::vector<std::wstring> parts;
  SplitText(kplat::UpperCase(aKey), L'\\', parts);
  std::erase_if(parts, [](const std::wstring& aPart) { return aPart.empty(); });
  if (parts.size() <= 1) {
    return true;
  }
  if (parts.size() == 2 && parts[0] == L"SOFTWARE" &&
      (parts[1] == L"WOW6432NODE" || parts[1] == L"CLASSES" || parts[1] == L"POLICIES" ||
       parts[1] == L"MICROSOFT")) {
    return true;
  }
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    if (parts[i] == L"MICROSOFT" && (parts[i + 1] == L"WINDOWS" || parts[i + 1] == L"WINDOWS NT")) {
      return parts.size() <= i + 3;
    }
  }
  return false;
}

bool IsTempFolder(const std::wstring& aFolder) {
  const std::wstring temp = GetTempDir();
  const std::wstring windowsTemp = NormalizeFolder(GetWindowsDir()) + L"Temp";
  for (const std::wstring& folder : {temp, windowsTemp}) {
    if (!folder.empty() &&
        (kplat::SamePath(aFolder, folder) || kplat::PathInFolder(aFolder, folder))) {
      return true;
    }
  }
  return false;
}

bool SameOrBelowKey(const std::wstring& aKey, const std::wstring& aAbove) {
  return kplat::SameText(aKey, aAbove) ||
         (aKey.size() > aAbove.size() && aKey[aAbove.size()] == L'\\' &&
          kplat::SameText(std::wstring_view(aKey).substr(0, aAbove.size()), aAbove));
}

bool IsLinkOrMissing(const std::wstring& aFolder) {
  uint32_t attributes = 0;
  return kplat::Platform().Files().GetAttributes(aFolder, attributes) != kplat::err::Success ||
         (attributes & kplat::fileattr::ReparsePoint) != 0;
}

// The folders a rule's path starts from without writing them: what its leading variable stands
// for ("%LocalAppData%"). None for a path that starts with a drive or a share.
std::vector<std::wstring> LeadingFolders(TWinapp2Detector& aDetector, const std::wstring& aPath) {
  const size_t end = aPath.starts_with(L'%') ? aPath.find(L'%', 1) : std::wstring::npos;
  return end == std::wstring::npos ? std::vector<std::wstring>{}
                                   : aDetector.ExpandPath(aPath.substr(0, end + 1));
}

// Whether a rule's folder is reached through a link (or is none): the folder itself or any folder
// the rule wrote on the way to it, up to the drive or share, or up to the leading folder it is
// in: the machine's own folders are where they are, whatever they are made of.
bool ThroughLink(const std::wstring& aFolder, const std::vector<std::wstring>& aLeading) {
  std::wstring folder = ExcludeTrailingBackslash(aFolder);
  std::wstring stop;
  for (const std::wstring& leading : aLeading) {
    if (kplat::SamePath(folder, leading) || kplat::PathInFolder(folder, leading)) {
      stop = ExcludeTrailingBackslash(leading);
      break;
    }
  }
  const size_t rootParts = folder.starts_with(L"\\\\") ? 2 : 1;
  for (bool first = true;; first = false) {
    if (!first && !stop.empty() && kplat::SamePath(folder, stop)) {
      return false;
    }
    if (IsLinkOrMissing(folder)) {
      return true;
    }
    const std::wstring parent = ExcludeTrailingBackslash(ExtractFileDir(folder));
    if (parent == folder || PathParts(parent).size() <= rootParts) {
      return false;
    }
    folder = parent;
  }
}

// The keys a RegKey stands for: a key under HKLM\Software also in the 32-bit view, where 64-bit
// Windows keeps the keys of 32-bit applications (below WOW6432Node).
std::vector<TWinapp2RegPath> BothViews(const TWinapp2RegPath& aKey) {
  std::vector<TWinapp2RegPath> keys = {aKey};
  constexpr std::wstring_view kSoftware = L"Software\\";
  if (aKey.Root == kplat::regroot::LocalMachine && StartsText(aKey.Key, kSoftware) &&
      !SameOrBelowKey(aKey.Key.substr(kSoftware.size()), L"WOW6432Node")) {
    keys.push_back({aKey.Root, L"Software\\WOW6432Node\\" + aKey.Key.substr(kSoftware.size())});
  }
  return keys;
}

// The sub-folders of a folder (with trailing backslash), deepest first, never through a link:
// the order in which they can be removed once empty.
void FoldersDeepestFirst(const std::wstring& aFolder,
                         std::vector<std::pair<std::wstring, std::wstring>>& aFolders) {
  std::vector<std::wstring> names;
  kplat::TFileFind find;
  kplat::TFindData data;
  for (bool found = find.First(aFolder + L"*", data); found; found = find.Next(data)) {
    if ((data.Attributes & kplat::fileattr::Directory) != 0 &&
        (data.Attributes & kplat::fileattr::ReparsePoint) == 0 && !kplat::IsDotEntry(data)) {
      names.push_back(data.Name);
    }
  }
  find.Close();
  for (const std::wstring& name : names) {
    FoldersDeepestFirst(aFolder + name + L"\\", aFolders);
    aFolders.emplace_back(aFolder, name);
  }
}

std::wstring JoinPatterns(const std::vector<std::wstring>& aPatterns) {
  std::wstring joined;
  for (const std::wstring& pattern : aPatterns) {
    joined += (joined.empty() ? L"" : L";") + pattern;
  }
  return joined;
}

} // namespace

bool IsWinapp2GuardedFolder(const std::wstring& aFolder) {
  return Guarded(aFolder, false, GuardFolders());
}

bool IsWindowsOwnFolder(const std::wstring& aFolder) {
  const std::wstring windows = ExcludeTrailingBackslash(GetWindowsDir());
  return !windows.empty() && (MayName(aFolder, windows, false) ||
                              InWindowsOutsideItsCleanableFolders(PathParts(aFolder), windows));
}

void GuardWinapp2File(TWinapp2File& aFile) {
  const TGuardFolders guards = GuardFolders();
  TWinapp2Detector detector;
  std::vector<TWinapp2Entry> kept;
  for (TWinapp2Entry& entry : aFile.Entries) {
    std::erase_if(entry.FileKeys, [&](const TWinapp2FileKey& aKey) {
      const bool recursive = aKey.Scope != TWinapp2FileScope::Folder;
      std::vector<std::wstring> paths = detector.ExpandPath(aKey.Folder);
      // A drive written without its backslash ("C:", "%SystemDrive%") is no full path, yet the
      // rule means the drive.
      if (std::wstring plain; paths.empty() && ExpandLocationVariables(aKey.Folder, plain)) {
        paths.push_back(plain);
      }
      const bool guarded = std::any_of(paths.begin(), paths.end(), [&](const std::wstring& aPath) {
        return Guarded(aPath, recursive, guards);
      });
      if (guarded) {
        aFile.Issues.push_back({aKey.Line, TWinapp2IssueKind::Guarded,
                                L"FileKey=" + aKey.Folder + L"|" + JoinPatterns(aKey.Patterns)});
      }
      return guarded;
    });
    std::erase_if(entry.RegKeys, [&](const TWinapp2RegKey& aKey) {
      const bool guarded = !aKey.Value && GuardedKey(aKey.Path.Key);
      if (guarded) {
        aFile.Issues.push_back(
            {aKey.Line, TWinapp2IssueKind::Guarded,
             L"RegKey=" + Winapp2RootName(aKey.Path.Root) + L"\\" + aKey.Path.Key});
      }
      return guarded;
    });
    if (entry.FileKeys.empty() && entry.RegKeys.empty()) {
      aFile.Issues.push_back(
          {entry.Line, TWinapp2IssueKind::NoDeletionKey, L"[" + entry.Name + L" *]"});
    } else {
      kept.push_back(std::move(entry));
    }
  }
  aFile.Entries = std::move(kept);
  std::stable_sort(aFile.Issues.begin(), aFile.Issues.end(),
                   [](const TWinapp2Issue& a, const TWinapp2Issue& b) { return a.Line < b.Line; });
}

TWinapp2File ReadWinapp2Rules(const std::wstring& aFileName) {
  TWinapp2File file = ReadWinapp2File(aFileName);
  if (file.Status == TWinapp2Status::Loaded) {
    GuardWinapp2File(file);
  }
  return file;
}

std::unique_ptr<TFigTopic> MakeWinapp2Topic(std::shared_ptr<const TWinapp2Entry> aEntry) {
  auto topic = std::make_unique<TFigTopic>();
  topic->SetName(aEntry->Name);
  topic->SetCategory(tcBPrivacySweep);
  topic->SetEnabled(false);
  TStringList& values = topic->ValueList();
  values.SetValue(kTopicKeyRule, GetEnumName(rsWinapp2));
  values.SetValue(kTopicKeyRuleCaption, aEntry->Name);
  values.SetValue(kTopicKeyLevel, kWinapp2Level);
  values.SetValue(kTopicKeyWinapp2Section, aEntry->Section);
  values.SetValue(kTopicKeyWinapp2LangSecRef, std::to_wstring(aEntry->LangSecRef));
  topic->SetWinapp2Entry(std::move(aEntry));
  return topic;
}

void RemoveWinapp2Topics(TFigEngine& aEngine) {
  for (int i = aEngine.TopicCount() - 1; i >= 0; --i) {
    if (aEngine.GetTopic(i)->Winapp2Entry()) {
      aEngine.DeleteTopic(i);
    }
  }
}

int AddWinapp2Topics(TFigEngine& aEngine, const TWinapp2File& aFile) {
  RemoveWinapp2Topics(aEngine);
  TWinapp2Detector detector;
  int added = 0;
  for (const TWinapp2Entry& entry : aFile.Entries) {
    if (aEngine.GetTopicByName(entry.Name) != nullptr || !detector.Applies(entry)) {
      continue;
    }
    const int index = aEngine.AddTopic(entry.Name);
    aEngine.GetTopic(index)->Assign(*MakeWinapp2Topic(std::make_shared<TWinapp2Entry>(entry)));
    ++added;
  }
  return added;
}

// --- TWinapp2Keeps

TWinapp2Keeps::TWinapp2Keeps(const TWinapp2Entry& aEntry, TWinapp2Detector& aDetector) {
  for (const TWinapp2Exclude& exclude : aEntry.Excludes) {
    if (exclude.Kind == TWinapp2ExcludeKind::Reg) {
      for (const TWinapp2RegPath& path : BothViews(exclude.Reg)) {
        FKeys.push_back(exclude);
        FKeys.back().Reg = path;
      }
      continue;
    }
    for (const std::wstring& folder : aDetector.ExpandPath(exclude.Folder)) {
      FFiles.push_back({exclude.Kind == TWinapp2ExcludeKind::Path, ExcludeTrailingBackslash(folder),
                        exclude.Pattern});
    }
  }
}

bool TWinapp2Keeps::Keeps(const TFigScanedItem& aItem) const {
  if (aItem.LocationStyle == lsDisk) {
    const std::wstring folder = ExcludeTrailingBackslash(aItem.ScanedPath);
    return std::any_of(FFiles.begin(), FFiles.end(), [&](const TFiles& aFiles) {
      const bool inFolder =
          kplat::MatchesWildcard(folder, aFiles.Folder) ||
          (aFiles.Below && kplat::MatchesWildcard(folder, aFiles.Folder + L"\\*"));
      return inFolder && kplat::MatchesWildcard(aItem.ScanedName, aFiles.Pattern);
    });
  }
  return std::any_of(FKeys.begin(), FKeys.end(), [&](const TWinapp2Exclude& aKey) {
    if (Winapp2RootName(aKey.Reg.Root) != aItem.ScanedRoot ||
        !SameOrBelowKey(aItem.ScanedPath, aKey.Reg.Key)) {
      return false;
    }
    return !aKey.Value || (aItem.ValueCheck && kplat::SameText(aItem.ScanedPath, aKey.Reg.Key) &&
                           kplat::SameText(aItem.ScanedSection, *aKey.Value));
  });
}

bool TWinapp2Keeps::KeepsKey(kplat::TRegHandle aRoot, const std::wstring& aKey) const {
  return std::any_of(FKeys.begin(), FKeys.end(), [&](const TWinapp2Exclude& aKeep) {
    return aKeep.Reg.Root == aRoot && !aKeep.Value && SameOrBelowKey(aKey, aKeep.Reg.Key);
  });
}

bool TWinapp2Keeps::KeepsBelow(kplat::TRegHandle aRoot, const std::wstring& aKey) const {
  return std::any_of(FKeys.begin(), FKeys.end(), [&](const TWinapp2Exclude& aKeep) {
    return aKeep.Reg.Root == aRoot && SameOrBelowKey(aKeep.Reg.Key, aKey);
  });
}

// --- The scan of an entry

bool TFigScanThread::ScanWinapp2Entry(TFigTopic& aTopic, const TWinapp2Entry& aEntry) {
  TWinapp2Detector detector;
  const TWinapp2Keeps keeps(aEntry, detector);
  FEntryKeeps = &keeps;
  bool proceed = true;
  for (const TWinapp2FileKey& key : aEntry.FileKeys) {
    const std::vector<std::wstring> leading = LeadingFolders(detector, key.Folder);
    for (const std::wstring& path : detector.ExpandPath(key.Folder)) {
      for (const std::wstring& folder : DiskFoldersOf(path)) {
        // A rule's folder is cleaned where it is, never through a link and never when it is
        // one no rule may clean.
        if (!proceed || ThroughLink(folder, leading) ||
            Guarded(folder, key.Scope != TWinapp2FileScope::Folder, GuardFolders())) {
          continue;
        }
        proceed = ScanWinapp2Files(aTopic, key, folder);
      }
    }
  }
  for (const TWinapp2RegKey& key : aEntry.RegKeys) {
    for (const TWinapp2RegPath& path : BothViews(key.Path)) {
      if (proceed) {
        TWinapp2RegKey inView = key;
        inView.Path = path;
        proceed = ScanWinapp2Registry(aTopic, inView);
      }
    }
  }
  FEntryKeeps = nullptr;
  return proceed;
}

bool TFigScanThread::ScanWinapp2Files(TFigTopic& aTopic, const TWinapp2FileKey& aKey,
                                      const std::wstring& aFolder) {
  // A topic of its own for each key, so that the walk and the rule read the key's patterns,
  // depth and age from it; its findings carry the entry's name.
  TFigTopic files;
  ForgetTopicValues();
  files.Assign(aTopic);
  files.SetWinapp2Entry(nullptr);
  TStringList& values = files.ValueList();
  values.SetValue(kTopicKeyRule, GetEnumName(rsWinapp2) + L"," + JoinPatterns(aKey.Patterns));
  const bool recursive = aKey.Scope != TWinapp2FileScope::Folder;
  values.SetValue(kTopicKeyFolderDepth, recursive ? L"-1" : L"1");
  values.SetValue(kTopicKeyIncludeSubFolder, recursive ? L"1" : L"0");
  if (IsTempFolder(aFolder)) {
    values.SetValue(kTopicKeyMinAgeHours, kTempMinAgeHours);
  }
  if (!ScanDiskFolder(files, WalkValuesOf(files), aFolder, L"")) {
    return false;
  }
  if (aKey.Scope != TWinapp2FileScope::RemoveSelf) {
    return true;
  }
  // Then the folders, each after everything in it: the repair removes those left empty.
  TFigTopic folders;
  ForgetTopicValues();
  folders.Assign(files);
  folders.ValueList().SetValue(kTopicKeyRule, GetEnumName(rsWinapp2));
  const std::wstring start = NormalizeFolder(aFolder);
  std::vector<std::pair<std::wstring, std::wstring>> places;
  FoldersDeepestFirst(start, places);
  for (const auto& [parent, name] : places) {
    FDiskStart = start;
    if (!CheckItem(folders, lsDisk, parent, parent, ExcludeTrailingBackslash(parent), name, 0,
                   -1)) {
      FDiskStart.clear();
      return false;
    }
  }
  // The folder itself, held to the folder above it.
  const std::wstring folder = ExcludeTrailingBackslash(start);
  const std::wstring parent = NormalizeFolder(ExtractFileDir(folder));
  FDiskStart = parent;
  const bool proceed = CheckItem(folders, lsDisk, parent, parent, ExcludeTrailingBackslash(parent),
                                 folder.substr(folder.find_last_of(L'\\') + 1), 0, -1);
  FDiskStart.clear();
  return proceed;
}

bool TFigScanThread::ScanWinapp2Registry(TFigTopic& aTopic, const TWinapp2RegKey& aKey) {
  const kplat::TRegHandle root = aKey.Path.Root;
  const std::wstring rootName = Winapp2RootName(root);
  TFigTopic place;
  ForgetTopicValues();
  place.Assign(aTopic);
  place.SetWinapp2Entry(nullptr);
  kplat::TRegKey key;
  if (key.Open(root, aKey.Path.Key, kplat::TRegAccess::Read) != kplat::err::Success) {
    return true;
  }
  if (aKey.Value) {
    kplat::TRegValue value;
    if (key.Query(*aKey.Value, value) != kplat::err::Success) {
      return true;
    }
    place.ValueList().SetValue(kTopicKeyCheckValues, L"1");
    return CheckItem(place, lsRegistry, rootName, aKey.Path.Key, *aKey.Value, L"", 0);
  }
  place.ValueList().SetValue(kTopicKeyCheckValues, L"0");
  if (GuardedKey(aKey.Path.Key)) {
    return true;
  }
  if (!FEntryKeeps->KeepsBelow(root, aKey.Path.Key)) {
    return CheckItem(place, lsRegistry, rootName, aKey.Path.Key, L"", L"", 0);
  }
  // Something below is kept: the key stays, and so does every key on the way to what is kept;
  // its values and its other keys go.
  TFigTopic values;
  ForgetTopicValues();
  values.Assign(place);
  values.ValueList().SetValue(kTopicKeyCheckValues, L"1");
  for (const std::wstring& name : key.ValueNames()) {
    if (!CheckItem(values, lsRegistry, rootName, aKey.Path.Key, name, L"", 0)) {
      return false;
    }
  }
  for (const std::wstring& subKey : key.SubKeyNames()) {
    TWinapp2RegKey below = aKey;
    below.Path.Key = aKey.Path.Key + L"\\" + subKey;
    if (!FEntryKeeps->KeepsKey(root, below.Path.Key) && !ScanWinapp2Registry(aTopic, below)) {
      return false;
    }
  }
  return true;
}
