// Start-up and the engine's side of the single instance, over a window system of our own: the
// "running instance" is a form with its engine in this process, reached through the fake
// host's windows, so both halves of every exchange are the real code.

#include "shell/CLMain.h"
#include "appengine/CLEngine.h"
#include "base/CLMainThread.h"
#include "base/CLSettings.h"
#include "platform/TextCodec.h"
#include "platform/fake/FakeMachine.h"
#include "support/FakeAppHost.h"
#include "support/ProgramFolder.h"
#include "windows/uSchedule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::wstring>;

// A main form as far as start-up goes: the engine on it, and a tray icon.
class TTestMainForm : public TForm {
public:
  explicit TTestMainForm(TComponent* aOwner) : TForm(aOwner, L"TfrmMain") {
    spTray = new TTrayIcon(this);
    Engine = new TCLEngine(this);
  }
  TTrayIcon* spTray;
  TCLEngine* Engine;
};

bool Has(const Lines& aLines, const std::wstring& aLine) {
  return std::find(aLines.begin(), aLines.end(), aLine) != aLines.end();
}

class CLMain : public ::testing::Test {
protected:
  CLMain() { SetConst("App.ID=77\nApp.GUID={5E7A}\n"); }
  ~CLMain() override { FreeCLSettings(); }

  void SetConst(const std::string& aLines) {
    FreeCLSettings();
    ProgramFolder(FMachine).Settings(aLines);
  }

  // The instance that runs already, past its start-up unless aBusy.
  TTestMainForm& StartRunningInstance(bool aBusy = false) {
    FRunning = std::make_unique<TTestMainForm>(nullptr);
    FRunning->Engine->OnCmdFile = [this](const std::wstring& aFile) {
      FHost.Calls.push_back(L"OnCmdFile " + aFile);
    };
    FHost.AddWindow(*FRunning);
    if (!aBusy) {
      FRunning->Engine->InitPost();
    }
    FRunning->ShowForm();
    return *FRunning;
  }

  // RunApplication with the test's main form; true when it made one.
  bool Run(const TCLAdmission& aAdmission = {}) {
    bool created = false;
    TCLMainFormClass formClass{L"TfrmMain", [&created] {
                                 created = true;
                                 return std::make_unique<TTestMainForm>(nullptr);
                               }};
    TForm* mainForm = nullptr;
    RunApplication(formClass, mainForm, aAdmission);
    EXPECT_EQ(mainForm, nullptr);
    return created;
  }

  kplat::fake::TFakeMachineScope FScope;
  kplat::fake::TFakeMachine& FMachine = FScope.Machine();
  TCLMainThreadQueue FMain;
  TCLScopedMainThread FMainScope{FMain};
  TFakeAppHost FHost;
  TCLScopedAppHost FHostScope{FHost};
  std::unique_ptr<TTestMainForm> FRunning;
};

} // namespace

TEST_F(CLMain, SwitchesEndTheStartOrCloseTheRunningInstance) {
  StartRunningInstance();
  for (const wchar_t* argument : {L"-i", L"/U", L"-I"}) {
    FHost.Args = {argument};
    EXPECT_FALSE(Run());
    EXPECT_TRUE(FHost.Calls.empty());
  }

  FHost.Args = {L"ministart", L"/S"};
  EXPECT_FALSE(Run());
  EXPECT_EQ(FHost.Calls, (Lines{L"Send CL GetAppID", L"Send CL CloseApp", L"Terminate"}));

  // r closes the running one, waits two seconds for it to go, and starts.
  FHost.Calls.clear();
  FHost.Windows.clear();
  FHost.Args = {L"-r"};
  const uint64_t before = FMachine.Clock().TickMs();
  EXPECT_TRUE(Run());
  EXPECT_EQ(FMachine.Clock().TickMs() - before, 2000u);
  EXPECT_TRUE(Has(FHost.Calls, L"Mutex Global\\{5E7A}"));
  EXPECT_TRUE(Has(FHost.Calls, L"Loop"));
}

TEST_F(CLMain, DebugModeFollowsSettingKeysAndSwitch) {
  struct TCase {
    const char* Settings;
    bool Control;
    bool Shift;
    std::vector<std::wstring> Args;
    bool Debug;
  };
  const TCase cases[] = {
      {"Debug.Enabled=1\n", false, false, {}, true},
      {"", true, true, {}, true},
      {"", true, false, {}, false},
      {"Debug.Enabled=1\nDebug.Disabled=1\n", false, false, {}, false},
      {"Debug.Disabled=1\n", true, true, {}, false},
      {"Debug.Disabled=1\n", false, false, {L"/D"}, true},
  };
  for (const TCase& c : cases) {
    SetConst(c.Settings);
    FHost.Control = c.Control;
    FHost.Shift = c.Shift;
    FHost.Args = c.Args;
    kplat::SetDebugEnabled(true);
    const size_t linesBefore = FMachine.DebugLines().size();
    // The admission comes after the debug decision; refusing it ends the start there.
    EXPECT_FALSE(Run([] { return false; }));
    EXPECT_EQ(kplat::DebugEnabled(), c.Debug) << c.Settings;
    const std::vector<kplat::fake::TDebugLine> lines = FMachine.DebugLines();
    const bool logged = lines.size() > linesBefore && lines.back().Text == L"Enter Debug Mode...";
    EXPECT_EQ(logged, c.Debug) << c.Settings;
  }
  kplat::SetDebugEnabled(false);
}

