// Byte-string helpers for names and texts.
#pragma once

#include <cstddef>
#include <string_view>

namespace zelreport {

// Names and texts are mostly a few bytes long: for them a plain loop
// beats a library call.

// Length of `text` up to its first zero byte, at most `size`.
inline std::size_t VisibleLength(const char* text, std::size_t size) {
    std::size_t n = 0;
    while (n < size && text[n] != '\0') ++n;
    return n;
}

// True when `byte` occurs in `text`.
inline bool Contains(std::string_view text, char byte) {
    for (char b : text)
        if (b == byte) return true;
    return false;
}

}  // namespace zelreport
