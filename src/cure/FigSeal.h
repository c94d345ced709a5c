#pragma once
// Seals on what a repair run leaves for a restore: its registry backup and its quarantine
// manifest. Both lie in the user's backup folder, where every program the user runs can write,
// while a restore runs elevated; a seal says that a file is the one the run wrote.
//
// A file is written in batches and each batch ends with a seal line, written in the same append:
//   "; seal <64 hex digits>"   in a registry backup (a comment, which the registry editor skips)
//   "S <tab> <64 hex digits>"  in a manifest (a line kind that older readers skip)
// The digits are an HMAC-SHA-256, under the seal key, of the kind of file, the run's backup file
// name, the previous seal (32 zero bytes for the first) and every byte between the previous seal
// line and this one. So no batch can be edited, moved to another place, another file or another
// run, and the file must begin with the run's own first batch. A run that was killed may leave a
// last batch without its seal: it protects no change (a change comes only after its batch is on
// disk), and readers drop it.
//
// The key is 32 random bytes kept in the registry where only administrators and the system may
// read it (HKEY_LOCAL_MACHINE\SOFTWARE\Kestrova\Seal, value "Key"), made by the first run that
// may write there. A run that cannot read or make it writes no seals; a restore of such a run,
// like one of a backup from before seals, is one that cannot be checked.

#include "platform/Sha256.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using TSealKey = std::array<uint8_t, 32>;

// Where the key is kept, below HKEY_LOCAL_MACHINE.
inline constexpr std::wstring_view kSealKeyPath = L"SOFTWARE\\Kestrova\\Seal";

// The seal key; with aCreate made (and kept) when there is none yet. None when it cannot be read
// or made, or what is kept there is not a key.
std::optional<TSealKey> LoadSealKey(bool aCreate);

enum class TSealKind : uint8_t { RegistryBackup, Manifest };

enum class TSealState : uint8_t {
  Sealed,   // every seal line matched; the file holds at least one
  Unsealed, // no seal line at all (a run from before seals, or one without the key)
  Unknown,  // seal lines, but no key to check them with
  Broken    // a seal line did not match: edited, planted, or taken from elsewhere
};

// Seals the batches of one file as they are written.
class TSealWriter {
public:
  // aRunFile: the run's backup file; its name is part of every seal. No key: nothing is sealed.
  TSealWriter(const std::optional<TSealKey>& aKey, TSealKind aKind, const std::wstring& aRunFile);

  bool Sealing() const { return FKey.has_value(); }
  // aBatch followed by its seal line (aBatch alone when not sealing), and the seal in aSeal.
  std::vector<uint8_t> Seal(const std::vector<uint8_t>& aBatch, kplat::TSha256Digest& aSeal) const;
  // The batch of aSeal is on disk: the next batch is chained to it. Given the seal Last() had
  // before, it takes back a batch that was cut off the file again.
  void Written(const kplat::TSha256Digest& aSeal) { FLast = aSeal; }
  const kplat::TSha256Digest& Last() const { return FLast; }

private:
  std::optional<TSealKey> FKey;
  TSealKind FKind;
  std::string FRun;
  kplat::TSha256Digest FLast{};
};

// Checks the seals of a file fed to it part by part from its first byte.
class TSealReader {
public:
  // No key: the seal lines are found but not checked (Unknown).
  TSealReader(const std::optional<TSealKey>& aKey, TSealKind aKind, const std::wstring& aRunFile);
  ~TSealReader();
  TSealReader(const TSealReader&) = delete;
  TSealReader& operator=(const TSealReader&) = delete;

  void Add(const uint8_t* aData, size_t aSize);
  // After the last part.
  TSealState State() const;
  // The bytes up to the end of the last seal line that matched (or was found, without a key):
  // what follows is a batch a killed run did not finish.
  uint64_t SealedBytes() const { return FSealedBytes; }

private:
  void EndLine();

  struct TImpl;
  std::unique_ptr<TImpl> FImpl;
  uint64_t FSealedBytes = 0;
};

// Checks a whole file; SealedBytes in aSealedBytes. Broken when the file cannot be read.
TSealState CheckFileSeals(const std::wstring& aFile, const std::optional<TSealKey>& aKey,
                          TSealKind aKind, const std::wstring& aRunFile, uint64_t& aSealedBytes);
