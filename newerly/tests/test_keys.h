// Signing keys of the update tests: the test programs' own key pair, made in the build tree (the
// test builds check lists with its public half), and fresh pairs made at run time, which no
// program knows.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "signature.h"

namespace newerlytest {

class UpdateServer;

class TestKey {
 public:
  // The key the test builds (newerly_testbuild, newerly_release_testkey) were built with.
  static const TestKey& Build();
  // A new key pair.
  static TestKey Fresh();

  const newerly::UpdateKey& Public() const { return public_; }
  // The signature of the SHA-256 of `data`, in DER as openssl writes it.
  std::string Sign(std::string_view data) const;

 private:
  std::shared_ptr<void> key_;  // a BCRYPT_KEY_HANDLE
  newerly::UpdateKey public_{};
};

// Serves `list` as available.ini, with `key`'s signature of it as available.sig.
void ServeSignedList(UpdateServer& server, const std::string& list, const TestKey& key = TestKey::Build());

}  // namespace newerlytest
