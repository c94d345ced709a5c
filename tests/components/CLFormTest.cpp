#include "components/CLForm.h"

#include "appengine/CLEngine.h"
#include "base/CLSettings.h"
#include "platform/fake/FakeMachine.h"
#include "support/WindowTest.h"
#include "windows/CLAboutForm.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::wstring kAboutPng = kProgram + L"res\\images\\about.png";

// A control that counts how often the binding would paint it.
class TPaintCounter : public IComponentBinding {
public:
  void PropertyChanged(TComponent&, std::wstring_view aProperty) override {
    Paints += aProperty == L"Invalidate" ? 1 : 0;
  }
  void ComponentDestroyed(TComponent&) override {}
  int Paints = 0;
};

class CLFormTest : public ::testing::Test {
protected:
  CLFormTest() {
    FMainForm.SetBounds(100, 200, 600, 400);
    FLanguage.DefaultData().LoadFromString(
        L"[Info]\nLanguage=English\n[AppRes]\nAppName=Kestrova\n"
        L"[LibRes]\nbtnOk.Caption=OK\nlblSupport.Caption=Support\n"
        L"TfrmCLAboutForm.Caption=About {AppName}\nTfrmCLAboutForm.CopyRightLine1={AppName}\n"
        L"TfrmCLAboutForm.CopyRightLine2=Version : {1}\n"
        L"TfrmCLAboutForm.CopyRightLine3={1} is tranlated by {2}\n"
        L"[TfrmDialog]\nbtnGo.Caption=Go\n");
    FEngine->SetLanguageData(&FLanguage);
    ProgramFolder(FMachine).Settings("App.Ver=2.1.0.7\nApp.Copyright=(c) Kestrova team\n"
                                     "URL.support=http://support.example/\n");
  }
  ~CLFormTest() override {
    FMainForm.DestroyComponents();
    FreeCLSettings();
    SetCurrentSkinTheme(TCLSkinTheme());
  }

  // The window logic without windows, also where a window-system binding is installed.
  const TScopedHeadless FHeadless;
  kplat::fake::TFakeMachineScope FScope;
  kplat::fake::TFakeMachine& FMachine = FScope.Machine();
  TCLMultiLangData FLanguage{nullptr};
  TForm FMainForm{nullptr, L"TfrmMain"};
  TCLEngine* FEngine = new TCLEngine(&FMainForm);
};

} // namespace

TEST_F(CLFormTest, FlagsGiveTheWindowTheEnginesData) {
  TForm dialog(nullptr, L"TfrmDialog");
  dialog.SetBounds(0, 0, 200, 100);
  auto* button = NewComponent<TButton>(&dialog, L"btnGo");
  button->SetParent(&dialog);
  // Made before the TCLForm: loaded without data, it is translated once it gets the engine's.
  auto* early = NewComponent<TCLMultiLang>(&dialog, L"clEarly");
  auto* form = NewComponent<TCLForm>(&dialog, L"clForm");
  auto* late = NewComponent<TCLMultiLang>(&dialog, L"clLate");
  TCLMultiLangData own(nullptr);
  auto* owned = NewComponent<TCLMultiLang>(&dialog, L"clOwned");
  owned->SetLanguageData(&own);
  form->SetRuntimeSetLanguageData(true);
  form->SetRunTimeSetFormProperties(true);
  form->SetRuntimeSetSkinData(true);
  TPaintCounter painter;
  button->SetBinding(&painter);

  dialog.Loaded();
  EXPECT_EQ(early->LanguageData(), &FLanguage);
  EXPECT_EQ(late->LanguageData(), &FLanguage);
  EXPECT_EQ(owned->LanguageData(), &own);
  EXPECT_EQ(button->Caption(), L"Go");
  EXPECT_EQ(FLanguage.Clients().size(), 2u);
  EXPECT_EQ(dialog.Left(), 300);
  EXPECT_EQ(dialog.Top(), 350);

  SetCurrentSkinTheme(TCLSkinTheme());
  EXPECT_EQ(painter.Paints, 1);
  button->SetBinding(nullptr);

  // All flags off: the window is left as designed.
  TForm plain(nullptr, L"TfrmDialog");
  auto* plainLanguage = NewComponent<TCLMultiLang>(&plain, L"clMultiLang");
  NewComponent<TCLForm>(&plain, L"clForm");
  plain.Loaded();
  EXPECT_EQ(plainLanguage->LanguageData(), nullptr);
  EXPECT_EQ(plain.Left(), 0);
}

