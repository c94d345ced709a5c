// The program's built-in English texts, in the form of a language file: a translator copies
// this text into "<Language>.lan" and translates the values. "<BR>" is a line break, "<SP>" a
// blank, "{AppName}" the program's name and "{1}", "{2}", ... the values the program fills in.

#include "framework/CLMultiLang.h"

namespace {

constexpr std::wstring_view kEnglish = LR"lan(
[Info]
Language=English
Translator=Kestrova
Version=1.0

[AppRes]
AppName=Kestrova
)lan";

} // namespace

std::wstring_view CLBuiltInEnglish() {
  return kEnglish;
}
