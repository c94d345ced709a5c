#include "base/CLIniFiles.h"
#include "base/CLIniParse.h"

#include "platform/FileIO.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <unordered_set>

namespace {

bool HasLineBreak(std::wstring_view aText) {
  return aText.find_first_of(L"\r\n") != std::wstring_view::npos;
}

// Whether a listing (key names, section lines) shows the entry.
bool IsListed(const TIniEntry& aEntry) {
  return !ini::IsComment(aEntry);
}

} // namespace

// --- TIniProfile

TIniLoadResult TIniProfile::LoadFromFile(const std::wstring& aFileName) {
  Clear();
  std::wstring text;
  const TIniLoadResult result = ReadIniTextFile(aFileName, text);
  if (result) {
    LoadFromText(text);
  }
  FFileName = aFileName;
  return result;
}

void TIniProfile::LoadFromBytes(const std::vector<uint8_t>& aBytes) {
  LoadFromText(DecodeIniText(aBytes));
}

void TIniProfile::LoadFromText(std::wstring_view aText) {
  FSections = ini::Parse(aText);
  BuildIndex();
}

void TIniProfile::Clear() {
  FFileName.clear();
  FSections.clear();
  FSectionIndex.clear();
  FKeyIndex.clear();
}

void TIniProfile::BuildIndex() {
  FSectionIndex.clear();
  FKeyIndex.assign(FSections.size(), {});
  for (size_t s = 0; s < FSections.size(); ++s) {
    if (!FSectionIndex.emplace(kplat::UpperCase(FSections[s].Name), s).second) {
      continue; // a later section of the same name is never searched
    }
    const std::vector<TIniEntry>& entries = FSections[s].Entries;
    for (size_t e = 0; e < entries.size(); ++e) {
      FKeyIndex[s].emplace(kplat::UpperCase(entries[e].Key), e);
    }
  }
}

const TIniSection* TIniProfile::FindSection(std::wstring_view aSection) const {
  const auto found = FSectionIndex.find(kplat::UpperCase(ini::TrimLine(aSection)));
  return found == FSectionIndex.end() ? nullptr : &FSections[found->second];
}

const TIniEntry* TIniProfile::FindEntry(std::wstring_view aSection, std::wstring_view aKey) const {
  const auto section = FSectionIndex.find(kplat::UpperCase(ini::TrimLine(aSection)));
  if (section == FSectionIndex.end()) {
    return nullptr;
  }
  const auto& keys = FKeyIndex[section->second];
  const auto entry = keys.find(kplat::UpperCase(ini::TrimLine(aKey)));
  if (entry == keys.end()) {
    return nullptr;
  }
  const TIniEntry& found = FSections[section->second].Entries[entry->second];
  return found.HasValue ? &found : nullptr;
}

std::wstring TIniProfile::ReadString(std::wstring_view aSection, std::wstring_view aKey,
                                     std::wstring_view aDefault) const {
  const TIniEntry* entry = FindEntry(aSection, aKey);
  if (entry == nullptr) {
    return std::wstring(aDefault);
  }
  // Unquoting first and then cutting keeps a quoted value of exactly the buffer's length whole;
  // Wine's profile code loses its last character there.
  return std::wstring(ini::Unquote(entry->Value).substr(0, kMaxProfileValueLength));
}

int32_t TIniProfile::ReadInteger(std::wstring_view aSection, std::wstring_view aKey,
                                 int32_t aDefault) const {
  return ParseIniInteger(ReadString(aSection, aKey, L"")).value_or(aDefault);
}

bool TIniProfile::ReadBool(std::wstring_view aSection, std::wstring_view aKey,
                           bool aDefault) const {
  return ParseIniBool(ReadString(aSection, aKey, L"")).value_or(aDefault);
}

bool TIniProfile::ValueExists(std::wstring_view aSection, std::wstring_view aKey) const {
  return FindEntry(aSection, aKey) != nullptr;
}