TEST_F(CLFormTest, AboutLinesFollowTheLanguage) {
  TfrmCLAboutForm about(nullptr, *FEngine);
  const std::wstring english = L"Kestrova\r\nVersion : 2.1.0.7\r\n(c) Kestrova team";
  EXPECT_EQ(about.lblInfo->Caption(), english); // no language chosen yet
  FEngine->SetLanguage(L"English");
  about.UpdateTexts();
  EXPECT_EQ(about.Caption(), L"About Kestrova");
  EXPECT_EQ(about.btnOk->Caption(), L"OK");
  EXPECT_EQ(about.lblSupport->Caption(), L"Support");
  EXPECT_EQ(about.lblInfo->Caption(), english);

  FMachine.AddTextFile(kProgram + L"lang\\Deutsch.lan",
                       "[Info]\nLanguage=Deutsch\nTranslator=Anna Beck\n"
                       "[LibRes]\nbtnOk.Caption=Gut\nTfrmCLAboutForm.CopyRightLine3={1} von {2}\n");
  FMachine.AddTextFile(kProgram + L"lang\\Plain.lan", "[LibRes]\nbtnOk.Caption=Fine\n");
  FEngine->SetLanguage(L"Deutsch");
  about.UpdateTexts();
  EXPECT_EQ(about.btnOk->Caption(), L"Gut");
  EXPECT_EQ(about.lblInfo->Caption(),
            L"Kestrova\r\nVersion : 2.1.0.7\r\n(c) Kestrova team\r\nDeutsch von Anna Beck");
  // A file without [Info] is named by its file, not as the built-in English.
  FEngine->SetLanguage(L"Plain");
  about.UpdateTexts();
  EXPECT_TRUE(about.lblInfo->Caption().ends_with(L"\r\nPlain is tranlated by "))
      << std::string(about.lblInfo->Caption().begin(), about.lblInfo->Caption().end());

  about.lblSupport->Click();
  ASSERT_EQ(FMachine.ShellExecutions().size(), 1u);
  EXPECT_TRUE(
      FMachine.ShellExecutions()[0].File.starts_with(L"http://support.example/?ACTION=support&"));
}

TEST_F(CLFormTest, AboutWindowTakesTheLogosSize) {
  TfrmCLAboutForm without(nullptr, *FEngine);
  EXPECT_FALSE(without.pnlLogo->Visible());
  const int width = without.Width();
  const int height = without.Height();

  FMachine.AddFileContent(kAboutPng, PngHeader(200, 50));
  TfrmCLAboutForm with(nullptr, *FEngine);
  EXPECT_TRUE(with.pnlLogo->Visible());
  EXPECT_EQ(with.Width(), 200);
  EXPECT_EQ(with.pnlLogo->Height(), 50);
  EXPECT_EQ(with.imgLogo->Width(), 200);
  // The window without a logo is as high as the one with it less the logo.
  EXPECT_EQ(with.Height(), height + 50);
  EXPECT_EQ(with.lblInfo->Top(), without.lblInfo->Top() + 50);
  EXPECT_EQ(with.btnOk->Left() + with.btnOk->Width(),
            without.btnOk->Left() + without.btnOk->Width() - (width - 200));
  EXPECT_LE(with.btnOk->Top() + with.btnOk->Height(), with.Height());
}

TEST_F(CLFormTest, AboutIsShownModallyOnceAtATime) {
  std::vector<TForm*> shown;
  std::vector<uintptr_t> parents;
  const TForm::TModalHandler previous = TForm::SetModalHandler([&](TForm& aForm) {
    shown.push_back(&aForm);
    AppAbout(*FEngine); // a second request while it shows does nothing
    return mr::OK;
  });
  const TFormPlacer placer =
      SetFormPlacer([&](TForm&, uintptr_t aParent) { parents.push_back(aParent); });

  AppAbout(*FEngine);
  FEngine->SetParentHWND(0x1234);
  AppAbout(*FEngine);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], shown[1]);
  EXPECT_EQ(shown[0]->ClassName(), L"TfrmCLAboutForm");
  EXPECT_EQ(parents, (std::vector<uintptr_t>{0x1234}));
  EXPECT_EQ(shown[1]->Left(), 0);
  EXPECT_EQ(shown[1]->Top(), 0);

  SetFormPlacer(placer);
  TForm::SetModalHandler(previous);
}
