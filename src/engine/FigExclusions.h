#pragma once
// The user's exclusions: places that Kestrova never reports and never changes. Each is one of
//   HKEY_CURRENT_USER\Software\Example          a registry key and everything below it
//   HKEY_CURRENT_USER\Software\Example|Name     one value of a key ("|@": the default value)
//   C:\Some\Folder, C:\Some\File.txt             a folder and everything below it, or a file
//   C:\Some\Folder\*.log                         a mask: "*" and "?" in the last part only
// A registry root is written by its long name; a disk place is a drive or network path, or
// starts with an environment variable ("%LocalAppData%\..."), expanded when the list is used.
// The list is kept in a text file of the user data folder, one place per line.

#include "engine/FigRule.h"
#include "engine/FigTopic.h"
#include "platform/PlatformTypes.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The file of the list in the user data folder aUserDataPath: "Exclusions.txt".
std::wstring ExclusionsFileIn(const std::wstring& aUserDataPath);

enum TFigExclusionKind : uint8_t { ekKey, ekValue, ekPath, ekMask };

// Why a text is not a place that can be excluded.
enum TFigExclusionError : uint8_t {
  eeNone,
  eeEmpty,        // nothing but blanks
  eeRegistryRoot, // a registry place whose root is not a long root name
  eeValueName,    // "|" with no value name after it ("|@" names the default value)
  eeNotFullPath,  // neither a registry key nor a drive, network or variable path
  eeBadCharacter, // a line break or other control character, or one of < > " | in a file path
  eeBadPart,      // an empty, "." or ".." part
  eeWildcardPart  // "*" or "?" before the last part of a path
};

template <> struct TFigEnumNames<TFigExclusionError> {
  static constexpr std::array<std::wstring_view, 8> Names = {
      L"eeNone",        L"eeEmpty",        L"eeRegistryRoot", L"eeValueName",
      L"eeNotFullPath", L"eeBadCharacter", L"eeBadPart",      L"eeWildcardPart"};
};

struct TFigExclusion {
  TFigExclusionKind Kind = ekPath;
  std::wstring Place; // as the user wrote it, without surrounding blanks or trailing backslash
  bool operator==(const TFigExclusion&) const = default;
};

// Reads one place; eeNone when it is one of the forms above.
TFigExclusionError ParseExclusion(std::wstring_view aText, TFigExclusion& aExclusion);

// The registry place of a key (aValue null) or of one of its values ("" for the default value),
// as an exclusion writes it.
std::wstring RegistryExclusionText(const std::wstring& aRoot, const std::wstring& aKey,
                                   const std::wstring* aValue);

// The place to exclude for a finding, as the list writes it: the value, key or file itself, or
// (aContainer) the key or folder that holds it. "" for a finding without a place of its own (a
// sweep of the whole computer).
std::wstring ExclusionPlaceOf(const TFigScanedItem& aItem, bool aContainer);

// The list and its file.
class TFigExclusions {
public:
  // Reads the file. A missing file is an empty list. A file that cannot be read, is neither
  // UTF-16 LE text with a byte-order mark nor UTF-8 text, or holds a line that is no place is
  // damaged: the list then holds every line that is a place (so that they still protect),
  // Damaged() is true and Save refuses to write over the file. False when damaged.
  bool Load(const std::wstring& aFileName);
  // The same for a file's bytes already read.
  bool LoadFromBytes(const std::vector<uint8_t>& aData);
  // Writes the list whole and atomically (UTF-8 with a byte-order mark, one place per line);
  // refused (AccessDenied) for a list loaded from a damaged file.
  kplat::TErrorCode Save(const std::wstring& aFileName) const;

  bool Damaged() const { return FDamaged; }
  // What is wrong with a damaged file: the number of its first line that is no place, 0 when
  // the file as a whole could not be read.
  int DamagedLine() const { return FDamagedLine; }
  kplat::TErrorCode ReadError() const { return FReadError; }

  const std::vector<TFigExclusion>& Items() const { return FItems; }
  int Count() const { return static_cast<int>(FItems.size()); }
  // Adds a place (one already listed, ignoring case, is not added twice).
  TFigExclusionError Add(std::wstring_view aText);
  // Replaces entry aIndex; eeNone also for an index out of range, which changes nothing.
  TFigExclusionError Replace(int aIndex, std::wstring_view aText);
  // False for an index out of range.
  bool Remove(int aIndex);

private:
  std::vector<TFigExclusion> FItems;
  bool FDamaged = false;
  int FDamagedLine = 0;
  kplat::TErrorCode FReadError = 0;
};

// A list made ready for matching: its variables expanded once, its texts upper-cased, and an
// existing disk place reached through a junction or link also taken where it really is. An entry
// whose variable is not set, or that does not expand to a full path, names nothing.
class TFigExclusionMatcher {
public:
  TFigExclusionMatcher() = default;
  explicit TFigExclusionMatcher(const std::vector<TFigExclusion>& aItems);

  bool Empty() const { return FEntries.empty(); }
  // Whether the finding concerns an excluded place or would change one: a key finding removes
  // the whole key, so it is covered by an exclusion of anything below it too.
  bool Covers(const TFigScanedItem& aItem) const;
  // aValue null: the whole key (and everything below it) is concerned.
  bool CoversRegistry(const std::wstring& aRoot, const std::wstring& aKey,
                      const std::wstring* aValue) const;
  bool CoversPath(const std::wstring& aPath) const;

private:
  struct TEntry {
    TFigExclusionKind Kind = ekPath;
    std::wstring Place; // upper-cased: the key, the path, or the folder of a mask
    std::wstring Name;  // upper-cased: the value name ("" for the default) or the mask
  };
  std::vector<TEntry> FEntries;
};
