#pragma once
// INI files, read the way the Windows private-profile functions read them, in two forms:
//
// - TIniProfile: a parsed, read-only file for data\topic.db and other rule files. It answers
//   any number of queries without reading the file again.
// - TCLMemIniFile: a whole file held in memory (settings and language files): read it, query and
//   change it, write it back whole and atomically.
//
// Both share one reading of the text, pinned down against GetPrivateProfileStringW and
// GetPrivateProfileSectionW:
// - lines end at CR, LF or any run of them; blanks around a line are ignored; blank lines too;
// - "[name]" starts a section (text after "]" is ignored); a "[" line without "]" is an ordinary
//   line; lines before the first section belong to the unnamed section "";
// - "key=value" with blanks around the key and the value removed; a line without "=" is kept
//   but is no key (reading it gives the default); lines starting with ";" are comments, left
//   out of every listing (the system still answers a query for such a name);
// - section and key names are compared without regard to case; for a duplicate section only
//   the first counts, for a duplicate key in it only the first;
// - reading a value removes one pair of enclosing double or single quotes.
// Text files may be UTF-8 (with or without byte-order mark), UTF-16 with a byte-order mark, or
// 8-bit text in Windows-1252 (used when the bytes are not valid UTF-8).

#include "platform/PlatformTypes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// Files larger than this are refused; no INI file of ours comes near it.
constexpr uint64_t kMaxIniFileBytes = 64ull * 1024 * 1024;
// The private-profile functions read values into a 2048-character buffer.
constexpr size_t kMaxProfileValueLength = 2047;

enum class TIniEncoding { Ansi, Utf8, Utf8Bom, Utf16Le, Utf16Be };

enum class TIniLoadStatus {
  Loaded,
  Missing,    // no such file (or folder)
  Unreadable, // exists but could not be read (access, sharing, ...)
  TooLarge    // larger than kMaxIniFileBytes
};

struct TIniLoadResult {
  TIniLoadStatus Status = TIniLoadStatus::Loaded;
  kplat::TErrorCode Error = kplat::err::Success; // the system's code behind a failure
  explicit operator bool() const { return Status == TIniLoadStatus::Loaded; }
};

// Decodes the bytes of a text file by its byte-order mark, else as UTF-8 when valid, else as
// Windows-1252. The mark is not part of the text.
std::wstring DecodeIniText(const std::vector<uint8_t>& aBytes, TIniEncoding* aEncoding = nullptr);
// UTF-16LE with byte-order mark: what the program writes, read back exactly by DecodeIniText and
// by the Windows profile functions.
std::vector<uint8_t> EncodeIniText(std::wstring_view aText);
// What the code of a text file's read means to its loader.
TIniLoadResult IniLoadResultOf(kplat::TErrorCode aCode);
// Reads a text file through the platform (bounded by kMaxIniFileBytes) and decodes it.
TIniLoadResult ReadIniTextFile(const std::wstring& aFileName, std::wstring& aText,
                               TIniEncoding* aEncoding = nullptr);

// Value conversions shared by both forms. Booleans: a decimal number (non-zero is true) or
// "True"/"False" in any case. Integers: decimal with an optional sign, 32 bits; with aAllowHex
// also "$" followed by hexadecimal digits (the settings convention).
std::optional<bool> ParseIniBool(std::wstring_view aText);
std::optional<int32_t> ParseIniInteger(std::wstring_view aText, bool aAllowHex = false);

// One line of a section as read from the text.
struct TIniEntry {
  std::wstring Key;     // trimmed; for a line without "=" the whole trimmed line
  std::wstring Value;   // trimmed, quotes still on
  bool HasValue = true; // false: the line had no "="
};

// One section as read; Name is "" for the lines before the first header.
struct TIniSection {
  std::wstring Name;
  std::vector<TIniEntry> Entries;
};

class TIniProfile {
public:
  TIniProfile() = default;

  // Replaces the content with the file's. On failure the profile is empty.
  TIniLoadResult LoadFromFile(const std::wstring& aFileName);
  void LoadFromBytes(const std::vector<uint8_t>& aBytes);
  void LoadFromText(std::wstring_view aText);
  void Clear();

  const std::wstring& FileName() const { return FFileName; }

  // The value with one pair of enclosing quotes removed and cut to kMaxProfileValueLength, or
  // aDefault when the section or key is missing or the line has no "=".
  std::wstring ReadString(std::wstring_view aSection, std::wstring_view aKey,
                          std::wstring_view aDefault) const;
  int32_t ReadInteger(std::wstring_view aSection, std::wstring_view aKey, int32_t aDefault) const;
  bool ReadBool(std::wstring_view aSection, std::wstring_view aKey, bool aDefault) const;
  bool ValueExists(std::wstring_view aSection, std::wstring_view aKey) const;
  bool SectionExists(std::wstring_view aSection) const;

