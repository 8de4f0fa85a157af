// SPDX-License-Identifier: MIT
// Looking at eight input bytes at a time: loads and exact byte matches;
// tables of byte values.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <initializer_list>

namespace zelreport {

// Eight bytes from `q`, the first in the lowest byte.
inline std::uint64_t Load8(const char* q) {
    std::uint64_t word;
    std::memcpy(&word, q, sizeof word);
    return word;
}

// Loads `size` bytes (0 to 8) from `p` into the low end of a word, zero
// above them, reading no byte outside them: two loads that overlap where
// they must.
inline std::uint64_t LoadUpTo8(const char* p, std::size_t size) {
    if (size >= 4) {
        std::uint32_t low, high;
        std::memcpy(&low, p, sizeof low);
        std::memcpy(&high, p + size - 4, sizeof high);
        return low | std::uint64_t{high} << (8 * (size - 4));
    }
    if (size == 0) return 0;
    auto byte = [p](std::size_t i) { return std::uint64_t{static_cast<unsigned char>(p[i])} << (8 * i); };
    return byte(0) | byte(size / 2) | byte(size - 1);
}

// A table of the 256 byte values, true for the ones listed.
constexpr std::array<bool, 256> ByteTable(std::initializer_list<unsigned char> bytes) {
    std::array<bool, 256> table{};
    for (unsigned char b : bytes) table[b] = true;
    return table;
}

constexpr std::uint64_t kEveryByte = 0x0101010101010101;
constexpr std::uint64_t kHighBits = 0x8080808080808080;

// Bit 7 of the first byte of `word` that is zero, and maybe of bytes after
// it (a borrow runs on from a zero byte), never of a byte before it: so
// the first mark is exact, and a mark among the first n bytes means a
// zero byte among them.
inline std::uint64_t ZeroBytes(std::uint64_t word) {
    return (word - kEveryByte) & ~word & kHighBits;
}

// Bit 7 of the first byte of `word` equal to `byte`, as above.
inline std::uint64_t BytesEqual(std::uint64_t word, unsigned char byte) {
    return ZeroBytes(word ^ (kEveryByte * byte));
}

// The bytes of a word before place `count` (0 to 8).
inline std::uint64_t BytesBefore(int count) {
    return count == 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * count)) - 1;
}

// The place of the first byte marked in a non-zero mask of the above.
inline int FirstMarked(std::uint64_t mask) {
    return std::countr_zero(mask) / 8;
}

}  // namespace zelreport
