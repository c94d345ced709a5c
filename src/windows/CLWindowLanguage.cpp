#include "windows/CLWindowLanguage.h"

#include "appengine/CLEngine.h"
#include "base/CLHelpers.h"

TCLMultiLang* NewWindowLanguage(TComponent& aWindow, TCLMultiLangData* aData) {
  if (aData == nullptr)
    if (const TCLEngine* engine = GetCLEngine())
      aData = engine->LanguageData();
  auto* language = NewComponent<TCLMultiLang>(&aWindow, L"CLMultiLang1");
  language->SetLanguageData(aData != nullptr ? aData : &CLBuiltInEnglishData());
  return language;
}

std::wstring LanguageText(const std::wstring& aSection, const std::wstring& aName) {
  const TCLEngine* engine = GetCLEngine();
  const TCLMultiLangData* data = engine != nullptr ? engine->LanguageData() : nullptr;
  std::wstring text;
  (data != nullptr ? *data : CLBuiltInEnglishData()).GetProp(aSection, L"", aName, text);
  return text;
}

std::wstring AppText(const std::wstring& aName, const std::vector<std::wstring>& aArgs) {
  return FormatArgs(LanguageText(L"AppRes", aName), aArgs);
}
