// SPDX-License-Identifier: MIT
// Decimal digits read eight bytes at a time.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

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

inline bool IsDigit(char b) {
    return static_cast<unsigned char>(b - '0') < 10;
}

// Eight bytes from `q`, the first in the lowest byte.
inline std::uint64_t Load8(const char* q) {
    std::uint64_t word;
    std::memcpy(&word, q, sizeof word);
    return word;
}

// How many of the first bytes of `word` are digits, 0 to 8. Bytes past
// the first non-digit do not count, so borrows into them do no harm.
inline int LeadingDigits(std::uint64_t word) {
    constexpr std::uint64_t kZeros = 0x3030303030303030;      // "0" in every byte
    constexpr std::uint64_t kAboveNine = 0x7676767676767676;  // + this sets bit 7 of a byte above 9
    constexpr std::uint64_t kHighBits = 0x8080808080808080;
    std::uint64_t values = word - kZeros;
    std::uint64_t non_digits = (values | (values + kAboveNine)) & kHighBits;
    return non_digits ? std::countr_zero(non_digits) / 8 : 8;
}

// The number written by the first `count` bytes of `word`, all digits;
// `count` is 1 to 8. The digits are moved to the top of the word, then
// combined in pairs, and the pairs in one step of two multiplies.
inline std::uint32_t DigitsValue(std::uint64_t word, int count) {
    constexpr std::uint64_t kZeros = 0x3030303030303030;
    constexpr std::uint64_t kPairs = 0x000000FF000000FF;  // pairs 1 and 3 after the first step
    constexpr std::uint64_t kPairScale = 100 + (1000000ull << 32);
    constexpr std::uint64_t kNextPairScale = 1 + (10000ull << 32);
    std::uint64_t values = (word - kZeros) << (8 * (8 - count));
    values = values * 10 + (values >> 8);  // each byte pair: 10 * first + second
    return static_cast<std::uint32_t>(
        ((values & kPairs) * kPairScale + ((values >> 16) & kPairs) * kNextPairScale) >> 32);
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
