// SPDX-License-Identifier: MIT
// A decimal mantissa times a power of ten, rounded to float exactly.
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
// 10^27 is the largest power of ten such a significand holds exactly
// (5^27 < 2^64); two of them reach 10^54.
constexpr int kMaxLongPower = 27;
constexpr int kMaxLongReach = 2 * kMaxLongPower;
constexpr bool kHasLongDouble = std::numeric_limits<long double>::digits == 64;
inline constexpr long double kLongPowersOfTen[kMaxLongPower + 1] = {
    1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,  1e7L,  1e8L,  1e9L,  1e10L, 1e11L, 1e12L, 1e13L,
    1e14L, 1e15L, 1e16L, 1e17L, 1e18L, 1e19L, 1e20L, 1e21L, 1e22L, 1e23L, 1e24L, 1e25L, 1e26L, 1e27L};
// After two roundings the result is within two units of its last bit of
// the exact one (each rounding within half a unit, relative to a result
// below twice its binade's start): dropped bits this close to the halfway
// pattern leave the side of the halfway point open.
constexpr std::uint64_t kTwoRoundingsSlack = 3;

// Sets the sign bit: negates, zero included, without a branch.
inline float WithSign(float magnitude, bool negative) {
    return std::bit_cast<float>(std::bit_cast<std::uint32_t>(magnitude) | static_cast<std::uint32_t>(negative)
                                                                              << 31);
}

// True when `magnitude` lies exactly on a halfway point between two
// floats, where the decimal it is nearest may be on either side.
inline bool OnHalfway(double magnitude) {
    return (std::bit_cast<std::uint64_t>(magnitude) & kDoubleDropped) == kDoubleHalfway;
}

// Rounds `magnitude`, the double nearest m / power (when `divided`) or
// m * power, to float, with the sign; false where the decimal may lie on
// either side of a halfway point between two floats. A double on such a
// point that holds the decimal exactly rounds right, ties to even as the
// C library does: the fused multiply-add tells, rarely enough that its
// cost does not matter.
inline bool RoundDoubleToFloat(double magnitude, double m, double power, bool divided, bool negative,
                               float& value) {
    if (OnHalfway(magnitude)) {
        double rest = divided ? std::fma(magnitude, power, -m) : std::fma(m, power, -magnitude);
        if (rest != 0) return false;
    }
    value = WithSign(static_cast<float>(magnitude), negative);
    return true;
}

// The same for m / power where `power` carries the number's sign: the
// quotient takes it, zero included, and rounds as its magnitude would.
inline bool RoundQuotientToFloat(double m, double power, float& value) {
    double quotient = m / power;
    if (OnHalfway(quotient) && std::fma(quotient, power, -m) != 0) return false;
    value = static_cast<float>(quotient);
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
// the largest float) is such a halfway point too and values below 10^-27 cannot occur. Beyond 10^+-27 the
// power is taken in two exact steps, two roundings whose result is kept only where it is surely on the
// right side of any halfway point, and only in the normal float range.
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
        unsigned reach = static_cast<unsigned>(exponent < 0 ? -exponent : exponent);
        if (reach > kMaxLongReach) return false;
        long double m = static_cast<long double>(mantissa);
        bool twice = reach > kMaxLongPower;
        long double first = twice ? kLongPowersOfTen[kMaxLongPower] : kLongPowersOfTen[reach];
        long double magnitude = exponent < 0 ? m / first : m * first;
        if (twice) {
            long double second = kLongPowersOfTen[reach - kMaxLongPower];
            magnitude = exponent < 0 ? magnitude / second : magnitude * second;
            // Below the normal floats, rounding drops more than 40 bits.
            if (magnitude < std::numeric_limits<float>::min()) return false;
        }
        std::uint64_t significand;
        std::memcpy(&significand, &magnitude, sizeof significand);
        // A zero mantissa has a zero significand: no halfway point.
        std::uint64_t slack = twice ? kTwoRoundingsSlack : 0;
        if ((significand & kLongDropped) - (kLongHalfway - slack) <= 2 * slack) return false;
        value = WithSign(static_cast<float>(magnitude), negative);
        return true;
    }
    return false;
}

}  // namespace zelreport
