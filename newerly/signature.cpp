#include "signature.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "raii.h"

namespace newerly {

namespace {

// The CNG handles, owned as every other handle of the programs is.
struct AlgorithmTraits {
  static BCRYPT_ALG_HANDLE Invalid() { return nullptr; }
  static void Close(BCRYPT_ALG_HANDLE h) { BCryptCloseAlgorithmProvider(h, 0); }
};
struct HashTraits {
  static BCRYPT_HASH_HANDLE Invalid() { return nullptr; }
  static void Close(BCRYPT_HASH_HANDLE h) { BCryptDestroyHash(h); }
};
struct KeyTraits {
  static BCRYPT_KEY_HANDLE Invalid() { return nullptr; }
  static void Close(BCRYPT_KEY_HANDLE h) { BCryptDestroyKey(h); }
};
using Algorithm = winapp::Owned<BCRYPT_ALG_HANDLE, AlgorithmTraits>;
using Hash = winapp::Owned<BCRYPT_HASH_HANDLE, HashTraits>;
using Key = winapp::Owned<BCRYPT_KEY_HANDLE, KeyTraits>;

Algorithm OpenAlgorithm(const wchar_t* name) {
  Algorithm algorithm;
  if (BCryptOpenAlgorithmProvider(algorithm.put(), name, nullptr, 0) < 0) algorithm.release();
  return algorithm;
}

// One DER INTEGER at `at`: positive, at most 32 bytes of value (a leading zero byte for the sign
// aside), written right-aligned into `out`.
bool ReadInteger(std::string_view der, size_t& at, unsigned char* out) {
  if (der.size() - at < 2 || der[at] != 0x02) return false;
  size_t length = static_cast<unsigned char>(der[at + 1]);
  at += 2;
  if (length == 0 || length > 33 || der.size() - at < length) return false;
  std::string_view value = der.substr(at, length);
  at += length;
  if (static_cast<unsigned char>(value[0]) & 0x80) return false;  // negative
  while (value.size() > 1 && value[0] == 0) value.remove_prefix(1);
  if (value.size() > 32) return false;
  std::memset(out, 0, 32);
  std::memcpy(out + 32 - value.size(), value.data(), value.size());
  return true;
}

}  // namespace

std::optional<Sha256Digest> Sha256(std::string_view bytes) {
  Algorithm sha = OpenAlgorithm(BCRYPT_SHA256_ALGORITHM);
  if (!sha) return std::nullopt;
  Hash hash;
  if (BCryptCreateHash(sha.get(), hash.put(), nullptr, 0, nullptr, 0, 0) < 0) hash.release();
  if (!hash) return std::nullopt;
  // Fed in pieces: the platform counts in 32-bit lengths.
  for (size_t at = 0; at < bytes.size();) {
    ULONG chunk = static_cast<ULONG>(std::min<size_t>(bytes.size() - at, 1u << 24));
    if (BCryptHashData(hash.get(), reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data() + at)), chunk, 0) < 0)
      return std::nullopt;
    at += chunk;
  }
  Sha256Digest digest;
  if (BCryptFinishHash(hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0) < 0) return std::nullopt;
  return digest;
}

std::string HexOf(const Sha256Digest& digest) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char b : digest) {
    hex += digits[b >> 4];
    hex += digits[b & 15];
  }
  return hex;
}

bool ParseDigest(std::string_view hex, Sha256Digest& digest) {
  if (hex.size() != 64) return false;
  auto value = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (size_t i = 0; i < 32; ++i) {
    int high = value(hex[2 * i]), low = value(hex[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    digest[i] = static_cast<unsigned char>(high << 4 | low);
  }
  return true;
}

bool SignatureOfDer(std::string_view der, std::array<unsigned char, 64>& rs) {
  // SEQUENCE, its length in the short form (two integers of P-256 take at most 70 bytes).
  if (der.size() < 2 || der[0] != 0x30) return false;
  size_t length = static_cast<unsigned char>(der[1]);
  if (length >= 0x80 || der.size() != 2 + length) return false;
  size_t at = 2;
  return ReadInteger(der, at, rs.data()) && ReadInteger(der, at, rs.data() + 32) && at == der.size();
}

bool IsSignedBy(std::string_view data, std::string_view signature, const UpdateKey& key) {
  std::array<unsigned char, 64> rs;
  if (!SignatureOfDer(signature, rs)) return false;
  std::optional<Sha256Digest> digest = Sha256(data);
  if (!digest) return false;
  Algorithm ecdsa = OpenAlgorithm(BCRYPT_ECDSA_P256_ALGORITHM);
  if (!ecdsa) return false;
  std::vector<unsigned char> blob(sizeof(BCRYPT_ECCKEY_BLOB) + key.size());
  BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
  std::memcpy(blob.data(), &header, sizeof header);
  std::memcpy(blob.data() + sizeof header, key.data(), key.size());
  Key imported;
  if (BCryptImportKeyPair(ecdsa.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, imported.put(), blob.data(),
                          static_cast<ULONG>(blob.size()), 0) < 0)
    return false;
  return BCryptVerifySignature(imported.get(), nullptr, digest->data(), static_cast<ULONG>(digest->size()), rs.data(),
                               static_cast<ULONG>(rs.size()), 0) == 0;
}

}  // namespace newerly
