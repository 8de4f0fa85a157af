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

    // Counts `length` bytes (at most sixteen) of an open text, each a
    // token byte where `tokens` has its bit.
    void StoreRun(unsigned tokens, int length) {
        if (length == 0) return;
        unsigned starts = tokens & ~((tokens << 1) | unsigned{in_token_});
        count_ += static_cast<unsigned>(std::popcount(starts & ((2u << (length - 1)) - 1)));
        in_token_ = (tokens >> (length - 1)) & 1;
    }

private:
    bool stored_any_ = false;
    bool started_ = false;
    bool ended_ = false;
    bool in_token_ = false;
    std::uint64_t count_ = 0;
};

// Counts the plain bytes of an open text from the look-ahead byte on,
// sixteen at a time inside the block: token bytes, blanks, tabs, and line
// feeds that a blank continues (which split tokens as a blank does).
// Stops before any other byte, for the reading rules, with `c` on it.
void CountPlainBytes(Scanner& in, TokenCount& count) {
    // A line feed's next byte is looked at, so sixteen and one must be in
    // the block.
    constexpr std::ptrdiff_t kRoom = sweep::kWidth + 1;
    const char* q = in.Here();
    const char* const end = in.end;
    while (end - q >= kRoom) {
        Bytes16 bytes(q);
        unsigned low = bytes.Outside<'!', 0xFF>();  // blanks and control bytes
        unsigned blanks = bytes.AnyOf<' '>();
        unsigned odd = (low & ~blanks) | bytes.AnyOf<'<', '>'>();
        int length = sweep::kWidth;
        // A tab or a line feed continued by a blank separates; any other
        // of these bytes ends the sweep.
        for (unsigned rest = odd; rest; rest &= rest - 1) {
            int at = std::countr_zero(rest);
            char b = q[at];
            if (b != '\t' && !(b == '\n' && q[at + 1] == ' ')) {
                length = at;
                break;
            }
        }
        count.StoreRun(~low & 0xFFFF, length);
        q += length;
        if (length < sweep::kWidth) break;
    }
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
