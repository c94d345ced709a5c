#include "platform/Sha256.h"

#include <windows.h>

#include <bcrypt.h>

#include <vector>

namespace kplat {

// The algorithm provider is opened once per hash: cheap next to the file it hashes, and no
// handle outlives the object.
struct TSha256::TImpl {
  BCRYPT_ALG_HANDLE Algorithm = nullptr;
  BCRYPT_HASH_HANDLE Hash = nullptr;
  bool Ok = false;

  void Begin() {
    Ok = BCRYPT_SUCCESS(::BCryptCreateHash(Algorithm, &Hash, nullptr, 0, nullptr, 0, 0));
  }
  void End() {
    if (Hash != nullptr) {
      ::BCryptDestroyHash(Hash);
      Hash = nullptr;
    }
  }
};

TSha256::TSha256() : FImpl(std::make_unique<TImpl>()) {
  if (BCRYPT_SUCCESS(
          ::BCryptOpenAlgorithmProvider(&FImpl->Algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
    FImpl->Begin();
  }
}

TSha256::~TSha256() {
  FImpl->End();
  if (FImpl->Algorithm != nullptr) {
    ::BCryptCloseAlgorithmProvider(FImpl->Algorithm, 0);
  }
}

void TSha256::Update(const uint8_t* aData, size_t aSize) {
  // BCrypt counts in ULONG: a larger buffer goes in pieces.
  constexpr size_t kPiece = 1u << 30;
  while (FImpl->Ok && aSize > 0) {
    const ULONG piece = static_cast<ULONG>(aSize < kPiece ? aSize : kPiece);
    FImpl->Ok = BCRYPT_SUCCESS(::BCryptHashData(FImpl->Hash, const_cast<PUCHAR>(aData), piece, 0));
    aData += piece;
    aSize -= piece;
  }
}

bool TSha256::Final(TSha256Digest& aDigest) {
  const bool ok = FImpl->Ok && BCRYPT_SUCCESS(::BCryptFinishHash(FImpl->Hash, aDigest.data(),
                                                                 aDigest.size(), 0));
  FImpl->End();
  FImpl->Begin();
  return ok;
}

// The key is kept for the hash objects that follow each Final: a finished BCrypt hash cannot be
// used again, and not every system offers reusable ones.
struct THmacSha256::TImpl {
  BCRYPT_ALG_HANDLE Algorithm = nullptr;
  BCRYPT_HASH_HANDLE Hash = nullptr;
  std::vector<UCHAR> Key;
  bool Ok = false;

  void Begin() {
    Ok = Algorithm != nullptr &&
         BCRYPT_SUCCESS(::BCryptCreateHash(Algorithm, &Hash, nullptr, 0, Key.data(),
                                           static_cast<ULONG>(Key.size()), 0));
  }
  void End() {
    if (Hash != nullptr) {
      ::BCryptDestroyHash(Hash);
      Hash = nullptr;
    }
  }
};

THmacSha256::THmacSha256(const uint8_t* aKey, size_t aKeySize) : FImpl(std::make_unique<TImpl>()) {
  FImpl->Key.assign(aKey, aKey + aKeySize);
  if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&FImpl->Algorithm, BCRYPT_SHA256_ALGORITHM,
                                                    nullptr, BCRYPT_ALG_HANDLE_HMAC_FLAG))) {
    FImpl->Algorithm = nullptr;
  }
  FImpl->Begin();
}

THmacSha256::~THmacSha256() {
  FImpl->End();
  if (FImpl->Algorithm != nullptr) {
    ::BCryptCloseAlgorithmProvider(FImpl->Algorithm, 0);
  }
  ::SecureZeroMemory(FImpl->Key.data(), FImpl->Key.size());
}

void THmacSha256::Update(const uint8_t* aData, size_t aSize) {
  constexpr size_t kPiece = 1u << 30;
  while (FImpl->Ok && aSize > 0) {
    const ULONG piece = static_cast<ULONG>(aSize < kPiece ? aSize : kPiece);
    FImpl->Ok = BCRYPT_SUCCESS(::BCryptHashData(FImpl->Hash, const_cast<PUCHAR>(aData), piece, 0));
    aData += piece;
    aSize -= piece;
  }
}

bool THmacSha256::Final(TSha256Digest& aDigest) {
  const bool ok = FImpl->Ok && BCRYPT_SUCCESS(::BCryptFinishHash(FImpl->Hash, aDigest.data(),
                                                                 aDigest.size(), 0));
  FImpl->End();
  FImpl->Begin();
  return ok;
}

} // namespace kplat
