#include "appengine/CLEngine.h"

#include "components/CLControls.h"
#include "support/WindowTest.h"

#include <string>
#include <vector>

namespace {

const std::wstring kSkins = kProgram + L"skins\\";
const std::wstring kLanguages = kProgram + L"lang\\";

std::string SkinText(const std::string& aWindowColor) {
  return "[Skin]\nDark=1\n[Colors]\nWindow=" + aWindowColor + "\n";
}

// A window with a translated caption and button, as the language data sees it.
class TfrmProbe : public TForm {
public:
  explicit TfrmProbe(TComponent* aOwner) : TForm(aOwner, L"TfrmProbe") {
    SetName(L"frmProbe");
    btnGo = NewComponent<TButton>(this, L"btnGo");
    btnGo->SetCaption(L"designed");
    language = NewComponent<TCLMultiLang>(this, L"clMultiLang");
  }
  TButton* btnGo;
  TCLMultiLang* language;
};

class CLEngineWindows : public MachineTest {
protected:
  CLEngineWindows() {
    FLanguage.DefaultData().LoadFromString(L"[Info]\nLanguage=English\n"
                                           L"[SkinRes]\nMSG_CAP_SHOWFLAG=Do not show again\n"
                                           L"[AppRes]\nAppName=Kestrova\n"
                                           L"[TfrmProbe]\nfrmProbe.Caption=Probe\n"
                                           L"btnGo.Caption=Go\n");
    FEngine.SetLanguageData(&FLanguage);
    FEngine.SetSkinData(&FSkinData);
    FEngine.OnSkinChanged = [this](TObject&) { ++FSkinChanges; };
  }
  ~CLEngineWindows() override { SetCurrentSkinTheme(TCLSkinTheme()); }

  std::wstring Setting(const std::wstring& aName) {
    return GetCLSettings().GetSettingString(aName);
  }

  TCLMultiLangData FLanguage{nullptr};
  TCLSkinData FSkinData{nullptr};
  TCLEngine FEngine{nullptr};
  int FSkinChanges = 0;
};

std::vector<std::wstring> Captions(const TMenuItem& aParent) {
  std::vector<std::wstring> captions;
  for (int i = 0; i < aParent.Count(); ++i)
    captions.push_back(aParent.Items(i)->Caption() + (aParent.Items(i)->Checked() ? L"*" : L""));
  return captions;
}

} // namespace

TEST_F(CLEngineWindows, SkinFileChoiceAndFallbacks) {
  Machine().AddTextFile(kSkins + L"Dark.skn", SkinText("#102030"));
  Machine().AddTextFile(kSkins + L"Dark.nsf.skn", SkinText("#FFFFFF"));
  Machine().AddTextFile(kSkins + L"Paper.nsf.skn", SkinText("#F0E0D0"));
  Machine().AddTextFile(kSkins + L"Broken.skn", SkinText("#12345"));

  // ".skn" comes first and draws the frame; ".nsf.skn" keeps the system's frame.
  FEngine.SetSkin(L"Dark");
  EXPECT_EQ(FEngine.Skin(), L"Dark");
  EXPECT_EQ(CurrentSkinTheme().Window, 0x302010u);
  EXPECT_TRUE(CurrentSkinTheme().SkinnedForm);
  EXPECT_FALSE(CurrentSkinTheme().SystemColors);
  EXPECT_EQ(Setting(L"Skin"), L"Dark");
  FEngine.SetSkin(L"Paper");
  EXPECT_EQ(CurrentSkinTheme().Window, 0xD0E0F0u);
  EXPECT_FALSE(CurrentSkinTheme().SkinnedForm);
  EXPECT_EQ(FSkinChanges, 2);

  // The same name again changes nothing; a missing or corrupt file brings the built-in back.
  FEngine.SetSkin(L"Paper");
  EXPECT_EQ(FSkinChanges, 2);
  for (const wchar_t* name : {L"Missing", L"Broken"}) {
    FEngine.SetSkin(L"Paper");
    FEngine.SetSkin(name);
    EXPECT_EQ(FEngine.Skin(), L"Default");
    EXPECT_TRUE(CurrentSkinTheme().SystemColors);
    EXPECT_EQ(Setting(L"Skin"), L"Default");
  }
  FEngine.SetSkin(L"");
  EXPECT_EQ(FEngine.Skin(), L"Default");

  // Without skin data nothing happens.
  FEngine.SetSkinData(nullptr);
  FEngine.SetSkin(L"Dark");
  EXPECT_EQ(FEngine.Skin(), L"Default");
}

TEST_F(CLEngineWindows, GlowFramesAreOffOnlyOnVista64) {
  Machine().AddTextFile(kSkins + L"Dark.skn", SkinText("#102030"));
  Machine().AddTextFile(kSkins + L"Blue.skn", SkinText("#0000FF"));
  FEngine.SetSkin(L"Dark");
  EXPECT_TRUE(CurrentSkinTheme().ButtonGlow);
  Machine().SetVersion(kplat::TOSVersion{6, 0, 6002, L"Service Pack 2", 1, 9});
  FEngine.SetSkin(L"Blue");
  EXPECT_FALSE(CurrentSkinTheme().ButtonGlow);
  EXPECT_FALSE(CurrentSkinTheme().CaptionGlow);

  const auto kind = [](uint32_t aMajor, uint32_t aMinor, uint32_t aProduct, uint32_t aArch) {
    return WindowsTypeOf(kplat::TOSVersion{aMajor, aMinor, 0, L"", aProduct, aArch}).OSKind;
  };
  EXPECT_EQ(kind(6, 0, 1, 6), TWindowsType::winVista64);
  EXPECT_EQ(kind(6, 0, 1, 10), TWindowsType::winVista64);
  EXPECT_EQ(kind(6, 0, 1, 0), TWindowsType::winVista);
  EXPECT_EQ(kind(6, 0, 3, 9), TWindowsType::winLonghorn);
  EXPECT_EQ(kind(6, 1, 1, 9), TWindowsType::winUnknown);
  EXPECT_EQ(kind(5, 1, 1, 0), TWindowsType::winUnknown);
}

