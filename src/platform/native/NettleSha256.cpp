#include "platform/Sha256.h"

#include <nettle/hmac.h>
#include <nettle/sha2.h>

namespace kplat {

struct TSha256::TImpl {
  sha256_ctx Context;
};

TSha256::TSha256() : FImpl(std::make_unique<TImpl>()) {
  sha256_init(&FImpl->Context);
}

TSha256::~TSha256() = default;

void TSha256::Update(const uint8_t* aData, size_t aSize) {
  sha256_update(&FImpl->Context, aSize, aData);
}

bool TSha256::Final(TSha256Digest& aDigest) {
  sha256_digest(&FImpl->Context, aDigest.size(), aDigest.data()); // also starts the context anew
  return true;
}

struct THmacSha256::TImpl {
  hmac_sha256_ctx Context;
};

THmacSha256::THmacSha256(const uint8_t* aKey, size_t aKeySize) : FImpl(std::make_unique<TImpl>()) {
  hmac_sha256_set_key(&FImpl->Context, aKeySize, aKey);
}

THmacSha256::~THmacSha256() = default;

void THmacSha256::Update(const uint8_t* aData, size_t aSize) {
  hmac_sha256_update(&FImpl->Context, aSize, aData);
}

bool THmacSha256::Final(TSha256Digest& aDigest) {
  hmac_sha256_digest(&FImpl->Context, aDigest.size(), aDigest.data()); // starts anew, same key
  return true;
}

} // namespace kplat
