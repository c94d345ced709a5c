#include "engine/FigExclusions.h"

#include "base/CLHelpers.h"
#include "base/RegNotation.h"
#include "engine/FigDiskLocation.h"
#include "platform/FileIO.h"
#include "platform/Platform.h"
#include "platform/TextCodec.h"

#include <algorithm>

namespace {

// A list longer than this is no list a person keeps: the file is taken as damaged.
constexpr size_t kMaxFileBytes = 1024 * 1024;

std::vector<std::wstring_view> Parts(std::wstring_view aText) {
  std::vector<std::wstring_view> parts;
  size_t start = 0;
  for (size_t end = aText.find(L'\\'); end != aText.npos; end = aText.find(L'\\', start)) {
    parts.push_back(aText.substr(start, end - start));
    start = end + 1;
  }
  parts.push_back(aText.substr(start));
  return parts;
}

bool IsBadPart(std::wstring_view aPart) {
  return aPart.empty() || aPart == L"." || aPart == L"..";
}

// The length of the root of a disk place: "C:", "\\server\share" or a leading "%NAME%"; 0 when
// it has none.
size_t DiskRootLength(std::wstring_view aText) {
  if (aText.size() >= 2 && aText[1] == L':' &&
      ((aText[0] >= L'A' && aText[0] <= L'Z') || (aText[0] >= L'a' && aText[0] <= L'z'))) {
    return aText.size() == 2 || aText[2] == L'\\' ? 2 : 0;
  }
  if (aText.starts_with(L"\\\\")) {
    const size_t server = aText.find(L'\\', 2);
    if (server == aText.npos || server == 2 || server + 1 >= aText.size() ||
        aText[server + 1] == L'\\') {
      return 0;
    }
    const size_t share = aText.find(L'\\', server + 1);
    return share == aText.npos ? aText.size() : share;
  }
  if (aText.starts_with(L"%")) {
    const size_t close = aText.find(L'%', 1);
    if (close == aText.npos || close == 1 || aText.substr(1, close - 1).find(L'\\') != aText.npos) {
      return 0;
    }
    return close + 1 == aText.size() || aText[close + 1] == L'\\' ? close + 1 : 0;
  }
  return 0;
}

TFigExclusionError ParseRegistry(std::wstring_view aText, TFigExclusion& aExclusion) {
  const size_t bar = aText.find(L'|');
  std::wstring_view key = aText.substr(0, bar);
  // A key that ends the line loses the blanks before its trailing backslash as well, as the
  // line's own blanks are lost when the list is read again.
  while (key.ends_with(L'\\') ||
         (bar == aText.npos && (key.ends_with(L' ') || key.ends_with(L'\t')))) {
    key.remove_suffix(1);
  }
  std::vector<std::wstring_view> parts = Parts(key);
  if (RootKeyFromName(std::wstring(parts.front())) == kplat::kNoRegHandle) {
    return eeRegistryRoot;
  }
  if (std::any_of(parts.begin() + 1, parts.end(),
                  [](std::wstring_view aPart) { return aPart.empty(); })) {
    return eeBadPart;
  }
  aExclusion.Place = key;
  aExclusion.Kind = ekKey;
  if (bar != aText.npos) {
    const std::wstring_view value = aText.substr(bar + 1);
    if (value.empty()) {
      return eeValueName;
    }
    aExclusion.Kind = ekValue;
    aExclusion.Place += L"|";
    aExclusion.Place += value;
  }
  return eeNone;
}

TFigExclusionError ParseDisk(std::wstring_view aText, TFigExclusion& aExclusion) {
  // Blanks before a trailing backslash go with it, also after a share's name, so that the place
  // reads back as itself.
  while (aText.ends_with(L'\\') || aText.ends_with(L' ') || aText.ends_with(L'\t')) {
    aText.remove_suffix(1);
  }
  const size_t rootLength = DiskRootLength(aText);
  if (rootLength == 0) {
    return eeNotFullPath;
  }
  if (aText.find_first_of(L"<>\"|") != aText.npos) {
    return eeBadCharacter;
  }
  const std::wstring_view rest = aText.substr(rootLength);
  std::vector<std::wstring_view> parts;
  if (!rest.empty()) {
    parts = Parts(rest.substr(1));
  }
  if (std::any_of(parts.begin(), parts.end(), IsBadPart)) {
    return eeBadPart;
  }
  if (HasWildcard(aText.substr(0, rootLength)) ||
      (!parts.empty() && std::any_of(parts.begin(), parts.end() - 1,
                                     [](auto aPart) { return HasWildcard(aPart); }))) {
    return eeWildcardPart;
  }
  aExclusion.Kind = !parts.empty() && HasWildcard(parts.back()) ? ekMask : ekPath;
  aExclusion.Place = aText;
  // A drive's root keeps its backslash: "C:" alone would be the drive's current folder.
  if (aExclusion.Place.size() == 2) {
    aExclusion.Place += L'\\';
  }
  return eeNone;
}

// aPlace is aAbove or lies below it; both upper-cased, without trailing backslash.
bool IsAtOrBelow(std::wstring_view aPlace, std::wstring_view aAbove) {
  return aPlace.starts_with(aAbove) &&
         (aPlace.size() == aAbove.size() || aPlace[aAbove.size()] == L'\\');
}

} // namespace

