#include "base/CLStrings.h"

#include "platform/TextCodec.h"

#include <utility>

namespace {

const std::wstring kNoLine;

bool IsBlank(wchar_t aChar) {
  return aChar > 0 && aChar <= L' ';
}

} // namespace

int TStringList::Add(std::wstring aText) {
  return AddObject(std::move(aText), nullptr);
}

int TStringList::AddObject(std::wstring aText, TObject* aObject) {
  FItems.push_back({std::move(aText), aObject});
  return Count() - 1;
}

void TStringList::Delete(int aIndex) {
  if (aIndex >= 0 && aIndex < Count())
    FItems.erase(FItems.begin() + aIndex);
}

const std::wstring& TStringList::Strings(int aIndex) const {
  return aIndex >= 0 && aIndex < Count() ? FItems[aIndex].Text : kNoLine;
}

void TStringList::SetStrings(int aIndex, std::wstring aText) {
  if (aIndex >= 0 && aIndex < Count())
    FItems[aIndex].Text = std::move(aText);
}

TObject* TStringList::Objects(int aIndex) const {
  return aIndex >= 0 && aIndex < Count() ? FItems[aIndex].Object : nullptr;
}

int TStringList::IndexOf(std::wstring_view aText) const {
  for (int i = 0; i < Count(); ++i) {
    if (kplat::SameText(FItems[i].Text, aText))
      return i;
  }
  return -1;
}

std::wstring TStringList::Names(int aIndex) const {
  const std::wstring& line = Strings(aIndex);
  const size_t eq = line.find(L'=');
  return eq == std::wstring::npos ? std::wstring() : line.substr(0, eq);
}

std::wstring TStringList::ValueFromIndex(int aIndex) const {
  const std::wstring& line = Strings(aIndex);
  const size_t eq = line.find(L'=');
  return eq == std::wstring::npos ? std::wstring() : line.substr(eq + 1);
}

int TStringList::IndexOfName(std::wstring_view aName) const {
  for (int i = 0; i < Count(); ++i) {
    const std::wstring& line = FItems[i].Text;
    const size_t eq = line.find(L'=');
    if (eq != std::wstring::npos && kplat::SameText(std::wstring_view(line).substr(0, eq), aName))
      return i;
  }
  return -1;
}

std::wstring TStringList::Values(std::wstring_view aName) const {
  const int index = IndexOfName(aName);
  return index < 0 ? std::wstring() : ValueFromIndex(index);
}

void TStringList::SetValue(std::wstring_view aName, std::wstring_view aValue) {
  const int index = IndexOfName(aName);
  if (aValue.empty()) {
    Delete(index);
    return;
  }
  std::wstring line(aName);
  line += L'=';
  line += aValue;
  if (index < 0)
    Add(std::move(line));
  else
    FItems[index].Text = std::move(line);
}

void TStringList::SetCommaText(std::wstring_view aText) {
  Clear();
  // A NUL ends the text, as it would a C string; the item loop below relies on it.
  aText = aText.substr(0, aText.find(L'\0'));
  size_t pos = 0;
  const size_t end = aText.size();
  auto skipBlanks = [&] {
    while (pos < end && IsBlank(aText[pos]))
      ++pos;
  };
  skipBlanks();
  while (pos < end) {
    std::wstring item;
    if (aText[pos] == L'"') {
      ++pos;
      while (pos < end) {
        if (aText[pos] == L'"') {
          if (pos + 1 < end && aText[pos + 1] == L'"') {
            item += L'"';
            pos += 2;
            continue;
          }
          ++pos;
          break;
        }
        item += aText[pos++];
      }
    } else {
      const size_t start = pos;
      while (pos < end && aText[pos] > L' ' && aText[pos] != L',')
        ++pos;
      item.assign(aText.substr(start, pos - start));
    }
    Add(std::move(item));
    skipBlanks();
    if (pos < end && aText[pos] == L',') {
      if (pos + 1 == end)
        Add(std::wstring());
      do
        ++pos;
      while (pos < end && IsBlank(aText[pos]));
    }
  }
}

std::wstring TStringList::Text() const {
  std::wstring text;
  for (const TItem& item : FItems) {
    text += item.Text;
    text += L"\r\n";
  }
  return text;
}
