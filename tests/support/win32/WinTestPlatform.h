#pragma once
// The real system with what a Wine test changes in it: the wall clock and the program's path.

#include "platform/Platform.h"

#include <windows.h>

#include <atomic>
#include <string>
#include <utility>

// Not the Windows function: the platform layer's own.
#undef ExpandEnvironmentStrings

namespace ktest::win32 {

// The real clock until the test sets a local time; from then on NowUtc answers that time.
class TTestClock : public kplat::IClock {
public:
  explicit TTestClock(kplat::IClock& aReal) : FReal(aReal) {}
  kplat::TFileTime NowUtc() override {
    const kplat::TFileTime local = Local.load();
    return local != 0 ? local : FReal.NowUtc();
  }
  kplat::TFileTime UtcToLocal(kplat::TFileTime aUtc) override {
    return Local.load() != 0 ? aUtc : FReal.UtcToLocal(aUtc);
  }
  uint64_t TickMs() override { return FReal.TickMs(); }
  void SleepMs(uint32_t aMs) override { FReal.SleepMs(aMs); }

  void Set(WORD aYear, WORD aMonth, WORD aDay, WORD aHour, WORD aMinute, WORD aSecond);
  std::atomic<kplat::TFileTime> Local{0};

private:
  kplat::IClock& FReal;
};

// The real system, seen from another program folder (the real one while aProgram is empty).
class TSystemAt : public kplat::ISystem {
public:
  TSystemAt(kplat::ISystem& aReal, std::wstring aProgram)
      : FReal(aReal), FProgram(std::move(aProgram)) {}
  bool GetEnv(const std::wstring& aName, std::wstring& aValue) override {
    return FReal.GetEnv(aName, aValue);
  }
  kplat::TErrorCode SetEnv(const std::wstring& aName, const std::wstring& aValue) override {
    return FReal.SetEnv(aName, aValue);
  }
  std::wstring ExpandEnvironmentStrings(const std::wstring& aText) override {
    return FReal.ExpandEnvironmentStrings(aText);
  }
  kplat::TOSVersion GetVersion() override { return FReal.GetVersion(); }
  uint16_t GetSystemDefaultLangID() override { return FReal.GetSystemDefaultLangID(); }
  kplat::TErrorCode GetDateTimeFormats(kplat::TDateTimeFormats& aFormats) override {
    return FReal.GetDateTimeFormats(aFormats);
  }
  uint32_t GetAnsiCodePage() override { return FReal.GetAnsiCodePage(); }
  kplat::TErrorCode DecodeCodePage(uint32_t aCodePage, std::string_view aBytes,
                                   std::wstring& aText) override {
    return FReal.DecodeCodePage(aCodePage, aBytes, aText);
  }
  kplat::TErrorCode EncodeCodePage(uint32_t aCodePage, std::wstring_view aText,
                                   std::string& aBytes) override {
    return FReal.EncodeCodePage(aCodePage, aText, aBytes);
  }
  kplat::TErrorCode GetRandomBytes(uint8_t* aData, size_t aSize) override {
    return FReal.GetRandomBytes(aData, aSize);
  }
  std::wstring GetProgramPath() override {
    return FProgram.empty() ? FReal.GetProgramPath() : FProgram;
  }
  std::wstring GetTempFolder() override { return FReal.GetTempFolder(); }
  std::wstring GetWindowsFolder() override { return FReal.GetWindowsFolder(); }
  std::wstring GetSystemFolder() override { return FReal.GetSystemFolder(); }
  std::wstring GetCurrentFolder() override { return FReal.GetCurrentFolder(); }

private:
  kplat::ISystem& FReal;
  std::wstring FProgram;
};

class TWinTestPlatform : public kplat::IPlatform {
public:
  // aProgram: the program's path the system reports, the real one when empty.
  explicit TWinTestPlatform(kplat::IPlatform& aReal, const std::wstring& aProgram = {})
      : WallClock(aReal.Clock()), FSystem(aReal.System(), aProgram), FReal(aReal) {}
  kplat::IRegistry& Registry() override { return FReal.Registry(); }
  kplat::IFileSystem& Files() override { return FReal.Files(); }
  kplat::ISystem& System() override { return FSystem; }
  kplat::IProcesses& Processes() override { return FReal.Processes(); }
  kplat::IShellLinks& ShellLinks() override { return FReal.ShellLinks(); }
  kplat::ISystemRestore& SystemRestore() override { return FReal.SystemRestore(); }
  kplat::IClock& Clock() override { return WallClock; }
  kplat::IDebugOutput& Debug() override { return FReal.Debug(); }

  TTestClock WallClock;

private:
  TSystemAt FSystem;
  kplat::IPlatform& FReal;
};

} // namespace ktest::win32
