#include "platform/win32/Win32Com.h"

namespace kplat::win32 {

namespace {

// A function of a system library, loaded from the system folder only (never from the program's
// folder or the current one) on the first call; nullptr when either is missing.
template <typename TProc> TProc* SystemProc(const wchar_t* aLibrary, const char* aName) {
  const HMODULE library = ::LoadLibraryExW(aLibrary, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  return library == nullptr
             ? nullptr
             : reinterpret_cast<TProc*>(reinterpret_cast<void*>(::GetProcAddress(library, aName)));
}

HRESULT ComInitializeEx(DWORD aMode) {
  static auto* const initialize =
      SystemProc<decltype(::CoInitializeEx)>(L"ole32.dll", "CoInitializeEx");
  return initialize != nullptr ? initialize(nullptr, aMode) : E_NOTIMPL;
}

void ComUninitialize() {
  static auto* const uninitialize =
      SystemProc<decltype(::CoUninitialize)>(L"ole32.dll", "CoUninitialize");
  if (uninitialize != nullptr) {
    uninitialize();
  }
}

class TComApartment {
public:
  TComApartment() : FResult(ComInitializeEx(COINIT_APARTMENTTHREADED)) {}
  ~TComApartment() {
    // S_FALSE (already initialised) also counts and must be balanced.
    if (SUCCEEDED(FResult)) {
      ComUninitialize();
    }
  }
  TComApartment(const TComApartment&) = delete;
  TComApartment& operator=(const TComApartment&) = delete;

  bool Usable() const { return SUCCEEDED(FResult) || FResult == RPC_E_CHANGED_MODE; }

private:
  HRESULT FResult;
};

} // namespace

HRESULT ComCreateInstance(REFCLSID aClass, DWORD aContext, REFIID aInterface, void** aObject) {
  static auto* const create =
      SystemProc<decltype(::CoCreateInstance)>(L"ole32.dll", "CoCreateInstance");
  if (create == nullptr) {
    *aObject = nullptr;
    return E_NOTIMPL;
  }
  return create(aClass, nullptr, aContext, aInterface, aObject);
}

BOOL ShellExecuteExLate(SHELLEXECUTEINFOW* aInfo) {
  static auto* const execute =
      SystemProc<decltype(::ShellExecuteExW)>(L"shell32.dll", "ShellExecuteExW");
  if (execute == nullptr) {
    ::SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  return execute(aInfo);
}

bool EnsureComApartment() {
  thread_local TComApartment GApartment;
  return GApartment.Usable();
}

} // namespace kplat::win32
