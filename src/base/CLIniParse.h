#pragma once
// The INI library's reading of text, shared by TIniProfile and TCLMemIniFile.

#include "base/CLHelpers.h"
#include "base/CLIniFiles.h"

namespace ini {

// The characters the profile functions strip around lines, names and values.
bool IsBlank(wchar_t aChar);
// A line, name or value without those blanks at either end.
inline std::wstring_view TrimLine(std::wstring_view aText) {
  return TrimBy(aText, IsBlank);
}
// One pair of enclosing double or single quotes removed.
std::wstring_view Unquote(std::wstring_view aValue);
// A line whose name starts with ";": readable by that name, but never listed.
bool IsComment(const TIniEntry& aEntry);
// The sections of a text; the first one is always the unnamed section "".
std::vector<TIniSection> Parse(std::wstring_view aText);

} // namespace ini
