#pragma once
// System restore points, through the system's System Restore library ("SRCLIENT.DLL").

#include <cstdint>
#include <string>

// A restore point's description holds at most this many characters.
inline constexpr size_t kRestorePointDescriptionLength = 128;
// The status of a call that the library refused without saying why (ERROR_GEN_FAILURE).
inline constexpr uint32_t kRestorePointRefused = 31;

// Binds the library for the whole process, once, before any window exists. "" when it and both
// its entry points are there; otherwise the warning to show before the program ends with exit
// code 1 ("System Restore Interface Not Present.", "Did not find SRSetRestorePointW", "Did not
// find SRRemoveRestorePoint").
std::wstring BindSystemRestore();

// Begins a system change with the description's first 128 characters. 0 on success, otherwise
// the system's status code, or kRestorePointRefused when the call failed with a status of 0 (as
// Wine's library answers); aSequenceNumber receives the restore point's number either way.
uint32_t BeginRestorePoint(const std::wstring& aDescription, int64_t& aSequenceNumber);
// Ends the system change begun under aSequenceNumber; 0 on success, as BeginRestorePoint.
uint32_t EndRestorePoint(int64_t aSequenceNumber);
