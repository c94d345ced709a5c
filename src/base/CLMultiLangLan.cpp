#include "base/CLMultiLangLan.h"

#include "base/CLHelpers.h"
#include "base/CLIniParse.h"
#include "platform/FileIO.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <array>

namespace {

// The sections that are not windows, in the order a sorted file lists them.
constexpr std::array<std::wstring_view, 5> kResourceSections = {L"Info", L"BasicRes", L"SkinRes",
                                                                L"LibRes", L"AppRes"};

bool HasBom(const std::vector<uint8_t>& aBytes) {
  const size_t size = aBytes.size();
  return (size >= 3 && aBytes[0] == 0xEF && aBytes[1] == 0xBB && aBytes[2] == 0xBF) ||
         (size >= 2 && aBytes[0] == 0xFF && aBytes[1] == 0xFE) ||
         (size >= 2 && aBytes[0] == 0xFE && aBytes[1] == 0xFF);
}

std::wstring MakeKey(std::wstring_view aComp, std::wstring_view aProp) {
  if (aComp.empty())
    return std::wstring(aProp);
  std::wstring key(aComp);
  key += L'.';
  key += aProp;
  return key;
}

std::wstring EntryLine(const TIniEntry& aEntry) {
  return aEntry.HasValue ? aEntry.Key + L"=" + aEntry.Value : aEntry.Key;
}

bool IsResourceSection(std::wstring_view aName) {
  return std::any_of(
      kResourceSections.begin(), kResourceSections.end(),
      [aName](std::wstring_view aSection) { return kplat::SameText(aName, aSection); });
}

} // namespace

std::wstring DecodeLangValue(std::wstring_view aValue) {
  return ReplaceText(ReplaceText(aValue, L"<BR>", L"\r\n"), L"<SP>", L" ");
}

std::wstring EncodeLangValue(std::wstring_view aValue) {
  return ReplaceText(ReplaceText(ReplaceText(aValue, L"\r\n", L"<BR>"), L"\r", L"<BR>"), L"\n",
                     L"<BR>");
}

std::wstring DecodeLangText(const std::vector<uint8_t>& aBytes) {
  if (HasBom(aBytes))
    return DecodeIniText(aBytes);
  return SystemAnsiToWide(
      std::string_view(reinterpret_cast<const char*>(aBytes.data()), aBytes.size()));
}

TIniLoadResult ReadLangFile(const std::wstring& aFileName, std::wstring& aText) {
  std::vector<uint8_t> bytes;
  const kplat::TErrorCode rc =
      kplat::Platform().Files().ReadFile(aFileName, bytes, kMaxLanguageFileBytes);
  const TIniLoadResult result = IniLoadResultOf(rc);
  if (result)
    aText = DecodeLangText(bytes);
  return result;
}

TIniLoadResult TCLMultiLangLan::LoadFromFile(const std::wstring& aFileName) {
  std::wstring text;
  const TIniLoadResult result = ReadLangFile(aFileName, text);
  if (result)
    LoadFromString(text);
  return result;
}

void TCLMultiLangLan::LoadFromString(std::wstring_view aText) {
  std::vector<std::wstring> lines;
  size_t start = 0;
  while (start < aText.size()) {
    size_t end = aText.find_first_of(L"\r\n", start);
    if (end == std::wstring_view::npos)
      end = aText.size();
    lines.emplace_back(aText.substr(start, end - start));
    if (end + 1 < aText.size() && aText[end] == L'\r' && aText[end + 1] == L'\n')
      ++end;
    start = end + 1;
  }
  SetData(std::move(lines));
}

kplat::TErrorCode TCLMultiLangLan::SaveToFile(const std::wstring& aFileName) const {
  return kplat::WriteFileAtomic(aFileName, EncodeIniText(ToString()));
}

std::wstring TCLMultiLangLan::ToString() const {
  std::wstring text;
  for (const std::wstring& line : Data()) {
    text += line;
    text += L"\r\n";
  }
  return text;
}

void TCLMultiLangLan::AssignTo(TCLMultiLangLan& aOther) const {
  if (&aOther != this)
    aOther.SetData(Data());
}

void TCLMultiLangLan::ClearAll() {
  FData.clear();
  FIniData.Clear();
  FbModified = false;
  FbToApply = false;
}

void TCLMultiLangLan::ClearAllForm() {
  Refresh();
  for (const std::wstring& section : FIniData.ReadSections()) {
    if (!IsResourceSection(section))
      FIniData.EraseSection(section);
  }
  FbModified = true;
}

