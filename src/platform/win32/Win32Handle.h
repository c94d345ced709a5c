#pragma once
// The Windows headers as the backend uses them, RAII owners of the kernel objects it opens, and
// the small conversions every unit needs.

#include "platform/Platform.h"

#include <windows.h>

#include <shellapi.h>

// The API's A/W name macros would rename the platform interface's methods of the same names;
// the backend calls the W functions by their full names.
#undef DeleteFile
#undef ExpandEnvironmentStrings
#undef LoadLibrary
#undef ReplaceFile
#undef ShellExecute

#include <algorithm>
#include <string>
#include <utility>

namespace kplat::win32 {

// A kernel handle (file, process, token). Invalid both as nullptr and INVALID_HANDLE_VALUE,
// because the API uses both for "no handle" depending on the call.
class THandle {
public:
  THandle() = default;
  explicit THandle(HANDLE aHandle) : FHandle(aHandle) {}
  ~THandle() { Close(); }
  THandle(THandle&& aOther) noexcept : FHandle(aOther.Release()) {}
  THandle& operator=(THandle&& aOther) noexcept {
    if (this != &aOther) {
      Close();
      FHandle = aOther.Release();
    }
    return *this;
  }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;

  bool IsValid() const { return FHandle != nullptr && FHandle != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return FHandle; }
  HANDLE* Receive() {
    Close();
    return &FHandle;
  }
  HANDLE Release() {
    HANDLE handle = FHandle;
    FHandle = nullptr;
    return handle;
  }
  void Close() {
    if (IsValid()) {
      ::CloseHandle(FHandle);
    }
    FHandle = nullptr;
  }

private:
  HANDLE FHandle = nullptr;
};

// The thread's last error, never Success: a call that failed without saying why is reported as
// a generic failure rather than as success.
inline TErrorCode LastError(TErrorCode aFallback = err::InvalidParameter) {
  const DWORD code = ::GetLastError();
  return code == ERROR_SUCCESS ? aFallback : static_cast<TErrorCode>(code);
}

inline uint64_t ToUInt64(DWORD aHigh, DWORD aLow) {
  return (static_cast<uint64_t>(aHigh) << 32) | aLow;
}

inline TFileTime ToFileTime(const FILETIME& aTime) {
  return ToUInt64(aTime.dwHighDateTime, aTime.dwLowDateTime);
}
inline FILETIME ToWin32FileTime(TFileTime aTime) {
  return {static_cast<DWORD>(aTime & 0xFFFFFFFFu), static_cast<DWORD>(aTime >> 32)};
}

inline FILETIME ToFILETIME(TFileTime aTime) {
  FILETIME result;
  result.dwLowDateTime = static_cast<DWORD>(aTime & 0xFFFFFFFFu);
  result.dwHighDateTime = static_cast<DWORD>(aTime >> 32);
  return result;
}

// Calls aCall(buffer, capacity) for the API's "returns the length needed when the buffer is too
// small" convention, growing until the text fits; the text can grow between two calls, hence the
// loop. aCall returns 0 on failure, or for an empty text, told apart by the last error. A call that
// only reports truncation (by returning the capacity) is covered by growing at least twofold.
template <typename TCall> bool ReadGrowingText(TCall aCall, std::wstring& aText) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    ::SetLastError(ERROR_SUCCESS);
    const DWORD length = aCall(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      aText.clear();
      return ::GetLastError() == ERROR_SUCCESS;
    }
    if (length < buffer.size()) {
      buffer.resize(length);
      aText = std::move(buffer);
      return true;
    }
    buffer.assign(std::max<size_t>(static_cast<size_t>(length) + 1, buffer.size() * 2), L'\0');
  }
}

} // namespace kplat::win32
