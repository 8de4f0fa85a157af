// SPDX-License-Identifier: MIT
#include "reader/scanner.h"

#include <cerrno>
#include <cstring>

#include "reader/lines.h"
#include "reader/sweep.h"

namespace zelreport {

bool Output::Flush() {
    if (failed) return false;
    std::string_view pending = text();
    size_ = 0;  // handed on once, even when the output throws
    if (!pending.empty() && handlers && handlers->output && !handlers->output(pending)) failed = true;
    return !failed;
}

int Scanner::GetC() {
    if (block_start) block_offset += static_cast<std::uint64_t>(end - block_start);
    p = end = block_start = nullptr;
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
    // A count that no read into this block can give is the callback's
    // failure: none of the block is trusted.
    if (n < -1 || n > static_cast<long>(kInputBlockSize)) {
        errno = EINVAL;
        n = -1;
    }
    if (n <= 0) {
        if (n < 0) {
            read_failed = true;
            read_errno = errno;
        }
        return kEndOfInput;
    }
    p = block_start = data;
    end = p + n;
    return static_cast<unsigned char>(*p++);
}

// Moves to the "<" of the next tag, a block at a time.
void SkipToTag(Scanner& in) {
    while (in.c != '<' && in.c != kEndOfInput) in.ResumeAt(FindAny<'<'>(in.Here(), in.end));
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
