#include "decimal.h"

#include <cstdint>
#include <cstring>

namespace core {
namespace {

// The digits as an exact decimal fraction 0.d1d2... x 10^point, shifted by powers of two until
// the binary exponent shows. Digits past the buffer are only remembered as "something nonzero
// followed", which is all a tie needs.
struct Decimal {
  static constexpr int Capacity = 800;
  uint8_t d[Capacity];
  int count = 0;
  long long point = 0;
  bool truncated = false;

  void Trim() {
    while (count > 0 && d[count - 1] == 0) --count;
    if (count == 0) point = 0;
  }

  // Divides by 2^k, k at most 60.
  void ShiftRight(int k) {
    int read = 0, write = 0;
    uint64_t n = 0;
    for (; (n >> k) == 0; ++read) {
      if (read >= count) {
        if (n == 0) {
          count = 0;
          return;
        }
        while ((n >> k) == 0) n *= 10, ++read;
        break;
      }
      n = n * 10 + d[read];
    }
    point -= read - 1;
    const uint64_t mask = (uint64_t{1} << k) - 1;
    for (; read < count; ++read) {
      uint64_t digit = n >> k;
      n = (n & mask) * 10 + d[read];
      d[write++] = static_cast<uint8_t>(digit);
    }
    while (n > 0) {
      uint64_t digit = n >> k;
      n = (n & mask) * 10;
      if (write < Capacity)
        d[write++] = static_cast<uint8_t>(digit);
      else if (digit > 0)
        truncated = true;
    }
    count = write;
    Trim();
  }

  // Multiplies by 2^k, k at most 60.
  void ShiftLeft(int k) {
    uint8_t out[Capacity + 20];
    int write = Capacity + 20;
    uint64_t n = 0;
    for (int read = count - 1; read >= 0; --read) {
      n += uint64_t{d[read]} << k;
      out[--write] = static_cast<uint8_t>(n % 10);
      n /= 10;
    }
    while (n > 0) {
      out[--write] = static_cast<uint8_t>(n % 10);
      n /= 10;
    }
    int grown = Capacity + 20 - write - count;
    int keep = Capacity + 20 - write;
    if (keep > Capacity) {
      for (int i = write + Capacity; i < Capacity + 20; ++i)
        if (out[i]) truncated = true;
      keep = Capacity;
    }
    std::memcpy(d, out + write, static_cast<size_t>(keep));
    count = keep;
    point += grown;
    Trim();
  }

  // The whole part, rounded half to even (a tie with digits cut off rounds up).
  uint64_t Rounded() const {
    if (point > 20) return UINT64_MAX;
    uint64_t n = 0;
    int i = 0;
    for (; i < point && i < count; ++i) n = n * 10 + d[i];
    for (; i < point; ++i) n *= 10;
    if (point >= 0 && point < count) {
      int next = static_cast<int>(point);
      bool up;
      if (d[next] == 5 && next + 1 == count)
        up = truncated || (next > 0 && (d[next - 1] & 1));
      else
        up = d[next] >= 5;
      if (up) ++n;
    }
    return n;
  }
};

// How far to shift to move the decimal point by 1..8 places without overflowing ShiftLeft.
int PowerStep(long long places) {
  static const int steps[] = {1, 3, 6, 9, 13, 16, 19, 23, 26};
  return places < 9 ? steps[places] : 27;
}

double FromBits(uint64_t bits) {
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

}  // namespace

double DecimalToDouble(bool negative, std::string_view digits, long long point) {
  const uint64_t sign = negative ? uint64_t{1} << 63 : 0;
  size_t first = digits.find_first_not_of('0');
  if (first == std::string_view::npos) return FromBits(sign);
  digits.remove_prefix(first);
  point -= static_cast<long long>(first);
  size_t last = digits.find_last_not_of('0');
  digits = digits.substr(0, last + 1);

  // Short numbers are exact in a double, and so is a power of ten up to 1e22: one rounding.
  if (digits.size() <= 15) {
    long long exponent = point - static_cast<long long>(digits.size());
    if (exponent >= -22 && exponent <= 22) {
      uint64_t m = 0;
      for (char c : digits) m = m * 10 + static_cast<uint64_t>(c - '0');
      static const double powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                      1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
      double v = static_cast<double>(m);
      v = exponent >= 0 ? v * powers[exponent] : v / powers[-exponent];
      return negative ? -v : v;
    }
  }

  if (point > 310) return FromBits(sign | 0x7FF0000000000000ull);
  if (point < -330) return FromBits(sign);

  Decimal a;
  a.point = point;
  for (char c : digits) {
    if (a.count < Decimal::Capacity)
      a.d[a.count++] = static_cast<uint8_t>(c - '0');
    else if (c != '0')
      a.truncated = true;
  }

  constexpr int Bias = -1023;
  int exponent = 0;
  while (a.point > 0) {
    int k = PowerStep(a.point);
    a.ShiftRight(k);
    exponent += k;
  }
  while (a.point < 0 || (a.point == 0 && a.count > 0 && a.d[0] < 5)) {
    int k = PowerStep(-a.point);
    a.ShiftLeft(k);
    exponent -= k;
  }
  // Now 1/2 <= value < 1: the leading bit is at 2^(exponent - 1).
  --exponent;
  if (exponent < Bias + 1) {
    int k = Bias + 1 - exponent;
    while (k > 60) a.ShiftRight(60), k -= 60;
    a.ShiftRight(k);
    exponent = Bias + 1;
  }
  if (exponent - Bias >= 0x7FF) return FromBits(sign | 0x7FF0000000000000ull);
  a.ShiftLeft(53);
  uint64_t mantissa = a.Rounded();
  if (mantissa == uint64_t{2} << 52) {
    mantissa >>= 1;
    ++exponent;
    if (exponent - Bias >= 0x7FF) return FromBits(sign | 0x7FF0000000000000ull);
  }
  if ((mantissa & (uint64_t{1} << 52)) == 0) exponent = Bias;  // subnormal
  uint64_t bits = (mantissa & ((uint64_t{1} << 52) - 1)) | (static_cast<uint64_t>(exponent - Bias) & 0x7FF) << 52;
  return FromBits(sign | bits);
}

}  // namespace core
