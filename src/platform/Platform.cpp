#include "platform/Platform.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace kplat {

namespace {
std::atomic<IPlatform*> GPlatform{nullptr};
std::atomic<bool> GDebugEnabled{false};
} // namespace

IPlatform& Platform() {
  IPlatform* p = GPlatform.load(std::memory_order_acquire);
  if (p == nullptr) {
    // A programming error, not a runtime condition: the entry point sets the backend first.
    std::fputs("Kestrova: no platform backend was set\n", stderr);
    std::abort();
  }
  return *p;
}

IPlatform* SetPlatform(IPlatform* aPlatform) {
  return GPlatform.exchange(aPlatform, std::memory_order_acq_rel);
}

void SetDebugEnabled(bool aEnabled) { GDebugEnabled.store(aEnabled); }

bool DebugEnabled() { return GDebugEnabled.load(); }

void DebugLog(const std::wstring& aTag, const std::wstring& aText) {
  if (DebugEnabled()) {
    Platform().Debug().Output(aTag, aText);
  }
}

} // namespace kplat