void TCLMultiLangLan::ClearForm(std::wstring_view aForm) {
  Refresh();
  FIniData.EraseSection(aForm);
  FbModified = true;
}

void TCLMultiLangLan::UpdateData() {
  Refresh();
  FData = FIniData.GetStrings();
  FbModified = false;
}

void TCLMultiLangLan::ApplyData() {
  if (FbModified)
    UpdateData();
  FIniData.SetStrings(FData);
  FbToApply = false;
}

void TCLMultiLangLan::SortData() {
  Refresh();
  std::wstring text;
  for (const std::wstring& line : Data()) {
    text += line;
    text += L'\n';
  }
  std::vector<TIniSection> parsed = ini::Parse(text);
  // A section that occurs twice is merged into its first occurrence: lookups keep the same answer.
  std::vector<TIniSection> sections;
  for (TIniSection& section : parsed) {
    auto same = std::find_if(sections.begin() + (sections.empty() ? 0 : 1), sections.end(),
                             [&section](const TIniSection& aOther) {
                               return kplat::SameText(aOther.Name, section.Name);
                             });
    if (sections.empty() || same == sections.end())
      sections.push_back(std::move(section));
    else
      same->Entries.insert(same->Entries.end(), section.Entries.begin(), section.Entries.end());
  }
  const auto rank = [](const TIniSection& aSection) {
    for (size_t i = 0; i < kResourceSections.size(); ++i) {
      if (kplat::SameText(aSection.Name, kResourceSections[i]))
        return static_cast<int>(i);
    }
    return static_cast<int>(kResourceSections.size());
  };
  std::stable_sort(sections.begin() + 1, sections.end(),
                   [&rank](const TIniSection& aLeft, const TIniSection& aRight) {
                     const int left = rank(aLeft);
                     const int right = rank(aRight);
                     if (left != right)
                       return left < right;
                     return kplat::CompareText(aLeft.Name, aRight.Name) < 0;
                   });
  std::vector<std::wstring> lines;
  for (size_t i = 0; i < sections.size(); ++i) {
    TIniSection& section = sections[i];
    if (i == 0 && section.Entries.empty())
      continue;
    if (i > 0) {
      if (!lines.empty())
        lines.emplace_back();
      lines.push_back(L"[" + section.Name + L"]");
    }
    std::vector<std::wstring> body;
    for (const TIniEntry& entry : section.Entries)
      body.push_back(EntryLine(entry));
    if (i > 0 && !kplat::SameText(section.Name, L"Info")) {
      std::stable_sort(body.begin(), body.end(),
                       [](const std::wstring& aL, const std::wstring& aR) {
                         return kplat::CompareText(aL, aR) < 0;
                       });
    }
    lines.insert(lines.end(), body.begin(), body.end());
  }
  SetData(std::move(lines));
}

bool TCLMultiLangLan::GetProp(std::wstring_view aForm, std::wstring_view aComp,
                              std::wstring_view aProp, std::wstring& aValue) const {
  Refresh();
  const std::wstring key = MakeKey(aComp, aProp);
  if (!FIniData.ValueExists(aForm, key))
    return false;
  aValue = DecodeLangValue(FIniData.ReadString(aForm, key, EncodeLangValue(aValue)));
  return true;
}

bool TCLMultiLangLan::SetProp(std::wstring_view aForm, std::wstring_view aComp,
                              std::wstring_view aProp, std::wstring_view aValue) {
  Refresh();
  if (!FIniData.WriteString(aForm, MakeKey(aComp, aProp), EncodeLangValue(aValue)))
    return false;
  FbModified = true;
  return true;
}

void TCLMultiLangLan::GetSectionStrings(std::wstring_view aSection, TStringList& aList) const {
  Refresh();
  for (const auto& [name, value] : FIniData.ReadSectionValues(aSection)) {
    if (aList.IndexOfName(name) < 0)
      aList.Add(name + L"=" + DecodeLangValue(value));
  }
}

const std::vector<std::wstring>& TCLMultiLangLan::Data() const {
  if (FbModified) {
    FData = FIniData.GetStrings();
    FbModified = false;
  }
  return FData;
}

void TCLMultiLangLan::SetData(std::vector<std::wstring> aLines) {
  FData = std::move(aLines);
  FbModified = false;
  FbToApply = true;
}

void TCLMultiLangLan::Refresh() const {
  if (FbToApply) {
    FIniData.SetStrings(FData);
    FbToApply = false;
  }
}
