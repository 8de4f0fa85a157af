// SPDX-License-Identifier: MIT
// What the fuzz targets share: how a finding is reported, and a reader
// that hands a document to run_reader in pieces.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "support/blocks.h"
#include "zelreport/zelreport.h"

namespace zelfuzz {

// A finding: says what differs, then aborts, which the fuzzer and the
// corpus replay both report.
[[noreturn]] inline void Fail(const char* what, std::string_view expected, std::string_view got) {
    std::fprintf(stderr, "%s\nexpected (%zu bytes):\n%.*s\ngot (%zu bytes):\n%.*s\n", what, expected.size(),
                 static_cast<int>(std::min<std::size_t>(expected.size(), 4000)), expected.data(), got.size(),
                 static_cast<int>(std::min<std::size_t>(got.size(), 4000)), got.data());
    std::abort();
}

inline void ExpectEqual(const char* what, std::string_view expected, std::string_view got) {
    if (expected != got) Fail(what, expected, got);
}

// Hands `document` over in pieces of 1 to 17 bytes, their sizes drawn from
// `seed`, so every input replays alike and block ends fall everywhere.
// Nothing may be read once the end of input was seen.
inline zelreport::ReadBlock Pieces(std::string_view document, std::uint32_t seed) {
    return zeltest::InDrawnBlocks(
        document,
        [seed]() mutable {
            seed = seed * 1103515245u + 12345u;
            return std::size_t{1} + (seed >> 16) % 17;
        },
        [] { Fail("no read after the end of input", "", "a read"); });
}

}  // namespace zelfuzz
