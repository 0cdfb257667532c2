#include "codec.h"

#include "fault.h"
#include "values.h"

namespace accesskeep {

bool NumberOf(std::wstring_view text, double& value) { return core::ParseNumber(text, value); }

std::wstring DecodePassword(std::wstring_view stored) {
  std::wstring password;
  switch (core::DecodePassword(stored, password)) {
    case core::Decoded::NotANumber: TypeMismatch();
    case core::Decoded::Overflow: Overflow();
    case core::Decoded::Ok: break;
  }
  return password;
}

}  // namespace accesskeep
