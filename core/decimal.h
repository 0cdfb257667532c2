// Decimal text to the nearest double, exactly rounded (ties to even), without the C library's
// reader: that one brings some 20 KB into every program for a handful of settings values.
#pragma once

#include <string_view>

namespace core {

// `digits` holds only '0'-'9' (at least one); the value is 0.digits x 10^point, negated when
// `negative`. Returns the nearest double: 0 below the smallest, infinity above the largest.
double DecimalToDouble(bool negative, std::string_view digits, long long point);

}  // namespace core
