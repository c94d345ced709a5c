#include "components/CLSkin.h"

#include "base/CLIniFiles.h"
#include "platform/fake/FakeMachine.h"

#include "support/SourceTree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

std::filesystem::path ShippedSkins() {
  return SourceTree() / "data" / "skins";
}

TCLSkinLoadResult Parse(const std::wstring& aText, TCLSkinTheme& aTheme) {
  return ParseSkinText(aText, L"Test.skn", true, aTheme);
}

class SkinTest : public ::testing::Test {
protected:
  ~SkinTest() override { SetCurrentSkinTheme(TCLSkinTheme()); }
  kplat::fake::TFakeMachineScope FScope;
};

} // namespace

TEST_F(SkinTest, FilesGiveColoursFontAndFrame) {
  TCLSkinTheme theme;
  ASSERT_TRUE(Parse(L"[Skin]\n[Colors]\nWindow=#1e1F22\nLink=#7AB7FF\n[Font]\nName=Tahoma\n"
                    L"Size=10\n",
                    theme));
  EXPECT_EQ(theme.Name, L"Test");
  EXPECT_FALSE(theme.SystemColors);
  EXPECT_TRUE(theme.SkinnedForm);
  EXPECT_EQ(theme.Window, 0x221F1Eu);
  EXPECT_EQ(theme.Link, 0xFFB77Au);
  EXPECT_EQ(theme.ButtonFace, TCLSkinTheme().ButtonFace); // not given
  EXPECT_EQ(theme.FontName, L"Tahoma");
  EXPECT_EQ(theme.FontSize, 10);

  // UTF-16 with a byte-order mark, through the platform, and the name from the file name.
  kplat::fake::TFakeMachine& machine = FScope.Machine();
  std::vector<uint8_t> bytes = EncodeIniText(L"[Skin]\r\nName=Nacht\r\nDark=1\r\n");
  machine.AddFileContent(L"C:\\skins\\Night.nsf.skn", bytes);
  ASSERT_TRUE(LoadSkinFile(L"C:\\skins\\Night.nsf.skn", false, theme));
  EXPECT_EQ(theme.Name, L"Nacht");
  EXPECT_TRUE(theme.Dark);
  EXPECT_FALSE(theme.SkinnedForm);
  machine.AddTextFile(L"C:\\skins\\Plain.nsf.skn", "[Skin]\n");
  ASSERT_TRUE(LoadSkinFile(L"C:\\skins\\Plain.nsf.skn", false, theme));
  EXPECT_EQ(theme.Name, L"Plain");
}

TEST_F(SkinTest, CorruptFilesAreRefusedWithTheReason) {
  const struct {
    const wchar_t* Text;
    const wchar_t* Reason;
  } cases[] = {
      {L"[Colors]\nWindow=#000000\n", L"no [Skin] section"},
      {L"[Skin]\n[Colors]\nWindow=#00000\n", L"[Colors] Window: \"#00000\""},
      {L"[Skin]\n[Colors]\nAccent=00FF00\n", L"[Colors] Accent"},
      {L"[Skin]\n[Colors]\nHighlight=#00GG00\n", L"[Colors] Highlight"},
      {L"[Skin]\n[Font]\nSize=200\n", L"[Font] Size"},
      {L"[Skin]\n[Font]\nSize=nine\n", L"[Font] Size"},
      {L"[Skin]\nDark=maybe\n", L"[Skin] Dark"},
  };
  for (const auto& c : cases) {
    TCLSkinTheme theme;
    theme.Name = L"before";
    const TCLSkinLoadResult result = Parse(c.Text, theme);
    EXPECT_FALSE(result) << c.Text;
    EXPECT_NE(result.Error.find(c.Reason), std::wstring::npos) << result.Error;
    EXPECT_TRUE(result.Error.starts_with(L"Test.skn: ")) << result.Error;
    EXPECT_EQ(theme.Name, L"before");
  }
  TCLSkinTheme theme;
  const TCLSkinLoadResult missing = LoadSkinFile(L"C:\\skins\\None.skn", true, theme);
  EXPECT_FALSE(missing);
  EXPECT_NE(missing.Error.find(L"no such file"), std::wstring::npos);
}

TEST_F(SkinTest, ShippedSkinsLoad) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(ShippedSkins())) {
    std::ifstream file(entry.path(), std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                     std::istreambuf_iterator<char>());
    TCLSkinTheme theme;
    const TCLSkinLoadResult result =
        ParseSkinText(DecodeIniText(bytes), entry.path().filename().wstring(), true, theme);
    EXPECT_TRUE(result) << result.Error;
    // Text must stand out from its background.
    EXPECT_NE(theme.Window, theme.WindowText);
    EXPECT_NE(theme.ButtonFace, theme.ButtonText);
    ++count;
  }
  EXPECT_GE(count, 2);
}

TEST_F(SkinTest, SkinDataMakesItsSkinCurrentAndTellsListeners) {
  int heard = 0;
  const int listener = AddSkinThemeListener([&heard] { ++heard; });
  // A listener that removes itself while being told does no harm to the others.
  int once = 0;
  int self = 0;
  self = AddSkinThemeListener([&] {
    ++once;
    RemoveSkinThemeListener(self);
  });

  FScope.Machine().AddTextFile(L"C:\\skins\\Dark.skn", "[Skin]\n[Colors]\nWindow=#000000\n");
  FScope.Machine().AddTextFile(L"C:\\skins\\Bad.skn", "[Skin]\n[Colors]\nWindow=black\n");
  TCLSkinData data(nullptr);
  ASSERT_TRUE(data.LoadFromFile(L"C:\\skins\\Dark.skn", true));
  EXPECT_TRUE(data.FileSkinLoaded());
  EXPECT_EQ(CurrentSkinTheme().Window, 0u);
  EXPECT_TRUE(CurrentSkinTheme().SkinnedForm);
  EXPECT_FALSE(data.LoadFromFile(L"C:\\skins\\Bad.skn", true));
  EXPECT_EQ(CurrentSkinTheme().Name, L"Dark");

  data.SetGlowFrames(false, false);
  EXPECT_FALSE(CurrentSkinTheme().ButtonGlow);
  data.SetSkinnableForm(false);
  EXPECT_FALSE(CurrentSkinTheme().SkinnedForm);
  data.UseBuiltInSkin();
  EXPECT_TRUE(CurrentSkinTheme().SystemColors);
  EXPECT_TRUE(CurrentSkinTheme().ButtonGlow);
  TCLSkinTheme own;
  own.Name = L"Own";
  own.SkinnedForm = true;
  data.SetBuiltInSkin(own);
  EXPECT_EQ(CurrentSkinTheme().Name, L"Own");
  EXPECT_EQ(heard, 5);
  EXPECT_EQ(once, 1);
  RemoveSkinThemeListener(listener);
  data.UseBuiltInSkin();
  EXPECT_EQ(heard, 5);
}
