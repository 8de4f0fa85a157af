// SPDX-License-Identifier: MIT
// The one-byte look-ahead reader every element reader works on.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "reader/output.h"
#include "zelreport/zelreport.h"

namespace zelreport {

constexpr int kEndOfInput = -1;
constexpr std::size_t kInputBlockSize = 512 * 1024;
// Zero bytes kept before the input block, so that word loads that end
// inside it may begin before it.
constexpr std::size_t kBlockLookBack = 16;

// Every byte read leaves `c` == p[-1], so a sweep can scan a run of bytes
// in place from the look-ahead byte's place (`Here`) and hand the reader
// back the byte it stopped on (`ResumeAt`).
struct Scanner {
    int c = 0;                    // look-ahead: last byte read (0..255) or -1
    const char* p = nullptr;      // next unread byte of the block
    const char* end = nullptr;    // end of the block
    const char* floor = nullptr;  // first byte before `p` that may be loaded
    bool read_failed = false;
    int read_errno = 0;
    ReadBlock read_block;     // empty for an in-memory document
    Output* flush = nullptr;  // written out before the reader waits for input
    std::unique_ptr<char[]> block;
    const char* block_start = nullptr;  // first byte of the current block
    std::uint64_t block_offset = 0;     // its offset in the input

    // The input offset of `q`, a byte of the current block.
    std::uint64_t OffsetOf(const char* q) const {
        assert(block_start && q >= block_start && q <= end);
        return block_offset + static_cast<std::uint64_t>(q - block_start);
    }

    // Reads the next byte into `c`; nothing is read once `c` is -1.
    int AdvanceChar() {
        if (c == kEndOfInput) return c;
        c = p < end ? static_cast<unsigned char>(*p++) : GetC();
        return c;
    }

    // The look-ahead byte's place in the block; `c` must be a byte.
    const char* Here() const {
        assert(c != kEndOfInput && p && static_cast<unsigned char>(p[-1]) == c);
        return p - 1;
    }

    // Makes the byte at `q` (in the block, at or after the look-ahead
    // byte) the look-ahead byte; at the end of the block, reads on.
    void ResumeAt(const char* q) {
        assert(p && q >= p - 1 && q <= end);
        if (q < end) {
            c = static_cast<unsigned char>(*q);
            p = q + 1;
        } else {
            p = end;
            c = GetC();
        }
    }

    // The next byte of the input once the block is used up: reads the next
    // block; -1 at end of input or on a read error.
    int GetC();
};

inline bool IsWhite(int ch) {
    return ch == ' ';
}

inline int SkipWhite(Scanner& in) {
    while (IsWhite(in.c)) in.AdvanceChar();
    return in.c;
}

void SkipToTag(Scanner& in);
int NextProperty(Scanner& in);

}  // namespace zelreport
