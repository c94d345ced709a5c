#pragma once
// What the window tests stand on. MachineTest: a fresh in-memory machine, the main thread's queue
// and a scripted message box; the settings are dropped afterwards, so that the next test reads
// its own. WindowTest adds the built-in English texts and the application engine asking through
// the box.

#include "appengine/CLEngine.h"
#include "base/CLMainThread.h"
#include "base/CLSettings.h"
#include "components/CLMultiLang.h"
#include "platform/fake/FakeMachine.h"
#include "support/ProgramFolder.h"
#include "support/RunUntil.h"
#include "support/ScriptedMessageBox.h"

#include <gtest/gtest.h>

class MachineTest : public testing::Test {
protected:
  explicit MachineTest(TCLIdleWait aIdleWait = TCLIdleWait::SleepClock) : FMain(aIdleWait) {}
  ~MachineTest() override { FreeCLSettings(); }

  kplat::fake::TFakeMachine& Machine() { return FScope.Machine(); }
  TProgramFolder Program() { return TProgramFolder(Machine()); }

  kplat::fake::TFakeMachineScope FScope;
  TCLMainThreadQueue FMain;
  TCLScopedMainThread FMainScope{FMain};
  TScriptedBox FBox;
};

class WindowTest : public MachineTest {
protected:
  explicit WindowTest(TCLIdleWait aIdleWait = TCLIdleWait::SleepClock) : MachineTest(aIdleWait) {
    FLanguage.DefaultData().LoadFromString(CLBuiltInEnglish());
    FEngine.SetLanguageData(&FLanguage);
    FEngine.SetMessageBox(&FBox);
  }

  TCLMultiLangData FLanguage{nullptr};
  TCLEngine FEngine{nullptr};
};

// Keeps the forms made while it lives without windows and without a modal loop of the window
// system, whatever window system an earlier test installed.
class TScopedHeadless {
public:
  TScopedHeadless()
      : FSaved(TForm::SetFormBinder(nullptr)), FSavedModal(TForm::SetModalHandler(nullptr)) {}
  ~TScopedHeadless() {
    TForm::SetModalHandler(FSavedModal);
    TForm::SetFormBinder(FSaved);
  }
  TScopedHeadless(const TScopedHeadless&) = delete;
  TScopedHeadless& operator=(const TScopedHeadless&) = delete;

private:
  TForm::TFormBinder FSaved;
  TForm::TModalHandler FSavedModal;
};
