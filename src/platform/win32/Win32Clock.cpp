#include "platform/win32/Win32Handle.h"
#include "platform/win32/Win32Parts.h"

namespace kplat::win32 {

namespace {

// SYSTEMTIME holds milliseconds; the finer part of a file time is carried across by hand.
constexpr TFileTime kTicksPerMs = 10000;

class TWin32Clock : public IClock {
public:
  TFileTime NowUtc() override {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    return ToFileTime(now);
  }

  TFileTime UtcToLocal(TFileTime aUtc) override {
    // The time zone's rule for that date (summer time or not), not today's offset.
    const FILETIME utc = ToFILETIME(aUtc);
    SYSTEMTIME utcParts;
    SYSTEMTIME localParts;
    FILETIME local;
    if (::FileTimeToSystemTime(&utc, &utcParts) &&
        ::SystemTimeToTzSpecificLocalTime(nullptr, &utcParts, &localParts) &&
        ::SystemTimeToFileTime(&localParts, &local)) {
      return ToFileTime(local) + aUtc % kTicksPerMs;
    }
    if (::FileTimeToLocalFileTime(&utc, &local)) {
      return ToFileTime(local);
    }
    return aUtc;
  }

  uint64_t TickMs() override { return ::GetTickCount64(); }

  void SleepMs(uint32_t aMs) override { ::Sleep(aMs); }
};

} // namespace

std::unique_ptr<IClock> MakeWin32Clock() {
  return std::make_unique<TWin32Clock>();
}

} // namespace kplat::win32
