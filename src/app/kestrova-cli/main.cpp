// kestrova-cli: Kestrova's scan, repair and restore for scripts and automation, sharing the
// program folder, the settings store and the backups of the window. Text goes to a console as
// UTF-16, to a file or pipe as UTF-8.

#include "base/CLMainThread.h"
#include "cli/KestrovaCli.h"
#include "platform/TextCodec.h"
#include "platform/win32/Win32Platform.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {

class TWin32Console : public ICliConsole {
public:
  TWin32Console()
      : FOut(GetStdHandle(STD_OUTPUT_HANDLE)), FErr(GetStdHandle(STD_ERROR_HANDLE)),
        FOutConsole(IsConsole(FOut)), FErrConsole(IsConsole(FErr)) {}

  void Out(const std::wstring& aText) override { Write(FOut, FOutConsole, aText); }
  void Err(const std::wstring& aText) override { Write(FErr, FErrConsole, aText); }
  bool ErrIsConsole() const override { return FErrConsole; }

private:
  static bool IsConsole(HANDLE aHandle) {
    DWORD mode = 0;
    return aHandle != nullptr && aHandle != INVALID_HANDLE_VALUE &&
           GetConsoleMode(aHandle, &mode) != 0;
  }

  static void Write(HANDLE aHandle, bool aConsole, const std::wstring& aText) {
    if (aHandle == nullptr || aHandle == INVALID_HANDLE_VALUE || aText.empty()) {
      return;
    }
    DWORD written = 0;
    if (aConsole) {
      // The console takes UTF-16 whatever its code page; line ends as the console wants them.
      std::wstring text;
      for (const wchar_t c : aText) {
        if (c == L'\n') {
          text += L'\r';
        }
        text += c;
      }
      const std::vector<uint8_t> utf16 = kplat::EncodeUtf16Le(text);
      WriteConsoleW(aHandle, utf16.data(), static_cast<DWORD>(utf16.size() / 2), &written, nullptr);
      return;
    }
    const std::string utf8 = kplat::ToUtf8(aText);
    WriteFile(aHandle, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
  }

  HANDLE FOut;
  HANDLE FErr;
  bool FOutConsole;
  bool FErrConsole;
};

} // namespace

int wmain(int argc, wchar_t** argv) {
  kplat::win32::InstallWin32Platform();
  TCLMainThreadQueue mainThread(TCLIdleWait::WaitForCall);
  TCLScopedMainThread scope(mainThread);
  std::vector<std::wstring> args;
  for (int i = 1; i < argc; ++i) {
    args.emplace_back(argv[i]);
  }
  TWin32Console console;
  return RunKestrovaCli(args, console);
}
