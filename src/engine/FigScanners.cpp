// The location scanners of the scan worker: a topic's LOCATION_n lines name registry keys,
// folders or one key whose REGITEM_n lines are checked; every place found goes to CheckItem.

#include "engine/FigEngine.h"

#include "base/CLHelpers.h"
#include "base/RegNotation.h"
#include "engine/FigDiskLocation.h"
#include "platform/FileIO.h"
#include "platform/Platform.h"
#include "platform/RegKey.h"

#include <optional>

namespace {

constexpr std::wstring_view kSweepHelperName = L"sweephelper.exe";
constexpr std::wstring_view kBinaryDataText = L"Binary Data";

// The value's data as the rules read it: strings as they are, numbers in decimal, binary data
// by a fixed text, anything else empty.
std::wstring DataText(const kplat::TRegValue& aValue) {
  switch (aValue.Type) {
  case kplat::regtype::Sz:
  case kplat::regtype::ExpandSz:
    return kplat::RegDataToString(aValue.Data);
  case kplat::regtype::Dword:
  case kplat::regtype::Qword: {
    uint64_t number = 0;
    const size_t size = aValue.Type == kplat::regtype::Dword ? 4 : 8;
    for (size_t i = 0; i < size && i < aValue.Data.size(); ++i) {
      number |= static_cast<uint64_t>(aValue.Data[i]) << (8 * i);
    }
    return std::to_wstring(number);
  }
  case kplat::regtype::Binary:
    return std::wstring(kBinaryDataText);
  default:
    return L"";
  }
}

// A drive path ("C:\...") or a network path ("\\server\share..."). Anything else would be
// looked for in the current folder, which no scan may do.
bool IsAbsolutePath(const std::wstring& aPath) {
  if (aPath.size() >= 3 && aPath[1] == L':' && (aPath[2] == L'\\' || aPath[2] == L'/')) {
    return true;
  }
  return aPath.starts_with(L"\\\\");
}

std::wstring SystemRootFolder() {
  std::wstring root;
  if (!kplat::Platform().System().GetEnv(L"SYSTEMROOT", root) || root.empty()) {
    root = GetWindowsDir();
  }
  return root;
}

// A disk location's folder: "@Name" names a shell folder or one of the temporary and debug
// folders; anything else is the folder itself.
std::wstring ResolveDiskFolder(const std::wstring& aLocation) {
  if (!aLocation.starts_with(L"@")) {
    return aLocation;
  }
  const std::wstring name = aLocation.substr(1);
  const std::wstring shellFolder = GetShellFolder(name);
  if (!shellFolder.empty() && kplat::FolderExists(shellFolder)) {
    return shellFolder;
  }
  if (kplat::SameText(name, L"Temp")) {
    return GetTempDir();
  }
  if (kplat::SameText(name, L"WindowsTemp")) {
    return JoinCheckedPath(SystemRootFolder(), L"Temp");
  }
  if (kplat::SameText(name, L"WindowsDebug")) {
    return JoinCheckedPath(SystemRootFolder(), L"Debug");
  }
  return name;
}

} // namespace

std::vector<std::wstring> DiskFoldersOf(const std::wstring& aLocation) {
  std::wstring folder;
  if (aLocation.starts_with(L"@")) {
    folder = ResolveDiskFolder(aLocation);
  } else if (!ExpandLocationVariables(aLocation, folder)) {
    return {};
  }
  if (!IsAbsolutePath(folder)) {
    return {};
  }
  if (HasWildcard(folder)) {
    return MatchWildcardFolders(folder);
  }
  return kplat::FolderExists(folder) ? std::vector<std::wstring>{folder}
                                     : std::vector<std::wstring>{};
}

namespace {

// The key path of a registry location: the location without its leading root name.
std::wstring LocationKeyPath(const std::wstring& aLocation, const std::wstring& aRootName) {
  if (aLocation == aRootName) {
    return L"";
  }
  const std::wstring prefix = aRootName + L"\\";
  return aLocation.starts_with(prefix) ? aLocation.substr(prefix.size()) : aLocation;
}

std::wstring RootNameOf(const std::wstring& aLocation) {
  std::vector<std::wstring> pieces;
  SplitText(aLocation, L'\\', pieces);
  return pieces.empty() ? aLocation + L"\\" : pieces[0];
}

} // namespace

TFigScanThread::TWalkValues TFigScanThread::WalkValuesOf(const TFigTopic& aTopic) {
  TWalkValues walk;
  walk.FolderDepth = aTopic.GetInteger(kTopicKeyFolderDepth, -1);
  walk.IncludeSubFolder = aTopic.GetBool(kTopicKeyIncludeSubFolder, false);
  walk.CheckValues = aTopic.GetBool(kTopicKeyCheckValues, false);
  const int32_t minAgeHours = aTopic.GetInteger(kTopicKeyMinAgeHours, 0);
  if (minAgeHours > 0) {
    constexpr kplat::TFileTime kTicksPerHour = 36000000000ULL; // 100 ns ticks
    const kplat::TFileTime now = kplat::Platform().Clock().NowUtc();
    const kplat::TFileTime age = static_cast<kplat::TFileTime>(minAgeHours) * kTicksPerHour;
    walk.WrittenAfter = now > age ? now - age : 1;
  }
  return walk;
}