bool TIniProfile::SectionExists(std::wstring_view aSection) const {
  const TIniSection* section = FindSection(aSection);
  // The unnamed section is always there; it counts only when it holds lines.
  return section != nullptr && (!section->Name.empty() || !section->Entries.empty());
}

std::vector<std::wstring> TIniProfile::ReadSectionKeys(std::wstring_view aSection) const {
  std::vector<std::wstring> keys;
  if (const TIniSection* section = FindSection(aSection)) {
    for (const TIniEntry& entry : section->Entries) {
      if (entry.HasValue && !entry.Key.empty() && IsListed(entry)) {
        keys.push_back(entry.Key);
      }
    }
  }
  return keys;
}

std::vector<std::pair<std::wstring, std::wstring>>
TIniProfile::ReadSectionValues(std::wstring_view aSection) const {
  std::vector<std::pair<std::wstring, std::wstring>> values;
  std::unordered_set<std::wstring> seen;
  for (std::wstring& key : ReadSectionKeys(aSection)) {
    if (seen.insert(kplat::UpperCase(key)).second) {
      std::wstring value = ReadString(aSection, key, L"");
      values.emplace_back(std::move(key), std::move(value));
    }
  }
  return values;
}

std::vector<std::wstring> TIniProfile::ReadSectionLines(std::wstring_view aSection) const {
  std::vector<std::wstring> lines;
  if (const TIniSection* section = FindSection(aSection)) {
    for (const TIniEntry& entry : section->Entries) {
      if (IsListed(entry)) {
        lines.push_back(entry.HasValue ? entry.Key + L"=" + entry.Value : entry.Key);
      }
    }
  }
  return lines;
}

std::vector<std::wstring> TIniProfile::ReadSections() const {
  std::vector<std::wstring> names;
  for (size_t s = 0; s < FSections.size(); ++s) {
    const auto first = FSectionIndex.find(kplat::UpperCase(FSections[s].Name));
    if (!FSections[s].Name.empty() && first != FSectionIndex.end() && first->second == s) {
      names.push_back(FSections[s].Name);
    }
  }
  return names;
}

// --- TCLMemIniFile

namespace {

// The first line of the key, for a const or a changeable section.
template <typename TSection> auto FindEntryIn(TSection& aSection, std::wstring_view aKey) {
  const std::wstring_view key = ini::TrimLine(aKey);
  decltype(&aSection.Entries.front()) found = nullptr;
  for (auto& entry : aSection.Entries) {
    if (kplat::SameText(entry.Key, key)) {
      found = &entry;
      break;
    }
  }
  return found;
}

bool IsStorableSection(std::wstring_view aSection) {
  return !HasLineBreak(aSection) && aSection.find(L']') == std::wstring_view::npos;
}

bool IsStorableKey(std::wstring_view aKey) {
  return !aKey.empty() && !HasLineBreak(aKey) && aKey.find(L'=') == std::wstring_view::npos &&
         aKey[0] != L';' && aKey[0] != L'[';
}

// What to put after "=" so that reading gives aValue back: reading trims blanks and removes one
// pair of enclosing quotes, so such values get a protecting pair of double quotes.
std::wstring ProtectValue(std::wstring_view aValue) {
  const bool needsQuotes =
      !aValue.empty() && (ini::IsBlank(aValue.front()) || ini::IsBlank(aValue.back()) ||
                          ini::Unquote(aValue).size() != aValue.size());
  return needsQuotes ? L"\"" + std::wstring(aValue) + L"\"" : std::wstring(aValue);
}

} // namespace

TIniLoadResult TCLMemIniFile::Load() {
  std::wstring text;
  TIniEncoding encoding = TIniEncoding::Utf16Le;
  const TIniLoadResult result = ReadIniTextFile(FFileName, text, &encoding);
  SetText(text);
  if (result) {
    FLoadedEncoding = encoding;
  }
  return result;
}

