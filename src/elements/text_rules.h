// SPDX-License-Identifier: MIT
// How text and values contents are read: where a line break continues
// them, and which bytes make, split and end a values token.
#pragma once

#include <array>

#include "reader/scanner.h"
#include "reader/sweep.h"

namespace zelreport {

enum class Content { text, values };

// After a line feed a content goes on when the next line begins with a
// blank; a values content also when it begins with "-".
constexpr bool ContinuesAfterLineFeed(int next, Content content) {
    return next == ' ' || (content == Content::values && next == '-');
}

// With `c` on a carriage return or line feed: reads past the line break
// and tells whether the content goes on. The line break itself is never
// stored. A carriage return not followed by a line feed lets only a blank
// continue.
inline bool PassLineBreak(Scanner& in, Content content) {
    if (in.c == '\r') {
        in.AdvanceChar();
        if (in.c != '\n' && in.c != ' ') return false;
    }
    if (in.c == '\n') {
        in.AdvanceChar();
        if (!ContinuesAfterLineFeed(in.c, content)) return false;
    }
    return true;
}

// A values text is split into tokens at blanks, tabs and line feeds.
constexpr bool IsSeparator(unsigned char b) {
    return b == ' ' || b == '\t' || b == '\n';
}

// Bytes that can neither split nor bend a run of token bytes: not a
// separator, not a byte the reading rules look at (line breaks, "<", ">"),
// not the zero byte that ends the text.
constexpr std::array<bool, 256> MakeTokenBytes() {
    std::array<bool, 256> token{};
    for (int b = 0; b < 256; ++b) token[b] = true;
    for (unsigned char b : {' ', '\t', '\n', '\r', '<', '>', '\0'}) token[b] = false;
    return token;
}
inline constexpr std::array<bool, 256> kTokenBytes = MakeTokenBytes();
constexpr bool IsTokenByte(unsigned char b) {
    return kTokenBytes[b];
}

// True when a token begins at `s` after a blank or tab: a place where a
// run of tokens can be cut, whatever came before.
inline bool StartsTokenAfterBlank(const char* s) {
    return (s[-1] == ' ' || s[-1] == '\t') && IsTokenByte(static_cast<unsigned char>(*s));
}

// A line feed that the next line continues with a blank: as good as a
// separator between two tokens.
inline bool IsBlankContinuedLineFeed(const char* q, const char* end) {
    return *q == '\n' && q + 1 < end && q[1] == ' ';
}

// Bytes that surely end a values token whatever follows them: a separator
// other than a line feed, and the "<" or zero byte that ends the text.
inline constexpr std::array<bool, 256> kAloneEnds = ByteTable({' ', '\t', '<', '\0'});
constexpr bool EndsTokenAlone(char b) {
    return kAloneEnds[static_cast<unsigned char>(b)];
}

// True when the byte at `q` (before `end`) surely ends a values token: one
// of the above, or a line feed that the next line continues with a blank.
inline bool EndsToken(const char* q, const char* end) {
    return EndsTokenAlone(*q) || IsBlankContinuedLineFeed(q, end);
}

}  // namespace zelreport
