// SPDX-License-Identifier: MIT
// Short numbers read straight from the input block with a word load or
// two: the common case of a values token, at a small constant cost.
#pragma once

#include <bit>
#include <cstdint>

#include "elements/digits.h"
#include "elements/exact_float.h"
#include "elements/text_rules.h"

namespace zelreport {

// Bytes from a token's start that the readers below may look at: sign,
// two runs of up to sixteen digits each loaded as two words, the point,
// an exponent letter and sign with a word of digits, and the two bytes
// after the number.
constexpr std::ptrdiff_t kShortNumberReach = 48;

namespace short_number {

// An exponent of up to this many digits is read here.
constexpr int kMaxExponentDigits = 3;

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

// Reads [-]digits[.digits][e[-+]digits] with at most fifteen digits on
// each side of the point and three in the exponent, ending where
// `EndsToken` says the token surely ends; rounds it as DecimalToFloat
// does. Returns the end, or nullptr for anything else.
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
    }
    if (integer.count + scale == 0 || integer.count + scale > 19 || integer.count == 16 || scale == 16)
        return nullptr;
    int exponent = -scale;
    if ((*r | 0x20) == 'e') {
        const char* digits = r + 1 + (r[1] == '-' || r[1] == '+');
        std::uint64_t word = Load8(digits);
        int count = LeadingDigits(word);
        if (count == 0 || count > kMaxExponentDigits) return nullptr;
        int written = static_cast<int>(DigitsValue(word, count));
        exponent += r[1] == '-' ? -written : written;
        r = digits + count;
    }
    if (!EndsToken(r, end) || !DecimalToFloat(mantissa, exponent, negative, value)) return nullptr;
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