TIniLoadResult TCLMemIniFile::Load(const std::wstring& aFileName) {
  FFileName = aFileName;
  return Load();
}

void TCLMemIniFile::SetText(std::wstring_view aText) {
  FSections = ini::Parse(aText);
}

void TCLMemIniFile::SetStrings(const std::vector<std::wstring>& aLines) {
  std::wstring text;
  for (const std::wstring& line : aLines) {
    text += line;
    text += L"\n";
  }
  SetText(text);
}

std::vector<std::wstring> TCLMemIniFile::GetStrings() const {
  std::vector<std::wstring> lines;
  bool first = true;
  for (const TIniSection& section : FSections) {
    if (section.Name.empty() && section.Entries.empty() && &section == &FSections.front()) {
      continue;
    }
    if (!first) {
      lines.emplace_back();
    }
    first = false;
    // The unnamed section at the front has no header; a later "[]" keeps its own.
    if (&section != &FSections.front()) {
      lines.push_back(L"[" + section.Name + L"]");
    }
    for (const TIniEntry& entry : section.Entries) {
      lines.push_back(entry.HasValue ? entry.Key + L"=" + entry.Value : entry.Key);
    }
  }
  return lines;
}

std::wstring TCLMemIniFile::GetText() const {
  std::wstring text;
  for (const std::wstring& line : GetStrings()) {
    text += line;
    text += L"\r\n";
  }
  return text;
}

void TCLMemIniFile::Clear() {
  FSections.assign(1, TIniSection{});
}

TIniSection* TCLMemIniFile::FindSection(std::wstring_view aSection) {
  const std::wstring_view name = ini::TrimLine(aSection);
  for (TIniSection& section : FSections) {
    if (kplat::SameText(section.Name, name)) {
      return &section;
    }
  }
  return nullptr;
}

const TIniSection* TCLMemIniFile::FindSection(std::wstring_view aSection) const {
  return const_cast<TCLMemIniFile*>(this)->FindSection(aSection);
}

std::wstring TCLMemIniFile::ReadString(std::wstring_view aSection, std::wstring_view aKey,
                                       std::wstring_view aDefault) const {
  std::optional<std::wstring> value = FindString(aSection, aKey);
  return value ? std::move(*value) : std::wstring(aDefault);
}

std::optional<std::wstring> TCLMemIniFile::FindString(std::wstring_view aSection,
                                                      std::wstring_view aKey) const {
  const TIniSection* section = FindSection(aSection);
  const TIniEntry* entry = section == nullptr ? nullptr : FindEntryIn(*section, aKey);
  if (entry == nullptr || !entry->HasValue) {
    return std::nullopt;
  }
  return std::wstring(ini::Unquote(entry->Value));
}

int32_t TCLMemIniFile::ReadInteger(std::wstring_view aSection, std::wstring_view aKey,
                                   int32_t aDefault) const {
  return ParseIniInteger(ReadString(aSection, aKey, L""), true).value_or(aDefault);
}

bool TCLMemIniFile::ReadBool(std::wstring_view aSection, std::wstring_view aKey,
                             bool aDefault) const {
  return ParseIniBool(ReadString(aSection, aKey, L"")).value_or(aDefault);
}

bool TCLMemIniFile::Store(std::wstring_view aSection, std::wstring_view aKey,
                          std::wstring aStoredValue) {
  const std::wstring_view sectionName = ini::TrimLine(aSection);
  const std::wstring_view key = ini::TrimLine(aKey);
  if (!IsStorableSection(sectionName) || !IsStorableKey(key) || HasLineBreak(aStoredValue)) {
    return false;
  }
  TIniSection* section = FindSection(sectionName);
  if (section == nullptr) {
    FSections.push_back({std::wstring(sectionName), {}});
    section = &FSections.back();
  }
  if (TIniEntry* entry = FindEntryIn(*section, key)) {
    entry->Value = std::move(aStoredValue);
    entry->HasValue = true;
  } else {
    section->Entries.push_back({std::wstring(key), std::move(aStoredValue), true});
  }
  return true;
}