std::wstring ExclusionsFileIn(const std::wstring& aUserDataPath) {
  return JoinCheckedPath(aUserDataPath, L"Exclusions.txt");
}

TFigExclusionError ParseExclusion(std::wstring_view aText, TFigExclusion& aExclusion) {
  aExclusion = TFigExclusion{};
  const std::wstring_view text = TrimSpaces(aText);
  if (text.empty()) {
    return eeEmpty;
  }
  if (std::any_of(text.begin(), text.end(), [](wchar_t c) { return c < 0x20 || c == 0x7F; })) {
    return eeBadCharacter;
  }
  const std::wstring_view first = text.substr(0, text.find_first_of(L"\\|"));
  if (first.size() >= 2 && kplat::UpperCase(first.substr(0, 2)) == L"HK") {
    return ParseRegistry(text, aExclusion);
  }
  return ParseDisk(text, aExclusion);
}

std::wstring RegistryExclusionText(const std::wstring& aRoot, const std::wstring& aKey,
                                   const std::wstring* aValue) {
  std::wstring text = aKey.empty() ? aRoot : aRoot + L"\\" + aKey;
  if (aValue != nullptr) {
    text += L"|" + (aValue->empty() ? std::wstring(L"@") : *aValue);
  }
  return text;
}

std::wstring ExclusionPlaceOf(const TFigScanedItem& aItem, bool aContainer) {
  switch (aItem.LocationStyle) {
  case lsRegistry:
  case lsRegistryItem: {
    const bool value = aItem.ValueCheck || aItem.LocationStyle == lsRegistryItem;
    return RegistryExclusionText(aItem.ScanedRoot, aItem.ScanedPath,
                                 value && !aContainer ? &aItem.ScanedSection : nullptr);
  }
  case lsDisk:
    if (aItem.RuleStyle == rsSweepHelper) {
      return L"";
    }
    return aContainer ? StripTrailingBackslashes(aItem.ScanedPath)
                      : JoinCheckedPath(aItem.ScanedPath, aItem.ScanedName);
  default:
    return L"";
  }
}

// --- TFigExclusions

bool TFigExclusions::Load(const std::wstring& aFileName) {
  std::vector<uint8_t> data;
  const kplat::TErrorCode rc =
      kplat::Platform().Files().ReadFile(aFileName, data, kMaxFileBytes + 1);
  if (rc == kplat::err::FileNotFound || rc == kplat::err::PathNotFound) {
    return LoadFromBytes({});
  }
  if (rc != kplat::err::Success || data.size() > kMaxFileBytes) {
    FItems.clear();
    FDamaged = true;
    FDamagedLine = 0;
    FReadError = rc;
    return false;
  }
  return LoadFromBytes(data);
}

