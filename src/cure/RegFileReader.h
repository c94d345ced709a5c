#pragma once
// Reads registry export files the way the registry editor imports them: the text format 5.00
// (UTF-16LE with its byte-order mark) and the older 8-bit "REGEDIT4" form. The whole file is
// parsed before anything is applied, so a malformed file changes nothing.

#include "platform/PlatformTypes.h"

#include <cstdint>
#include <string>
#include <vector>

enum class TRegFileFormat { Version5, Regedit4 };

struct TRegFileValue {
  std::wstring Name;   // empty: the default value ("@")
  bool Delete = false; // the data was "-"
  kplat::TRegValue Value;
  int Line = 0;
};

struct TRegFileKey {
  std::wstring RootName; // as written, e.g. "HKEY_CURRENT_USER"
  kplat::TRegHandle Root = kplat::kNoRegHandle;
  std::wstring SubKey; // below the root; empty for the root itself
  bool Delete = false; // the bracket line began with "-"
  std::vector<TRegFileValue> Values;
  int Line = 0;
};

struct TRegFileError {
  int Line = 0; // 1-based; 0 for the file as a whole
  std::wstring Message;
};

// Larger files are refused before they are read.
constexpr uint64_t kMaxRegFileBytes = 64ull * 1024 * 1024;

class TRegFileReader {
public:
  // Both replace what was read before; false with Error() set when the file cannot be read or is
  // malformed, and then no key is kept.
  bool LoadFromFile(const std::wstring& aFileName);
  bool LoadFromBytes(const std::vector<uint8_t>& aData);

  // Writes the keys in file order through the platform's registry: a key is created when
  // missing, a "-" key is deleted with its sub-keys, a "-" value is deleted; what is already
  // missing counts as deleted. Goes on after a failure and reports the first one.
  bool Apply();

  TRegFileFormat Format() const { return FFormat; }
  const std::vector<TRegFileKey>& Keys() const { return FKeys; }
  const TRegFileError& Error() const { return FError; }

private:
  bool Fail(int aLine, const std::wstring& aMessage);

  TRegFileFormat FFormat = TRegFileFormat::Version5;
  std::vector<TRegFileKey> FKeys;
  TRegFileError FError;
};

// LoadFromFile and Apply in one step; false (with aError) when either fails.
bool ImportRegFileDirect(const std::wstring& aFileName, TRegFileError& aError);