TEST_F(CLEngineWindows, MenusListTheChoicesAndFollowIt) {
  TMenuItem skins(nullptr);
  TMenuItem languages(nullptr);
  FEngine.SetSkinMenuItem(&skins);
  FEngine.SetLanguageMenuItem(&languages);
  Machine().AddTextFile(kSkins + L"Dark.skn", SkinText("#102030"));
  Machine().AddTextFile(kSkins + L"R&D.nsf.skn", SkinText("#102030"));
  FEngine.SetSkin(L"Default");
  FEngine.BuildSkinMenu();
  FEngine.BuildLanguageMenu();
  EXPECT_TRUE(skins.Visible());
  EXPECT_EQ(Captions(skins), (std::vector<std::wstring>{L"Default*", L"Dark", L"R&&D"}));
  // Only English: no menu to choose from.
  EXPECT_FALSE(languages.Visible());
  EXPECT_EQ(languages.Count(), 0);

  skins.Items(2)->Click();
  EXPECT_EQ(FEngine.Skin(), L"R&D");
  EXPECT_EQ(Captions(skins), (std::vector<std::wstring>{L"Default", L"Dark", L"R&&D*"}));
  FEngine.SetSkin(L"dark");
  EXPECT_EQ(Captions(skins), (std::vector<std::wstring>{L"Default", L"Dark*", L"R&&D"}));

  // Building again replaces the entries; a parent that is freed is let go of.
  FEngine.BuildSkinMenu();
  EXPECT_EQ(skins.Count(), 3);
  {
    TMenuItem other(nullptr);
    FEngine.SetSkinMenuItem(&other);
    EXPECT_EQ(skins.Count(), 0);
    FEngine.BuildSkinMenu();
    EXPECT_EQ(other.Count(), 3);
  }
  EXPECT_EQ(FEngine.SkinMenuItem(), nullptr);
  FEngine.SetSkin(L"Default");
}

TEST_F(CLEngineWindows, LanguageChangeTranslatesOpenWindowsAndBack) {
  Machine().AddTextFile(kLanguages + L"Deutsch.lan",
                        "[Info]\nLanguage=Deutsch\n[SkinRes]\nMSG_CAP_SHOWFLAG=Nicht mehr zeigen\n"
                        "[TfrmProbe]\nfrmProbe.Caption=Probe DE\nbtnGo.Caption=Los\n");
  TMenuItem languages(nullptr);
  FEngine.SetLanguageMenuItem(&languages);
  FEngine.SetLanguage(L"English");
  FEngine.BuildLanguageMenu();
  TfrmProbe window(nullptr);
  window.language->SetLanguageData(&FLanguage);
  window.Loaded();
  EXPECT_EQ(window.btnGo->Caption(), L"Go");
  EXPECT_EQ(FSkinData.ResourceStrings().Values(L"MSG_CAP_SHOWFLAG"), L"Do not show again");

  languages.Items(1)->Click();
  EXPECT_EQ(FEngine.Language(), L"Deutsch");
  EXPECT_EQ(window.btnGo->Caption(), L"Los");
  EXPECT_EQ(window.Caption(), L"Probe DE");
  EXPECT_EQ(Captions(languages), (std::vector<std::wstring>{L"English", L"Deutsch*"}));
  EXPECT_EQ(FSkinData.ResourceStrings().Values(L"MSG_CAP_SHOWFLAG"), L"Nicht mehr zeigen");

  // English has no file: the open window shows the built-in texts again.
  languages.Items(0)->Click();
  EXPECT_EQ(FEngine.Language(), L"English");
  EXPECT_EQ(window.btnGo->Caption(), L"Go");
  EXPECT_EQ(window.Caption(), L"Probe");
  EXPECT_EQ(Captions(languages), (std::vector<std::wstring>{L"English*", L"Deutsch"}));
  EXPECT_EQ(FSkinData.ResourceStrings().Values(L"MSG_CAP_SHOWFLAG"), L"Do not show again");
}

TEST_F(CLEngineWindows, ShowFlagCaptionFollowsTheLanguage) {
  FEngine.SetMessageBox(&FBox);
  Machine().AddTextFile(kLanguages + L"Deutsch.lan",
                        "[SkinRes]\nMSG_CAP_SHOWFLAG=Nicht mehr zeigen\n");
  const auto ask = [this] {
    FEngine.ShowMessageEx(L"X", {}, false, mr::None, mb::OK, TMsgDlgType::mtInformation, 3);
  };
  FEngine.SetLanguage(L"Deutsch");
  ask();
  EXPECT_EQ(FBox.Requests.back().ShowFlagCaption, L"Nicht mehr zeigen");
  FEngine.SetLanguage(L"English");
  ask();
  EXPECT_EQ(FBox.Requests.back().ShowFlagCaption, L"Do not show again");
  FEngine.SetMessageBox(nullptr);
}
