// SPDX-License-Identifier: MIT
// Line breaks and the bytes that open a line, looked for in place: the
// usual end of an element's line, inline for the readers that end one.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <string_view>

#include "reader/scanner.h"
#include "reader/sweep.h"

namespace zelreport {

// The first line feed or carriage return at or after `q`, or `end`.
inline const char* FindLineBreak(const char* q, const char* end) {
    return FindAny<'\n', '\r'>(q, end);
}

// Opens the next line: the bytes the loop skips there.
inline constexpr std::array<bool, 256> kLineOpeners = ByteTable({' ', '\t', '<', '/'});
inline bool OpensLine(int ch) {
    return ch != kEndOfInput && kLineOpeners[static_cast<unsigned char>(ch)];
}

// The most usual case: from `from` (a place in the block at or after the
// look-ahead byte), a line feed among the next sixteen bytes, the next
// line opened by "<" and a name's first byte, all inside the block. Moves
// to that byte; returns false, having moved nothing, for anything else.
inline bool UsualNextLine(Scanner& in, const char* from) {
    if (in.end - from < sweep::kWidth + 2) return false;
    unsigned breaks = Bytes16(from).AnyOf<'\n', '\r'>();
    if (!breaks) return false;
    const char* q = from + std::countr_zero(breaks);
    if (*q != '\n' || q[1] != '<' || kLineOpeners[static_cast<unsigned char>(q[2])]) return false;
    in.c = static_cast<unsigned char>(q[2]);
    in.p = q + 3;
    return true;
}

// The usual case inside the block: from `from` (a place in the block at or
// after the look-ahead byte), a line feed followed by a line that does not
// begin with a blank. Returns false, having moved nothing, for anything else.
inline bool NextLineInBlock(Scanner& in, const char* from) {
    if (UsualNextLine(in, from)) return true;
    const char* q = FindLineBreak(from, in.end);
    // The line feed, the byte after it and the byte after the openers
    // must all be in the block.
    if (in.end - q < 3 || *q != '\n' || q[1] == ' ') return false;
    // Usually a tag opens the next line: its "<", then a name's first byte.
    if (q[1] == '<' && !kLineOpeners[static_cast<unsigned char>(q[2])]) {
        in.ResumeAt(q + 2);
        return true;
    }
    ++q;
    const char* limit = in.end - 1;
    while (q < limit && kLineOpeners[static_cast<unsigned char>(*q)]) ++q;
    in.ResumeAt(q);
    while (OpensLine(in.c)) in.AdvanceChar();  // openers up to the block's end
    return true;
}

// The element's usual closing tag, "</" `name` ">", at the look-ahead
// byte, inside the block: reads past it and drops the rest of its line as
// the document loop does for a closing tag that is not the record's or the
// document's (NextProperty from its ">"). Returns false, having moved
// nothing, for anything else. `name` has eight bytes to load, as the
// document loop's name buffer has.
inline bool PassClosingTag(Scanner& in, std::string_view name) {
    constexpr std::size_t kRoom = 16;  // the tag of a short name and a word load
    if (in.c != '<') return false;
    const char* q = in.Here();
    std::size_t length = name.size();
    if (static_cast<std::size_t>(in.end - q) < std::max(length + 4, kRoom) || q[1] != '/' ||
        q[2 + length] != '>')
        return false;
    bool same = length <= 8
                    ? ((Load8(q + 2) ^ Load8(name.data())) & BytesBefore(static_cast<int>(length))) == 0
                    : std::memcmp(q + 2, name.data(), length) == 0;
    if (!same) return false;
    const char* tag_end = q + 2 + name.size();
    if (!NextLineInBlock(in, tag_end)) {
        in.ResumeAt(tag_end);
        NextProperty(in);
    }
    return true;
}

}  // namespace zelreport
