// The one-byte look-ahead reader every element reader works on.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

namespace zelreport {

constexpr int kEndOfInput = -1;
constexpr std::size_t kInputBlockSize = 256 * 1024;

// Fills `buffer` with up to `capacity` bytes; returns the count, 0 at end
// of input, or -1 with errno set on a read error.
using ReadBlock = std::function<long(char* buffer, std::size_t capacity)>;

// Every byte read leaves `c` == p[-1], so the fast paths can scan a run
// of bytes in place starting at the look-ahead byte.
struct Scanner {
    int c = 0;                  // look-ahead: last byte read (0..255) or -1
    const char* p = nullptr;    // next unread byte of the block
    const char* end = nullptr;  // end of the block
    bool read_failed = false;
    int read_errno = 0;
    ReadBlock read_block;  // empty for an in-memory document
    std::unique_ptr<char[]> block;

    // Reads the next byte into `c`; nothing is read once `c` is -1.
    int AdvanceChar() {
        if (c == kEndOfInput) return c;
        c = p < end ? static_cast<unsigned char>(*p++) : GetC();
        return c;
    }

    // The next byte of the input once the block is used up: reads the next
    // block; -1 at end of input or on a read error.
    int GetC();
};

bool IsWhite(int ch);
int SkipWhite(Scanner& in);
void SkipToTag(Scanner& in);
int NextProperty(Scanner& in);

}  // namespace zelreport
