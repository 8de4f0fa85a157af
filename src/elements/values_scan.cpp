// SPDX-License-Identifier: MIT
// The values element read for the place of its text only: the same
// reading as ParseValues, its tokens counted instead of converted, so
// that a program can convert them later from where they lie.
#include <bit>
#include <cstdint>

#include "elements/context.h"
#include "elements/elements.h"
#include "elements/text_rules.h"
#include "reader/element_names.h"
#include "reader/lines.h"
#include "reader/sweep.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace zelreport {

namespace {

// The values text as ParseValues stores it, byte by byte, counted: a
// zero byte ends it, a separator ends a token, any other byte is a
// token's.
class TokenCount {
public:
    bool stored_any() const { return stored_any_; }
    bool started() const { return started_; }
    // True while bytes still count: the text has begun and no zero byte
    // has ended it.
    bool open() const { return started_ && !ended_; }
    std::uint64_t count() const { return count_; }

    void Store(unsigned char b) {
        stored_any_ = true;
        if (ended_) return;
        if (b == 0) {
            // A text whose first byte is zero is empty: it replaces nothing.
            ended_ = true;
            return;
        }
        started_ = true;
        bool token = !IsSeparator(b);
        count_ += token && !in_token_;
        in_token_ = token;
    }

    // Counts `length` bytes (at most 32) of an open text, each a token
    // byte where `tokens` has its bit.
    void StoreRun(unsigned tokens, int length) {
        if (length == 0) return;
        unsigned kept = length == 32 ? ~0u : (1u << length) - 1;
        unsigned starts = tokens & ~((tokens << 1) | unsigned{in_token_}) & kept;
        count_ += static_cast<unsigned>(std::popcount(starts));
        in_token_ = (tokens >> (length - 1)) & 1;
    }

private:
    bool stored_any_ = false;
    bool started_ = false;
    bool ended_ = false;
    bool in_token_ = false;
    std::uint64_t count_ = 0;
};

// A stretch of a values text, classified: the bytes that split tokens
// (blanks, tabs, and line feeds that a blank continues, which split tokens
// as a blank does) and the bytes that the reading rules look at (any
// other line feed, a carriage return, "<", ">" and the zero byte). Bit k
// stands for byte k.
struct Stretch {
    unsigned separators;
    unsigned stops;
};

// Sixteen bytes at `q`, with the byte after them readable.
inline Stretch Classify16(const char* q) {
    Bytes16 bytes(q);
    unsigned feeds = bytes.AnyOf<'\n'>();
    unsigned blanks_after = Bytes16(q + 1).AnyOf<' '>();
    return {bytes.AnyOf<' ', '\t', '\n'>(), bytes.AnyOf<'<', '>', '\r', '\0'>() | (feeds & ~blanks_after)};
}

#if defined(__x86_64__) && defined(__GNUC__)
#define ZELREPORT_SCAN_AVX2 1
// The same for thirty-two bytes, where the processor has AVX2.
[[gnu::target("avx2")]] inline unsigned Matches32(__m256i bytes, char b) {
    return static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(b))));
}
[[gnu::target("avx2")]] inline Stretch Classify32(const char* q) {
    __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q));
    __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q + 1));
    unsigned feeds = Matches32(bytes, '\n');
    return {Matches32(bytes, ' ') | Matches32(bytes, '\t') | feeds,
            Matches32(bytes, '<') | Matches32(bytes, '>') | Matches32(bytes, '\r') | Matches32(bytes, '\0') |
                (feeds & ~Matches32(next, ' '))};
}
#endif

// Counts the plain bytes of an open text from `q`, kWidth at a time while
// kWidth and one more are before `end`: the tokens they hold, the
// separators between them. Returns where it stopped: on a byte that stops
// the sweep, or within kWidth of the end.
template <int kWidth, Stretch (*classify)(const char*)>
[[gnu::always_inline]] inline const char* CountStretches(const char* q, const char* end, TokenCount& count) {
    constexpr unsigned kAll = kWidth == 32 ? ~0u : (1u << kWidth) - 1;
    while (end - q > kWidth) {
        Stretch stretch = classify(q);
        unsigned tokens = ~stretch.separators & kAll;
        if (stretch.stops) {
            int length = std::countr_zero(stretch.stops);
            count.StoreRun(tokens, length);
            return q + length;
        }
        count.StoreRun(tokens, kWidth);
        q += kWidth;
    }
    return q;
}

#if ZELREPORT_SCAN_AVX2
[[gnu::target("avx2")]] const char* CountStretches32(const char* q, const char* end, TokenCount& count) {
    return CountStretches<32, Classify32>(q, end, count);
}
#endif

// Counts the plain bytes of an open text from the look-ahead byte on,
// inside the block, and leaves `c` on the first byte not counted.
void CountPlainBytes(Scanner& in, TokenCount& count) {
    const char* q = in.Here();
#if ZELREPORT_SCAN_AVX2
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2) q = CountStretches32(q, in.end, count);
#endif
    q = CountStretches<sweep::kWidth, Classify16>(q, in.end, count);
    in.ResumeAt(q);
}

}  // namespace

// Reads the values text by ParseValues' rules (a line going on with a
// blank or "-" continues it, the byte after a ">" is taken as it is) and
// notes where the array its data type selects would come from.
void ScanValues(Context& ctx, std::string_view) {
    Scanner& in = ctx.in;
    const DataKind kind = data_kind(ctx.record.datyp);
    const std::uint64_t start = in.c == kEndOfInput ? 0 : in.OffsetOf(in.Here());
    TokenCount count;
    for (;;) {
        if (in.c == kEndOfInput || in.c == '<') break;
        if ((in.c == '\r' || in.c == '\n') && !PassLineBreak(in, Content::values)) break;
        if (in.c == '>') {
            in.AdvanceChar();
            if (in.c == kEndOfInput || (in.c == '<' && !count.stored_any())) break;
        }
        count.Store(static_cast<unsigned char>(in.c));
        in.AdvanceChar();
        if (count.open() && in.c != kEndOfInput) CountPlainBytes(in, count);
    }
    if (count.started() && kind != DataKind::none) {
        Record& r = ctx.record;
        const std::uint64_t stop = in.c == kEndOfInput ? in.block_offset : in.OffsetOf(in.Here());
        ValuesPlace place{start, stop, count.count()};
        if (kind == DataKind::floats) {
            r.has_floatdata = true;
            r.places.floats = place;
        } else {
            r.has_intdata = true;
            r.places.ints = place;
        }
    }
    ctx.closing_tag_read = PassClosingTag(in, kPaddedName<kValuesName>);
}

}  // namespace zelreport