TEST_F(CLMain, AutorunAndAdmissionCanRefuseTheStart) {
  FHost.Args = {L"-a"};
  bool asked = false;
  const auto admission = [&asked] {
    asked = true;
    return true;
  };
  EXPECT_FALSE(Run(admission));
  EXPECT_FALSE(asked);

  SetConst("App.Autorun=1\nApp.GUID={5E7A}\n");
  EXPECT_TRUE(Run(admission));
  EXPECT_TRUE(asked);

  FHost.Calls.clear();
  EXPECT_FALSE(Run([] { return false; }));
  EXPECT_TRUE(FHost.Calls.empty());
}

TEST_F(CLMain, FirstInstanceShowsSplashAndMainFormAndRunsTheLoop) {
  SetConst("App.ID=77\nApp.GUID={5E7A}\nApp.Splash=1\n");
  FHost.Args = {L"AutoSweep"};
  bool shown = false;
  bool initPosted = false;
  TForm* mainForm = nullptr;
  TCLMainFormClass formClass{L"TfrmMain", [&] {
                               auto form = std::make_unique<TTestMainForm>(nullptr);
                               form->Engine->OnCmdFile = [this](const std::wstring& aFile) {
                                 FHost.Calls.push_back(L"OnCmdFile " + aFile);
                               };
                               return form;
                             }};
  FHost.OnLoop = [&] {
    shown = mainForm->Visible();
    // Loaded posted "CL InitPost", which the loop ran; it posted the command file in turn.
    FMain.ProcessMessages();
    TWindowMessage busy;
    busy.Msg = FHost.RegisterMessage(kCLMsgIfBusy);
    mainForm->Perform(busy);
    initPosted = busy.Result == 0;
  };
  RunApplication(formClass, mainForm);
  EXPECT_TRUE(shown);
  EXPECT_TRUE(initPosted);
  EXPECT_EQ(mainForm, nullptr);
  EXPECT_EQ(FHost.Calls, (Lines{L"Mutex Global\\{5E7A}", L"ShowSplash", L"Loop",
                                L"OnCmdFile AutoSweep", L"CloseSplash"}));

  // h keeps the main form hidden; App.Multiple needs no mutex.
  SetConst("App.ID=77\nApp.Multiple=1\n");
  FHost.Calls.clear();
  FHost.Args = {L"-h"};
  FHost.OnLoop = [&] { shown = mainForm->Visible(); };
  RunApplication(formClass, mainForm);
  EXPECT_FALSE(shown);
  EXPECT_EQ(FHost.Calls, (Lines{L"Loop", L"CloseSplash"}));
}

TEST_F(CLMain, SecondInstanceLeavesABusyOrSilentInstanceAlone) {
  FHost.Mutex = TCLMutexResult::mrExisted;
  TTestMainForm& running = StartRunningInstance(true);
  EXPECT_FALSE(Run());
  EXPECT_EQ(FHost.Calls, (Lines{L"Mutex Global\\{5E7A}", L"Send CL GetAppID", L"Send CL IfBusy"}));

  // One that does not answer the question is treated as busy.
  running.Engine->InitPost();
  FHost.Calls.clear();
  FHost.Unanswered = kCLMsgIfBusy;
  EXPECT_FALSE(Run());
  EXPECT_EQ(FHost.Calls.back(), L"Send CL IfBusy");
}

