#include "reader/scanner.h"

#include <cerrno>
#include <cstring>

namespace zelreport {

int Scanner::GetC() {
    if (!read_block) return kEndOfInput;
    if (!block) block = std::make_unique<char[]>(kInputBlockSize);
    long n = read_block(block.get(), kInputBlockSize);
    if (n <= 0) {
        if (n < 0) {
            read_failed = true;
            read_errno = errno;
        }
        p = end = nullptr;
        return kEndOfInput;
    }
    p = block.get();
    end = p + n;
    return static_cast<unsigned char>(*p++);
}

bool IsWhite(int ch) {
    return ch == ' ';
}

int SkipWhite(Scanner& in) {
    while (IsWhite(in.c)) in.AdvanceChar();
    return in.c;
}

// Moves to the "<" of the next tag, scanning whole blocks at a time. The
// tag is usually a byte or two away, so a short plain look comes first.
void SkipToTag(Scanner& in) {
    constexpr std::ptrdiff_t kShortLook = 16;
    while (in.c != '<' && in.c != kEndOfInput) {
        const char* near_end = in.end - in.p > kShortLook ? in.p + kShortLook : in.end;
        const char* q = in.p;
        while (q < near_end && *q != '<') ++q;
        if (q < near_end) {
            in.p = q + 1;
            in.c = '<';
            return;
        }
        const void* lt = q < in.end ? std::memchr(q, '<', in.end - q) : nullptr;
        if (lt) {
            in.p = static_cast<const char*>(lt) + 1;
            in.c = '<';
            return;
        }
        in.p = in.end;
        in.AdvanceChar();
    }
}

// Drops the rest of the line, and every following line that begins with
// a space, then skips the blanks, tabs, "<" and "/" that open the next
// line, so a closing tag there reads as the bare element name.
int NextProperty(Scanner& in) {
    do {
        while (in.c != '\n' && in.c != '\r' && in.c != kEndOfInput) {
            const char* q = in.p;
            while (q < in.end && *q != '\n' && *q != '\r') ++q;
            if (q < in.end) {
                in.c = static_cast<unsigned char>(*q);
                in.p = q + 1;
                break;
            }
            in.p = in.end;
            in.AdvanceChar();
        }
        if (in.c == '\r') in.AdvanceChar();
        if (in.c == '\n') in.AdvanceChar();
    } while (in.c == ' ');
    while (in.c == ' ' || in.c == '\t' || in.c == '<' || in.c == '/') in.AdvanceChar();
    return in.c;
}

}  // namespace zelreport
