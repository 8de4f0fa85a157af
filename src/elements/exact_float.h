// SPDX-License-Identifier: MIT
// A decimal mantissa times a power of ten, rounded once to float.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "elements/digits.h"

namespace zelreport {

namespace exact_float {

// The bits a double has beyond a float's 24, and their pattern at a
// halfway point between two floats.
constexpr std::uint64_t kDoubleDropped = (std::uint64_t{1} << 29) - 1;
constexpr std::uint64_t kDoubleHalfway = std::uint64_t{1} << 28;
constexpr std::uint64_t kMaxDoubleMantissa = std::uint64_t{1} << 53;
// The same for an 80-bit long double: 64 bits of significand, 40 dropped.
constexpr std::uint64_t kLongDropped = (std::uint64_t{1} << 40) - 1;
constexpr std::uint64_t kLongHalfway = std::uint64_t{1} << 39;
// 10^27 is the largest power of ten such a significand holds exactly.
constexpr int kMaxLongPower = 27;
constexpr bool kHasLongDouble = std::numeric_limits<long double>::digits == 64;

inline long double LongPowerOfTen(int exponent) {
    long double power = 1;
    for (int i = 0; i < exponent; ++i) power *= 10;  // exact: 10^27 < 2^64 * 2^27
    return power;
}

// Sets the sign bit: negates, zero included, without a branch.
inline float WithSign(float magnitude, bool negative) {
    return std::bit_cast<float>(std::bit_cast<std::uint32_t>(magnitude) | static_cast<std::uint32_t>(negative)
                                                                              << 31);
}

// Rounds `magnitude`, the double nearest m / power (when `divided`) or
// m * power, to float, with the sign; false where the decimal may lie on
// either side of a halfway point between two floats. A double on such a
// point that holds the decimal exactly rounds right, ties to even as the
// C library does: the fused multiply-add tells, rarely enough that its
// cost does not matter.
inline bool RoundDoubleToFloat(double magnitude, double m, double power, bool divided, bool negative,
                               float& value) {
    if ((std::bit_cast<std::uint64_t>(magnitude) & kDoubleDropped) == kDoubleHalfway) {
        double rest = divided ? std::fma(magnitude, power, -m) : std::fma(m, power, -magnitude);
        if (rest != 0) return false;
    }
    value = WithSign(static_cast<float>(magnitude), negative);
    return true;
}

}  // namespace exact_float

// Rounds mantissa * 10^exponent (negated when `negative`) to the nearest
// float, ties to even, as the C library does; returns false, leaving the
// case to the general conversion, where it cannot be decided here.
//
// With the mantissa below 2^53 and |exponent| up to 22, mantissa and power
// are exact doubles, so one multiply or divide gives the double nearest
// the decimal. That double is at least 10^-22 and below 2^53 * 10^22, in
// the normal float range: no subnormal and no overflow can reach the test
// below, and rounding it to float drops exactly its last 29 bits. The
// result is the correctly rounded float unless the double lies exactly on
// a halfway point between two floats, where the decimal may be on either
// side, unless the double is the decimal itself. A 64-bit mantissa, or an exponent up to 27, works the same
// way in the 64-bit significand of an 80-bit long double, where the boundary to infinity (half an ulp above
// the largest float) is such a halfway point too and values below 10^-27 cannot occur.
inline bool DecimalToFloat(std::uint64_t mantissa, int exponent, bool negative, float& value) {
    using namespace exact_float;
    // Zero needs no case of its own: 0 times any power is 0, and the sign
    // bit gives -0.
    if (mantissa <= kMaxDoubleMantissa &&
        static_cast<unsigned>(exponent + kMaxExactPower) <= 2 * kMaxExactPower) {
        double m = static_cast<double>(mantissa);
        bool divided = exponent < 0;
        double power = kExactPowersOfTen[divided ? -exponent : exponent];
        return RoundDoubleToFloat(divided ? m / power : m * power, m, power, divided, negative, value);
    }
    if constexpr (kHasLongDouble) {
        if (exponent < -kMaxLongPower || exponent > kMaxLongPower) return false;
        long double m = static_cast<long double>(mantissa);
        long double power = LongPowerOfTen(exponent < 0 ? -exponent : exponent);
        long double magnitude = exponent < 0 ? m / power : m * power;
        std::uint64_t significand;
        std::memcpy(&significand, &magnitude, sizeof significand);
        // A zero mantissa has a zero significand: no halfway point.
        if ((significand & kLongDropped) == kLongHalfway) return false;
        value = WithSign(static_cast<float>(magnitude), negative);
        return true;
    }
    return false;
}

}  // namespace zelreport
