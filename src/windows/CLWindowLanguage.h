#pragma once
// Every window translates itself through a "CLMultiLang1" of its own: with the language data the
// main window hands it, else the application engine's, else the built-in English, so that a
// window shows its texts even where no language is loaded.

#include "components/CLMultiLang.h"

TCLMultiLang* NewWindowLanguage(TComponent& aWindow, TCLMultiLangData* aData = nullptr);
