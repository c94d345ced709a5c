#include "cure/sysrestore.h"

#include "platform/Platform.h"

namespace {

constexpr uint32_t kBeginSystemChange = 100;
constexpr uint32_t kEndSystemChange = 101;
constexpr uint32_t kApplicationInstall = 0;

// A call is a success only when the library says so; a refusal with a status of 0 is still a
// failure, or a restore point that was never made would be reported as made.
uint32_t CallRestorePoint(const kplat::TRestorePointInfo& aInfo, int64_t& aSequenceNumber) {
  kplat::TRestorePointStatus status;
  const bool succeeded = kplat::Platform().SystemRestore().SetRestorePoint(aInfo, status);
  aSequenceNumber = status.SequenceNumber;
  if (succeeded) {
    return 0;
  }
  return status.Status != 0 ? status.Status : kRestorePointRefused;
}

} // namespace

std::wstring BindSystemRestore() {
  std::wstring missing;
  const kplat::TErrorCode loaded = kplat::Platform().SystemRestore().LoadLibrary(missing);
  if (loaded == kplat::err::Success) {
    return L"";
  }
  if (loaded == kplat::err::ProcNotFound && !missing.empty()) {
    return L"Did not find " + missing;
  }
  return L"System Restore Interface Not Present.";
}

uint32_t BeginRestorePoint(const std::wstring& aDescription, int64_t& aSequenceNumber) {
  kplat::TRestorePointInfo info;
  info.EventType = kBeginSystemChange;
  info.RestorePointType = kApplicationInstall;
  info.SequenceNumber = 0;
  info.Description = aDescription.substr(0, kRestorePointDescriptionLength);
  return CallRestorePoint(info, aSequenceNumber);
}

uint32_t EndRestorePoint(int64_t aSequenceNumber) {
  kplat::TRestorePointInfo info;
  info.EventType = kEndSystemChange;
  info.RestorePointType = kApplicationInstall;
  info.SequenceNumber = aSequenceNumber;
  int64_t ended = 0;
  return CallRestorePoint(info, ended);
}