TEST_F(CLMain, SecondInstanceBringsTheRunningOneForward) {
  FHost.Mutex = TCLMutexResult::mrExisted;
  TTestMainForm& running = StartRunningInstance();
  // A window of the class with another program's identity is not ours.
  TForm stranger(nullptr, L"TfrmMain");
  stranger.SetWindowProc([](TWindowMessage& aMessage) {
    aMessage.Result = 5;
    return true;
  });
  FHost.Windows[0x50] = &stranger;

  FHost.Minimized = true;
  EXPECT_FALSE(Run());
  EXPECT_EQ(FHost.Calls, (Lines{L"Mutex Global\\{5E7A}", L"Send CL GetAppID", L"Send CL GetAppID",
                                L"Send CL IfBusy", L"Send CL BringtoFront", L"Restore", L"Show",
                                L"SetForeground"}));

  // Refused: once more within the foreground input thread, then with the lock time-out at 0.
  FHost.Minimized = false;
  FHost.Calls.clear();
  FHost.Foreground = {false, false, true};
  EXPECT_FALSE(Run());
  ASSERT_GE(FHost.Calls.size(), 8u);
  EXPECT_EQ(Lines(FHost.Calls.end() - 8, FHost.Calls.end()),
            (Lines{L"Show", L"SetForeground refused", L"Attach", L"SetForeground refused",
                   L"Detach", L"LockTimeout 0", L"SetForeground", L"LockTimeout 200000"}));

  // Sitting in the notification area it comes back by itself and is not pushed further.
  running.HideForm();
  running.spTray->SetVisible(true);
  FHost.Calls.clear();
  EXPECT_FALSE(Run());
  EXPECT_TRUE(running.Visible());
  EXPECT_EQ(FHost.Calls.back(), L"Send CL BringtoFront");
}

TEST_F(CLMain, SecondInstanceHandsOverItsArgumentAfterwardsDelivered) {
  FHost.Mutex = TCLMutexResult::mrExisted;
  StartRunningInstance();
  const auto handOver = [this](std::vector<std::wstring> aArgs) {
    FHost.Args = std::move(aArgs);
    FHost.Calls.clear();
    EXPECT_FALSE(Run());
    FMain.ProcessMessages();
    Lines delivered;
    for (const std::wstring& call : FHost.Calls) {
      if (call.starts_with(L"CopyData") || call.starts_with(L"OnCmdFile")) {
        delivered.push_back(call);
      }
    }
    return delivered;
  };
  // OnCmdFile runs from the message loop, after the sender's copy-data call returned.
  EXPECT_EQ(handOver({L"C:\\My Files\\x.lst", L"-d"}),
            (Lines{L"CopyData C:\\My Files\\x.lst", L"CopyData returned",
                   L"OnCmdFile C:\\My Files\\x.lst"}));
  EXPECT_EQ(handOver({L"-x", L"file"}), Lines{});
  EXPECT_EQ(handOver({L"/x"}), Lines{});
  // After the elevated restart the user's word follows "runas".
  EXPECT_EQ(handOver({L"runas", L"AutoScan"}),
            (Lines{L"CopyData AutoScan", L"CopyData returned", L"OnCmdFile AutoScan"}));
  EXPECT_EQ(handOver({L"runas"}), Lines{});
}

TEST_F(CLMain, EngineAnswersTheRegisteredMessagesAndPassesTheRest) {
  TForm form(nullptr, L"TfrmMain");
  Lines passed;
  form.SetWindowProc([&passed](TWindowMessage& aMessage) {
    passed.push_back(std::to_wstring(aMessage.Msg));
    return false;
  });
  auto engine = std::make_unique<TCLEngine>(&form);
  const auto send = [&form, this](const wchar_t* aName) {
    TWindowMessage message;
    message.Msg = FHost.RegisterMessage(aName);
    EXPECT_TRUE(form.Perform(message)) << aName;
    return message.Result;
  };
  EXPECT_EQ(send(kCLMsgGetAppID), 77);
  EXPECT_EQ(send(kCLMsgIfBusy), 1);
  EXPECT_EQ(send(kCLMsgInitPost), 0);
  EXPECT_EQ(send(kCLMsgIfBusy), 0);
  EXPECT_EQ(send(kCLMsgBringToFront), 0);
  EXPECT_EQ(send(kCLMsgCloseApp), 0);
  EXPECT_EQ(FHost.Calls, Lines{L"Terminate"});

  // Copy data: an odd byte and a terminating zero are not part of the text.
  Lines files;
  engine->OnCmdFile = [&files](const std::wstring& aFile) { files.push_back(aFile); };
  TWindowMessage copy;
  copy.Msg = kWM_COPYDATA;
  copy.HasCopyData = true;
  copy.CopyData = kplat::EncodeUtf16Le(L"x.lst", true);
  copy.CopyData.push_back(0x41);
  EXPECT_TRUE(form.Perform(copy));
  EXPECT_TRUE(files.empty());
  FMain.ProcessMessages();
  EXPECT_EQ(files, Lines{L"x.lst"});

  // Empty copy data and other messages reach the previous handler; so does the end-of-session
  // query after the engine noted it.
  TWindowMessage other;
  other.Msg = kWM_COPYDATA;
  other.HasCopyData = true;
  EXPECT_FALSE(form.Perform(other));
  other.Msg = kWM_QUERYENDSESSION;
  EXPECT_FALSE(engine->SessionEnding());
  EXPECT_FALSE(form.Perform(other));
  EXPECT_EQ(passed, (Lines{L"74", L"17"}));

  EXPECT_TRUE(engine->SessionEnding());
  FMachine.AdvanceMs(299999);
  EXPECT_TRUE(engine->SessionEnding());
  FMachine.AdvanceMs(1);
  EXPECT_FALSE(engine->SessionEnding());

  // Freed, the engine gives the form its handler back.
  engine.reset();
  passed.clear();
  TWindowMessage appId;
  appId.Msg = FHost.RegisterMessage(kCLMsgGetAppID);
  EXPECT_FALSE(form.Perform(appId));
  EXPECT_EQ(passed.size(), 1u);
}

