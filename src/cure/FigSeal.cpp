#include "cure/FigSeal.h"

#include "base/CLHelpers.h"
#include "platform/FileIO.h"
#include "platform/Platform.h"
#include "platform/RegKey.h"
#include "platform/TextCodec.h"

#include <cstring>
#include <cwctype>

using kplat::Platform;

namespace {

constexpr uint32_t kReadPart = 1u << 20;
// Batch bytes are handed to the MAC in pieces of about this size.
constexpr size_t kMacPiece = 64 * 1024;
constexpr size_t kDigits = 64;

std::string_view SealPrefix(TSealKind aKind) {
  return aKind == TSealKind::RegistryBackup ? "; seal " : "S\t";
}
size_t UnitBytes(TSealKind aKind) {
  return aKind == TSealKind::RegistryBackup ? 2 : 1; // UTF-16LE or UTF-8
}

// What every seal of a run's file starts from, before the previous seal and the batch.
std::string RunText(TSealKind aKind, const std::wstring& aRunFile) {
  std::wstring name = ExtractFileName(aRunFile);
  for (wchar_t& c : name) {
    c = static_cast<wchar_t>(std::towlower(c));
  }
  return std::string("KESTROVA-SEAL\t1\t") +
         (aKind == TSealKind::RegistryBackup ? "registry" : "manifest") + '\t' +
         kplat::ToUtf8(name) + '\n';
}

std::unique_ptr<kplat::THmacSha256> StartMac(const TSealKey& aKey, const std::string& aRun,
                                             const kplat::TSha256Digest& aLast) {
  auto mac = std::make_unique<kplat::THmacSha256>(aKey.data(), aKey.size());
  mac->Update(reinterpret_cast<const uint8_t*>(aRun.data()), aRun.size());
  mac->Update(aLast.data(), aLast.size());
  return mac;
}

} // namespace

std::optional<TSealKey> LoadSealKey(bool aCreate) {
  kplat::IRegistry& registry = Platform().Registry();
  kplat::TRegHandle handle = kplat::kNoRegHandle;
  const std::wstring path(kSealKeyPath);
  const kplat::TErrorCode opened =
      aCreate ? registry.CreateProtectedKey(kplat::regroot::LocalMachine, path,
                                            kplat::TRegView::Default, handle)
              : registry.OpenKey(kplat::regroot::LocalMachine, path, kplat::TRegAccess::Read,
                                 kplat::TRegView::Default, handle);
  if (opened != kplat::err::Success) {
    return std::nullopt;
  }
  const auto read = [&]() -> std::optional<TSealKey> {
    kplat::TRegValue value;
    if (registry.QueryValue(handle, L"Key", value) != kplat::err::Success ||
        value.Type != kplat::regtype::Binary || value.Data.size() != TSealKey().size()) {
      return std::nullopt;
    }
    TSealKey key{};
    std::copy(value.Data.begin(), value.Data.end(), key.begin());
    return key;
  };
  std::optional<TSealKey> key = read();
  kplat::TRegValue present;
  // Only a key that is missing is made: one that is damaged stays for someone to look at, and
  // the runs it sealed stay refused rather than being silently re-keyed.
  if (!key && aCreate && registry.QueryValue(handle, L"Key", present) == kplat::err::FileNotFound) {
    kplat::TRegValue value{kplat::regtype::Binary, std::vector<uint8_t>(TSealKey().size())};
    if (Platform().System().GetRandomBytes(value.Data.data(), value.Data.size()) ==
            kplat::err::Success &&
        registry.SetValue(handle, L"Key", value) == kplat::err::Success) {
      // Read back: of two runs that made a key at once, both use the one that stayed.
      key = read();
    }
  }
  registry.CloseKey(handle);
  return key;
}

TSealWriter::TSealWriter(const std::optional<TSealKey>& aKey, TSealKind aKind,
                         const std::wstring& aRunFile)
    : FKey(aKey), FKind(aKind), FRun(RunText(aKind, aRunFile)) {
  // A system whose cryptography fails writes no seals rather than seals that cannot match.
  kplat::TSha256Digest probe{};
  if (FKey && !StartMac(*FKey, FRun, FLast)->Final(probe)) {
    FKey.reset();
  }
}

std::vector<uint8_t> TSealWriter::Seal(const std::vector<uint8_t>& aBatch,
                                       kplat::TSha256Digest& aSeal) const {
  std::vector<uint8_t> sealed = aBatch;
  if (!FKey) {
    return sealed;
  }
  const auto mac = StartMac(*FKey, FRun, FLast);
  mac->Update(aBatch.data(), aBatch.size());
  mac->Final(aSeal);
  const std::wstring line =
      kplat::FromUtf8(std::string(SealPrefix(FKind))) + kplat::DigestText(aSeal) + L"\r\n";
  if (FKind == TSealKind::RegistryBackup) {
    const std::vector<uint8_t> utf16 = kplat::EncodeUtf16Le(line);
    sealed.insert(sealed.end(), utf16.begin(), utf16.end());
  } else {
    const std::string utf8 = kplat::ToUtf8(line);
    sealed.insert(sealed.end(), utf8.begin(), utf8.end());
  }
  return sealed;
}

