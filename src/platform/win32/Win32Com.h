#pragma once
// Component-object support: one apartment per thread that uses the shell, and an owning pointer.

#include "platform/win32/Win32Handle.h"

#include <objbase.h>
#include <shellapi.h>

namespace kplat::win32 {

// The component-object and shell libraries are bound on first use, so that a program which never
// needs them (the command line) starts without loading them. Without the library these fail
// as the system would for a missing component (E_NOTIMPL, FALSE with ERROR_MOD_NOT_FOUND).
HRESULT ComCreateInstance(REFCLSID aClass, DWORD aContext, REFIID aInterface, void** aObject);
BOOL ShellExecuteExLate(SHELLEXECUTEINFOW* aInfo);

// Initialises COM on the calling thread once (apartment-threaded) and uninitialises it when the
// thread ends. A thread already in the multi-threaded apartment keeps it; COM works there too.
// Returns false only when COM cannot be used on this thread at all.
bool EnsureComApartment();

// An HRESULT as a system error code: Win32 failures by their own number; the few generic COM
// failures by their nearest system code; anything else (a file the object cannot parse, E_FAIL)
// as invalid data, so that callers only ever see system error numbers.
inline TErrorCode HResultToError(HRESULT aResult) {
  if (SUCCEEDED(aResult)) {
    return err::Success;
  }
  if (HRESULT_FACILITY(aResult) == FACILITY_WIN32) {
    return static_cast<TErrorCode>(HRESULT_CODE(aResult));
  }
  switch (aResult) {
  case E_OUTOFMEMORY:
    return err::NotEnoughMemory;
  case E_INVALIDARG:
  case E_POINTER:
    return err::InvalidParameter;
  case REGDB_E_CLASSNOTREG:
  case CO_E_NOTINITIALIZED:
  case E_NOINTERFACE:
    return err::NotSupported;
  default:
    return ERROR_INVALID_DATA;
  }
}

template <typename T> class TComPtr {
public:
  TComPtr() = default;
  ~TComPtr() { Close(); }
  TComPtr(const TComPtr&) = delete;
  TComPtr& operator=(const TComPtr&) = delete;

  T* operator->() const { return FPtr; }
  T* Get() const { return FPtr; }
  // For the out parameter of CoCreateInstance and QueryInterface.
  void** Receive() {
    Close();
    return reinterpret_cast<void**>(&FPtr);
  }
  void Close() {
    if (FPtr != nullptr) {
      FPtr->Release();
      FPtr = nullptr;
    }
  }

private:
  T* FPtr = nullptr;
};

} // namespace kplat::win32
