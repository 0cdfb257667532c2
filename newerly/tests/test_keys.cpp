#include "test_keys.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "test_signing_key.h"
#include "update_server.h"

namespace newerlytest {

namespace {

BCRYPT_ALG_HANDLE Ecdsa() {
  static BCRYPT_ALG_HANDLE algorithm = [] {
    BCRYPT_ALG_HANDLE a = nullptr;
    if (BCryptOpenAlgorithmProvider(&a, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0) < 0) std::abort();
    return a;
  }();
  return algorithm;
}

std::shared_ptr<void> Owned(BCRYPT_KEY_HANDLE key) {
  return std::shared_ptr<void>(key, [](void* k) { BCryptDestroyKey(k); });
}

// One DER INTEGER of a 32-byte big-endian number.
std::string DerInteger(const unsigned char* number) {
  size_t skip = 0;
  while (skip < 31 && number[skip] == 0) ++skip;
  std::string value(reinterpret_cast<const char*>(number + skip), 32 - skip);
  if (static_cast<unsigned char>(value[0]) & 0x80) value.insert(value.begin(), '\0');
  return std::string{'\x02', static_cast<char>(value.size())} + value;
}

}  // namespace

const TestKey& TestKey::Build() {
  static const TestKey key = [] {
    TestKey k;
    std::vector<unsigned char> blob(sizeof(BCRYPT_ECCKEY_BLOB) + sizeof TestSigningKey);
    BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PRIVATE_P256_MAGIC, 32};
    std::memcpy(blob.data(), &header, sizeof header);
    std::memcpy(blob.data() + sizeof header, TestSigningKey, sizeof TestSigningKey);
    BCRYPT_KEY_HANDLE handle = nullptr;
    if (BCryptImportKeyPair(Ecdsa(), nullptr, BCRYPT_ECCPRIVATE_BLOB, &handle, blob.data(),
                            static_cast<ULONG>(blob.size()), 0) < 0)
      std::abort();
    k.key_ = Owned(handle);
    std::memcpy(k.public_.data(), TestSigningKey, k.public_.size());
    return k;
  }();
  return key;
}

TestKey TestKey::Fresh() {
  TestKey k;
  BCRYPT_KEY_HANDLE handle = nullptr;
  if (BCryptGenerateKeyPair(Ecdsa(), &handle, 256, 0) < 0 || BCryptFinalizeKeyPair(handle, 0) < 0) std::abort();
  k.key_ = Owned(handle);
  unsigned char blob[sizeof(BCRYPT_ECCKEY_BLOB) + 64];
  ULONG size = 0;
  if (BCryptExportKey(handle, nullptr, BCRYPT_ECCPUBLIC_BLOB, blob, sizeof blob, &size, 0) < 0 || size != sizeof blob)
    std::abort();
  std::memcpy(k.public_.data(), blob + sizeof(BCRYPT_ECCKEY_BLOB), k.public_.size());
  return k;
}

std::string TestKey::Sign(std::string_view data) const {
  std::optional<newerly::Sha256Digest> digest = newerly::Sha256(data);
  unsigned char rs[64];
  ULONG size = 0;
  if (!digest || BCryptSignHash(key_.get(), nullptr, digest->data(), 32, rs, sizeof rs, &size, 0) < 0 || size != 64)
    std::abort();
  std::string body = DerInteger(rs) + DerInteger(rs + 32);
  return std::string{'\x30', static_cast<char>(body.size())} + body;
}

void ServeSignedList(UpdateServer& server, const std::string& list, const TestKey& key) {
  server.ServeFile("available.ini", list);
  server.ServeFile("available.sig", key.Sign(list));
}

}  // namespace newerlytest
