#pragma once
// SHA-256 and HMAC-SHA-256 from the system's own cryptography: BCrypt on Windows, Nettle on the
// native build. Never a hash of our own making.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kplat {

using TSha256Digest = std::array<uint8_t, 32>;

class TSha256 {
public:
  TSha256();
  ~TSha256();
  TSha256(const TSha256&) = delete;
  TSha256& operator=(const TSha256&) = delete;

  void Update(const uint8_t* aData, size_t aSize);
  // The digest of everything given so far; the hash starts again empty afterwards. False when
  // the system's cryptography failed: then aDigest means nothing.
  bool Final(TSha256Digest& aDigest);

private:
  struct TImpl;
  std::unique_ptr<TImpl> FImpl;
};

// HMAC-SHA-256 (RFC 2104) with a key given once.
class THmacSha256 {
public:
  THmacSha256(const uint8_t* aKey, size_t aKeySize);
  ~THmacSha256();
  THmacSha256(const THmacSha256&) = delete;
  THmacSha256& operator=(const THmacSha256&) = delete;

  void Update(const uint8_t* aData, size_t aSize);
  // The MAC of everything given since the start or the last Final; then starts again with the
  // same key. False when the system's cryptography failed: then aDigest means nothing.
  bool Final(TSha256Digest& aDigest);

private:
  struct TImpl;
  std::unique_ptr<TImpl> FImpl;
};

// 64 lower-case hexadecimal digits.
std::wstring DigestText(const TSha256Digest& aDigest);
// The digest that DigestText wrote; false for any other text.
bool ParseDigest(const std::wstring& aText, TSha256Digest& aDigest);

} // namespace kplat
