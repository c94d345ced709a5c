// The Winapp2 reader: every key form, malformed keys skipped with their lines, files that are not
// Winapp2 refused, the encodings, and which entries apply on the in-memory machine.

#include "engine/FigWinapp2.h"

#include "base/CLIniFiles.h"
#include "base/CLMultiLangLan.h"
#include "components/CLMultiLang.h"
#include "platform/TextCodec.h"
#include "platform/fake/FakeMachine.h"
#include "support/SourceTree.h"
#include "support/Winapp2Sample.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace kplat::regroot;

std::wstring RootName(kplat::TRegHandle aRoot) {
  return aRoot == CurrentUser    ? L"HKCU"
         : aRoot == LocalMachine ? L"HKLM"
         : aRoot == Users        ? L"HKU"
         : aRoot == ClassesRoot  ? L"HKCR"
                                 : L"HKCC";
}

std::wstring Describe(const TWinapp2RegPath& aPath, const std::optional<std::wstring>& aValue) {
  return RootName(aPath.Root) + L"\\" + aPath.Key + (aValue ? L" value " + *aValue : L"");
}

// One line per rule of the entry, in a form that shows what the reader made of it.
std::vector<std::wstring> Describe(const TWinapp2Entry& aEntry) {
  std::vector<std::wstring> lines{
      aEntry.Name + L" @" + std::to_wstring(aEntry.Line) + L" " +
      (aEntry.LangSecRef != 0 ? std::to_wstring(aEntry.LangSecRef) : aEntry.Section)};
  for (const TWinapp2RegPath& key : aEntry.DetectKeys)
    lines.push_back(L"detect " + Describe(key, std::nullopt));
  for (const std::wstring& file : aEntry.DetectFiles)
    lines.push_back(L"detect " + file);
  for (const TWinapp2FileKey& key : aEntry.FileKeys) {
    std::wstring line = L"file @" + std::to_wstring(key.Line) + L" " + key.Folder + L" |";
    for (const std::wstring& pattern : key.Patterns)
      line += L" " + pattern;
    line += key.Scope == TWinapp2FileScope::Recurse      ? L" recurse"
            : key.Scope == TWinapp2FileScope::RemoveSelf ? L" removeself"
                                                         : L"";
    lines.push_back(line);
  }
  for (const TWinapp2RegKey& key : aEntry.RegKeys)
    lines.push_back(L"reg @" + std::to_wstring(key.Line) + L" " + Describe(key.Path, key.Value));
  for (const TWinapp2Exclude& exclude : aEntry.Excludes)
    lines.push_back(
        exclude.Kind == TWinapp2ExcludeKind::Reg
            ? L"keep reg " + Describe(exclude.Reg, exclude.Value)
            : (exclude.Kind == TWinapp2ExcludeKind::File ? L"keep file " : L"keep path ") +
                  exclude.Folder + L" | " + exclude.Pattern);
  return lines;
}

std::vector<std::vector<std::wstring>> Describe(const TWinapp2File& aFile) {
  std::vector<std::vector<std::wstring>> entries;
  for (const TWinapp2Entry& entry : aFile.Entries)
    entries.push_back(Describe(entry));
  return entries;
}

std::vector<uint8_t> Utf8(std::string_view aText) {
  return std::vector<uint8_t>(aText.begin(), aText.end());
}

std::vector<std::pair<int, TWinapp2IssueKind>> Issues(const TWinapp2File& aFile) {
  std::vector<std::pair<int, TWinapp2IssueKind>> issues;
  for (const TWinapp2Issue& issue : aFile.Issues)
    issues.emplace_back(issue.Line, issue.Kind);
  return issues;
}

} // namespace

