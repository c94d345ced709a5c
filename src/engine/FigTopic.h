#pragma once
// The topic object: one named check of the topic database (its category, locations, rule,
// captions and tuning keys), the enumerations stored in that file by name, and the owning list
// of topics that the engine and each scan keep.

#include "base/CLIniFiles.h"
#include "base/CLStrings.h"
#include "platform/TextCodec.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// --- Enumerations stored by name
// ------------------------------------------------------------------ Each enumeration is one byte;
// its names are matched without regard to case. A name that is not in the list reads as ordinal -1,
// held in the byte as 255.

template <class TEnum> struct TFigEnumNames; // Names: the names in ordinal order

constexpr uint8_t kNoEnumValue = 255;

template <class TEnum> bool IsValidEnum(TEnum aValue) {
  return static_cast<size_t>(aValue) < TFigEnumNames<TEnum>::Names.size();
}

// The ordinal of the name, or -1.
template <class TEnum> int GetEnumValue(std::wstring_view aName) {
  const auto& names = TFigEnumNames<TEnum>::Names;
  for (size_t i = 0; i < names.size(); ++i) {
    if (kplat::SameText(names[i], aName))
      return static_cast<int>(i);
  }
  return -1;
}

template <class TEnum> TEnum StrToEnum(std::wstring_view aName) {
  const int ordinal = GetEnumValue<TEnum>(aName);
  return static_cast<TEnum>(ordinal < 0 ? kNoEnumValue : ordinal);
}

// The name, or "" for no valid value.
template <class TEnum> std::wstring GetEnumName(TEnum aValue) {
  return IsValidEnum(aValue)
             ? std::wstring(TFigEnumNames<TEnum>::Names[static_cast<size_t>(aValue)])
             : std::wstring();
}

enum TLocationStyle : uint8_t { lsUnknow, lsRegistry, lsDisk, lsRegistryItem };
enum TTopicCategory : uint8_t {
  tcUnknow,
  tcARegFix,
  tcBPrivacySweep,
  tcCJunkFile,
  tcDSystemOptimization
};
enum TTopicStatus : uint8_t { tsUncured, tsCured };

template <> struct TFigEnumNames<TLocationStyle> {
  static constexpr std::array<std::wstring_view, 4> Names = {L"lsUnknow", L"lsRegistry", L"lsDisk",
                                                             L"lsRegistryItem"};
};
template <> struct TFigEnumNames<TTopicCategory> {
  static constexpr std::array<std::wstring_view, 5> Names = {
      L"tcUnknow", L"tcARegFix", L"tcBPrivacySweep", L"tcCJunkFile", L"tcDSystemOptimization"};
};
template <> struct TFigEnumNames<TTopicStatus> {
  static constexpr std::array<std::wstring_view, 2> Names = {L"tsUncured", L"tsCured"};
};

// --- Keys of a topic section
// ----------------------------------------------------------------------

inline constexpr std::wstring_view kTopicSectionPrefix = L"TOPIC_";
inline constexpr std::wstring_view kTopicKeyName = L"NAME";
inline constexpr std::wstring_view kTopicKeyCategory = L"Category";
inline constexpr std::wstring_view kTopicKeyEnabled = L"ENABLED";
inline constexpr std::wstring_view kTopicKeyLocation = L"LOCATION_";
inline constexpr std::wstring_view kTopicKeyRegItem = L"REGITEM_";
inline constexpr std::wstring_view kTopicKeyRule = L"Rule";
inline constexpr std::wstring_view kTopicKeyRuleCaption = L"Rule_Caption";
inline constexpr std::wstring_view kTopicKeyRootCaption = L"Root_Caption";
inline constexpr std::wstring_view kTopicKeyExceptOptions = L"EXCEPTOPTIONS";
inline constexpr std::wstring_view kTopicKeyLevel = L"LEVEL";
inline constexpr std::wstring_view kTopicKeyCheckValues = L"CHECKVALUES";
inline constexpr std::wstring_view kTopicKeyWorkingPercent = L"WORKINGPERCENT";
inline constexpr std::wstring_view kTopicKeyFolderDepth = L"FolderDepth";
inline constexpr std::wstring_view kTopicKeyIncludeSubFolder = L"IncludeSubFolder";
// Files written within the last n hours are not findings (installers and programs still use them).
inline constexpr std::wstring_view kTopicKeyMinAgeHours = L"MINAGEHOURS";
// Programs ("name.exe;other.exe") that hold the topic's files while they run.
inline constexpr std::wstring_view kTopicKeyProcess = L"PROCESS";
// UNDO=0: what the topic finds is deleted for good, never kept for a restore (caches nobody wants
// back, which can be gigabytes).
inline constexpr std::wstring_view kTopicKeyUndo = L"UNDO";

// "TOPIC_" followed by the index.
std::wstring TopicSectionName(int aIdx);

struct TWinapp2Entry;

