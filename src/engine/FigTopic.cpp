#include "engine/FigTopic.h"

#include "base/CLHelpers.h"

#include <utility>

namespace {

// Invalid categories sort after all others.
constexpr int kNoCategorySortOrdinal = 127;

std::wstring IndexedKey(std::wstring_view aPrefix, int aIndex) {
  return std::wstring(aPrefix) + std::to_wstring(aIndex);
}

} // namespace

std::wstring TopicSectionName(int aIdx) {
  return IndexedKey(kTopicSectionPrefix, aIdx);
}

int CategorySortOrdinal(TTopicCategory aCategory) {
  return IsValidEnum(aCategory) ? static_cast<int>(aCategory) : kNoCategorySortOrdinal;
}

// --- TFigTopic
// ------------------------------------------------------------------------------------

void TFigTopic::SetCategory(TTopicCategory aCategory) {
  FValues.SetValue(kTopicKeyCategory, GetEnumName(aCategory));
}

void TFigTopic::SetEnabled(bool aEnabled) {
  FValues.SetValue(kTopicKeyEnabled, aEnabled ? L"-1" : L"0");
}

const TStringList& TFigTopic::RegItem() const {
  FRegItems.Clear();
  const int count = RegItemsCount();
  for (int i = 0; i < count; ++i)
    FRegItems.Add(GetRegItem(i));
  return FRegItems;
}

std::wstring TFigTopic::GetLocation(int aIndex) const {
  return GetValue(IndexedKey(kTopicKeyLocation, aIndex));
}

std::wstring TFigTopic::GetRegItem(int aIndex) const {
  return GetValue(IndexedKey(kTopicKeyRegItem, aIndex));
}

int32_t TFigTopic::GetInteger(std::wstring_view aKey, int32_t aDefault) const {
  return ParseIniInteger(GetValue(aKey)).value_or(aDefault);
}

bool TFigTopic::GetBool(std::wstring_view aKey, bool aDefault) const {
  return ParseIniBool(GetValue(aKey)).value_or(aDefault);
}

int TFigTopic::CountIndexed(std::wstring_view aPrefix) const {
  int count = 0;
  while (!GetValue(IndexedKey(aPrefix, count)).empty())
    ++count;
  return count;
}

void TFigTopic::Load(const TIniProfile& aIni, int aIdx) {
  FValues.Clear();
  for (auto& [key, value] : aIni.ReadSectionValues(TopicSectionName(aIdx)))
    FValues.Add(key + L'=' + value);
}

bool TFigTopic::HasStoredName() const {
  return !Trim(Name()).empty();
}

bool TFigTopic::Save(TCLMemIniFile& aIni, int aIdx) const {
  if (!HasStoredName())
    return true;
  const std::wstring section = TopicSectionName(aIdx);
  for (int i = 0; i < FValues.Count(); ++i) {
    const std::wstring key = FValues.Names(i);
    // A line without "=" is no key and has no place in the file.
    if (key.empty())
      continue;
    if (!aIni.WriteQuotedString(section, key, Trim(kplat::UpperCase(FValues.ValueFromIndex(i)))))
      return false;
  }
  return true;
}

void TFigTopic::Assign(const TFigTopic& aTopic) {
  if (&aTopic == this)
    return;
  FValues = aTopic.FValues;
  FStatus = aTopic.FStatus;
  FWinapp2Entry = aTopic.FWinapp2Entry;
}

// --- TFigTopicList
// --------------------------------------------------------------------------------

TFigTopic* TFigTopicList::Items(int aIndex) const {
  return aIndex >= 0 && aIndex < Count() ? FItems[aIndex].get() : nullptr;
}

int TFigTopicList::Add(std::unique_ptr<TFigTopic> aTopic) {
  FItems.push_back(std::move(aTopic));
  return Count() - 1;
}

void TFigTopicList::Delete(int aIndex) {
  if (aIndex >= 0 && aIndex < Count())
    FItems.erase(FItems.begin() + aIndex);
}

void TFigTopicList::Clear() {
  while (!FItems.empty())
    FItems.pop_back();
}

void TFigTopicList::Assign(const TFigTopicList& aSource) {
  if (&aSource == this)
    return;
  Clear();
  FItems.reserve(aSource.FItems.size());
  for (const auto& topic : aSource.FItems) {
    auto copy = std::make_unique<TFigTopic>();
    copy->Assign(*topic);
    FItems.push_back(std::move(copy));
  }
}

int TFigTopicList::IndexOfName(std::wstring_view aName) const {
  for (int i = 0; i < Count(); ++i) {
    if (kplat::SameText(FItems[i]->Name(), aName))
      return i;
  }
  return -1;
}

void TFigTopicList::SortByCategory() {
  std::vector<int> ordinals;
  ordinals.reserve(FItems.size());
  for (const auto& topic : FItems)
    ordinals.push_back(CategorySortOrdinal(topic->Category()));
  // Exactly this exchange order: which of two topics of one category comes first depends on it.
  for (int i = Count() - 1; i >= 1; --i) {
    for (int j = 0; j < i; ++j) {
      if (ordinals[j] > ordinals[i]) {
        std::swap(FItems[j], FItems[i]);
        std::swap(ordinals[j], ordinals[i]);
      }
    }
  }
}
