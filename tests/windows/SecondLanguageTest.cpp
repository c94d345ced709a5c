// The shipped German translation: every text of the built-in English data is translated, and
// every window shows no English text when German is chosen, apart from names and data.

#include "windows/CLAboutForm.h"
#include "windows/uMain.h"
#include "windows/uMaintain.h"
#include "windows/uRestore.h"
#include "windows/uScanedResult.h"
#include "windows/uSettings.h"
#include "windows/uStatistics.h"

#include "support/WindowTest.h"

#include <algorithm>
#include <cwctype>
#include <map>
#include <set>

namespace {

// Section + key of every text line, upper-cased.
std::set<std::wstring> Keys(const TCLMultiLangLan& aData) {
  std::set<std::wstring> keys;
  std::wstring section;
  for (const std::wstring& line : aData.Data()) {
    if (line.starts_with(L"[")) {
      section = line;
      continue;
    }
    if (const size_t eq = line.find(L'='); eq != std::wstring::npos)
      keys.insert(kplat::UpperCase(section + line.substr(0, eq)));
  }
  return keys;
}

// Every text a person reads on the window: captions, hints and item lists of its components
// and of the components their pages own, by component and property name.
void CollectTexts(TComponent& aComponent, const std::wstring& aPrefix,
                  std::map<std::wstring, std::wstring>& aTexts) {
  for (const TPropInfo& prop : aComponent.Properties()) {
    if (prop.Name != L"Caption" && prop.Name != L"Hint" && prop.Name != L"Items")
      continue;
    std::wstring value;
    if (aComponent.GetPropText(prop.Name, value) && !value.empty())
      aTexts[aPrefix + aComponent.Name() + L"." + prop.Name] = value;
  }
  for (int i = 0; i < aComponent.ComponentCount(); ++i)
    CollectTexts(*aComponent.Components(i), aPrefix + aComponent.Name() + L"/", aTexts);
}

// Texts that are the same in both languages: names and data.
bool SameInEveryLanguage(const std::wstring& aName, const std::wstring& aValue) {
  static const std::set<std::wstring> kValues = {L"OK",  L"&OK", L"Kestrova", L"DSL",
                                                 L"LAN", L"ON",  L"OFF",      L"Information"};
  static const std::set<std::wstring> kFixed = {L"lblPV.Caption", L"lblDD.Caption",
                                                L"lblLS.Caption"};
  const std::wstring leaf = aName.substr(aName.rfind(L'/') + 1);
  return kValues.count(aValue) != 0 || kFixed.count(leaf) != 0 ||
         // The topic lists show the rule file's captions.
         leaf == L"lbRegistryFixList.Items" || leaf == L"lbJunkFiles.Items" ||
         // The language and skin menus list names.
         aName.find(L"CLEngine1/") != std::wstring::npos ||
         // The Tools page's tabs come from the utilities file.
         (leaf.starts_with(L"ts") && aName.find(L"frmUtilities/") != std::wstring::npos) ||
         std::none_of(aValue.begin(), aValue.end(), [](wchar_t c) { return std::iswalpha(c); });
}

class SecondLanguage : public MachineTest {
protected:
  SecondLanguage() {
    EXPECT_FALSE(ReadSource("data/lang/Deutsch.lan").empty());
    Program()
        .Shipped(L"lang\\Deutsch.lan", "lang/Deutsch.lan")
        .Shipped(L"data\\topic.db", "topic.db")
        .Shipped(L"data\\utilities.db", "utilities.db")
        .File(L"res\\info.html", "<p>{NEWS_URL}</p>\n")
        .Shipped(L"skins\\Dark.skn", "skins/Dark.skn")
        .Shipped(L"skins\\Linen.nsf.skn", "skins/Linen.nsf.skn");
  }

