// The version list's signature and the programs' digests, through the platform's cryptography.
#include <gtest/gtest.h>

#include "signature.h"
#include "test_keys.h"

using namespace newerly;
using newerlytest::TestKey;

namespace {

// A list signed by openssl (openssl dgst -sha256 -sign) with a key made for this test: the
// platform takes openssl's signatures as the publisher's script makes them.
const std::string OpensslList = "[WIN]\r\nSerial=1\r\n";
const std::string OpensslSignature("\x30\x46\x02\x21\x00\x92\xcb\x04\x8e\xc9\xaf\xa1\x8a\x51\x51\x0d\xb8\x09\xe3\x62\xa7\xe2\x4a\x0b\xbc\x01\x74\x15\xaf\xaf\x68\x9d\xb7\x7f\xd9\x81\x9d\x02\x21\x00\x8c\xfd\x57\xdd\x77\x14\x13\x15\x77\x97\x42\x6a\x16\xdb\x11\xbd\xc1\x56\x12\x2a\x24\xda\x55\x1c\xa6\xa6\xb4\xbb\x13\x44\x90\x47", 72);
const std::string OpensslKeyBytes("\x7f\x11\xe2\xc9\x1b\x75\x5f\x2c\x9b\xa6\xf5\xa0\x98\x30\x94\x2b\xef\x4e\x7e\x23\xcb\xbb\xe6\x56\xa5\x6c\x65\x76\x9c\x3c\xe1\x73\x2b\x37\x0f\xee\xa2\x14\x49\xed\x1f\x56\x07\x0e\x33\xa6\x09\x93\x7c\xd4\x0e\x7b\xb1\xbd\x98\x4e\x35\xab\x17\xd6\x74\x85\x22\xec", 64);

UpdateKey KeyOf(const std::string& bytes) {
  UpdateKey key;
  std::copy(bytes.begin(), bytes.end(), key.begin());
  return key;
}

TEST(Signature, OnlyTheKeysSignatureOfTheVeryBytesPasses) {
  const std::string list = "[WIN]\r\nSerial=4\r\nPanelVer=1.15\r\n";
  const TestKey& key = TestKey::Build();
  TestKey stranger = TestKey::Fresh();
  std::string good = key.Sign(list);
  std::string flipped = list;
  flipped[10] ^= 1;
  std::string badSignature = good;
  badSignature[20] ^= 0x40;
  struct Case {
    std::string data, signature;
    UpdateKey key;
    bool valid;
  } cases[] = {
      {list, good, key.Public(), true},
      {OpensslList, OpensslSignature, KeyOf(OpensslKeyBytes), true},
      {list, good, stranger.Public(), false},           // another key
      {list, stranger.Sign(list), key.Public(), false},  // signed by another key
      {flipped, good, key.Public(), false},              // one bit of the list changed
      {list, badSignature, key.Public(), false},         // one bit of the signature changed
      {list + "\r\n", good, key.Public(), false},        // a line end added
      {list, "", key.Public(), false},
      {list, good + "x", key.Public(), false},           // bytes after the signature
      {list, good.substr(0, good.size() - 1), key.Public(), false},
      {list, std::string(64, 'A'), key.Public(), false},  // r||s as it stands, not DER
      {OpensslList, OpensslSignature, UpdateKey{}, false},  // not a point of the curve
  };
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(IsSignedBy(cases[i].data, cases[i].signature, cases[i].key), cases[i].valid) << "case " << i;
}

TEST(Signature, DerIntegersArePositiveAndAtMost32Bytes) {
  auto integer = [](std::string value) { return std::string{'\x02', static_cast<char>(value.size())} + value; };
  auto sequence = [](std::string body) { return std::string{'\x30', static_cast<char>(body.size())} + body; };
  std::string one = integer("\x01"), big = integer(std::string("\x00", 1) + std::string(32, '\xFF'));
  struct Case {
    std::string der;
    bool read;
  } cases[] = {
      {sequence(one + one), true},
      {sequence(big + big), true},
      {sequence(integer("\x80") + one), false},              // negative
      {sequence(integer(std::string(33, '\x01')) + one), false},  // 33 bytes of value
      {sequence(one), false},
      {sequence(one + one + one), false},
      {std::string("\x30\x81\x06", 3) + one + one, false},   // long-form length
      {sequence(integer("") + one), false},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    std::array<unsigned char, 64> rs{};
    EXPECT_EQ(SignatureOfDer(cases[i].der, rs), cases[i].read) << "case " << i;
    if (i == 0) {
      EXPECT_TRUE(rs[31] == 1 && rs[63] == 1 && rs[0] == 0) << "right-aligned";
    }
  }
}

TEST(Signature, Sha256AndItsHexadecimalWriting) {
  auto digest = Sha256("abc");
  ASSERT_TRUE(digest);
  const std::string abc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
  EXPECT_EQ(HexOf(*digest), abc);
  Sha256Digest back{};
  std::string upper = abc;
  for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  EXPECT_TRUE(ParseDigest(upper, back) && back == *digest);
  for (std::string bad : {abc.substr(1), abc + "0", abc.substr(0, 63) + "g", std::string(64, ' ')})
    EXPECT_FALSE(ParseDigest(bad, back)) << bad;
  EXPECT_EQ(HexOf(*Sha256("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

}  // namespace
