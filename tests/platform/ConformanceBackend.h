#pragma once
// The backend the conformance suite runs against: the in-memory machine in the Linux build, the
// real Windows API under Wine in the Windows build. The suite only uses the IPlatform interface,
// so any difference between the two shows up as a failure on one of them.

#include "platform/Platform.h"

#include <memory>
#include <string>

class TConformanceBackend {
public:
  virtual ~TConformanceBackend() = default;
  virtual kplat::IPlatform& Platform() = 0;
  // An empty scratch folder under the temporary folder (no trailing backslash), removed with the
  // backend.
  virtual std::wstring ScratchFolder() = 0;
  // A scratch key below HKEY_CURRENT_USER ("Software\..."), removed with the backend.
  virtual std::wstring ScratchKey() = 0;
  // Whether files larger than 4 GiB can be made cheaply (the in-memory machine only).
  virtual bool CanMakeHugeFiles() const = 0;
  // Creates a file of the given size (cheaply where possible) for the size tests.
  virtual void MakeFile(const std::wstring& aPath, uint64_t aSize) = 0;
  // Marks a folder as a reparse point (a junction) to the target; false when not possible.
  virtual bool MakeJunction(const std::wstring& aLink, const std::wstring& aTarget) = 0;
  // Whether real programs run ("cmd.exe /c exit 3" ends with exit code 3).
  virtual bool RunsRealPrograms() const { return false; }
};

// Made fresh for each test case and installed as the process's platform (kplat::Platform()) for
// its lifetime; defined once per backend.
std::unique_ptr<TConformanceBackend> MakeConformanceBackend();
