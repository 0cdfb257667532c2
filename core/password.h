// The reversible password encoding of the user database and its character code table. Existing
// databases hold passwords in this form, so it stays exactly as it is.
#pragma once

#include <string>
#include <string_view>

namespace core {

// The 93 characters a password may hold, in table order.
extern const std::wstring_view CodeTable;

// The code of a character (1 to 9, 11 to 19, ... 91 to 99, 111 to 113); 0 when it has none.
short CharToCode(wchar_t c);
// The character of a code; "" for a number that is not a code.
std::wstring CodeToChar(int code);

// "1" when the length is outside 6 to 20, "2" when a character has no code, else the stored form:
// one number (c + L) * L - L per character, joined by "V".
std::wstring EncodePassword(std::wstring_view password);

enum class Decoded { Ok, NotANumber, Overflow };

// The password of a stored form. A piece that is not a number, or one beyond 16 bits once
// rounded down, stops the decoding with that outcome.
Decoded DecodePassword(std::wstring_view stored, std::wstring& password);

}  // namespace core
