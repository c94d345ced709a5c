#pragma once
// Start-up: the entry point's elevation step, RunApplication (command-line switches, debug mode,
// the single instance and the hand-over to a running instance, splash window, main form, message
// loop) and the requests a second instance makes to the running one, all through the host of
// CLAppHost.h. GUI thread only.

#include "appengine/CLAppHost.h"
#include "components/CLControls.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// The main form's class: its window class name, by which a second instance finds it, and how to
// make one.
struct TCLMainFormClass {
  std::wstring ClassName;
  std::function<std::unique_ptr<TForm>()> Create;
};

template <class TMainForm> TCLMainFormClass MainFormClass(std::wstring aClassName) {
  return {std::move(aClassName), [] { return std::make_unique<TMainForm>(nullptr); }};
}

// The admission callback: false ends the start quietly.
using TCLAdmission = std::function<bool()>;

// The whole life of the process after the entry point; returns when the message loop has ended
// (or at once for the switches and the second instance). aMainForm points at the main form
// while it exists. Needs the host and the main-thread dispatcher.
void RunApplication(const TCLMainFormClass& aMainFormClass, TForm*& aMainForm,
                    const TCLAdmission& aAdmission = {});

// The top-level window of the class that answers "CL GetAppID" with this program's "App.ID", or
// 0.
TCLWindow FindCLInstance(const std::wstring& aClassName);
// Asks the running instance to close ("CL CloseApp"); false when there is none or it did not
// answer.
bool CloseCLInstance(const std::wstring& aClassName);
// Brings the running instance forward, unless it is still starting ("CL IfBusy") or has come
// back from the notification area itself ("CL BringtoFront").
void ActivateCLInstance(const std::wstring& aClassName);
// Hands the text to the running instance as a command file; false when it was not delivered.
bool SendCLCmdFile(const std::wstring& aClassName, const std::wstring& aFileName);

// The entry point's elevation step. On Windows 6.0 and later, unless the first argument is
// exactly "runas" or the process runs elevated already, the program starts itself again through the shell's "runas" verb with
// "runas " and its first argument (quoted as a command line needs it) and this process ends.
// True when this process goes on to RunApplication; otherwise aExitCode is 0 after the relaunch,
// or the system error of a refused or failed one, whose text was shown.
bool CLElevationStep(int& aExitCode);
