// SPDX-License-Identifier: MIT
#include "reader/scanner.h"

#include <array>
#include <bit>
#include <cerrno>
#include <cstring>

#include "reader/sweep.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zelreport {

bool Output::Flush() {
    if (failed) return false;
    std::string_view pending = text();
    size_ = 0;  // handed on once, even when the output throws
    if (!pending.empty() && handlers && handlers->output && !handlers->output(pending)) failed = true;
    return !failed;
}

int Scanner::GetC() {
    p = end = nullptr;
    if (!read_block) return kEndOfInput;
    // The reader is about to wait: what is complete goes out first.
    if (flush) flush->Flush();
    if (!block) {
        // Not zero-filled but for the look-back bytes: read() fills the rest.
        block.reset(new char[kBlockLookBack + kInputBlockSize]);
        std::memset(block.get(), 0, kBlockLookBack);
    }
    floor = block.get();
    char* data = block.get() + kBlockLookBack;
    long n = read_block(data, kInputBlockSize);
    if (n <= 0) {
        if (n < 0) {
            read_failed = true;
            read_errno = errno;
        }
        return kEndOfInput;
    }
    p = data;
    end = p + n;
    return static_cast<unsigned char>(*p++);
}

// Moves to the "<" of the next tag, a block at a time. The tag is usually
// a byte or two away, so a short plain look comes first.
void SkipToTag(Scanner& in) {
    constexpr std::ptrdiff_t kShortLook = 16;
    while (in.c != '<' && in.c != kEndOfInput) {
        const char* q = in.Here();
        const char* near_end = in.end - q > kShortLook ? q + kShortLook : in.end;
        while (q < near_end && *q != '<') ++q;
        if (q == near_end && q < in.end) {
            const void* lt = std::memchr(q, '<', static_cast<std::size_t>(in.end - q));
            q = lt ? static_cast<const char*>(lt) : in.end;
        }
        in.ResumeAt(q);
    }
}

namespace {

// The first line feed or carriage return at or after `q`, or `end`.
[[gnu::always_inline]] inline const char* FindLineBreak(const char* q, const char* end) {
#if defined(__SSE2__)
    for (; end - q >= 16; q += 16) {
        __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
        __m128i breaks = _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')),
                                      _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r')));
        if (unsigned found = static_cast<unsigned>(_mm_movemask_epi8(breaks)))
            return q + std::countr_zero(found);
    }
#endif
    for (; end - q >= 8; q += 8) {
        std::uint64_t word = Load8(q);
        if (std::uint64_t found = BytesEqual(word, '\n') | BytesEqual(word, '\r'))
            return q + FirstMarked(found);
    }
    while (q < end && *q != '\n' && *q != '\r') ++q;
    return q;
}

// Opens the next line: the bytes the loop skips there.
constexpr std::array<bool, 256> MakeLineOpeners() {
    std::array<bool, 256> openers{};
    for (unsigned char b : {' ', '\t', '<', '/'}) openers[b] = true;
    return openers;
}
constexpr std::array<bool, 256> kLineOpeners = MakeLineOpeners();
bool OpensLine(int ch) {
    return ch != kEndOfInput && kLineOpeners[static_cast<unsigned char>(ch)];
}

}  // namespace

// The usual case inside the block: from `from` (a place in the block at or
// after the look-ahead byte), a line feed followed by a line that does not
// begin with a blank. Returns false, having moved nothing, for anything else.
bool NextLineInBlock(Scanner& in, const char* from) {
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

// Drops the rest of the line, and every following line that begins with
// a space, then skips the blanks, tabs, "<" and "/" that open the next
// line, so a closing tag there reads as the bare element name.
int NextProperty(Scanner& in) {
    if (in.c != kEndOfInput && NextLineInBlock(in, in.Here())) return in.c;
    do {
        while (in.c != '\n' && in.c != '\r' && in.c != kEndOfInput)
            in.ResumeAt(FindLineBreak(in.Here(), in.end));
        if (in.c == '\r') in.AdvanceChar();
        if (in.c == '\n') in.AdvanceChar();
    } while (in.c == ' ');
    while (OpensLine(in.c)) in.AdvanceChar();
    return in.c;
}

}  // namespace zelreport
