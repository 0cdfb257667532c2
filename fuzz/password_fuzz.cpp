// The stored password form: any stored text decodes or is refused without harm, and every
// password the encoding accepts decodes back to itself.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "password.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::wstring stored;
  for (size_t i = 0; i < size; ++i) stored += static_cast<wchar_t>(data[i]);
  std::wstring decoded;
  core::DecodePassword(stored, decoded);
  if (decoded.size() > stored.size()) std::abort();

  std::wstring password;
  for (size_t i = 0; i < size && i < 24; ++i) password += core::CodeTable[data[i] % core::CodeTable.size()];
  std::wstring encoded = core::EncodePassword(password);
  if (password.size() < 6 || password.size() > 20) {
    if (encoded != L"1") std::abort();
    return 0;
  }
  std::wstring back;
  if (core::DecodePassword(encoded, back) != core::Decoded::Ok || back != password) std::abort();
  return 0;
}
