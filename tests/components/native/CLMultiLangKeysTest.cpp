// Every text the program looks up by a literal name must be in the built-in English data. The
// sources are read from the tree this test was compiled from.

#include "components/CLMultiLang.h"
#include "support/SourceTree.h"

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

namespace {

std::filesystem::path SourceRoot() {
  return SourceTree() / "src";
}

std::wstring Widen(const std::string& aText) {
  return std::wstring(aText.begin(), aText.end());
}

// GetAppString(L"..."), GetLibStringEx(L"...", ...), ShowMessageEx(L"...", ...), ...; a name
// built at run time (L"Prefix." + suffix) is not a literal name. The windows' AppText and the
// main window's SetStatusKey look up program texts as GetAppString does.
const std::regex kLookup(
    R"re(\b(GetAppString|GetLibString|ShowMessageEx|AppText|SetStatusKey)(Ex)?\s*\(\s*L"([^"]+)"\s*[,)])re");

// (function without "Ex", text name) of every lookup by a literal name in aSource.
std::vector<std::pair<std::string, std::string>> Lookups(const std::string& aSource) {
  std::vector<std::pair<std::string, std::string>> lookups;
  for (std::sregex_iterator it(aSource.begin(), aSource.end(), kLookup), end; it != end; ++it)
    lookups.emplace_back((*it)[1], (*it)[3]);
  return lookups;
}

} // namespace

TEST(BuiltInEnglish, HoldsEveryTextTheSourcesLookUp) {
  TCLMultiLangLan english;
  english.LoadFromString(CLBuiltInEnglish());
  ASSERT_TRUE(std::filesystem::is_directory(SourceRoot())) << SourceRoot();

  const auto sample = Lookups("a = GetAppStringEx( L\"State.Ready\", {n});\n"
                              "Engine().ShowMessageEx(L\"MSGBox.X\", {}); MyGetLibString(L\"y\");"
                              "AppText(L\"Result.CurrentPC\");");
  ASSERT_EQ(sample.size(), 3u);
  EXPECT_EQ(sample[0], (std::pair<std::string, std::string>{"GetAppString", "State.Ready"}));
  EXPECT_EQ(sample[1], (std::pair<std::string, std::string>{"ShowMessageEx", "MSGBox.X"}));
  EXPECT_EQ(sample[2], (std::pair<std::string, std::string>{"AppText", "Result.CurrentPC"}));

  std::set<std::string> missing;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(SourceRoot())) {
    const std::string extension = entry.path().extension().string();
    if (!entry.is_regular_file() || (extension != ".cpp" && extension != ".h"))
      continue;
    std::ifstream file(entry.path());
    std::stringstream text;
    text << file.rdbuf();
    for (const auto& [function, key] : Lookups(text.str())) {
      const std::wstring name = Widen(key);
      std::wstring value;
      const bool inLib = english.GetProp(L"LibRes", L"", name, value);
      const bool inApp = english.GetProp(L"AppRes", L"", name, value);
      const bool app =
          function == "GetAppString" || function == "AppText" || function == "SetStatusKey";
      const bool ok = app ? inApp : function == "GetLibString" ? inLib : inLib || inApp;
      if (!ok)
        missing.insert(entry.path().filename().string() + ": " + function + " " + key);
    }
  }
  for (const std::string& line : missing)
    ADD_FAILURE() << "no built-in English text for " << line;
}

TEST(BuiltInEnglish, HasTheLanguageInfoAndEachKeyOnce) {
  TCLMultiLangLan english;
  english.LoadFromString(CLBuiltInEnglish());
  std::wstring value;
  ASSERT_TRUE(english.GetProp(L"Info", L"", L"Language", value));
  EXPECT_EQ(value, L"English");
  ASSERT_TRUE(english.GetProp(L"AppRes", L"", L"AppName", value));
  EXPECT_FALSE(value.empty());
  ASSERT_TRUE(english.GetProp(L"SkinRes", L"", L"MSG_CAP_SHOWFLAG", value));
  EXPECT_EQ(value, L"Do not display this message again");

  // A key given twice would hide its second text; sorting must not lose a line either.
  const std::vector<std::wstring> before = english.Data();
  std::set<std::wstring> seen;
  std::wstring section;
  for (const std::wstring& line : before) {
    if (line.starts_with(L"[")) {
      section = line;
      continue;
    }
    const size_t eq = line.find(L'=');
    if (eq == std::wstring::npos)
      continue;
    std::wstring key = section + line.substr(0, eq);
    for (wchar_t& c : key)
      c = static_cast<wchar_t>(std::towupper(c));
    EXPECT_TRUE(seen.insert(key).second) << std::string(key.begin(), key.end());
  }
  english.SortData();
  size_t keys = 0;
  for (const std::wstring& line : english.Data())
    keys += line.find(L'=') != std::wstring::npos ? 1 : 0;
  EXPECT_EQ(keys, seen.size());
}

// A window's captions come from the language data; a caption typed again in a window would show
// English in every language that translates it.
TEST(BuiltInEnglish, IsTheOnlyPlaceOfTheWindowsCaptions) {
  TCLMultiLangLan english;
  english.LoadFromString(CLBuiltInEnglish());
  std::set<std::string> texts; // the English texts are plain ASCII
  for (const std::wstring& line : english.Data())
    if (const size_t eq = line.find(L'='); eq != std::wstring::npos && !line.starts_with(L"["))
      texts.insert(std::string(line.begin() + static_cast<std::ptrdiff_t>(eq) + 1, line.end()));
  const std::regex caption(R"re(SetCaption\(\s*L"([^"]*)"\s*\))re");
  const std::filesystem::path windows = SourceRoot() / "windows";
  ASSERT_TRUE(std::filesystem::is_directory(windows)) << windows;

  std::set<std::string> typed;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(windows)) {
    if (!entry.is_regular_file() || entry.path().extension() != ".cpp")
      continue;
    std::ifstream file(entry.path());
    std::stringstream text;
    text << file.rdbuf();
    const std::string source = text.str();
    for (std::sregex_iterator it(source.begin(), source.end(), caption), end; it != end; ++it)
      if (texts.count((*it)[1]) != 0)
        typed.insert(entry.path().filename().string() + ": " + (*it)[1].str());
  }
  for (const std::string& line : typed)
    ADD_FAILURE() << "a caption of the built-in English typed again in " << line;
}