// --- TFigTopic
// ------------------------------------------------------------------------------------

class TFigTopic : public TObject {
public:
  TFigTopic() = default;
  TFigTopic(const TFigTopic&) = delete;
  TFigTopic& operator=(const TFigTopic&) = delete;

  std::wstring Name() const { return GetValue(kTopicKeyName); }
  void SetName(std::wstring_view aName) { FValues.SetValue(kTopicKeyName, aName); }
  // Lives only in memory; never read from or written to the file.
  TTopicStatus Status() const { return FStatus; }
  void SetStatus(TTopicStatus aStatus) { FStatus = aStatus; }
  TTopicCategory Category() const { return StrToEnum<TTopicCategory>(GetValue(kTopicKeyCategory)); }
  void SetCategory(TTopicCategory aCategory);
  // Whether a scan runs the topic: "ENABLED" read as a Boolean, false by default.
  bool Enabled() const { return GetBool(kTopicKeyEnabled, false); }
  void SetEnabled(bool aEnabled); // "-1" or "0"

  // Consecutive non-empty LOCATION_n (REGITEM_n) keys from 0: keys after a gap are never counted.
  int LocationsCount() const { return CountIndexed(kTopicKeyLocation); }
  int RegItemsCount() const { return CountIndexed(kTopicKeyRegItem); }
  // The first RegItemsCount REGITEM_n values in index order. Rebuilt on every call, so the
  // reference holds until the next one.
  const TStringList& RegItem() const;

  // Every key of the section as read, name=value; lookups ignore case.
  TStringList& ValueList() { return FValues; }
  const TStringList& ValueList() const { return FValues; }

  // Lookups yield "" for a missing key.
  std::wstring GetValue(std::wstring_view aKey) const { return FValues.Values(aKey); }
  std::wstring GetLocation(int aIndex) const;
  std::wstring GetRegItem(int aIndex) const;
  // A value read as the topic database reads numbers and Booleans; aDefault when missing or not
  // one.
  int32_t GetInteger(std::wstring_view aKey, int32_t aDefault) const;
  bool GetBool(std::wstring_view aKey, bool aDefault) const;

  // Replaces the value list with every key and value of section TOPIC_aIdx.
  void Load(const TIniProfile& aIni, int aIdx);
  // Whether the name is still there once saved: not empty after blanks and control characters
  // are trimmed away. A topic without one is never written, so that no saved list ends early.
  bool HasStoredName() const;
  // Writes every name=value line into section TOPIC_aIdx, each value upper-cased, trimmed and in
  // double quotes. A topic without a stored name writes nothing. False when a line cannot be stored
  // (the INI file refuses it); the lines before it are written.
  bool Save(TCLMemIniFile& aIni, int aIdx) const;
  // Copies the value list, the status and the community entry.
  void Assign(const TFigTopic& aTopic);

  // The entry of a community rule file that the topic scans instead of its locations
  // (FigWinapp2Topic.h); nothing for the topics of the topic database.
  const std::shared_ptr<const TWinapp2Entry>& Winapp2Entry() const { return FWinapp2Entry; }
  void SetWinapp2Entry(std::shared_ptr<const TWinapp2Entry> aEntry) {
    FWinapp2Entry = std::move(aEntry);
  }

private:
  int CountIndexed(std::wstring_view aPrefix) const;

  TStringList FValues;
  mutable TStringList FRegItems;
  TTopicStatus FStatus = tsUncured;
  std::shared_ptr<const TWinapp2Entry> FWinapp2Entry;
};

// --- TFigTopicList
// -------------------------------------------------------------------------------- Topics owned in
// list order; a topic keeps its address while it is in the list.

class TFigTopicList {
public:
  TFigTopicList() = default;
  TFigTopicList(const TFigTopicList&) = delete;
  TFigTopicList& operator=(const TFigTopicList&) = delete;
  TFigTopicList(TFigTopicList&&) = default;
  TFigTopicList& operator=(TFigTopicList&&) = default;
  ~TFigTopicList() { Clear(); }

  int Count() const { return static_cast<int>(FItems.size()); }
  // Nothing out of range.
  TFigTopic* Items(int aIndex) const;
  // Returns the topic's index.
  int Add(std::unique_ptr<TFigTopic> aTopic);
  // Out of range does nothing; the following topics move down by one.
  void Delete(int aIndex);
  // Destroys every topic, last first.
  void Clear();
  // Replaces the content with copies (Assign) of every topic of aSource.
  void Assign(const TFigTopicList& aSource);
  // The first topic whose Name equals aName ignoring case, or -1.
  int IndexOfName(std::wstring_view aName) const;
  // In place by category ordinal, topics without a valid category last.
  void SortByCategory();

private:
  std::vector<std::unique_ptr<TFigTopic>> FItems;
};

// The ordinal a topic is sorted by: its category's, or 127 when the category is no valid name.
int CategorySortOrdinal(TTopicCategory aCategory);
