#include "platform/win32/Win32SystemRestore.h"

#include "platform/win32/Win32Parts.h"

#include <algorithm>
#include <mutex>

namespace kplat::win32 {

namespace {

using TSetRestorePointW = BOOL(WINAPI*)(TRestorePointInfoW*, TStateMgrStatus*);
using TRemoveRestorePoint = DWORD(WINAPI*)(DWORD);

// The library, loaded once for the process and released when the process ends.
class TRestoreLibrary {
public:
  ~TRestoreLibrary() {
    if (FModule != nullptr) {
      ::FreeLibrary(FModule);
    }
  }

  void Load() {
    std::call_once(FOnce, [this] {
      FModule = ::LoadLibraryW(L"SRCLIENT.DLL");
      if (FModule == nullptr) {
        FResult = LastError(err::ModuleNotFound);
        return;
      }
      FSetRestorePoint = reinterpret_cast<TSetRestorePointW>(
          reinterpret_cast<void*>(::GetProcAddress(FModule, "SRSetRestorePointW")));
      FRemoveRestorePoint = reinterpret_cast<TRemoveRestorePoint>(
          reinterpret_cast<void*>(::GetProcAddress(FModule, "SRRemoveRestorePoint")));
      if (FSetRestorePoint == nullptr) {
        FResult = err::ProcNotFound;
        FMissing = L"SRSetRestorePointW";
      } else if (FRemoveRestorePoint == nullptr) {
        FResult = err::ProcNotFound;
        FMissing = L"SRRemoveRestorePoint";
      }
    });
  }

  TErrorCode Result() const { return FResult; }
  const std::wstring& Missing() const { return FMissing; }
  TSetRestorePointW SetRestorePoint() const { return FSetRestorePoint; }

private:
  std::once_flag FOnce;
  HMODULE FModule = nullptr;
  TErrorCode FResult = err::Success;
  std::wstring FMissing;
  TSetRestorePointW FSetRestorePoint = nullptr;
  TRemoveRestorePoint FRemoveRestorePoint = nullptr;
};

TRestoreLibrary& Library() {
  static TRestoreLibrary GLibrary;
  return GLibrary;
}

class TWin32SystemRestore : public ISystemRestore {
public:
  TErrorCode LoadLibrary(std::wstring& aMissingEntryPoint) override {
    TRestoreLibrary& library = Library();
    library.Load();
    aMissingEntryPoint = library.Missing();
    return library.Result();
  }

  bool SetRestorePoint(const TRestorePointInfo& aInfo, TRestorePointStatus& aStatus) override {
    aStatus = TRestorePointStatus{};
    TRestoreLibrary& library = Library();
    library.Load();
    if (library.Result() != err::Success) {
      aStatus.Status = static_cast<uint32_t>(library.Result());
      return false;
    }
    TRestorePointInfoW info = MakeRestorePointRecord(aInfo);
    TStateMgrStatus status{};
    const BOOL ok = library.SetRestorePoint()(&info, &status);
    aStatus.Status = status.nStatus;
    aStatus.SequenceNumber = status.llSequenceNumber;
    return ok != FALSE;
  }
};

} // namespace

TRestorePointInfoW MakeRestorePointRecord(const TRestorePointInfo& aInfo) {
  TRestorePointInfoW record{};
  record.dwEventType = aInfo.EventType;
  record.dwRestorePtType = aInfo.RestorePointType;
  record.llSequenceNumber = aInfo.SequenceNumber;
  size_t length = std::min(aInfo.Description.size(), kMaxRestoreDescription);
  // Never keep half of a surrogate pair at the cut.
  if (length > 0 && length < aInfo.Description.size() &&
      IS_HIGH_SURROGATE(aInfo.Description[length - 1])) {
    --length;
  }
  std::copy_n(aInfo.Description.data(), length, record.szDescription);
  return record;
}

std::unique_ptr<ISystemRestore> MakeWin32SystemRestore() {
  return std::make_unique<TWin32SystemRestore>();
}

} // namespace kplat::win32
