// SPDX-License-Identifier: MIT
// The scanning toolkit against plain byte loops: partial-word loads of
// every length at every alignment, sixteen bytes answered both ways (SSE2
// and two words) for every byte value at every place, and find-any over
// every length, place and alignment. Buffers end where the bytes end, so
// that the sanitizer build sees any load past them.
#include "reader/sweep.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace zelreport;

// `size` bytes in a buffer of exactly that size.
struct ExactBytes {
    explicit ExactBytes(const std::string& bytes) : data(new char[bytes.size()]), size(bytes.size()) {
        std::copy(bytes.begin(), bytes.end(), data.get());
    }
    std::unique_ptr<char[]> data;
    std::size_t size;
};

TEST(Sweep, LoadUpTo8TakesEveryLengthAtEveryAlignment) {
    for (std::size_t offset = 0; offset < 8; ++offset) {
        for (std::size_t length = 0; length <= 8; ++length) {
            std::string bytes(offset + length, '\0');
            for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(0xA1 + i);
            ExactBytes buffer(bytes);
            std::uint64_t want = 0;
            for (std::size_t i = 0; i < length; ++i)
                want |= std::uint64_t{static_cast<unsigned char>(bytes[offset + i])} << (8 * i);
            EXPECT_EQ(LoadUpTo8(buffer.data.get() + offset, length), want)
                << "length " << length << " at offset " << offset;
        }
    }
}

// The word matches mark the first byte they look for exactly, and none
// before it: every byte value at every place of a word of plain bytes.
TEST(Sweep, WordMatchesMarkTheFirstByteExactly) {
    for (int place = 0; place < 8; ++place) {
        for (int value = 0; value < 256; ++value) {
            std::uint64_t word = kEveryByte * 'a';
            word = (word & ~(std::uint64_t{0xFF} << (8 * place))) | std::uint64_t(value) << (8 * place);
            auto first = [&](std::uint64_t marks) { return marks ? FirstMarked(marks) : 8; };
            int below_blank = value < ' ' ? place : 8, equal = value == '<' ? place : 8;
            ASSERT_EQ(first(BytesBelow(word, ' ')), below_blank) << place << " " << value;
            ASSERT_EQ(first(BytesEqual(word, '<')), equal) << place << " " << value;
            ASSERT_EQ(first(ZeroBytes(word)), value == 0 ? place : 8) << place << " " << value;
        }
    }
}

// Every question of the sixteen-byte view against a loop, with byte
// `place` of a plain background set to each value in turn.
template <typename Bytes16Kind>
void ExpectSixteenLikeLoops() {
    for (int place = 0; place < sweep::kWidth; ++place) {
        for (int value = 0; value < 256; ++value) {
            char bytes[sweep::kWidth];
            for (int k = 0; k < sweep::kWidth; ++k) bytes[k] = static_cast<char>("ab<9/x0"[k % 7]);
            bytes[place] = static_cast<char>(value);
            Bytes16Kind view(bytes);
            unsigned any = 0, outside = 0;
            for (int k = 0; k < sweep::kWidth; ++k) {
                auto b = static_cast<unsigned char>(bytes[k]);
                any |= unsigned{b == '<' || b == '>' || b == '\0'} << k;
                outside |= unsigned{b < '0' || b > '9'} << k;
            }
            ASSERT_EQ((view.template AnyOf<'<', '>', '\0'>()), any) << place << " " << value;
            ASSERT_EQ((view.template Outside<'0', '9'>()), outside) << place << " " << value;
            char stored[sweep::kWidth];
            view.Store(stored);
            ASSERT_EQ(std::string(stored, sizeof stored), std::string(bytes, sizeof bytes));
            for (int count = 0; count <= sweep::kWidth; ++count) {
                char kept[sweep::kWidth] = {};
                std::copy(bytes, bytes + count, kept);
                std::array<std::uint64_t, 2> words = view.FirstBytes(count);
                ASSERT_EQ(words[0], Load8(kept)) << count;
                ASSERT_EQ(words[1], Load8(kept + 8)) << count;
            }
        }
    }
}

TEST(Sweep, SixteenBytesAnswerLikeLoops) {
    ExpectSixteenLikeLoops<sweep::PortableBytes16>();
#if defined(__SSE2__)
    ExpectSixteenLikeLoops<sweep::Sse2Bytes16>();
#endif
}

// FindAny, and its word-at-a-time tail alone, against a loop: the stop at
// every place of every length up to three widths, or none at all, from
// every alignment.
TEST(Sweep, FindAnyStopsWhereALoopStops) {
    using Find = const char* (*)(const char*, const char*);
    const Find finds[] = {FindAny<'\r', '\n'>, sweep::FindAnyByWords<'\r', '\n'>};
    for (std::size_t offset = 0; offset < 8; ++offset) {
        for (std::size_t length = 0; length <= 3 * sweep::kWidth; ++length) {
            for (std::size_t stop = 0; stop <= length; ++stop) {
                std::string bytes(offset + length, 'x');
                // A neighbour of the stop bytes' values before the stop.
                if (stop > 0) bytes[offset + stop - 1] = '\x0b';
                if (stop < length) bytes[offset + stop] = stop % 2 ? '\r' : '\n';
                ExactBytes buffer(bytes);
                const char* begin = buffer.data.get() + offset;
                for (Find find : finds)
                    ASSERT_EQ(find(begin, begin + length) - begin, static_cast<std::ptrdiff_t>(stop))
                        << "length " << length << ", stop at " << stop << ", offset " << offset;
            }
        }
    }
}

}  // namespace
