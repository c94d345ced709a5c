#include "support/win32/TestProcess.h"

namespace ktest::win32 {

bool StartProcess(std::wstring aCommandLine, PROCESS_INFORMATION& aProcess,
                  const TStartOptions& aOptions) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  const bool redirected = aOptions.Output != nullptr || aOptions.Errors != nullptr;
  if (redirected) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = aOptions.Output;
    startup.hStdError = aOptions.Errors;
  }
  constexpr int kAttempts = 3;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    aProcess = {};
    if (::CreateProcessW(nullptr, aCommandLine.data(), nullptr, nullptr, redirected ? TRUE : FALSE,
                         aOptions.Flags, nullptr, aOptions.Folder, &startup, &aProcess)) {
      return true;
    }
  }
  return false;
}

} // namespace ktest::win32
