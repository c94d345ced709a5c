#include "platform/Sha256.h"

#include <windows.h>

#include <bcrypt.h>

#include <utility>
#include <vector>

namespace kplat {

namespace {

// One BCrypt SHA-256 hash, keyed for HMAC when Key is not empty. The algorithm provider is opened
// once per object: cheap next to the data it hashes, and no handle outlives the object. The key
// is kept for the hash objects that follow each Finish: a finished BCrypt hash cannot be used
// again, and not every system offers reusable ones.
struct TBCryptSha256 {
  BCRYPT_ALG_HANDLE Algorithm = nullptr;
  BCRYPT_HASH_HANDLE Hash = nullptr;
  std::vector<UCHAR> Key;
  bool Ok = false;

  explicit TBCryptSha256(std::vector<UCHAR> aKey, ULONG aFlags) : Key(std::move(aKey)) {
    if (!BCRYPT_SUCCESS(
            ::BCryptOpenAlgorithmProvider(&Algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, aFlags))) {
      Algorithm = nullptr;
    }
    Begin();
  }
  ~TBCryptSha256() {
    End();
    if (Algorithm != nullptr) {
      ::BCryptCloseAlgorithmProvider(Algorithm, 0);
    }
    ::SecureZeroMemory(Key.data(), Key.size());
  }
  TBCryptSha256(const TBCryptSha256&) = delete;
  TBCryptSha256& operator=(const TBCryptSha256&) = delete;

  void Begin() {
    Ok = Algorithm != nullptr &&
         BCRYPT_SUCCESS(::BCryptCreateHash(Algorithm, &Hash, nullptr, 0,
                                           Key.empty() ? nullptr : Key.data(),
                                           static_cast<ULONG>(Key.size()), 0));
  }
  void End() {
    if (Hash != nullptr) {
      ::BCryptDestroyHash(Hash);
      Hash = nullptr;
    }
  }
  void Update(const uint8_t* aData, size_t aSize) {
    // BCrypt counts in ULONG: a larger buffer goes in pieces.
    constexpr size_t kPiece = 1u << 30;
    while (Ok && aSize > 0) {
      const ULONG piece = static_cast<ULONG>(aSize < kPiece ? aSize : kPiece);
      Ok = BCRYPT_SUCCESS(::BCryptHashData(Hash, const_cast<PUCHAR>(aData), piece, 0));
      aData += piece;
      aSize -= piece;
    }
  }
  bool Finish(TSha256Digest& aDigest) {
    const bool ok =
        Ok && BCRYPT_SUCCESS(::BCryptFinishHash(Hash, aDigest.data(), aDigest.size(), 0));
    End();
    Begin();
    return ok;
  }
};

} // namespace

struct TSha256::TImpl : TBCryptSha256 {
  TImpl() : TBCryptSha256({}, 0) {}
};

TSha256::TSha256() : FImpl(std::make_unique<TImpl>()) {}

TSha256::~TSha256() = default;

void TSha256::Update(const uint8_t* aData, size_t aSize) {
  FImpl->Update(aData, aSize);
}

bool TSha256::Final(TSha256Digest& aDigest) {
  return FImpl->Finish(aDigest);
}

struct THmacSha256::TImpl : TBCryptSha256 {
  TImpl(const uint8_t* aKey, size_t aKeySize)
      : TBCryptSha256(std::vector<UCHAR>(aKey, aKey + aKeySize), BCRYPT_ALG_HANDLE_HMAC_FLAG) {}
};

THmacSha256::THmacSha256(const uint8_t* aKey, size_t aKeySize)
    : FImpl(std::make_unique<TImpl>(aKey, aKeySize)) {}

THmacSha256::~THmacSha256() = default;

void THmacSha256::Update(const uint8_t* aData, size_t aSize) {
  FImpl->Update(aData, aSize);
}

bool THmacSha256::Final(TSha256Digest& aDigest) {
  return FImpl->Finish(aDigest);
}

} // namespace kplat
