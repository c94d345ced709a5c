#pragma once
// The System Restore client's records, as SRSetRestorePointW takes and fills them.

#include "platform/win32/Win32Handle.h"

#include <cstddef>

namespace kplat::win32 {

// Packed, without padding, as the library was built.
#pragma pack(push, 1)
struct TRestorePointInfoW {
  DWORD dwEventType;
  DWORD dwRestorePtType;
  INT64 llSequenceNumber;
  WCHAR szDescription[256];
};
struct TStateMgrStatus {
  DWORD nStatus;
  INT64 llSequenceNumber;
};
#pragma pack(pop)
static_assert(sizeof(TRestorePointInfoW) == 528 && sizeof(TStateMgrStatus) == 12);
static_assert(offsetof(TRestorePointInfoW, dwEventType) == 0 &&
              offsetof(TRestorePointInfoW, dwRestorePtType) == 4 &&
              offsetof(TRestorePointInfoW, llSequenceNumber) == 8 &&
              offsetof(TRestorePointInfoW, szDescription) == 16);
static_assert(offsetof(TStateMgrStatus, nStatus) == 0 &&
              offsetof(TStateMgrStatus, llSequenceNumber) == 4);

// The system keeps only so much of a description; the field is larger.
constexpr size_t kMaxRestoreDescription = 128;

// The record for one call: the description cut to its first kMaxRestoreDescription characters
// (one fewer where the cut would split a surrogate pair), every unused character zero.
TRestorePointInfoW MakeRestorePointRecord(const TRestorePointInfo& aInfo);

} // namespace kplat::win32