TEST(Winapp2Reader, ReadsEveryKeyForm) {
  const TWinapp2File file = ReadWinapp2Bytes(Utf8(kWinapp2Sample));
  ASSERT_EQ(file.Status, TWinapp2Status::Loaded);
  EXPECT_EQ(file.Version, L"990101");
  EXPECT_TRUE(file.Issues.empty());
  const std::vector<std::vector<std::wstring>> expected = {
      {L"Alpha Viewer @4 3021", L"detect HKCU\\Software\\Alpha",
       L"file @7 %LocalAppData%\\Alpha\\Cache | * removeself",
       L"file @8 %LocalAppData%\\Alpha\\Logs | *.log trace.txt",
       // "*.*" is every file, with an extension or without.
       L"file @9 %AppData%\\Alpha\\Profiles\\*\\Sessions | * recurse",
       L"reg @10 HKCU\\Software\\Alpha\\Recent",
       L"reg @11 HKCU\\Software\\Alpha\\Settings value LastPath",
       L"keep file %LocalAppData%\\Alpha\\Cache | keep.db",
       L"keep path %LocalAppData%\\Alpha\\Cache | *.cfg",
       L"keep reg HKCU\\Software\\Alpha\\Recent\\Pinned"},
      {L"Beta Quest @16 Games", L"detect %ProgramFiles%\\Beta Quest\\beta.exe",
       L"file @20 %ProgramFiles%\\Beta Quest\\Logs | *.log",
       L"file @21 %CommonProgramFiles%\\Beta Shared | crash?.dmp"},
      {L"Gamma Tools @23 3024", L"detect HKLM\\Software\\Gamma",
       L"detect HKU\\.DEFAULT\\Software\\Gamma", L"detect %Documents%\\Gamma*",
       L"detect %LocalLowAppData%\\Gamma", L"file @31 %Documents%\\Gamma | *.tmp",
       L"file @32 %Music%\\Gamma | *.m3u", L"file @33 %Pictures%\\Gamma | thumbs.db",
       L"file @34 %Video%\\Gamma | *.part", L"file @35 %LocalLowAppData%\\Gamma | *",
       L"file @36 %CommonAppData%\\Gamma | *.log"},
      {L"Delta Player @38 Delta Media", L"file @42 %ProgramData%\\Delta | *.log",
       L"file @43 %UserProfile%\\.delta | history", L"file @44 %WinDir%\\Temp\\Delta | *",
       L"file @45 %SystemDrive%\\DeltaCache | * recurse", L"file @46 %Public%\\Delta | *.tmp",
       L"file @47 %Temp%\\Delta | *", L"file @48 C:\\Users\\%UserName%\\Delta | *.bak",
       L"reg @49 HKLM\\Software\\Delta\\MRU"},
      {L"Epsilon Registry @51 3025", L"reg @53 HKCR\\Epsilon.Document\\ShellNew value Recent",
       L"reg @54 HKCC\\Software\\Epsilon"}};
  EXPECT_EQ(Describe(file), expected);

  const TWinapp2Entry& beta = file.Entries[1];
  EXPECT_EQ(beta.Warning, L"Beta Quest keeps its saved games beside its logs.");
  const TWinapp2Entry& gamma = file.Entries[2];
  EXPECT_EQ(gamma.Default, std::optional<bool>(false));
  ASSERT_TRUE(gamma.DetectOS.has_value());
  EXPECT_EQ(gamma.DetectOS->Min, std::make_pair(6u, 1u));
  EXPECT_FALSE(gamma.DetectOS->Max.has_value());
  const TWinapp2Entry& delta = file.Entries[3];
  EXPECT_EQ(delta.SpecialDetects, std::vector<TWinapp2Special>{TWinapp2Special::Chrome});
  EXPECT_EQ(delta.DetectOS->Max, std::make_pair(6u, 3u));
}

