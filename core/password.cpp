#include "password.h"

#include <cmath>
#include <vector>

#include "values.h"

namespace core {

const std::wstring_view CodeTable =
    L"AaBbCcDdEeFfGgHhIiJjKkLlMmNnOoPpQqRrSsTtUuVvWwXxYyZz 1234567890"
    L"!@#$%^&*()_-+=|\\}{][\"':;?/.,><";

namespace {

// The k-th (from 1) positive whole number without a 0 among its digits.
constexpr int NthCodeNumber(int k) {
  int n = 0;
  while (k > 0) {
    ++n;
    bool zero = false;
    for (int d = n; d > 0; d /= 10) zero = zero || d % 10 == 0;
    if (!zero) --k;
  }
  return n;
}

struct Codes {
  short byIndex[93] = {};
  constexpr Codes() {
    for (int k = 0; k < 93; ++k) byIndex[k] = static_cast<short>(NthCodeNumber(k + 1));
  }
};
constexpr Codes TheCodeNumbers;
const Codes& TheCodes() { return TheCodeNumbers; }

// Halves go to the even neighbour, as the rounding the stored forms were made with.
double RoundHalfEven(double x) {
  double down = std::floor(x), rest = x - down;
  if (rest > 0.5) return down + 1;
  if (rest < 0.5) return down;
  return std::fmod(down, 2) == 0 ? down : down + 1;
}

}  // namespace

short CharToCode(wchar_t c) {
  auto at = CodeTable.find(c);
  return at == std::wstring_view::npos ? 0 : TheCodes().byIndex[at];
}

std::wstring CodeToChar(int code) {
  const Codes& codes = TheCodes();
  for (size_t k = 0; k < CodeTable.size(); ++k)
    if (codes.byIndex[k] == code) return std::wstring(1, CodeTable[k]);
  return {};
}

std::wstring EncodePassword(std::wstring_view password) {
  const int L = static_cast<int>(password.size());
  if (L < 6 || L > 20) return L"1";
  std::wstring stored;
  for (int i = 0; i < L; ++i) {
    int c = CharToCode(password[i]);
    if (c == 0) return L"2";
    stored += std::to_wstring((c + L) * L - L);
    if (i + 1 < L) stored += L'V';
  }
  return stored;
}

Decoded DecodePassword(std::wstring_view stored, std::wstring& password) {
  password.clear();
  if (stored.empty()) return Decoded::Ok;
  std::vector<std::wstring_view> pieces;
  for (size_t start = 0;;) {
    size_t v = stored.find(L'V', start);
    pieces.push_back(stored.substr(start, v == std::wstring_view::npos ? v : v - start));
    if (v == std::wstring_view::npos) break;
    start = v + 1;
  }
  const double n = static_cast<double>(pieces.size());
  for (auto piece : pieces) {
    double value;
    if (!ParseNumber(piece, value)) return Decoded::NotANumber;
    double a = std::floor(value);
    if (a < -32768 || a > 32767) return Decoded::Overflow;
    double code = RoundHalfEven((a + n) / n) - n;
    if (code >= 1 && code <= 113) password += CodeToChar(static_cast<int>(code));
  }
  return Decoded::Ok;
}

}  // namespace core
