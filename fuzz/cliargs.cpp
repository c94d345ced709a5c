// The command line of kestrova-cli over any arguments (the input's lines, UTF-8), parsed and then
// run whole on an in-memory machine with a small topic database, and the JSON string notation
// of each argument.
#include "FuzzMachine.h"

#include "base/CLMainThread.h"
#include "base/CLSettings.h"
#include "cli/KestrovaCli.h"
#include "platform/TextCodec.h"

#include <cstdlib>
#include <optional>

namespace {

const char* const kTopicFile = "[GLOBAL]\nMAGICWORD=FIG\nDATETIME=12/9/2026\n"
                               "[TOPIC_0]\nNAME=Paths\nCategory=tcARegFix\nENABLED=1\n"
                               "LOCATION_0=lsRegistry,HKEY_CURRENT_USER\\Software\\Fz\\App Paths\n"
                               "Rule=rsAppPaths\nLEVEL=2\nCHECKVALUES=0\n"
                               "[TOPIC_1]\nNAME=Junk\nCategory=tcCJunkFile\nENABLED=0\n"
                               "LOCATION_0=lsDisk,C:\\Fz\nRule=rsJunkFile,.tmp\nLEVEL=1\n";

class TQuietConsole : public ICliConsole {
public:
  void Out(const std::wstring& aText) override { Output += aText; }
  void Err(const std::wstring& aText) override { Errors += aText; }
  bool ErrIsConsole() const override { return false; }
  std::wstring Output;
  std::wstring Errors;
};

// The text of a JSON string literal, or nothing when it is none: quotes around, no raw control
// character, only the escapes JSON knows.
std::optional<std::wstring> ReadJsonString(const std::wstring& aJson) {
  if (aJson.size() < 2 || aJson.front() != L'"' || aJson.back() != L'"') {
    return std::nullopt;
  }
  std::wstring text;
  for (size_t i = 1; i + 1 < aJson.size(); ++i) {
    const wchar_t c = aJson[i];
    if (static_cast<uint32_t>(c) < 0x20 || c == L'"') {
      return std::nullopt;
    }
    if (c != L'\\') {
      text += c;
      continue;
    }
    if (++i + 1 >= aJson.size()) {
      return std::nullopt;
    }
    switch (aJson[i]) {
    case L'"':
    case L'\\':
      text += aJson[i];
      break;
    case L'n':
      text += L'\n';
      break;
    case L'r':
      text += L'\r';
      break;
    case L't':
      text += L'\t';
      break;
    case L'u':
      if (i + 4 >= aJson.size() - 1 || aJson.substr(i + 1, 4).find_first_not_of(
                                           L"0123456789abcdefABCDEF") != std::wstring::npos) {
        return std::nullopt;
      }
      text += static_cast<wchar_t>(std::wcstoul(aJson.substr(i + 1, 4).c_str(), nullptr, 16));
      i += 4;
      break;
    default:
      return std::nullopt;
    }
  }
  return text;
}

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  if (aSize > 4096) {
    return 0;
  }
  const std::wstring text =
      kplat::FromUtf8(std::string(reinterpret_cast<const char*>(aData), aSize));
  std::vector<std::wstring> arguments = aSize == 0 ? std::vector<std::wstring>() : Arguments(text);

  for (const std::wstring& argument : arguments) {
    if (ReadJsonString(JsonString(argument)) != argument) {
      std::abort();
    }
  }

  TCliOptions options;
  std::wstring error;
  const bool parsed = ParseCliArgs(arguments, options, error);
  // Either a command and no complaint, or a complaint and the usage.
  if (parsed != error.empty()) {
    std::abort();
  }
  if (parsed && options.Command == L"restore" && options.BackupNumber < 1) {
    std::abort();
  }

  kplat::fake::TFakeMachine& machine = fuzz::Machine();
  if (parsed) {
    machine.AddTextFile(L"C:\\Fz\\t.db", kTopicFile);
    machine.AddTextFile(L"C:\\Fz\\old.tmp", "junk");
    machine.SetRegString(kplat::regroot::CurrentUser, L"Software\\Fz\\App Paths\\gone.exe", L"",
                         L"C:\\Gone\\gone.exe");
  }
  {
    TCLMainThreadQueue queue{TCLIdleWait::WaitForCall};
    TCLScopedMainThread mainThread{queue};
    TQuietConsole console;
    const int code = RunKestrovaCli(arguments, console);
    if (!parsed && (code != kCliUsageError || console.Errors.find(error) != 0)) {
      std::abort();
    }
  }
  FreeCLSettings();
  if (parsed) {
    // A command may change settings, keys, files and backups; the next one starts afresh.
    fuzz::RenewMachine();
  }
  return 0;
}
