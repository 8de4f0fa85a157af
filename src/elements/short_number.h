// SPDX-License-Identifier: MIT
// Short numbers read straight from the input block with a word load or
// two: the common case of a values token, at a small constant cost.
#pragma once

#include <bit>
#include <cstdint>

#include "elements/digits.h"
#include "elements/text_rules.h"

namespace zelreport {

// Bytes from a token's start that the readers below may look at: sign,
// two runs of up to sixteen digits each loaded as two words, the point,
// and the two bytes after the number.
constexpr std::ptrdiff_t kShortNumberReach = 40;

namespace short_number {

// The bits a double has beyond a float's 24, and their pattern at a
// halfway point between two floats.
constexpr std::uint64_t kDroppedBits = (std::uint64_t{1} << 29) - 1;
constexpr std::uint64_t kHalfway = std::uint64_t{1} << 28;
constexpr std::uint64_t kMaxExactMantissa = std::uint64_t{1} << 53;

// A run of digits: how many (up to 16) and the number they write.
struct DigitRun {
    int count;
    std::uint64_t value;
};

// Reads the run of digits at `p` with one word load, or two when the run
// is longer than eight digits; a run of sixteen may go on beyond them.
inline DigitRun ReadDigitRun(const char* p) {
    std::uint64_t first = Load8(p), second = Load8(p + 8);
    int head = LeadingDigits(first);
    int tail = head == 8 ? LeadingDigits(second) : 0;
    return {head + tail, DigitsValue(first, head) * kPowersOfTen[tail] + DigitsValue(second, tail)};
}

}  // namespace short_number

// Reads [-]digits[.digits] with at most fifteen digits on each side of the
// point, ending where `EndsToken` says the token surely ends. Returns the
// end, or nullptr for anything else. A mantissa up to 2^53 and a scale up
// to 10^15 are exact in a double, so their quotient is the double nearest
// the decimal; that is at least 10^-15 unless zero and below 2^53, inside
// the normal float range, so rounding it to float drops exactly its last
// 29 bits and gives the correctly rounded float, unless the double lies
// exactly halfway between two floats, where the decimal may be on either
// side: that rare case goes the general way.
inline const char* ParseShortFloat(const char* q, const char* end, float& value) {
    using namespace short_number;
    bool negative = *q == '-';
    const char* p = q + negative;
    DigitRun integer = ReadDigitRun(p);
    const char* r = p + integer.count;
    std::uint64_t mantissa = integer.value;
    int scale = 0;
    if (*r == '.') {
        DigitRun fraction = ReadDigitRun(r + 1);
        scale = fraction.count;
        mantissa = mantissa * kPowersOfTen[scale] + fraction.value;
        r += 1 + fraction.count;
        if (integer.count + scale > 19) return nullptr;
    }
    if (integer.count + scale == 0 || integer.count == 16 || scale == 16 || mantissa > kMaxExactMantissa ||
        !EndsToken(r, end))
        return nullptr;
    double magnitude = static_cast<double>(mantissa) / kExactPowersOfTen[scale];
    if ((std::bit_cast<std::uint64_t>(magnitude) & kDroppedBits) == kHalfway) return nullptr;
    // Setting the sign bit negates, zero included, without a branch.
    auto bits = std::bit_cast<std::uint32_t>(static_cast<float>(magnitude));
    value = std::bit_cast<float>(bits | static_cast<std::uint32_t>(negative) << 31);
    return r;
}

// Reads [-+]digits with at most seven digits, ending where `EndsToken`
// says the token surely ends; nullptr for anything else.
inline const char* ParseShortInt(const char* q, const char* end, std::int32_t& value) {
    bool negative = *q == '-';
    const char* p = q + (negative || *q == '+');
    std::uint64_t word = Load8(p);
    int digits = LeadingDigits(word);
    const char* r = p + digits;
    if (digits == 0 || digits == 8 || !EndsToken(r, end)) return nullptr;
    auto magnitude = static_cast<std::int32_t>(DigitsValue(word, digits));
    value = negative ? -magnitude : magnitude;
    return r;
}

}  // namespace zelreport
