#pragma once
// Bounded waits on the main thread's queue, whichever dispatcher the test installed, and the
// in-memory clock its timers run on.

#include "base/CLDateUtils.h"
#include "platform/fake/FakeMachine.h"

#include <cstdint>
#include <functional>

// Long enough for a slow, shared machine; a wait that needs more has gone wrong.
inline constexpr uint32_t kRunLimitMs = 120000;

// Serves the main thread until aDone holds or aLimitMs have passed; aDone's last answer.
bool RunUntil(const std::function<bool()>& aDone, uint32_t aLimitMs = kRunLimitMs);
// RunUntil, then serves once more what the change posted, so that its results are shown.
bool Settle(const std::function<bool()>& aDone, uint32_t aLimitMs = kRunLimitMs);
// aSeconds of the main thread's timers on the in-memory clock, one second at a time.
void RunSeconds(kplat::fake::TFakeMachine& aMachine, int aSeconds);
// Sets the in-memory clock to the local time aLocal, with the local time being UTC.
void SetLocalClock(kplat::fake::TFakeMachine& aMachine, TDateTime aLocal);
