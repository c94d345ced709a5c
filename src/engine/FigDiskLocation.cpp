#include "engine/FigDiskLocation.h"

#include "platform/FileIO.h"
#include "platform/Platform.h"
#include "platform/TextCodec.h"

#include <cstddef>

namespace {

// Splits a full path into its root ("C:" or "\\server\share") and its folder parts; false when
// the path is neither a drive nor a network path.
bool SplitFullPath(const std::wstring& aPath, std::wstring& aRoot,
                   std::vector<std::wstring>& aParts) {
  size_t rest = 0;
  if (aPath.size() >= 2 && aPath[1] == L':') {
    aRoot = aPath.substr(0, 2);
    rest = 2;
  } else if (aPath.starts_with(L"\\\\")) {
    const size_t server = aPath.find(L'\\', 2);
    if (server == std::wstring::npos || server == 2) {
      return false;
    }
    size_t share = aPath.find(L'\\', server + 1);
    if (share == std::wstring::npos) {
      share = aPath.size();
    }
    aRoot = aPath.substr(0, share);
    rest = share;
  } else {
    return false;
  }
  if (HasWildcard(aRoot)) {
    return false;
  }
  std::wstring part;
  for (size_t i = rest; i <= aPath.size(); ++i) {
    if (i == aPath.size() || aPath[i] == L'\\' || aPath[i] == L'/') {
      if (!part.empty()) {
        aParts.push_back(part);
      }
      part.clear();
    } else {
      part += aPath[i];
    }
  }
  return true;
}

} // namespace

bool HasWildcard(std::wstring_view aText) {
  return aText.find_first_of(L"*?") != aText.npos;
}

bool ExpandLocationVariables(const std::wstring& aLocation, std::wstring& aExpanded) {
  aExpanded.clear();
  size_t pos = 0;
  while (pos < aLocation.size()) {
    const size_t open = aLocation.find(L'%', pos);
    if (open == std::wstring::npos) {
      break;
    }
    const size_t close = aLocation.find(L'%', open + 1);
    const std::wstring name =
        close == std::wstring::npos ? L"" : aLocation.substr(open + 1, close - open - 1);
    if (name.empty() || name.find(L'\\') != std::wstring::npos) {
      aExpanded.append(aLocation, pos, open + 1 - pos);
      pos = open + 1;
      continue;
    }
    std::wstring value;
    if (!kplat::Platform().System().GetEnv(name, value) || value.empty()) {
      aExpanded.clear();
      return false;
    }
    aExpanded.append(aLocation, pos, open - pos);
    aExpanded += value;
    pos = close + 1;
  }
  aExpanded.append(aLocation, pos);
  return true;
}

std::vector<std::wstring> MatchWildcardFolders(const std::wstring& aPath) {
  std::wstring root;
  std::vector<std::wstring> parts;
  if (!SplitFullPath(aPath, root, parts)) {
    return {};
  }
  std::vector<std::wstring> folders{root};
  for (const std::wstring& part : parts) {
    std::vector<std::wstring> next;
    for (const std::wstring& folder : folders) {
      const std::wstring base = folder + L"\\";
      if (!HasWildcard(part)) {
        next.push_back(base + part);
        continue;
      }
      kplat::TFileFind find;
      kplat::TFindData data;
      for (bool found = find.First(base + L"*", data); found; found = find.Next(data)) {
        // A junction or link leads somewhere that is not this location's to clean.
        if ((data.Attributes & kplat::fileattr::Directory) == 0 ||
            (data.Attributes & kplat::fileattr::ReparsePoint) != 0 || kplat::IsDotEntry(data) ||
            !kplat::MatchesWildcard(data.Name, part)) {
          continue;
        }
        next.push_back(base + data.Name);
      }
    }
    folders = std::move(next);
  }
  std::vector<std::wstring> existing;
  for (std::wstring& folder : folders) {
    if (kplat::FolderExists(folder)) {
      existing.push_back(std::move(folder));
    }
  }
  return existing;
}
