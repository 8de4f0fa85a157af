// SPDX-License-Identifier: MIT
// What the C library's number scanning sees in a byte, in the C locale,
// and how far an exponent is worth counting.
#pragma once

#include <cstdint>

namespace zelreport {

// isspace() in the C locale: blank, tab, line feed, vertical tab, form
// feed, carriage return.
constexpr bool IsCSpace(unsigned char b) {
    return b == ' ' || (b >= '\t' && b <= '\r');
}

constexpr bool IsDigit(char b) {
    return static_cast<unsigned char>(b - '0') < 10;
}

// Exponents beyond this give 0 or infinity whatever digits stand before
// them: an exponent's digits are counted up to it and no further, which
// keeps every sum with a digit count far inside 64 bits.
constexpr std::int64_t kMaxExponentValue = 1'000'000'000'000'000;

}  // namespace zelreport