TEST(Winapp2Reader, SkipsMalformedKeysWithTheirLinesAndKeepsTheRest) {
  using enum TWinapp2IssueKind;
  const std::wstring text = L"; Version: 1\n"
                            L"stray=line\n"                                       // 2
                            L"[Settings]\n"                                       // 3
                            L"Skipped=quietly\n"                                  // 4
                            L"[Zeta *]\n"                                         // 5
                            L"LangSecRef=30x1\n"                                  // 6
                            L"Section=Tools\n"                                    // 7
                            L"Section=Again\n"                                    // 8
                            L"FileKey1=%AppData%\\Zeta\n"                         // 9
                            L"FileKey2=%AppData%\\Zeta|*.log|SOMETIMES\n"         // 10
                            L"FileKey3=Zeta\\Logs|*.log\n"                        // 11
                            L"FileKey4=%AppData%\\Zeta\\..\\..|*\n"               // 12
                            L"FileKey5=%AppData%\\Zeta|Logs\\*.log\n"             // 13
                            L"FileKey6=%AppData%\\Zeta|;\n"                       // 14
                            L"RegKey1=HKCU\n"                                     // 15
                            L"RegKey2=HKXX\\Software\\Zeta\n"                     // 16
                            L"RegKey3=HKCU\\Software\\Zeta|\n"                    // 17
                            L"ExcludeKey1=DIR|%AppData%\\Zeta\\|*\n"              // 18
                            L"ExcludeKey2=FILE|%AppData%\\Zeta\\|\n"              // 19
                            L"Detect=HKCU\\Software\\Zeta|Value\n"                // 20
                            L"DetectFile=Zeta.exe\n"                              // 21
                            L"DetectOS=10.0\n"                                    // 22
                            L"SpecialDetect=DET_NETSCAPE\n"                       // 23
                            L"Default=Maybe\n"                                    // 24
                            L"Colour=Blue\n"                                      // 25
                            L"just words\n"                                       // 26
                            L"FileKey7=%AppData%\\Zeta\\Logs|*.log\n"             // 27
                            L"ExcludeKey3=FILE|%AppData%\\Zeta\\Logs\\keep.log\n" // 28
                            L"ExcludeKey4=PATH|%AppData%\\Zeta\\Logs\\\n"         // 29
                            L"\n"
                            L"[Eta *]\n"                             // 31
                            L"Detect=HKCU\\Software\\Eta\n"          // 32
                            L"ExcludeKey1=REG|HKCU\\Software\\Eta\n" // 33
                            L"[Zeta *]\n"                            // 34
                            L"RegKey1=HKCU\\Software\\Zeta2\n"       // 35
                            L"[Theta *]\n"                           // 36
                            L"RegKey1=HKCU\\Software\\Theta|Last\n";
  const TWinapp2File file = ReadWinapp2Text(text);
  ASSERT_EQ(file.Status, TWinapp2Status::Loaded);
  const std::vector<std::pair<int, TWinapp2IssueKind>> expected = {
      {2, OutsideEntry},    {3, NotAnEntry},     {6, BadValue},        {8, GivenTwice},
      {9, BadFileKey},      {10, BadFileKey},    {11, BadPath},        {12, BadPath},
      {13, BadFileKey},     {14, BadFileKey},    {15, BadRegistryKey}, {16, BadRegistryKey},
      {17, BadRegistryKey}, {18, BadExcludeKey}, {19, BadExcludeKey},  {20, BadRegistryKey},
      {21, BadPath},        {22, BadValue},      {23, BadValue},       {24, BadValue},
      {25, UnknownKey},     {26, NotAKey},       {31, NoDeletionKey},  {34, DuplicateEntry}};
  EXPECT_EQ(Issues(file), expected);
  EXPECT_EQ(file.Issues[1].Text, L"[Settings]");
  EXPECT_EQ(file.Issues[4].Text, L"FileKey1=%AppData%\\Zeta");

  const std::vector<std::vector<std::wstring>> entries = {
      {L"Zeta @5 Tools", L"file @27 %AppData%\\Zeta\\Logs | *.log",
       L"keep file %AppData%\\Zeta\\Logs | keep.log", L"keep path %AppData%\\Zeta\\Logs | *"},
      {L"Theta @36 ", L"reg @37 HKCU\\Software\\Theta value Last"}};
  EXPECT_EQ(Describe(file), entries);
}

TEST(Winapp2Reader, RefusesFilesThatAreNotWinapp2) {
  const std::vector<std::string> notWinapp2 = {
      "", "[General]\r\nLanguage=English\r\nFileKey1=%AppData%\\X|*\r\n",
      "<!DOCTYPE html><html><body>404 Not Found</body></html>",
      std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), "[ *]\nFileKey1=%AppData%\\X|*\n"};
  for (const std::string& bytes : notWinapp2) {
    const TWinapp2File file = ReadWinapp2Bytes(Utf8(bytes));
    EXPECT_EQ(file.Status, TWinapp2Status::NotWinapp2) << bytes;
    EXPECT_TRUE(file.Entries.empty() && file.Issues.empty()) << bytes;
  }
  // A file of entries that all lack a deletion key is still Winapp2.
  EXPECT_EQ(ReadWinapp2Text(L"[Only Detect *]\nDetect=HKCU\\Software\\X\n").Status,
            TWinapp2Status::Loaded);
}