bool TFigScanThread::ScanTopic(int aIndex) {
  TFigTopic* topic = FTopicList.Items(aIndex);
  if (topic == nullptr) {
    return true;
  }
  if (const auto& entry = topic->Winapp2Entry()) {
    return ScanWinapp2Entry(*topic, *entry) && !Terminated();
  }
  const TWalkValues walk = WalkValuesOf(*topic);
  for (int n = 0; n < topic->LocationsCount(); ++n) {
    if (!Proceed()) {
      return false;
    }
    std::vector<std::wstring> fields;
    SplitText(topic->GetLocation(n), L',', fields);
    const TLocationStyle style =
        fields.size() < 2 ? lsUnknow : StrToEnum<TLocationStyle>(fields[0]);
    if (!Proceed()) {
      return false;
    }
    bool proceed = true;
    switch (style) {
    case lsRegistry:
      proceed = ScanRegistryLocation(*topic, walk, fields[1]);
      break;
    case lsDisk:
      proceed = ScanDiskLocation(*topic, walk, fields[1]);
      break;
    case lsRegistryItem:
      proceed = ScanRegistryItems(*topic, fields[1]);
      break;
    default:
      break;
    }
    // A walk stops early when asked to; that must end the scan, whatever the walk returned.
    if (!proceed || Terminated()) {
      return false;
    }
  }
  return true;
}

bool TFigScanThread::ScanRegistryLocation(TFigTopic& aTopic, const TWalkValues& aWalk,
                                          const std::wstring& aLocation) {
  if (!Proceed()) {
    return false;
  }
  const std::wstring rootName = RootNameOf(aLocation);
  const kplat::TRegHandle root = RootKeyFromName(rootName);
  const std::wstring keyPath = LocationKeyPath(aLocation, rootName);
  if (!Proceed()) {
    return false;
  }
  int32_t count = 0;
  if (root != kplat::kNoRegHandle) {
    WalkRegistryKey(aTopic, aWalk, root, rootName, keyPath, aWalk.FolderDepth, count);
  }
  return !Terminated();
}

bool TFigScanThread::WalkRegistryKey(TFigTopic& aTopic, const TWalkValues& aWalk,
                                     kplat::TRegHandle aRoot, const std::wstring& aRootName,
                                     const std::wstring& aKey, int32_t aDepth, int32_t& aCount) {
  if (aDepth == 0) {
    return true;
  }
  kplat::TRegKey key;
  if (key.Open(aRoot, aKey, kplat::TRegAccess::Read) != kplat::err::Success) {
    return false;
  }
  if (!Proceed()) {
    return false;
  }
  const std::vector<std::wstring> valueNames = key.ValueNames();
  // Sub-key names are read once, and only when the walk or a rule needs them.
  const TFigOpenRegKey openKey(key, valueNames);
  const auto hasSubKeys = [&] { return !openKey.SubKeyNames().empty(); };
  // The rule judges the place through the key held open here.
  const auto checkPlace = [&](const std::wstring& aName, const std::wstring& aData) {
    FWalkKey = &openKey;
    const bool proceed = CheckItem(aTopic, lsRegistry, aRootName, aKey, aName, aData, aCount);
    FWalkKey = nullptr;
    return proceed;
  };
  static const std::vector<std::wstring> kDefaultValueOnly{std::wstring()};
  for (const std::wstring& name : valueNames.empty() ? kDefaultValueOnly : valueNames) {
    if (!Proceed()) {
      return false;
    }
    kplat::TRegValue value;
    if (key.Query(name, value) == kplat::err::Success) {
      const std::wstring data = DataText(value);
      if (!Proceed()) {
        return false;
      }
      ++aCount;
      if (!checkPlace(name, data)) {
        return false;
      }
      if (!aWalk.CheckValues) {
        break;
      }
    } else if (hasSubKeys()) {
      ++aCount;
      if (!checkPlace(L"", L"")) {
        return false;
      }
    } else {
      // A key with nothing in it: checked as a place only when values are not looked at.
      ++aCount;
      if (aWalk.CheckValues) {
        return false;
      }
      if (!checkPlace(L"", L"")) {
        return false;
      }
    }
  }
  // At the last level the sub-keys would not be walked: they are not listed for that.
  if (!aWalk.IncludeSubFolder || aDepth == 1 || !hasSubKeys()) {
    return true;
  }
  // The sub-keys are walked with their own handles; this one is not needed any more.
  key.Close();
  for (const std::wstring& subKey : openKey.SubKeyNames()) {
    if (!Proceed()) {
      return false;
    }
    WalkRegistryKey(aTopic, aWalk, aRoot, aRootName, aKey.empty() ? subKey : aKey + L"\\" + subKey,
                    aDepth - 1, aCount);
  }
  return true;
}

