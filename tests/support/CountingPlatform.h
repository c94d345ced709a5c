#pragma once
// A platform that passes every call on to another one and counts the registry and file-system
// calls by name ("OpenKey", "FindNext", ...): how much a piece of work asks of the system,
// compared without timing anything. Safe to call from any thread, as the platform it wraps.

#include "platform/Platform.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

class TCountingPlatform : public kplat::IPlatform {
public:
  explicit TCountingPlatform(kplat::IPlatform& aInner);
  ~TCountingPlatform() override;

  // The calls counted since the last Reset, by name.
  std::map<std::string, size_t> Counts() const;
  // Every call except the walk's own enumeration (FindFirst, FindNext, FindClose), summed.
  size_t CallsBesidesEnumeration() const;
  void Reset();

  kplat::IRegistry& Registry() override;
  kplat::IFileSystem& Files() override;
  kplat::ISystem& System() override { return FInner.System(); }
  kplat::IProcesses& Processes() override { return FInner.Processes(); }
  kplat::IShellLinks& ShellLinks() override { return FInner.ShellLinks(); }
  kplat::ISystemRestore& SystemRestore() override { return FInner.SystemRestore(); }
  kplat::IClock& Clock() override { return FInner.Clock(); }
  kplat::IDebugOutput& Debug() override { return FInner.Debug(); }

  // Counts one call; the wrappers of the registry and the files call it.
  void Count(const char* aName);

private:
  class TRegistry;
  class TFiles;

  kplat::IPlatform& FInner;
  mutable std::mutex FLock;
  std::map<std::string, size_t> FCounts;
  std::unique_ptr<TRegistry> FRegistry;
  std::unique_ptr<TFiles> FFiles;
};
