#include "platform/win32/Win32Com.h"

namespace kplat::win32 {

namespace {

class TComApartment {
public:
  TComApartment() : FResult(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~TComApartment() {
    // S_FALSE (already initialised) also counts and must be balanced.
    if (SUCCEEDED(FResult)) {
      ::CoUninitialize();
    }
  }
  TComApartment(const TComApartment&) = delete;
  TComApartment& operator=(const TComApartment&) = delete;

  bool Usable() const { return SUCCEEDED(FResult) || FResult == RPC_E_CHANGED_MODE; }

private:
  HRESULT FResult;
};

} // namespace

bool EnsureComApartment() {
  thread_local TComApartment GApartment;
  return GApartment.Usable();
}

} // namespace kplat::win32
