// SPDX-License-Identifier: MIT
// Decimal digits read eight bytes at a time.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "elements/c_scan.h"
#include "reader/sweep.h"

namespace zelreport {

// 10^0 to 10^19: every power of ten that fits 64 bits.
inline constexpr std::uint64_t kPowersOfTen[] = {1,
                                                 10,
                                                 100,
                                                 1000,
                                                 10000,
                                                 100000,
                                                 1000000,
                                                 10000000,
                                                 100000000,
                                                 1000000000,
                                                 10000000000,
                                                 100000000000,
                                                 1000000000000,
                                                 10000000000000,
                                                 100000000000000,
                                                 1000000000000000,
                                                 10000000000000000,
                                                 100000000000000000,
                                                 1000000000000000000,
                                                 10000000000000000000u};

// 10^0 to 10^22: the powers of ten a double holds exactly.
constexpr int kMaxExactPower = 22;
inline constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                               1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                               1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
static_assert(std::size(kExactPowersOfTen) == kMaxExactPower + 1);

// "0" in every byte of a word.
constexpr std::uint64_t kZeroDigits = 0x3030303030303030;

// How many of the first bytes of `word` are digits, 0 to 8. Bytes past
// the first non-digit do not count, so borrows into them do no harm.
inline int LeadingDigits(std::uint64_t word) {
    constexpr std::uint64_t kAboveNine = 0x7676767676767676;  // + this sets bit 7 of a byte above 9
    std::uint64_t values = word - kZeroDigits;
    std::uint64_t non_digits = (values | (values + kAboveNine)) & kHighBits;
    return std::countr_zero(non_digits) / 8;  // 64 / 8 when there is none
}

// The number written by eight digit values, one a byte (0 to 9), the
// first byte the most significant: each pair combined, then the pairs in
// one step of two multiplies.
inline std::uint32_t EightDigitsValue(std::uint64_t values) {
    constexpr std::uint64_t kPairs = 0x000000FF000000FF;  // pairs 1 and 3 after the first step
    constexpr std::uint64_t kPairScale = 100 + (1000000ull << 32);
    constexpr std::uint64_t kNextPairScale = 1 + (10000ull << 32);
    values = values * 10 + (values >> 8);  // each byte pair: 10 * first + second
    return static_cast<std::uint32_t>(
        ((values & kPairs) * kPairScale + ((values >> 16) & kPairs) * kNextPairScale) >> 32);
}

// The number written by the first `count` bytes of `word`, all digits;
// `count` is 0 to 8. The digits are moved to the top of the word first.
inline std::uint32_t DigitsValue(std::uint64_t word, int count) {
    // No digit: a zero multiplier, not a 64-bit shift.
    return EightDigitsValue(((word - kZeroDigits) << ((8 * (8 - count)) & 63)) * (count != 0));
}

// Appends the run of digits at `q` to `mantissa` (wrapping past 2^64) and
// returns the end of the run: eight digits at a time while eight bytes
// are there to load.
[[gnu::always_inline]] inline const char* ReadDigits(const char* q, const char* last,
                                                     std::uint64_t& mantissa) {
    while (last - q >= 8) {
        int count = LeadingDigits(Load8(q));
        if (count == 0) return q;
        mantissa = mantissa * kPowersOfTen[count] + DigitsValue(Load8(q), count);
        q += count;
        if (count < 8) return q;
    }
    for (; q < last && IsDigit(*q); ++q) mantissa = mantissa * 10 + static_cast<unsigned>(*q - '0');
    return q;
}

}  // namespace zelreport