TEST(Winapp2Reader, ReadsEveryEncodingFromFileAndMemory) {
  kplat::fake::TFakeMachineScope scope;
  const std::wstring text = L"[Caf\u00e9 \u00dcbersicht *]\r\nSection=M\u00fcsik\r\n"
                            L"FileKey1=%AppData%\\Caf\u00e9|*.log\r\n";
  const std::string utf8 = kplat::ToUtf8(text);
  std::vector<uint8_t> utf16{0xFF, 0xFE};
  const std::vector<uint8_t> body = kplat::EncodeUtf16Le(text);
  utf16.insert(utf16.end(), body.begin(), body.end());
  const std::vector<std::pair<const wchar_t*, std::vector<uint8_t>>> encodings = {
      {L"C:\\Rules\\utf8.ini", Utf8(utf8)},
      {L"C:\\Rules\\utf8bom.ini", Utf8("\xEF\xBB\xBF" + utf8)},
      {L"C:\\Rules\\utf16.ini", utf16}};
  for (const auto& [path, bytes] : encodings) {
    scope.Machine().AddFileContent(path, bytes);
    for (const TWinapp2File& file : {ReadWinapp2File(path), ReadWinapp2Bytes(bytes)}) {
      ASSERT_EQ(file.Entries.size(), 1u) << kplat::ToUtf8(path);
      EXPECT_EQ(file.Entries[0].Name, L"Caf\u00e9 \u00dcbersicht");
      EXPECT_EQ(file.Entries[0].Section, L"M\u00fcsik");
      EXPECT_EQ(file.Entries[0].FileKeys[0].Folder, L"%AppData%\\Caf\u00e9");
    }
  }
  const TWinapp2File missing = ReadWinapp2File(L"C:\\Rules\\none.ini");
  EXPECT_EQ(missing.Status, TWinapp2Status::Missing);
  EXPECT_NE(missing.Error, 0);
}

// Every text the reader names is in the built-in English and in each shipped translation.
TEST(Winapp2Reader, ExplainsEveryIssueAndStatusInEveryLanguage) {
  std::vector<std::wstring> names;
  for (int kind = 0; kind <= static_cast<int>(TWinapp2IssueKind::NoDeletionKey); ++kind)
    names.push_back(Winapp2IssueTextName(static_cast<TWinapp2IssueKind>(kind)));
  for (TWinapp2Status status : {TWinapp2Status::Missing, TWinapp2Status::Unreadable,
                                TWinapp2Status::TooLarge, TWinapp2Status::NotWinapp2})
    names.push_back(Winapp2StatusTextName(status));
  for (int number = 3000; number <= 3050; ++number)
    if (const std::wstring name = Winapp2CategoryTextName(number); !name.empty())
      names.push_back(name);
  EXPECT_EQ(names.size(), 12u + 4u + 25u);
  EXPECT_TRUE(Winapp2CategoryTextName(3041).empty());

  std::vector<std::pair<std::string, TCLMultiLangLan>> languages(1);
  languages[0].first = "built-in English";
  languages[0].second.LoadFromString(CLBuiltInEnglish());
  for (const auto& entry : std::filesystem::directory_iterator(SourceTree() / "data" / "lang")) {
    std::ifstream stream(entry.path(), std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(stream), {}};
    languages.emplace_back(entry.path().filename().string(), TCLMultiLangLan());
    languages.back().second.LoadFromString(DecodeIniText(bytes));
  }
  ASSERT_GE(languages.size(), 2u);
  for (const auto& [language, data] : languages)
    for (const std::wstring& name : names) {
      std::wstring value;
      EXPECT_TRUE(data.GetProp(L"AppRes", L"", name, value) && !value.empty())
          << language << ": " << kplat::ToUtf8(name);
    }
}

namespace {

class Winapp2Detection : public ::testing::Test {
protected:
  Winapp2Detection() {
    kplat::fake::TFakeMachine& machine = FScope.Machine();
    machine.AddRegKey(CurrentUser, L"Software\\Present");
    machine.AddRegKey(LocalMachine, L"SOFTWARE\\WOW6432Node\\Legacy32");
    machine.AddRegKey(CurrentUser, L"Software\\Locked");
    machine.AddRegKey(CurrentUser, L"Software\\Deep\\One\\Two\\Three");
    machine.FailOpenKey(CurrentUser, L"Software\\Locked");
    machine.AddFile(L"C:\\Program Files (x86)\\Old App\\old.exe");
    machine.AddFile(L"C:\\Users\\User\\AppData\\Local\\Vendor\\Profiles\\p1\\data.db");
    machine.AddFile(L"C:\\Users\\User\\Documents\\Notes12.txt");
    machine.AddFolder(L"C:\\Users\\User\\AppData\\LocalLow\\Lowly");
    machine.AddFolder(L"C:\\Users\\User\\AppData\\Local\\Google\\Chrome\\User Data");
  }

