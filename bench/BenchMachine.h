#pragma once
// The machine a benchmark works on: the real registry and disk when built for Windows, the
// in-memory machine natively. One lives for the whole run.

#ifdef _WIN32
#include "platform/win32/Win32Platform.h"
#else
#include "platform/Platform.h"
#include "platform/fake/FakeMachine.h"
#endif

#include <cstdio>
#include <string>

class TBenchMachine {
public:
#ifdef _WIN32
  TBenchMachine() {
    kplat::win32::InstallWin32Platform();
  }
#else
  TBenchMachine() : FPlatform(FMachine) {}

private:
  kplat::fake::TFakeMachine FMachine;
  kplat::TScopedPlatform FPlatform;
#endif
};

// Writes aText to standard output at once, so that a benchmark's progress shows while it runs.
inline void PrintNow(const std::string& aText) {
  std::fwrite(aText.data(), 1, aText.size(), stdout);
  std::fflush(stdout);
}
