#pragma once
// What the harnesses share: a fresh in-memory machine per input, and the input's bytes as a
// file on it.

#include "platform/fake/FakeMachine.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

inline const std::wstring kProgramFolder = L"C:\\Program Files\\Kestrova\\";

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