bool TFigExclusions::LoadFromBytes(const std::vector<uint8_t>& aData) {
  FItems.clear();
  FDamaged = false;
  FDamagedLine = 0;
  FReadError = kplat::err::Success;
  std::wstring text;
  // Text that does not encode back to the same bytes held something that is no text.
  if (aData.size() >= 2 && aData[0] == 0xFF && aData[1] == 0xFE) {
    text = kplat::DecodeUtf16Le(aData.data() + 2, aData.size() - 2);
    const std::vector<uint8_t> again = kplat::EncodeUtf16Le(text);
    FDamaged = !std::equal(again.begin(), again.end(), aData.begin() + 2, aData.end());
  } else {
    const size_t mark =
        aData.size() >= 3 && aData[0] == 0xEF && aData[1] == 0xBB && aData[2] == 0xBF ? 3 : 0;
    const std::string_view bytes(reinterpret_cast<const char*>(aData.data()) + mark,
                                 aData.size() - mark);
    text = kplat::FromUtf8(bytes);
    FDamaged = kplat::ToUtf8(text) != bytes;
  }
  if (FDamaged) {
    return false;
  }
  int lineNumber = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) {
      end = text.size();
    }
    std::wstring_view line(text.data() + start, end - start);
    if (line.ends_with(L'\r')) {
      line.remove_suffix(1);
    }
    ++lineNumber;
    TFigExclusion exclusion;
    if (!TrimSpaces(line).empty()) {
      if (ParseExclusion(line, exclusion) == eeNone) {
        FItems.push_back(std::move(exclusion));
      } else if (!FDamaged) {
        FDamaged = true;
        FDamagedLine = lineNumber;
      }
    }
    start = end + 1;
  }
  return !FDamaged;
}

kplat::TErrorCode TFigExclusions::Save(const std::wstring& aFileName) const {
  if (FDamaged) {
    return kplat::err::AccessDenied;
  }
  std::wstring text;
  for (const TFigExclusion& item : FItems) {
    text += item.Place + L"\r\n";
  }
  const std::string utf8 = kplat::ToUtf8(text);
  // UTF-8 with its byte order mark, so that Notepad and the reader agree on the encoding.
  std::vector<uint8_t> data(3 + utf8.size());
  data[0] = 0xEF;
  data[1] = 0xBB;
  data[2] = 0xBF;
  std::copy(utf8.begin(), utf8.end(), data.begin() + 3);
  return kplat::WriteFileAtomic(aFileName, data);
}

TFigExclusionError TFigExclusions::Add(std::wstring_view aText) {
  TFigExclusion exclusion;
  if (const TFigExclusionError error = ParseExclusion(aText, exclusion); error != eeNone) {
    return error;
  }
  const std::wstring place = kplat::UpperCase(exclusion.Place);
  const bool listed = std::any_of(FItems.begin(), FItems.end(), [&](const TFigExclusion& aItem) {
    return kplat::UpperCase(aItem.Place) == place;
  });
  if (!listed) {
    FItems.push_back(std::move(exclusion));
  }
  return eeNone;
}

TFigExclusionError TFigExclusions::Replace(int aIndex, std::wstring_view aText) {
  TFigExclusion exclusion;
  if (const TFigExclusionError error = ParseExclusion(aText, exclusion); error != eeNone) {
    return error;
  }
  if (aIndex >= 0 && aIndex < Count()) {
    FItems[static_cast<size_t>(aIndex)] = std::move(exclusion);
  }
  return eeNone;
}

bool TFigExclusions::Remove(int aIndex) {
  if (aIndex < 0 || aIndex >= Count()) {
    return false;
  }
  FItems.erase(FItems.begin() + aIndex);
  return true;
}

// --- TFigExclusionMatcher

