// The publisher's signature on the version list, checked with the platform's own cryptography
// (CNG): ECDSA on the P-256 curve over SHA-256, the signature as openssl writes it (DER), and the
// SHA-256 digests the list gives for the programs.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace newerly {

// The public half of the publisher's key: the point's X and Y, 32 bytes each, big-endian.
using UpdateKey = std::array<unsigned char, 64>;
using Sha256Digest = std::array<unsigned char, 32>;

// The SHA-256 of `bytes`; nothing when the platform cannot make it.
std::optional<Sha256Digest> Sha256(std::string_view bytes);

// A digest as 64 hexadecimal digits, lower case; and back, either case, nothing else taken.
std::string HexOf(const Sha256Digest& digest);
bool ParseDigest(std::string_view hex, Sha256Digest& digest);

// An ECDSA signature in DER (a SEQUENCE of two positive INTEGERs r and s, nothing after it) as
// the 64 bytes r||s the platform verifies. False for anything else.
bool SignatureOfDer(std::string_view der, std::array<unsigned char, 64>& rs);

// Whether `signature` (DER) is `key`'s signature of the SHA-256 of `data`. A signature that
// cannot be read, a key the platform refuses, or any failure on the way is no signature.
bool IsSignedBy(std::string_view data, std::string_view signature, const UpdateKey& key);

}  // namespace newerly
