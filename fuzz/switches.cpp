// The window program's command line over any arguments (the input's lines, UTF-8): the switches,
// the launch word and what the launch timer makes of it, the elevated restart's parameters read
// back as Windows reads a command line, and the Run entry built from a program path.
#include "FuzzMachine.h"

#include "base/CLSettings.h"
#include "platform/TextCodec.h"
#include "shell/CLMain.h"
#include "windows/uSchedule.h"

#include <cstdlib>

namespace {

// Only the arguments are this host's own; the window system is not there.
class TArgumentsHost : public ICLAppHost {
public:
  explicit TArgumentsHost(std::vector<std::wstring> aArguments)
      : FArguments(std::move(aArguments)) {}
  std::vector<std::wstring> Arguments() override { return FArguments; }
  uint32_t RegisterMessage(const std::wstring&) override { return 0; }
  std::vector<TCLWindow> FindWindows(const std::wstring&) override { return {}; }
  std::wstring WindowCaption(TCLWindow) override { return {}; }
  bool SendWithTimeout(TCLWindow, uint32_t, uintptr_t, intptr_t, uint32_t, intptr_t&) override {
    return false;
  }
  bool SendCopyData(TCLWindow, uintptr_t, const std::vector<uint8_t>&, uint32_t) override {
    return false;
  }
  bool IsMinimized(TCLWindow) override { return false; }
  void Restore(TCLWindow) override {}
  void Show(TCLWindow) override {}
  bool SetForeground(TCLWindow) override { return false; }
  bool AttachForegroundInput(bool) override { return false; }
  bool GetForegroundLockTimeout(uint32_t&) override { return false; }
  bool SetForegroundLockTimeout(uint32_t) override { return false; }
  TCLMutexResult CreateInstanceMutex(const std::wstring&) override {
    return TCLMutexResult::mrFailed;
  }
  bool KeyDown(TCLKey) override { return false; }
  void ShowSplash() override {}
  void CloseSplash() override {}
  void RunMessageLoop() override {}
  void Terminate() override {}
  void ShowPlainMessage(const std::wstring&, bool) override {}
  uint32_t SendMail(TCLWindow, const std::vector<std::pair<std::wstring, std::wstring>>&) override {
    return 0;
  }

private:
  std::vector<std::wstring> FArguments;
};

std::vector<std::wstring> Arguments(const std::wstring& aText) {
  std::vector<std::wstring> arguments;
  size_t start = 0;
  for (;;) {
    const size_t end = aText.find(L'\n', start);
    arguments.push_back(aText.substr(start, end - start));
    if (end == std::wstring::npos) {
      return arguments;
    }
    start = end + 1;
  }
}

void CheckSwitches(const std::vector<std::wstring>& aArguments) {
  for (const wchar_t* letter : {L"i", L"u", L"s", L"r", L"d", L"a", L"h"}) {
    bool given = false;
    for (const std::wstring& argument : aArguments) {
      given = given || (argument.size() == 2 && (argument[0] == L'-' || argument[0] == L'/') &&
                        kplat::AsciiUpper(argument[1]) == kplat::AsciiUpper(letter[0]));
    }
    if (FindCmdLineSwitch(aArguments, letter) != given) {
      std::abort();
    }
  }
}

// The elevated restart hands the first argument on whole, after its own word.
void CheckElevation(kplat::fake::TFakeMachine& aMachine,
                    const std::vector<std::wstring>& aArguments) {
  int exitCode = 0;
  const bool goOn = CLElevationStep(exitCode);
  const bool elevated = !aArguments.empty() && aArguments[0] == L"runas";
  if (goOn != elevated) {
    std::abort();
  }
  if (elevated) {
    return;
  }
  const std::vector<kplat::TShellExecute> starts = aMachine.ShellExecutions();
  if (starts.size() != 1 || starts[0].Verb != L"runas") {
    std::abort();
  }
  std::vector<std::wstring> expected{L"runas"};
  if (!aArguments.empty()) {
    expected.push_back(aArguments[0]);
  }
  if (SplitCommandLine(starts[0].Parameters) != expected) {
    std::abort();
  }
}

void CheckRunEntry(const std::wstring& aProgramPath) {
  // A file's path holds no quote and does not end in a backslash.
  if (aProgramPath.empty() || aProgramPath.find(L'"') != std::wstring::npos ||
      aProgramPath.back() == L'\\' || aProgramPath.find(L'\0') != std::wstring::npos) {
    return;
  }
  const std::vector<std::wstring> expected{aProgramPath, kLaunchAutoSweep};
  if (SplitCommandLine(RunEntryData(aProgramPath, true, true)) != expected) {
    std::abort();
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  if (aSize > 4096) {
    return 0;
  }
  const std::wstring text =
      kplat::FromUtf8(std::string(reinterpret_cast<const char*>(aData), aSize));
  // The system never passes a zero inside an argument.
  const std::vector<std::wstring> arguments = aSize == 0 || text.find(L'\0') != std::wstring::npos
                                                  ? std::vector<std::wstring>()
                                                  : Arguments(text);
  CheckSwitches(arguments);
  for (const std::wstring& argument : arguments) {
    if (SplitCommandLine(L"x " + QuoteCmdLineArgument(argument)) !=
        std::vector<std::wstring>{L"x", argument}) {
      std::abort();
    }
  }
  CheckRunEntry(text);

  TArgumentsHost host(arguments);
  {
    TCLScopedAppHost hostScope(host);
    CheckElevation(fuzz::Machine(), arguments);
    const std::vector<std::wstring> given = CLCommandArguments();
    if (!given.empty() && !IsCmdLineSwitch(given[0])) {
      const std::wstring word = LaunchParamsFromCmdFile(given[0], given);
      const TLaunchPlan plan = PlanLaunch(word);
      // Only the four launch words start anything.
      if (plan.Action != TLaunchAction::laNone && !word.empty() &&
          !kplat::SameText(word, kLaunchMiniStart) && !kplat::SameText(word, kLaunchAutoScan) &&
          !kplat::SameText(word, kLaunchAutoSweep)) {
        std::abort();
      }
    }
  }
  FreeCLSettings();
  fuzz::ClearRecords();
  return 0;
}