bool TFigScanThread::ScanDiskLocation(TFigTopic& aTopic, const TWalkValues& aWalk,
                                      const std::wstring& aLocation) {
  FDiskStart.clear();
  if (kplat::SameText(aLocation, kSweepHelperName)) {
    const std::wstring path = JoinCheckedPath(GetAppPath(), aLocation);
    if (!CheckItem(aTopic, lsDisk, path, path, path, aLocation, 0)) {
      return false;
    }
  }
  if (aWalk.FolderDepth == 0) {
    return true;
  }
  for (const std::wstring& folder : DiskFoldersOf(aLocation)) {
    if (!Proceed()) {
      return false;
    }
    // A location that names one folder keeps its own text as the places' section; each folder
    // of a location with variables or wildcards is named by where it is.
    const bool named = aLocation.find_first_of(L"%*?") == std::wstring::npos;
    if (!ScanDiskFolder(aTopic, aWalk, folder, named ? aLocation : L"")) {
      return false;
    }
  }
  return true;
}

bool TFigScanThread::ScanDiskFolder(TFigTopic& aTopic, const TWalkValues& aWalk,
                                    std::wstring aFolder, const std::wstring& aSection) {
  // Resolved once for the whole walk: a location that is a junction (a temporary folder moved
  // elsewhere by its owner) is walked, and repaired, where it really is. A folder the system
  // cannot resolve is walked as written; the repair then holds its files to that path.
  std::wstring finalPath;
  if (kplat::Platform().Files().GetFinalPath(aFolder, finalPath) == kplat::err::Success) {
    aFolder = finalPath;
  }
  FDiskStart = NormalizeFolder(aFolder);
  const std::wstring section =
      aSection.empty() ? FDiskStart.substr(0, FDiskStart.size() - 1) : aSection;
  const bool proceed = WalkDiskFolder(aTopic, aWalk, FDiskStart, section, aWalk.FolderDepth, 0);
  FDiskStart.clear();
  return proceed;
}

bool TFigScanThread::WalkDiskFolder(TFigTopic& aTopic, const TWalkValues& aWalk,
                                    const std::wstring& aFolder, const std::wstring& aSection,
                                    int32_t aDepth, int32_t aCount) {
  // A folder that is gone, or is no folder, lists nothing: no need to ask first whether it is.
  if (aDepth == 0) {
    return true;
  }
  const std::wstring folder = NormalizeFolder(aFolder);

  // One enumeration serves both steps: every entry is checked first, then the sub-folders are
  // walked in the order found.
  std::vector<std::wstring> subFolders;
  kplat::TFileFind find;
  kplat::TFindData data;
  for (bool found = find.First(folder + L"*.*", data); found; found = find.Next(data)) {
    if (!Proceed()) {
      return false;
    }
    const bool isFolder = (data.Attributes & kplat::fileattr::Directory) != 0;
    if (!isFolder) {
      ++aCount;
    }
    if (kplat::IsDotEntry(data)) {
      continue;
    }
    // A junction or symbolic link may lead back up the tree or into another folder whose files
    // are not this location's to clean: it is neither a place nor walked.
    if (isFolder && (data.Attributes & kplat::fileattr::ReparsePoint) != 0) {
      continue;
    }
    if (!isFolder && aWalk.WrittenAfter != 0 && data.LastWriteTime > aWalk.WrittenAfter) {
      CountUnjudgedFile(data.Size);
      continue;
    }
    const int64_t size = isFolder ? -1 : static_cast<int64_t>(data.Size);
    if (!CheckItem(aTopic, lsDisk, folder, folder, aSection, data.Name, aCount, size)) {
      return false;
    }
    if (isFolder && aWalk.IncludeSubFolder) {
      subFolders.push_back(data.Name);
    }
  }
  find.Close();
  for (const std::wstring& subFolder : subFolders) {
    if (!Proceed()) {
      return false;
    }
    const std::wstring path = JoinCheckedPath(folder, subFolder);
    WalkDiskFolder(aTopic, aWalk, path, path, aDepth - 1, aCount);
  }
  return true;
}

void TFigScanThread::CountUnjudgedFile(uint64_t aSize) {
  ++FSummary.AllCount;
  ++FSummary.FileCount;
  FSummary.FileSizeCount += static_cast<int64_t>(aSize);
}

bool TFigScanThread::ScanRegistryItems(TFigTopic& aTopic, const std::wstring& aLocation) {
  if (!Proceed()) {
    return false;
  }
  const std::wstring rootName = RootNameOf(aLocation);
  const std::wstring keyPath = LocationKeyPath(aLocation, rootName);
  for (int n = 0; n < aTopic.RegItemsCount(); ++n) {
    const std::wstring line = aTopic.GetRegItem(n);
    std::wstring name = line.substr(0, line.find(L'='));
    if (name == L"@") {
      name.clear();
    }
    if (name.starts_with(L"\"")) {
      name.erase(0, 1);
    }
    if (name.ends_with(L"\"")) {
      name.pop_back();
    }
    if (!CheckItem(aTopic, lsRegistryItem, rootName, keyPath, name, line, 0)) {
      return false;
    }
  }
  return true;
}
