// SPDX-License-Identifier: MIT
// The scanning toolkit against plain byte loops: partial-word loads of
// every length at every alignment, word matches and sixteen bytes (SSE2
// and two words) for every byte value at every place, and find-any over
// every length, place and alignment. Buffers end where the bytes end, so
// that the sanitizer build sees any load past them.
#include "reader/sweep.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <vector>

namespace {

using namespace zelreport;

TEST(Sweep, LoadUpTo8TakesEveryLengthAtEveryAlignment) {
    for (std::size_t offset = 0; offset < 8; ++offset) {
        for (std::size_t length = 0; length <= 8; ++length) {
            std::vector<char> bytes(offset + length);
            std::uint64_t want = 0;
            for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(0xA1 + i);
            for (std::size_t i = 0; i < length; ++i) want |= std::uint64_t{0xA1 + offset + i} << (8 * i);
            EXPECT_EQ(LoadUpTo8(bytes.data() + offset, length), want) << length << " at " << offset;
        }
    }
}

// Every question about a word or sixteen bytes against a loop, with byte
// `place` of plain bytes set to each value in turn: a word's first mark
// exact, sixteen bytes' marks all exact, and which bytes are still the
// plain ones.
template <typename Bytes16Kind>
void ExpectLikeLoops(int place, int value) {
    char bytes[sweep::kWidth];
    for (int k = 0; k < sweep::kWidth; ++k) bytes[k] = "ab<9/x0"[k % 7];
    bytes[place] = static_cast<char>(value);
    unsigned any = 0, outside = 0, below_blank = 0;
    for (int k = 0; k < sweep::kWidth; ++k) {
        auto b = static_cast<unsigned char>(bytes[k]);
        any |= unsigned{b == '<' || b == '>' || b == '\0'} << k;
        outside |= unsigned{b < '0' || b > '9'} << k;
        below_blank |= unsigned{b < ' '} << k;
    }
    // The first of eight, or 8 for none.
    auto first = [](std::uint64_t word_marks) { return word_marks ? FirstMarked(word_marks) : 8; };
    std::uint64_t word = Load8(bytes);
    ASSERT_EQ(first(BytesBelow(word, ' ')), std::countr_zero(below_blank | 0x100));
    ASSERT_EQ(first(BytesEqual(word, '<') | BytesEqual(word, '>') | ZeroBytes(word)),
              std::countr_zero(any | 0x100));
    Bytes16Kind view(bytes);
    ASSERT_EQ((view.template AnyOf<'<', '>', '\0'>()), any);
    ASSERT_EQ((view.template Outside<'0', '9'>()), outside);
    ASSERT_EQ((view.template Inside<'0', '9'>()), outside ^ 0xFFFF);
    char plain[sweep::kWidth];
    for (int k = 0; k < sweep::kWidth; ++k) plain[k] = "ab<9/x0"[k % 7];
    ASSERT_EQ(view.SameAs(Bytes16Kind(plain)), 0xFFFFu & ~(unsigned{bytes[place] != plain[place]} << place));
    for (int count = 0; count <= sweep::kWidth; ++count) {
        char kept[sweep::kWidth] = {};
        std::copy(bytes, bytes + count, kept);
        ASSERT_EQ(view.FirstBytes(count), (std::array{Load8(kept), Load8(kept + 8)})) << count;
    }
}

TEST(Sweep, WordsAndSixteenBytesAnswerLikeLoops) {
    for (int place = 0; place < sweep::kWidth; ++place) {
        for (int value = 0; value < 256; ++value) {
            ExpectLikeLoops<sweep::PortableBytes16>(place, value);
#if defined(__SSE2__)
            ExpectLikeLoops<sweep::Sse2Bytes16>(place, value);
#endif
            if (HasFailure()) FAIL() << "byte " << value << " at place " << place;
        }
    }
}

// FindAny, and its word-at-a-time tail alone, against a loop: the stop at
// every place of every length up to three widths, or none at all, from
// every alignment.
TEST(Sweep, FindAnyStopsWhereALoopStops) {
    using Find = const char* (*)(const char*, const char*);
    for (Find find : {FindAny<'\r', '\n'>, sweep::FindAnyByWords<'\r', '\n'>}) {
        for (std::size_t offset = 0; offset < 8; ++offset) {
            for (std::size_t length = 0; length <= 3 * sweep::kWidth; ++length) {
                for (std::size_t stop = 0; stop <= length; ++stop) {
                    std::vector<char> bytes(offset + length, 'x');
                    // A neighbour of the stop bytes' values before the stop.
                    if (stop > 0) bytes[offset + stop - 1] = '\x0b';
                    if (stop < length) bytes[offset + stop] = stop % 2 ? '\r' : '\n';
                    const char* begin = bytes.data() + offset;
                    ASSERT_EQ(find(begin, begin + length), begin + stop)
                        << length << ", " << stop << ", " << offset;
                }
            }
        }
    }
}

}  // namespace