  // The texts of every window with aLanguage chosen.
  std::map<std::wstring, std::wstring> WindowTexts(const std::wstring& aLanguage) {
    FreeCLSettings();
    Program().Settings("Path.Languages=lang\n");
    // The choice of an earlier run is in the user's settings; this one beats it.
    GetCLSettings().SetSettingstring(L"Language", aLanguage);
    std::map<std::wstring, std::wstring> texts;
    TfrmMain main(nullptr);
    main.tmrCleannow->SetEnabled(false);
    EXPECT_EQ(main.Engine().Language(), aLanguage);
    // The window menu offers both languages, the chosen one ticked.
    EXPECT_EQ(main.miLanguage->Count(), 2);
    EXPECT_TRUE(main.miLanguage->Visible());
    // Default and the two shipped skins.
    EXPECT_EQ(main.miSkin->Count(), 3);
    CollectTexts(main, L"", texts);
    TfrmSettings settings(&main, main.FigEngine());
    TfrmRestore restore(&main, TRestoreWindowHost{});
    TfrmStatistics statistics(&main);
    TfrmScanedResult result(&main, &main.LanguageData());
    TfrmCLAboutForm about(&main, main.Engine());
    for (TForm* window :
         std::initializer_list<TForm*>{&settings, &restore, &statistics, &result, &about})
      CollectTexts(*window, L"", texts);
    for (int i = 0; i < settings.tvSettingsList->Items().Count(); ++i)
      texts[L"tvSettingsList/" + std::to_wstring(i)] =
          settings.tvSettingsList->Items().All()[static_cast<size_t>(i)]->Text();
    texts[L"frmStatistics/row0"] = statistics.lvStatistics->Items().Item(0).Caption();
    return texts;
  }
};

} // namespace

TEST_F(SecondLanguage, TranslatesEveryTextOfTheBuiltInEnglish) {
  TCLMultiLangLan english;
  english.LoadFromString(CLBuiltInEnglish());
  TCLMultiLangLan german;
  ASSERT_TRUE(static_cast<bool>(german.LoadFromFile(kProgram + L"lang\\Deutsch.lan")));
  std::wstring value;
  ASSERT_TRUE(german.GetProp(L"Info", L"", L"Language", value));
  EXPECT_EQ(value, L"Deutsch");
  const std::set<std::wstring> englishKeys = Keys(english);
  const std::set<std::wstring> germanKeys = Keys(german);
  for (const std::wstring& key : englishKeys)
    EXPECT_TRUE(germanKeys.count(key) != 0) << "not translated: " << kplat::ToUtf8(key);
  for (const std::wstring& key : germanKeys)
    EXPECT_TRUE(englishKeys.count(key) != 0) << "no such English text: " << kplat::ToUtf8(key);
}

TEST_F(SecondLanguage, WindowsShowNoEnglishTextWhenGermanIsChosen) {
  const std::map<std::wstring, std::wstring> english = WindowTexts(L"English");
  const std::map<std::wstring, std::wstring> german = WindowTexts(L"Deutsch");
  EXPECT_EQ(german.at(L"frmMain/actScan.Caption"), L"Prüfen!");
  size_t compared = 0;
  for (const auto& [name, text] : german) {
    const auto inEnglish = english.find(name);
    if (inEnglish == english.end())
      continue;
    ++compared;
    if (text == inEnglish->second && !SameInEveryLanguage(name, text))
      ADD_FAILURE() << "English text left: " << kplat::ToUtf8(name) << " = " << kplat::ToUtf8(text);
  }
  EXPECT_GT(compared, 100u);
}

TEST_F(SecondLanguage, TheLanguageMenuTranslatesTheOpenWindow) {
  WindowTexts(L"English");
  TfrmMain main(nullptr);
  main.tmrCleannow->SetEnabled(false);
  ASSERT_EQ(main.miLanguage->Count(), 2);
  main.miLanguage->Items(1)->Click();
  EXPECT_EQ(main.Engine().Language(), L"Deutsch");
  EXPECT_TRUE(main.miLanguage->Items(1)->Checked());
  EXPECT_EQ(main.actScan->Caption(), L"Prüfen!");
  EXPECT_EQ(main.Maintain()->lblMaintainTitle->Caption(), L"Windows-Wartung");
  main.miLanguage->Items(0)->Click();
  EXPECT_EQ(main.actScan->Caption(), L"Scan!");
}