struct TSealReader::TImpl {
  std::optional<TSealKey> Key;
  TSealKind Kind;
  size_t Unit;
  std::string Run;
  kplat::TSha256Digest Last{};
  std::unique_ptr<kplat::THmacSha256> Mac;
  std::vector<uint8_t> Line;  // the current line while it may still be a seal line
  std::vector<uint8_t> Batch; // batch bytes not yet given to the MAC
  bool LongLine = false;      // the current line is too long to be a seal line
  uint64_t Offset = 0;
  uint8_t Previous = 0;
  int Seals = 0;
  bool Broken = false;

  size_t SealLineBytes() const { return (SealPrefix(Kind).size() + kDigits + 2) * Unit; }

  void Feed() {
    if (Mac) {
      Mac->Update(Batch.data(), Batch.size());
    }
    Batch.clear();
  }

  // The seal the line holds, when it is a seal line.
  std::optional<kplat::TSha256Digest> SealOf() const {
    if (Line.size() != SealLineBytes()) {
      return std::nullopt;
    }
    std::string text;
    for (size_t i = 0; i < Line.size(); i += Unit) {
      if (Unit == 2 && Line[i + 1] != 0) {
        return std::nullopt;
      }
      text += static_cast<char>(Line[i]);
    }
    const std::string_view prefix = SealPrefix(Kind);
    kplat::TSha256Digest seal{};
    if (!text.starts_with(prefix) || !text.ends_with("\r\n") ||
        !kplat::ParseDigest(kplat::FromUtf8(text.substr(prefix.size(), kDigits)), seal)) {
      return std::nullopt;
    }
    return seal;
  }
};

TSealReader::TSealReader(const std::optional<TSealKey>& aKey, TSealKind aKind,
                         const std::wstring& aRunFile)
    : FImpl(std::make_unique<TImpl>()) {
  FImpl->Key = aKey;
  FImpl->Kind = aKind;
  FImpl->Unit = UnitBytes(aKind);
  FImpl->Run = RunText(aKind, aRunFile);
  if (aKey) {
    FImpl->Mac = StartMac(*aKey, FImpl->Run, FImpl->Last);
  }
}

TSealReader::~TSealReader() = default;

void TSealReader::Add(const uint8_t* aData, size_t aSize) {
  TImpl& s = *FImpl;
  for (size_t i = 0; i < aSize && !s.Broken; ++i) {
    // The byte after a line feed byte may end the line (the second byte of a UTF-16 line feed).
    if (s.LongLine && s.Previous != '\n') {
      // Nothing of a long line matters before its line feed: it goes to the MAC in one piece.
      const void* found = std::memchr(aData + i, '\n', aSize - i);
      const size_t stop = found != nullptr
                              ? static_cast<size_t>(static_cast<const uint8_t*>(found) - aData)
                              : aSize;
      if (stop > i) {
        s.Batch.insert(s.Batch.end(), aData + i, aData + stop);
        s.Offset += stop - i;
        s.Previous = aData[stop - 1];
        i = stop;
      }
      if (s.Batch.size() >= kMacPiece) {
        s.Feed();
      }
      if (i == aSize) {
        break;
      }
    }
    const uint8_t byte = aData[i];
    ++s.Offset;
    if (s.LongLine) {
      s.Batch.push_back(byte);
    } else {
      s.Line.push_back(byte);
      if (s.Line.size() > s.SealLineBytes()) {
        s.Batch.insert(s.Batch.end(), s.Line.begin(), s.Line.end());
        s.Line.clear();
        s.LongLine = true;
      }
    }
    // A line ends with its line feed, a whole code unit.
    const bool unitEnd = s.Offset % s.Unit == 0;
    const bool lineFeed = s.Unit == 1 ? byte == '\n' : byte == 0 && s.Previous == '\n';
    s.Previous = byte;
    if (unitEnd && lineFeed) {
      EndLine();
    } else if (s.Batch.size() >= kMacPiece) {
      s.Feed();
    }
  }
}

void TSealReader::EndLine() {
  TImpl& s = *FImpl;
  const std::optional<kplat::TSha256Digest> seal = s.LongLine ? std::nullopt : s.SealOf();
  if (!seal) {
    s.Batch.insert(s.Batch.end(), s.Line.begin(), s.Line.end());
  } else {
    if (s.Mac) {
      s.Feed();
      kplat::TSha256Digest expected{};
      if (!s.Mac->Final(expected) || expected != *seal) {
        s.Broken = true;
        return;
      }
      s.Mac = StartMac(*s.Key, s.Run, *seal);
    }
    s.Batch.clear();
    s.Last = *seal;
    ++s.Seals;
    FSealedBytes = s.Offset;
  }
  s.Line.clear();
  s.LongLine = false;
}

TSealState TSealReader::State() const {
  return FImpl->Broken       ? TSealState::Broken
         : FImpl->Seals == 0 ? TSealState::Unsealed
         : !FImpl->Key       ? TSealState::Unknown
                             : TSealState::Sealed;
}

TSealState CheckFileSeals(const std::wstring& aFile, const std::optional<TSealKey>& aKey,
                          TSealKind aKind, const std::wstring& aRunFile, uint64_t& aSealedBytes) {
  TSealReader reader(aKey, aKind, aRunFile);
  kplat::TFilePartReader file(aFile, kReadPart);
  std::vector<uint8_t> part;
  aSealedBytes = 0;
  do {
    if (file.Next(part) != kplat::err::Success) {
      return TSealState::Broken;
    }
    reader.Add(part.data(), part.size());
  } while (!part.empty());
  aSealedBytes = reader.SealedBytes();
  return reader.State();
}
