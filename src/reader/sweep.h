// SPDX-License-Identifier: MIT
// Looking at input bytes eight or sixteen at a time: loads, byte matches
// and searches; tables of byte values. Every scanner of the reading goes
// through these. A long search for one byte that is usually far away is
// left to the C library's memchr, which looks at more at a time.
#pragma once

#include <array>
#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Bit 7 of the first byte of `word` below `bound` (1 to 128), and maybe
// of bytes after it (a borrow runs on from such a byte), never of a byte
// before it: so the first mark is exact, and a mark among the first n
// bytes means such a byte among them.
inline std::uint64_t BytesBelow(std::uint64_t word, unsigned char bound) {
    assert(bound >= 1 && bound <= 128);
    return (word - kEveryByte * bound) & ~word & kHighBits;
}

// Bit 7 of the first byte of `word` that is zero, as above.
inline std::uint64_t ZeroBytes(std::uint64_t word) {
    return BytesBelow(word, 1);
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

// Sixteen bytes looked at together, loaded from a place that has sixteen
// readable bytes. Each question answers with a mask that has bit k set for
// byte k, every byte answered exactly. Where SSE2 is missing, two words
// answer the same questions.
namespace sweep {

constexpr int kWidth = 16;

class PortableBytes16 {
public:
    explicit PortableBytes16(const char* q) : words_{Load8(q), Load8(q + 8)} {}

    // The bytes equal to one of kBytes.
    template <unsigned char... kBytes>
    unsigned AnyOf() const {
        return Gather(((Equal(words_[0], kBytes) | ...))) | Gather(((Equal(words_[1], kBytes) | ...))) << 8;
    }
    // The bytes from kLow to kHigh, and those outside.
    template <unsigned char kLow, unsigned char kHigh>
    unsigned Inside() const {
        return Outside<kLow, kHigh>() ^ 0xFFFF;
    }
    template <unsigned char kLow, unsigned char kHigh>
    unsigned Outside() const {
        unsigned outside = 0;
        for (int k = 0; k < kWidth; ++k) {
            auto b = static_cast<unsigned char>(words_[k / 8] >> (8 * (k % 8)));
            outside |= unsigned{static_cast<unsigned char>(b - kLow) > kHigh - kLow} << k;
        }
        return outside;
    }
    // The bytes equal to those of `other` in the same place.
    unsigned SameAs(const PortableBytes16& other) const {
        return Gather(Equal(words_[0] ^ other.words_[0], 0)) | Gather(Equal(words_[1] ^ other.words_[1], 0))
                                                                   << 8;
    }
    void Store(char* out) const { std::memcpy(out, words_, sizeof words_); }
    // The first `count` bytes (0 to 16) as two words, zero beyond them.
    std::array<std::uint64_t, 2> FirstBytes(int count) const {
        assert(count >= 0 && count <= kWidth);
        int head = count < 8 ? count : 8;
        return {words_[0] & BytesBefore(head), words_[1] & BytesBefore(count - head)};
    }

private:
    // Bit 7 of exactly the bytes of `word` equal to `byte`: no carry
    // crosses from one byte to the next.
    static std::uint64_t Equal(std::uint64_t word, unsigned char byte) {
        constexpr std::uint64_t kLow7Bits = kEveryByte * 0x7F;
        std::uint64_t x = word ^ (kEveryByte * byte);
        return ~(((x & kLow7Bits) + kLow7Bits) | x | kLow7Bits);
    }
    // Bit 7 of each byte, moved to bit k for byte k: the multiply adds
    // each byte's bit into the top byte at its own place.
    static unsigned Gather(std::uint64_t marks) {
        return static_cast<unsigned>(((marks >> 7) * 0x0102040810204080) >> 56);
    }

    std::uint64_t words_[2];
};

#if defined(__SSE2__)
class Sse2Bytes16 {
public:
    explicit Sse2Bytes16(const char* q) : bytes_(_mm_loadu_si128(reinterpret_cast<const __m128i*>(q))) {}

    template <unsigned char... kBytes>
    unsigned AnyOf() const {
        return Mask((_mm_cmpeq_epi8(bytes_, _mm_set1_epi8(static_cast<char>(kBytes))) | ...));
    }
    template <unsigned char kLow, unsigned char kHigh>
    unsigned Inside() const {
        // Moved so that kHigh lands on 127, the range is the signed bytes
        // from kLow's new place up: every byte outside it compares below.
        static_assert(kLow <= kHigh);
        constexpr unsigned char kShift = 127 - kHigh;
        __m128i moved = _mm_add_epi8(bytes_, _mm_set1_epi8(static_cast<char>(kShift)));
        return Mask(_mm_cmpgt_epi8(moved, _mm_set1_epi8(static_cast<char>(kLow + kShift - 1))));
    }
    template <unsigned char kLow, unsigned char kHigh>
    unsigned Outside() const {
        return Inside<kLow, kHigh>() ^ 0xFFFF;
    }
    unsigned SameAs(const Sse2Bytes16& other) const { return Mask(_mm_cmpeq_epi8(bytes_, other.bytes_)); }
    void Store(char* out) const { _mm_storeu_si128(reinterpret_cast<__m128i*>(out), bytes_); }
    std::array<std::uint64_t, 2> FirstBytes(int count) const {
        assert(count >= 0 && count <= kWidth);
        // 0xFF in the first sixteen bytes, 0 in the next: the sixteen from
        // place 16 - count keep the first `count` bytes.
        alignas(32) static constexpr unsigned char kKeep[2 * kWidth] = {
            0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
        __m128i kept =
            _mm_and_si128(bytes_, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kKeep + kWidth - count)));
        return {static_cast<std::uint64_t>(_mm_cvtsi128_si64(kept)),
                static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_srli_si128(kept, 8)))};
    }

private:
    static unsigned Mask(__m128i marks) { return static_cast<unsigned>(_mm_movemask_epi8(marks)); }

    __m128i bytes_;
};
#endif

}  // namespace sweep

#if defined(__SSE2__)
using Bytes16 = sweep::Sse2Bytes16;
#else
using Bytes16 = sweep::PortableBytes16;
#endif

namespace sweep {

// FindAny's last bytes, fewer than sixteen (or all of them without SSE2):
// eight at a time, then one by one. Rarely reached, so kept out of line,
// away from the registers of the caller's loop.
template <unsigned char... kBytes>
[[gnu::noinline]] const char* FindAnyByWords(const char* q, const char* end) {
    for (; end - q >= 8; q += 8) {
        std::uint64_t word = Load8(q);
        if (std::uint64_t found = (BytesEqual(word, kBytes) | ...)) return q + FirstMarked(found);
    }
    while (q < end && ((static_cast<unsigned char>(*q) != kBytes) && ...)) ++q;
    return q;
}

}  // namespace sweep

// The first byte at or after `q` that is one of kBytes, or `end`: sixteen
// bytes at a time, then eight, then one by one.
template <unsigned char... kBytes>
inline const char* FindAny(const char* q, const char* end) {
#if defined(__SSE2__)
    for (; end - q >= sweep::kWidth; q += sweep::kWidth)
        if (unsigned found = Bytes16(q).AnyOf<kBytes...>()) return q + std::countr_zero(found);
#endif
    return sweep::FindAnyByWords<kBytes...>(q, end);
}

}  // namespace zelreport
