// SPDX-License-Identifier: MIT
// Hands a document to the reader in blocks, so that no reading may depend
// on where a block ends: the read callback of the tests and fuzz targets.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace zeltest {

inline void NoCheck() {}

// A read callback that hands `document` over in blocks whose sizes
// `next_size` draws, one a read (at least one byte, cut to what is left
// and to the reader's room), then ends. A read after the end calls
// `read_after_end`.
template <typename NextSize, typename ReadAfterEnd = void (*)()>
auto InDrawnBlocks(std::string_view document, NextSize next_size, ReadAfterEnd read_after_end = NoCheck) {
    return [document, next_size, read_after_end, at = std::size_t{0}, ended = false](
               char* buffer, std::size_t capacity) mutable -> long {
        if (ended) read_after_end();
        std::size_t n = std::min({std::max<std::size_t>(next_size(), 1), capacity, document.size() - at});
        ended = n == 0;
        std::memcpy(buffer, document.data() + at, n);
        at += n;
        return static_cast<long>(n);
    };
}

// The same in blocks of `size` bytes.
template <typename ReadAfterEnd = void (*)()>
auto InBlocksOf(std::string_view document, std::size_t size, ReadAfterEnd read_after_end = NoCheck) {
    return InDrawnBlocks(
        document, [size] { return size; }, read_after_end);
}

}  // namespace zeltest