  // Key names of the section in file order, as GetPrivateProfileStringW lists them: lines with
  // "=" only, no comments, duplicates as often as they occur.
  std::vector<std::wstring> ReadSectionKeys(std::wstring_view aSection) const;
  // Every distinct key of the section in file order, with the value ReadString gives for it.
  std::vector<std::pair<std::wstring, std::wstring>>
  ReadSectionValues(std::wstring_view aSection) const;
  // The section's lines as GetPrivateProfileSectionW gives them: "key=value" with quotes kept,
  // lines without "=" as they are, no comments.
  std::vector<std::wstring> ReadSectionLines(std::wstring_view aSection) const;
  // Names of the named sections in file order (duplicates once).
  std::vector<std::wstring> ReadSections() const;

private:
  const TIniSection* FindSection(std::wstring_view aSection) const;
  const TIniEntry* FindEntry(std::wstring_view aSection, std::wstring_view aKey) const;
  void BuildIndex();

  std::wstring FFileName;
  std::vector<TIniSection> FSections;
  // Upper-cased names to the first section of that name, and per section to its first key.
  std::unordered_map<std::wstring, size_t> FSectionIndex;
  std::vector<std::unordered_map<std::wstring, size_t>> FKeyIndex;
};

class TCLMemIniFile {
public:
  TCLMemIniFile() = default;
  explicit TCLMemIniFile(std::wstring aFileName) : FFileName(std::move(aFileName)) {}

  // Reads the file named at construction (or aFileName, which becomes the file's name). A
  // missing file gives an empty content and the status Missing; other failures leave it empty.
  TIniLoadResult Load();
  TIniLoadResult Load(const std::wstring& aFileName);
  // Replaces the content with a text (lines separated by CR, LF or both).
  void SetText(std::wstring_view aText);
  void SetStrings(const std::vector<std::wstring>& aLines);
  // The content as written to disk: sections in order, a blank line between them, CR LF ends.
  std::wstring GetText() const;
  std::vector<std::wstring> GetStrings() const;
  void Clear();

  const std::wstring& FileName() const { return FFileName; }
  // How the last loaded file was encoded (UTF-16LE until one is loaded).
  TIniEncoding LoadedEncoding() const { return FLoadedEncoding; }

  // Reads as TIniProfile does, but values are never cut.
  std::wstring ReadString(std::wstring_view aSection, std::wstring_view aKey,
                          std::wstring_view aDefault) const;
  // The value ReadString gives, or nothing when the key has none: one lookup for both answers.
  std::optional<std::wstring> FindString(std::wstring_view aSection, std::wstring_view aKey) const;
  // Decimal or "$" hexadecimal.
  int32_t ReadInteger(std::wstring_view aSection, std::wstring_view aKey, int32_t aDefault) const;
  bool ReadBool(std::wstring_view aSection, std::wstring_view aKey, bool aDefault) const;

  // Sets the key's value, replacing the first occurrence in the section or appending it (and the
  // section) at the end. The value is stored so that ReadString gives it back unchanged: one
  // with blanks at either end or enclosed in quotes is written in double quotes. Names that
  // cannot be stored (empty key, line breaks, "=" in a key, "]" in a section, a key starting
  // with ";" or "[") and values with line breaks are refused with false, changing nothing.
  bool WriteString(std::wstring_view aSection, std::wstring_view aKey, std::wstring_view aValue);
  // As WriteString, but the value is always enclosed in double quotes.
  bool WriteQuotedString(std::wstring_view aSection, std::wstring_view aKey,
                         std::wstring_view aValue);
  bool WriteInteger(std::wstring_view aSection, std::wstring_view aKey, int32_t aValue);
  bool WriteBool(std::wstring_view aSection, std::wstring_view aKey, bool aValue); // "1" / "0"

  // Key names of the section in file order, each once.
  std::vector<std::wstring> ReadSection(std::wstring_view aSection) const;
  // Names of the named sections in file order, each once.
  std::vector<std::wstring> ReadSections() const;
  // Every key of the section in file order, each once, with the value ReadString gives.
  std::vector<std::pair<std::wstring, std::wstring>>
  ReadSectionValues(std::wstring_view aSection) const;

  // Removes every section of that name with all its lines.
  void EraseSection(std::wstring_view aSection);
  // Removes every line of the key from the section.
  void DeleteKey(std::wstring_view aSection, std::wstring_view aKey);
  bool ValueExists(std::wstring_view aSection, std::wstring_view aKey) const;
  bool SectionExists(std::wstring_view aSection) const;

  // Writes the whole content to FileName() atomically, UTF-16LE with byte-order mark: on failure
  // the file on disk is as it was and the system's error code is returned.
  kplat::TErrorCode UpdateFile() const;

private:
  TIniSection* FindSection(std::wstring_view aSection);
  const TIniSection* FindSection(std::wstring_view aSection) const;
  bool Store(std::wstring_view aSection, std::wstring_view aKey, std::wstring aStoredValue);

  std::wstring FFileName;
  std::vector<TIniSection> FSections = std::vector<TIniSection>(1); // [0] is the unnamed one
  TIniEncoding FLoadedEncoding = TIniEncoding::Utf16Le;
};
