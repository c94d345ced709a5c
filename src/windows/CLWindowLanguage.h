#pragma once
// Every window translates itself through a "CLMultiLang1" of its own: with the language data the
// main window hands it, else the application engine's, else the built-in English, so that a
// window shows its texts even where no language is loaded.

#include "components/CLMultiLang.h"

#include <string>
#include <vector>

TCLMultiLang* NewWindowLanguage(TComponent& aWindow, TCLMultiLangData* aData = nullptr);

// The text aName ("component.Property") of section aSection: in the application engine's
// language, else in the built-in English.
std::wstring LanguageText(const std::wstring& aSection, const std::wstring& aName);
// A text of the program ([AppRes]) with "{1}", "{2}", ... filled in.
std::wstring AppText(const std::wstring& aName, const std::vector<std::wstring>& aArgs = {});
