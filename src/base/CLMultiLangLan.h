#pragma once
// One language text: the lines of a ".lan" file and their parsed INI form.
//
// A ".lan" file is INI text: "[Info]" (Language, Translator, Version), "[BasicRes]", "[SkinRes]",
// "[LibRes]", "[AppRes]" and one section per window class, whose keys are "component.Property",
// "window.Property" or "component.Collection[i].Property". In a stored value "<BR>" is a line
// break and "<SP>" a blank, both in any case.
//
// Files are read by their byte-order mark (UTF-8, UTF-16LE, UTF-16BE); a file without one is
// 8-bit text in the system's ANSI code page. They are written as UTF-16LE with a mark, whole and
// atomically.
//
// The two forms are kept in step lazily: changing the lines marks the INI form stale (rebuilt
// before the next read), writing through the INI form marks the lines stale (rebuilt before they
// are next looked at).

#include "base/CLIniFiles.h"
#include "base/CLStrings.h"

#include <string>
#include <string_view>
#include <vector>

// Language files larger than this are refused; a real one is a few hundred kilobytes.
constexpr uint64_t kMaxLanguageFileBytes = 16ull * 1024 * 1024;

// "<BR>" as CR LF and "<SP>" as a blank, in any case.
std::wstring DecodeLangValue(std::wstring_view aValue);
// Every CR LF, then every remaining CR, then every remaining LF as "<BR>".
std::wstring EncodeLangValue(std::wstring_view aValue);
// The text of a language file: by its byte-order mark, else the system's ANSI code page.
std::wstring DecodeLangText(const std::vector<uint8_t>& aBytes);
// Reads a language file (at most kMaxLanguageFileBytes) and decodes it; every reader of one does.
TIniLoadResult ReadLangFile(const std::wstring& aFileName, std::wstring& aText);

class TCLMultiLangLan {
public:
  TCLMultiLangLan() = default;

  // Replaces the text with the file's. On failure the text is left as it was.
  TIniLoadResult LoadFromFile(const std::wstring& aFileName);
  void LoadFromString(std::wstring_view aText);
  // Writes the text (UTF-16LE with a mark) atomically; the system's error code.
  kplat::TErrorCode SaveToFile(const std::wstring& aFileName) const;
  // The text, CR LF after every line.
  std::wstring ToString() const;
  // Copies this text into aOther.
  void AssignTo(TCLMultiLangLan& aOther) const;

  // Empties the text.
  void ClearAll();
  // Erases every section but "Info", "AppRes", "SkinRes", "LibRes" and "BasicRes".
  void ClearAllForm();
  // Erases the window section aForm.
  void ClearForm(std::wstring_view aForm);

  // Rebuilds the lines from the INI form.
  void UpdateData();
  // Rebuilds the INI form from the lines.
  void ApplyData();
  // Sections in the order "Info", "BasicRes", "SkinRes", "LibRes", "AppRes", then the others
  // alphabetically (case ignored); lines of every section but "Info" sorted (case ignored).
  // Lines before the first section stay first.
  void SortData();

  // The decoded value of aComp + "." + aProp (aProp alone when aComp is empty) in section aForm
  // into aValue: true. Without that key aValue is left alone: false.
  bool GetProp(std::wstring_view aForm, std::wstring_view aComp, std::wstring_view aProp,
               std::wstring& aValue) const;
  // Stores the value escaped; false when the names cannot be stored (see TCLMemIniFile).
  bool SetProp(std::wstring_view aForm, std::wstring_view aComp, std::wstring_view aProp,
               std::wstring_view aValue);

  // Adds "name=value" (value decoded) for every name of the section that aList does not hold
  // yet (names compared without regard to case).
  void GetSectionStrings(std::wstring_view aSection, TStringList& aList) const;

  // The text line by line (published as Data).
  const std::vector<std::wstring>& Data() const;
  void SetData(std::vector<std::wstring> aLines);

private:
  void Refresh() const;

  mutable std::vector<std::wstring> FData;
  mutable TCLMemIniFile FIniData;
  mutable bool FbModified = false;
  mutable bool FbToApply = true;
};
