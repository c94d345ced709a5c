// The main window on the in-memory machine: start-up, the scan -> review -> repair road through
// the window's own controls and the engines' events, and the maintenance page and result list.

#include "ui/uMain.h"

#include "framework/CLHelpers.h"
#include "framework/CLMainThread.h"
#include "framework/CLSettings.h"
#include "platform/fake/FakeMachine.h"
#include "support/FakeRegEdit.h"
#include "ui/uMaintain.h"
#include "ui/uScanedResult.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace kplat;

constexpr uint32_t kLimitMs = 120000;
const std::wstring kProgram = L"C:\\Program Files\\Kestrova\\";
const std::wstring kJunk = L"C:\\Work\\junk\\";
const std::wstring kAppPaths = L"Software\\KestrovaMain\\App Paths";

// A stale application path, two junk files and a privacy sweep.
const char* const kTopicFile =
    "[GLOBAL]\nMAGICWORD=FIG\nDATETIME=12/9/2026\n"
    "[TOPIC_0]\nNAME=TestJunk\nCategory=tcCJunkFile\nENABLED=1\nRule_Caption=Old files\n"
    "LOCATION_0=lsDisk,C:\\Work\\junk\nRule=rsJunkFile,.tmp\nLEVEL=2\n"
    "[TOPIC_1]\nNAME=TestAppPaths\nCategory=tcARegFix\nENABLED=1\nRule_Caption=App paths\n"
    "LOCATION_0=lsRegistry,HKEY_CURRENT_USER\\Software\\KestrovaMain\\App Paths\n"
    "Rule=rsAppPaths\nLEVEL=2\nCHECKVALUES=0\nFolderDepth=2\nIncludeSubFolder=1\n"
    "[TOPIC_2]\nNAME=TestSweep\nCategory=tcBPrivacySweep\nENABLED=1\nRule_Caption=Traces\n"
    "LOCATION_0=lsDisk,sweephelper.exe\nRule=rsSweepHelper\nLEVEL=2\n";

const char* const kConst =
    "[setting]\nApp.Ver=1.2.3.4\nPath.Languages=lang\n"
    "MainForm.W=790\nMainForm.H=570\n"
    "ButtonPanel.L=0\nButtonPanel.T=64\nButtonPanel.W=160\nButtonPanel.H=440\n"
    "Container.L=166\nContainer.T=64\nContainer.W=600\nContainer.H=440\n"
    "llRestore.L=560\nllRestore.T=24\nllSettings.L=0\nllSettings.T=0\n"
    "Switch.RegistryFix=1\nSwitch.PrivacySweep=0\n"
    "Switch.JunkFilesClean=1\nSwitch.SystemOptimization=1\n"
    "RegFix.TestAppPaths=1\nJunkFiles.TestJunk=1\n"
    "PrivacySweep.TestSweep=1\n";

// The start of a PNG file: enough for its size to be read.
std::vector<uint8_t> PngHeader(uint32_t aWidth, uint32_t aHeight) {
  std::vector<uint8_t> bytes = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n',
                                0,    0,   0,   13,  'I',  'H',  'D',  'R'};
  for (uint32_t value : {aWidth, aHeight}) {
    for (int shift = 24; shift >= 0; shift -= 8)
      bytes.push_back(static_cast<uint8_t>(value >> shift));
  }
  bytes.insert(bytes.end(), {8, 6, 0, 0, 0, 0, 0, 0, 0});
  return bytes;
}

// Answers message boxes as a user would: with the scripted answers in turn, else OK.
class TScriptedBox : public ICLMessageBox {
public:
  TModalResult Show(const TCLMessageRequest& aRequest, bool& aFlagChecked) override {
    Texts.push_back(aRequest.Text);
    aFlagChecked = TickShowAgain;
    if (Answers.empty())
      return mr::OK;
    const TModalResult answer = Answers.front();
    Answers.pop_front();
    return answer;
  }
  std::vector<std::wstring> Texts;
  std::deque<TModalResult> Answers;
  bool TickShowAgain = false;
};

