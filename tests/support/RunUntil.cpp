#include "support/RunUntil.h"

#include "base/CLMainThread.h"

#include <cmath>

bool RunUntil(const std::function<bool()>& aDone, uint32_t aLimitMs) {
  return GetCLMainThread().RunUntil(aDone, aLimitMs);
}

bool Settle(const std::function<bool()>& aDone, uint32_t aLimitMs) {
  const bool done = RunUntil(aDone, aLimitMs);
  GetCLMainThread().ProcessMessages();
  return done;
}

void RunSeconds(kplat::fake::TFakeMachine& aMachine, int aSeconds) {
  for (int i = 0; i < aSeconds; ++i) {
    aMachine.AdvanceMs(1000);
    GetCLMainThread().ProcessMessages();
  }
}

void SetLocalClock(kplat::fake::TFakeMachine& aMachine, TDateTime aLocal) {
  constexpr uint64_t kMsPerDay = 86400000;
  // TDateTime counts days from 30 December 1899, the file time 100 ns from 1 January 1601.
  constexpr uint64_t kDaysFrom1601 = 109205;
  aMachine.SetLocalOffsetMinutes(0);
  const auto ms =
      static_cast<uint64_t>(std::llround(aLocal * kMsPerDay)) + kDaysFrom1601 * kMsPerDay;
  aMachine.SetNow(ms * 10000);
}
