#include "base/CLUpdateAnswer.h"

#include "base/CLHelpers.h"
#include "platform/TextCodec.h"

#include <algorithm>

namespace {

bool IsControl(wchar_t c) {
  return c < 0x20 || c == 0x7F;
}

bool ParseResult(const std::wstring& aText, int& aResult) {
  if (aText.empty() || aText.size() > 9)
    return false;
  int value = 0;
  for (wchar_t c : aText) {
    if (c < L'0' || c > L'9')
      return false;
    value = value * 10 + (c - L'0');
  }
  aResult = value;
  return true;
}

// Banner values are addresses the banners show or fetch: web addresses, or a file shipped with
// the program ("%exepath%...").
bool IsBannerValue(const std::wstring& aValue) {
  if (aValue.size() > TUpdateAnswer::kMaxBannerValueChars)
    return false;
  if (aValue.empty() || IsWebAddress(aValue))
    return true;
  return StartsText(aValue, L"%exepath%") && aValue.find(L"..") == std::wstring::npos &&
         std::none_of(aValue.begin(), aValue.end(), IsControl);
}

} // namespace

bool IsWebAddress(const std::wstring& aText) {
  size_t hostStart = 0;
  if (StartsText(aText, L"http://"))
    hostStart = 7;
  else if (StartsText(aText, L"https://"))
    hostStart = 8;
  else
    return false;
  if (hostStart >= aText.size() || aText[hostStart] == L'/')
    return false;
  return std::none_of(aText.begin(), aText.end(),
                      [](wchar_t c) { return IsControl(c) || c == L' ' || c == L'"'; });
}

bool IsBannerSettingName(const std::wstring& aName) {
  static const std::wstring kPrefix = L"Banner.";
  if (!StartsText(aName, kPrefix) || aName.size() == kPrefix.size() ||
      aName.size() > TUpdateAnswer::kMaxBannerNameChars || aName.back() == L'.')
    return false;
  wchar_t previous = L'.';
  for (size_t i = kPrefix.size(); i < aName.size(); ++i) {
    const wchar_t c = aName[i];
    const bool plain = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') ||
                       (c >= L'0' && c <= L'9') || c == L'_' || c == L'-';
    if (!plain && !(c == L'.' && previous != L'.'))
      return false;
    previous = c;
  }
  return true;
}

TUpdateAnswer ParseUpdateAnswer(const std::wstring& aText, const std::wstring& aMagicWord) {
  TUpdateAnswer answer;
  if (aText.size() > TUpdateAnswer::kMaxAnswerChars ||
      std::any_of(aText.begin(), aText.end(),
                  [](wchar_t c) { return IsControl(c) && c != L'\t' && c != L'\r' && c != L'\n'; }))
    return answer;

  std::wstring magicWord;
  std::wstring result;
  std::wstring page;
  size_t start = 0;
  while (start <= aText.size()) {
    size_t end = aText.find_first_of(L"\r\n", start);
    if (end == std::wstring::npos)
      end = aText.size();
    const std::wstring line = aText.substr(start, end - start);
    start = end + 1;
    const size_t equals = line.find(L'=');
    if (equals == std::wstring::npos)
      continue;
    const std::wstring name = Trim(line.substr(0, equals));
    const std::wstring value = Trim(line.substr(equals + 1));
    if (kplat::SameText(name, L"magicword"))
      magicWord = value;
    else if (kplat::SameText(name, L"Result"))
      result = value;
    else if (kplat::SameText(name, L"info"))
      answer.Info = value;
    else if (kplat::SameText(name, L"page"))
      page = value;
    else if (IsBannerSettingName(name) && IsBannerValue(value))
      answer.Banners.emplace_back(name, value);
  }
  if (!kplat::SameText(magicWord, aMagicWord)) {
    answer.Banners.clear();
    answer.Info.clear();
    return answer;
  }
  answer.Valid = true;
  if (!ParseResult(result, answer.Result) || answer.Result > 1)
    answer.Result = -1;
  if (IsWebAddress(page))
    answer.Page = page;
  return answer;
}