class MainWindowTest : public testing::Test {
protected:
  MainWindowTest() {
    InstallFakeRegEdit(Machine());
    Machine().AddTextFile(kProgram + L"const.dat", kConst);
    Machine().AddTextFile(kProgram + L"data\\topic.db", kTopicFile);
    Machine().AddFileContent(kProgram + L"res\\16.png", PngHeader(64, 16));
    Machine().AddFileContent(kProgram + L"res\\32.png", PngHeader(128, 32));
    Machine().AddFile(kProgram + L"sweephelper.exe", 100);
    Machine().SetRegString(regroot::CurrentUser, kAppPaths + L"\\gone.exe", L"",
                           L"C:\\Gone\\gone.exe");
    Machine().SetRegString(regroot::CurrentUser, kAppPaths, L"", L"C:\\Windows\\regedit.exe");
    Machine().AddFile(kJunk + L"a.tmp", 10);
    Machine().AddFile(kJunk + L"b.tmp", 20);
    TfrmMain::SetDefaultMessageBox(&FBox);
  }
  ~MainWindowTest() override {
    FForm.reset();
    TfrmMain::SetDefaultMessageBox(nullptr);
    TForm::SetModalHandler(nullptr);
    FreeCLSettings();
  }

  fake::TFakeMachine& Machine() { return FScope.Machine(); }

  TfrmMain& Form() {
    if (!FForm) {
      FForm = std::make_unique<TfrmMain>(nullptr);
      FForm->FigEngine().SetPacing(false);
      FForm->FigCure().SetPaced(false);
    }
    return *FForm;
  }
  TfrmMaintain& Page() { return *Form().Maintain(); }
  TFlashButtonState Button(const wchar_t* aName) { return Form().ButtonPanel()->BtnState(aName); }
  // The six button states in the order Scan, Cure, Stop, Home, Adv, Utilities.
  std::vector<TFlashButtonState> Buttons() {
    return {Button(L"Scan"), Button(L"Cure"), Button(L"Stop"),
            Button(L"Home"), Button(L"Adv"),  Button(L"Utilities")};
  }
  bool RunUntil(const std::function<bool()>& aDone) { return FMain.RunUntil(aDone, kLimitMs); }
  bool Idle() {
    return RunUntil(
        [this] { return !Form().FigEngine().IsRunning() && !Form().FigCure().IsRunning(); });
  }
  // Presses a button of the bar and waits until the work it started has ended.
  bool Press(const wchar_t* aName) {
    Form().ButtonPanel()->Button(aName)->Click();
    return Idle();
  }

  fake::TFakeMachineScope FScope;
  TCLMainThreadQueue FMain{TCLIdleWait::WaitForCall};
  TCLScopedMainThread FMainScope{FMain};
  TScriptedBox FBox;
  std::unique_ptr<TfrmMain> FForm;
};

TEST_F(MainWindowTest, StartsReadyWithTheSettingsAndWritesTheSwitchesBack) {
  TfrmMain& form = Form();
  EXPECT_EQ(form.FigEngine().TopicCount(), 3);
  EXPECT_EQ(Page().lblInfo->Caption(), L"Ready");
  EXPECT_TRUE(Page().cbRegistryFix->Checked());
  EXPECT_FALSE(Page().cbPrivacySweep->Checked());
  EXPECT_TRUE(Page().Visible());
  EXPECT_EQ(Page().btnMaintainScan->Action(), form.actScan);
  EXPECT_EQ(Page().btnMaintainScan->Caption(), L"Scan!");
  EXPECT_EQ(form.miScan->Action(), form.actScan);
  EXPECT_EQ(Buttons(), (std::vector<TFlashButtonState>{KNormal, KInvisibled, KInvisibled, KDisabled,
                                                       KDown, KDisabled}));
  EXPECT_TRUE(Machine().HasFolder(JoinPath(GetCLSettings().UserDataPath(), L"backup")));
  EXPECT_EQ(form.FigCure().BackupPath(), JoinPath(GetCLSettings().UserDataPath(), L"backup"));
  EXPECT_TRUE(form.spTray->Visible());
  EXPECT_EQ(form.Width(), 790);
  EXPECT_EQ(form.pnlContainer->Left(), 166);
  // A layout value of 0 leaves the link where it is.
  EXPECT_EQ(form.llRestore->Left(), 560);
  EXPECT_GT(form.llSettings->Left(), 0);
  EXPECT_EQ(form.il32->Count(), 4);
  EXPECT_TRUE(FBox.Texts.empty());
  // Windows of later parts: their entries stay disabled.
  EXPECT_FALSE(form.llSettings->Enabled());
  EXPECT_FALSE(form.actRestore->Enabled());

  Page().cbJunkFilesClean->Click();
  Page().cbPrivacySweep->Click();
  FForm.reset();
  EXPECT_FALSE(GetCLSettings().GetSettingBool(L"Switch.JunkFilesClean"));
  EXPECT_TRUE(GetCLSettings().GetSettingBool(L"Switch.PrivacySweep"));
}

} // namespace
