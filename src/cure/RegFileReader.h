#pragma once
// Reads registry export files the way the registry editor imports them: the text format 5.00
// (UTF-16LE with its byte-order mark) and the older 8-bit "REGEDIT4" form. The whole file is
// parsed before anything is applied, so a malformed file changes nothing. A file of any size is
// read part by part, entry by entry; only the form that keeps every key in memory is bounded.

#include "platform/PlatformTypes.h"
#include "platform/RegKey.h"

#include <cstdint>
#include <functional>
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

// The whole-file form (LoadFromFile, LoadFromBytes), which keeps every key in memory, refuses
// larger files before they are read; ReadEntries reads files of any size.
constexpr uint64_t kMaxRegFileBytes = 64ull * 1024 * 1024;
// The longest line, in characters, and the most data of one value, in bytes: anything longer is
// garbage rather than an export, and is refused. The repair backs up no value beyond them.
constexpr size_t kMaxRegFileLineChars = 16u * 1024 * 1024;
// The parts ReadEntries reads a file in.
constexpr uint32_t kRegFilePartBytes = 1u << 20;

// One entry of a file read entry by entry, in file order: a key line (aValue null; the key's
// Values are empty), then each value of that key.
using TRegFileEntryHandler =
    std::function<void(const TRegFileKey& aKey, const TRegFileValue* aValue)>;

class TRegFileReader {
public:
  // Both replace what was read before; false with Error() set when the file cannot be read or is
  // malformed, and then no key is kept.
  bool LoadFromFile(const std::wstring& aFileName);
  bool LoadFromBytes(const std::vector<uint8_t>& aData);

  // Reads the file aPartBytes at a time and hands each entry to aOnEntry (which may be empty) as
  // soon as it is read, holding no more than a line and a value whatever the file's size; Keys()
  // stays empty. False with Error() set when the file cannot be read or is malformed: the entries
  // before the fault have been handed on by then, so whoever must not act on a malformed file
  // reads it once without a handler first.
  bool ReadEntries(const std::wstring& aFileName, const TRegFileEntryHandler& aOnEntry,
                   uint32_t aPartBytes = kRegFilePartBytes);
  // Called by ReadEntries' handler: ReadEntries reads nothing after the current line and
  // returns true, so that a reader that wants only the first entries of a large file stops early.
  // The rest of the file is then unchecked.
  void Stop() { FStopped = true; }
  // Stop was called during the last read.
  bool Stopped() const { return FStopped; }

  // Writes the keys in file order through the platform's registry: a key is created when
  // missing, a "-" key is deleted with its sub-keys, a "-" value is deleted; what is already
  // missing counts as deleted. Goes on after a failure and reports the first one.
  bool Apply();

  TRegFileFormat Format() const { return FFormat; }
  const std::vector<TRegFileKey>& Keys() const { return FKeys; }
  const TRegFileError& Error() const { return FError; }

private:
  bool Fail(int aLine, const std::wstring& aMessage);
  bool Read(class TRegFileLines& aLines, const TRegFileEntryHandler& aOnEntry);

  TRegFileFormat FFormat = TRegFileFormat::Version5;
  std::vector<TRegFileKey> FKeys;
  TRegFileError FError;
  bool FStopped = false;
};

// Writes entries as Apply does, one at a time in file order: the way to apply a file read with
// ReadEntries.
class TRegFileApplier {
public:
  void Entry(const TRegFileKey& aKey, const TRegFileValue* aValue);
  // The first failure; an empty message when every entry was written.
  const TRegFileError& Error() const { return FError; }

private:
  void Note(int aLine, const std::wstring& aMessage);

  kplat::TRegKey FKey; // the key of the values that follow; closed when it could not be made
  TRegFileError FError;
};

// Checks the whole file, then applies it entry by entry, for files of any size; false (with
// aError) when either fails. A malformed file changes nothing.
bool ImportRegFileDirect(const std::wstring& aFileName, TRegFileError& aError);
