#pragma once
// What the harnesses share: one in-memory machine for the whole run, built at the first input
// and installed as the platform, and the input's bytes as a file on it. Building the machine costs
// far more than most inputs, so a harness puts back what an input changed, or puts the whole
// machine back as it was built when an input may have changed more than that (a copy of the
// built machine, a fraction of the cost of building it). Either way every input meets the same
// machine.

#include "platform/fake/FakeMachine.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace fuzz {

inline const std::wstring kProgramFolder = L"C:\\Program Files\\Kestrova\\";

namespace detail {

struct TInstalledMachine {
  std::unique_ptr<kplat::fake::TFakeMachine> Machine =
      std::make_unique<kplat::fake::TFakeMachine>();
  std::unique_ptr<kplat::TScopedPlatform> Scope =
      std::make_unique<kplat::TScopedPlatform>(*Machine);
  std::shared_ptr<const kplat::fake::TFakeMachine::TSnapshot> Built = Machine->TakeSnapshot();
};

inline TInstalledMachine& Installed() {
  static TInstalledMachine installed;
  return installed;
}

} // namespace detail

inline kplat::fake::TFakeMachine& Machine() {
  return *detail::Installed().Machine;
}

// The machine as it was built, in place of the one an input changed.
inline kplat::fake::TFakeMachine& RenewMachine() {
  detail::TInstalledMachine& installed = detail::Installed();
  installed.Machine->RestoreSnapshot(*installed.Built);
  return *installed.Machine;
}

// The machine records launches and shell executions; an input's records go with it, so that
// nothing an input leaves behind grows with the number of inputs.
inline void ClearRecords() {
  Machine().ClearRecords();
}

inline std::vector<uint8_t> Bytes(const uint8_t* aData, size_t aSize) {
  return std::vector<uint8_t>(aData, aData + aSize);
}

// The input split at the first line "\n--\n" (or the whole input and nothing).
inline std::pair<std::vector<uint8_t>, std::vector<uint8_t>> SplitInput(const uint8_t* aData,
                                                                        size_t aSize) {
  static const std::string kMark = "\n--\n";
  const std::string text(reinterpret_cast<const char*>(aData), aSize);
  const size_t at = text.find(kMark);
  if (at == std::string::npos) {
    return {Bytes(aData, aSize), {}};
  }
  return {Bytes(aData, at), Bytes(aData + at + kMark.size(), aSize - at - kMark.size())};
}

} // namespace fuzz
