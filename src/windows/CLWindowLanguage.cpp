#include "windows/CLWindowLanguage.h"

#include "appengine/CLEngine.h"

TCLMultiLang* NewWindowLanguage(TComponent& aWindow, TCLMultiLangData* aData) {
  if (aData == nullptr)
    if (const TCLEngine* engine = GetCLEngine())
      aData = engine->LanguageData();
  auto* language = NewComponent<TCLMultiLang>(&aWindow, L"CLMultiLang1");
  language->SetLanguageData(aData != nullptr ? aData : &CLBuiltInEnglishData());
  return language;
}
