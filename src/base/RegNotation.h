#pragma once
// The registry notation that the scan and the repair share: root-key names and the text of one
// value as a registry export file (the registry editor's text format 5.00) writes it.

#include "platform/PlatformTypes.h"

#include <string>

// The predefined handle of a full root-key name ("HKEY_LOCAL_MACHINE"), compared without regard
// to case; any other name, abbreviations such as "HKLM" included, gives kplat::kNoRegHandle.
kplat::TRegHandle RootKeyFromName(const std::wstring& aName);

std::wstring EscapeRegBackslashes(const std::wstring& s); // every "\" doubled
std::wstring EscapeRegQuotes(const std::wstring& s);      // a "\" before every double quote
// Turns a value line in the topic database's notation (single backslashes, possibly "=DWORD:")
// into export notation: every "\" doubled once, then every "=DWORD:" (this case only) written
// as "=dword:".
std::wstring NormalizeRegLine(const std::wstring& s);

// The three texts of FormatRegValue.
struct TRegValueText {
  std::wstring ValueLine; // name part, "=", data part; empty for a missing or unusual value
  std::wstring DataPart;  // "\"text\"", "dword:0000002A", "hex:01,AB" or "Not Found!"
  std::wstring NamePart;  // "@" or the quoted name
};

// Reads value aName (the default value when empty) of key aKey under root aRoot and formats it in
// export notation. The rule checks depend on the exact results:
// - a key that cannot be opened: an empty data part; the name part "@" for the default value
//   (line "@="), else the quoted name with the data part two double quotes;
// - a missing value: the name part quoted as given, the data part "Not Found!", no line;
// - a value of a type other than REG_SZ, REG_EXPAND_SZ, REG_DWORD and REG_BINARY: all empty.
// String text keeps single backslashes (only quotes are escaped) and ends at its first NUL.
TRegValueText FormatRegValue(const std::wstring& aRoot, const std::wstring& aKey,
                             const std::wstring& aName);

// The data part of an export entry that imports back exactly as the value is now (REG_EXPAND_SZ
// comes back as REG_SZ): strings quoted and escaped, "dword:" for four-byte DWORDs, "hex:" for
// binary data, and "hex(n):" with the type for everything without a short notation (multi-strings,
// QWORDs, other types, DWORD data that is not 4 bytes long, strings holding a line break).
std::wstring ExportValueData(const kplat::TRegValue& aValue);
// The name part of an export entry: "@" for the default value, else the quoted, escaped name.
std::wstring ExportValueName(const std::wstring& aName);