TEST_F(CLMain, LoadedPostsInitPostWhichFiresTheEventsInOrder) {
  SetConst("App.ID=77\nApp.Name=Kestrova\nApp.Ver=1.0\n");
  FHost.Args = {L"ministart"};
  TTestMainForm form(nullptr);
  Lines events;
  form.Engine->OnLanguageChanged = [&events](TObject&) { events.push_back(L"Language"); };
  form.Engine->OnSkinChanged = [&events](TObject&) { events.push_back(L"Skin"); };
  form.Engine->OnTitleChange = [&events](TObject&) { events.push_back(L"Title"); };
  form.Engine->OnCmdFile = [&events](const std::wstring& aFile) {
    events.push_back(L"CmdFile " + aFile);
  };
  form.Loaded();
  EXPECT_TRUE(events.empty());
  FMain.ProcessMessages();
  EXPECT_EQ(events, (Lines{L"Language", L"Skin", L"Title"}));
  EXPECT_EQ(form.Caption(), L"Kestrova  1.0");
  FMain.ProcessMessages();
  EXPECT_EQ(events.back(), L"CmdFile ministart");
}

TEST_F(CLMain, ElevationRestartsWithTheArgumentWhole) {
  const std::wstring program = kProgram + L"Kestrova.exe";
  FHost.Args = {L"C:\\My Files\\x.lst", L"-d"};
  int exitCode = -1;
  EXPECT_FALSE(CLElevationStep(exitCode));
  EXPECT_EQ(exitCode, 0);
  ASSERT_EQ(FMachine.ShellExecutions().size(), 1u);
  const kplat::TShellExecute launch = FMachine.ShellExecutions()[0];
  EXPECT_EQ(launch.Verb, L"runas");
  EXPECT_EQ(launch.File, program);
  EXPECT_EQ(launch.Parameters, L"runas \"C:\\My Files\\x.lst\"");
  EXPECT_EQ(SplitCommandLine(launch.Parameters), (Lines{L"runas", L"C:\\My Files\\x.lst"}));

  // Already restarted, or a system before 6.0: this process goes on.
  FHost.Args = {L"runas", L"ministart"};
  EXPECT_TRUE(CLElevationStep(exitCode));
  FHost.Args = {};
  FMachine.SetVersion({5, 1, 2600, L"Service Pack 3"});
  EXPECT_TRUE(CLElevationStep(exitCode));
  EXPECT_EQ(FMachine.ShellExecutions().size(), 1u);

  // A process that runs elevated already goes on without a second start.
  FMachine.SetVersion({10, 0, 19045, L""});
  FHost.Elevated = true;
  FHost.Args = {L"C:\\My Files\\x.lst"};
  EXPECT_TRUE(CLElevationStep(exitCode));
  EXPECT_EQ(FMachine.ShellExecutions().size(), 1u);
  FHost.Elevated = false;

  // A refused restart ends with the system's error, shown.
  FMachine.SetVersion({10, 0, 19045, L""});
  FMachine.SetShellHandler([](const kplat::TShellExecute&) { return kplat::TErrorCode{1223}; });
  EXPECT_FALSE(CLElevationStep(exitCode));
  EXPECT_EQ(exitCode, 1223);
  ASSERT_EQ(FHost.Calls.size(), 1u);
  EXPECT_TRUE(FHost.Calls[0].starts_with(L"Error System error 1223")) << FHost.Calls[0];
}

TEST(CLMainQuoting, ArgumentsArriveWhole) {
  for (const std::wstring& argument :
       {std::wstring(L"ministart"), std::wstring(L"C:\\My Files\\x.lst"), std::wstring(L""),
        std::wstring(L"C:\\My Files\\"), std::wstring(L"say \"hi\""), std::wstring(L"a\\\\\"b c"),
        std::wstring(L"tab\there")}) {
    EXPECT_EQ(SplitCommandLine(L"runas " + QuoteCmdLineArgument(argument)),
              (Lines{L"runas", argument}))
        << kplat::ToUtf8(QuoteCmdLineArgument(argument));
  }
  EXPECT_EQ(QuoteCmdLineArgument(L"C:\\Plain\\x.lst"), L"C:\\Plain\\x.lst");
}