  kplat::fake::TFakeMachineScope FScope;
  TWinapp2Detector FDetector;
};

} // namespace

TEST_F(Winapp2Detection, AppliesWhenAnyDetectionFindsItsPlaceAndTheWindowsVersionFits) {
  const std::vector<std::pair<std::wstring, bool>> cases = {
      {L"", true},
      {L"Detect=HKCU\\Software\\Present", true},
      {L"Detect=HKCU\\Software\\Absent", false},
      {L"Detect=HKLM\\Software\\Legacy32", true},
      {L"Detect=HKCU\\Software\\Locked", true},
      {L"Detect=HKCU\\Software\\Deep\\One\\Two\\Three", true},
      {L"Detect=HKCU\\Software\\Deep\\One\\Two\\Four", false},
      {L"Detect=HKLM\\Software\\WOW6432Node\\Legacy32", true},
      {L"Detect1=HKCU\\Software\\Absent\nDetect2=HKCU\\Software\\Present", true},
      {L"DetectFile=%ProgramFiles%\\Old App\\old.exe", true},
      {L"DetectFile=%LocalAppData%\\Vendor\\Profiles\\*\\data.db", true},
      {L"DetectFile=%LocalAppData%\\Vendor\\Profiles\\*\\other.db", false},
      {L"DetectFile=%Documents%\\Notes??.txt", true},
      {L"DetectFile=%Documents%\\Notes?.txt", false},
      {L"DetectFile=%LocalLowAppData%\\Lowly", true},
      {L"DetectFile=%Unset%\\Lowly", false},
      {L"SpecialDetect=DET_CHROME", true},
      {L"SpecialDetect=DET_OPERA", false},
      {L"DetectOS=10.0|\nDetect=HKCU\\Software\\Present", true},
      {L"DetectOS=10.0|10.0", true},
      {L"DetectOS=6.1|6.3", false},
      {L"DetectOS=|6.3\nDetect=HKCU\\Software\\Present", false},
  };
  for (const auto& [detection, applies] : cases) {
    const TWinapp2File file =
        ReadWinapp2Text(L"[Probe *]\n" + detection + L"\nFileKey1=%Temp%\\Probe|*.tmp\n");
    ASSERT_EQ(file.Entries.size(), 1u) << kplat::ToUtf8(detection);
    EXPECT_EQ(FDetector.Applies(file.Entries[0]), applies) << kplat::ToUtf8(detection);
  }
}

TEST_F(Winapp2Detection, ExpandsEveryVariableToTheFoldersItStandsFor) {
  const std::vector<std::pair<std::wstring, std::vector<std::wstring>>> cases = {
      {L"%ProgramFiles%\\App", {L"C:\\Program Files\\App", L"C:\\Program Files (x86)\\App"}},
      {L"%CommonProgramFiles%\\App",
       {L"C:\\Program Files\\Common Files\\App", L"C:\\Program Files (x86)\\Common Files\\App"}},
      {L"%Documents%\\App", {L"C:\\Users\\User\\Documents\\App"}},
      {L"%Music%\\App", {L"C:\\Users\\User\\Music\\App"}},
      {L"%Pictures%\\App", {L"C:\\Users\\User\\Pictures\\App"}},
      {L"%Video%\\App", {L"C:\\Users\\User\\Videos\\App"}},
      {L"%LocalLowAppData%\\App", {L"C:\\Users\\User\\AppData\\LocalLow\\App"}},
      {L"%CommonAppData%\\App", {L"C:\\ProgramData\\App"}},
      {L"%AppData%\\*\\Cache", {L"C:\\Users\\User\\AppData\\Roaming\\*\\Cache"}},
      {L"%WinDir%\\Temp", {L"C:\\Windows\\Temp"}},
      {L"C:\\Users\\%UserName%\\App", {L"C:\\Users\\User\\App"}},
      {L"%Unset%\\App", {}},
      {L"%ProgramFiles%\\%Unset%", {}},
  };
  for (const auto& [path, expanded] : cases)
    EXPECT_EQ(FDetector.ExpandPath(path), expanded) << kplat::ToUtf8(path);
}
