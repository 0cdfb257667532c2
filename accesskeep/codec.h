// The reversible password encoding of the user database and its character code table. Existing
// databases hold passwords in this form, so it stays exactly as it is.
#pragma once

#include <string>
#include <string_view>

#include "password.h"

namespace accesskeep {

using core::CharToCode;
using core::CodeTable;
using core::CodeToChar;
using core::EncodePassword;

// The password of a stored form. A piece that is not a number fails with a type mismatch, one
// beyond 16 bits with an overflow (Fault).
std::wstring DecodePassword(std::wstring_view stored);

// Plain decimal numbers (optional sign, decimal point, exponent); false for anything else.
bool NumberOf(std::wstring_view text, double& value);

}  // namespace accesskeep