TFigExclusionMatcher::TFigExclusionMatcher(const std::vector<TFigExclusion>& aItems) {
  for (const TFigExclusion& item : aItems) {
    TEntry entry;
    entry.Kind = item.Kind;
    if (item.Kind == ekKey || item.Kind == ekValue) {
      const size_t bar = item.Place.find(L'|');
      entry.Place = kplat::UpperCase(item.Place.substr(0, bar));
      if (bar != std::wstring::npos) {
        const std::wstring value = item.Place.substr(bar + 1);
        entry.Name = value == L"@" ? L"" : kplat::UpperCase(value);
      }
      FEntries.push_back(std::move(entry));
      continue;
    }
    std::wstring path;
    TFigExclusion expanded;
    // A variable that is not set, or that gives no full path, leaves nothing to exclude.
    if (!ExpandLocationVariables(item.Place, path) || ParseExclusion(path, expanded) != eeNone ||
        expanded.Kind != item.Kind) {
      continue;
    }
    path = StripTrailingBackslashes(expanded.Place);
    if (item.Kind == ekMask) {
      const size_t slash = path.rfind(L'\\');
      entry.Name = kplat::UpperCase(path.substr(slash + 1));
      path.erase(slash);
    }
    entry.Place = kplat::UpperCase(path);
    // A place written through a junction or link also covers where it really leads: a scan finds
    // the files there, never through the link. A network place is left as written, so that a
    // share that does not answer never holds up the list.
    std::wstring finalPath;
    if (!path.starts_with(L"\\\\") &&
        kplat::Platform().Files().GetFinalPath(path.size() == 2 ? path + L'\\' : path, finalPath) ==
            kplat::err::Success) {
      finalPath = StripTrailingBackslashes(kplat::UpperCase(finalPath));
      if (finalPath != entry.Place) {
        TEntry real = entry;
        real.Place = std::move(finalPath);
        FEntries.push_back(std::move(real));
      }
    }
    FEntries.push_back(std::move(entry));
  }
}

bool TFigExclusionMatcher::Covers(const TFigScanedItem& aItem) const {
  if (FEntries.empty()) {
    return false;
  }
  switch (aItem.LocationStyle) {
  case lsRegistry:
    return CoversRegistry(aItem.ScanedRoot, aItem.ScanedPath,
                          aItem.ValueCheck ? &aItem.ScanedSection : nullptr);
  case lsRegistryItem:
    return CoversRegistry(aItem.ScanedRoot, aItem.ScanedPath, &aItem.ScanedSection);
  case lsDisk:
    return CoversPath(JoinCheckedPath(aItem.ScanedPath, aItem.ScanedName));
  default:
    return false;
  }
}

bool TFigExclusionMatcher::CoversRegistry(const std::wstring& aRoot, const std::wstring& aKey,
                                          const std::wstring* aValue) const {
  const std::wstring key =
      StripTrailingBackslashes(kplat::UpperCase(RegistryExclusionText(aRoot, aKey, nullptr)));
  const std::wstring value = aValue != nullptr ? kplat::UpperCase(*aValue) : L"";
  return std::any_of(FEntries.begin(), FEntries.end(), [&](const TEntry& aEntry) {
    switch (aEntry.Kind) {
    case ekKey:
      return IsAtOrBelow(key, aEntry.Place) ||
             (aValue == nullptr && IsAtOrBelow(aEntry.Place, key));
    case ekValue:
      return aValue == nullptr ? IsAtOrBelow(aEntry.Place, key)
                               : key == aEntry.Place && value == aEntry.Name;
    default:
      return false;
    }
  });
}

bool TFigExclusionMatcher::CoversPath(const std::wstring& aPath) const {
  const std::wstring path =
      StripTrailingBackslashes(kplat::UpperCase(kplat::WithoutLongPathPrefix(aPath)));
  return std::any_of(FEntries.begin(), FEntries.end(), [&](const TEntry& aEntry) {
    switch (aEntry.Kind) {
    case ekPath:
      return IsAtOrBelow(path, aEntry.Place);
    case ekMask: {
      // A name in the mask's folder that matches, or anything below such a name.
      if (path.size() <= aEntry.Place.size() + 1 || !IsAtOrBelow(path, aEntry.Place)) {
        return false;
      }
      const std::wstring_view rest = std::wstring_view(path).substr(aEntry.Place.size() + 1);
      return kplat::MatchesWildcard(rest.substr(0, rest.find(L'\\')), aEntry.Name);
    }
    default:
      return false;
    }
  });
}