bool TCLMemIniFile::WriteString(std::wstring_view aSection, std::wstring_view aKey,
                                std::wstring_view aValue) {
  return Store(aSection, aKey, ProtectValue(aValue));
}

bool TCLMemIniFile::WriteQuotedString(std::wstring_view aSection, std::wstring_view aKey,
                                      std::wstring_view aValue) {
  return Store(aSection, aKey, L"\"" + std::wstring(aValue) + L"\"");
}

bool TCLMemIniFile::WriteInteger(std::wstring_view aSection, std::wstring_view aKey,
                                 int32_t aValue) {
  return Store(aSection, aKey, std::to_wstring(aValue));
}

bool TCLMemIniFile::WriteBool(std::wstring_view aSection, std::wstring_view aKey, bool aValue) {
  return Store(aSection, aKey, aValue ? L"1" : L"0");
}

std::vector<std::wstring> TCLMemIniFile::ReadSection(std::wstring_view aSection) const {
  std::vector<std::wstring> keys;
  for (const auto& pair : ReadSectionValues(aSection)) {
    keys.push_back(pair.first);
  }
  return keys;
}

std::vector<std::wstring> TCLMemIniFile::ReadSections() const {
  std::vector<std::wstring> names;
  std::unordered_set<std::wstring> seen;
  for (const TIniSection& section : FSections) {
    if (!section.Name.empty() && seen.insert(kplat::UpperCase(section.Name)).second) {
      names.push_back(section.Name);
    }
  }
  return names;
}

std::vector<std::pair<std::wstring, std::wstring>>
TCLMemIniFile::ReadSectionValues(std::wstring_view aSection) const {
  std::vector<std::pair<std::wstring, std::wstring>> values;
  const TIniSection* section = FindSection(aSection);
  if (section == nullptr) {
    return values;
  }
  std::unordered_set<std::wstring> seen;
  for (const TIniEntry& entry : section->Entries) {
    // Only the first line of a key counts, even when it has no "=".
    if (!entry.Key.empty() && seen.insert(kplat::UpperCase(entry.Key)).second && entry.HasValue &&
        IsListed(entry)) {
      values.emplace_back(entry.Key, std::wstring(ini::Unquote(entry.Value)));
    }
  }
  return values;
}

void TCLMemIniFile::EraseSection(std::wstring_view aSection) {
  const std::wstring_view name = ini::TrimLine(aSection);
  if (name.empty()) {
    FSections.front().Entries.clear();
  }
  FSections.erase(
      std::remove_if(FSections.begin() + 1, FSections.end(),
                     [&](const TIniSection& aItem) { return kplat::SameText(aItem.Name, name); }),
      FSections.end());
}

void TCLMemIniFile::DeleteKey(std::wstring_view aSection, std::wstring_view aKey) {
  if (TIniSection* section = FindSection(aSection)) {
    const std::wstring_view key = ini::TrimLine(aKey);
    std::erase_if(section->Entries,
                  [&](const TIniEntry& aEntry) { return kplat::SameText(aEntry.Key, key); });
  }
}

bool TCLMemIniFile::ValueExists(std::wstring_view aSection, std::wstring_view aKey) const {
  const TIniSection* section = FindSection(aSection);
  const TIniEntry* entry = section == nullptr ? nullptr : FindEntryIn(*section, aKey);
  return entry != nullptr && entry->HasValue;
}

bool TCLMemIniFile::SectionExists(std::wstring_view aSection) const {
  const TIniSection* section = FindSection(aSection);
  return section != nullptr && (!section->Name.empty() || !section->Entries.empty());
}

kplat::TErrorCode TCLMemIniFile::UpdateFile() const {
  if (FFileName.empty()) {
    return kplat::err::InvalidName;
  }
  return kplat::WriteFileAtomic(FFileName, EncodeIniText(GetText()));
}
