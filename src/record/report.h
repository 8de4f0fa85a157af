// SPDX-License-Identifier: MIT
// The report printed at each record's end.
#pragma once

#include <charconv>
#include <cstdint>
#include <span>
#include <string>

#include "zelreport/zelreport.h"

namespace zelreport {

struct Context;

// Prints the current record's report and releases its per-record storage.
void write_to_zelFile(Context& ctx);

// The statistics over `count` entries of `data`; entries past the end of
// `data` count as 0.
Statistics SimpleStats(std::span<const float> data, std::int32_t count);

// printf("%f") and printf("%d") spellings, written at `out` (which has
// room for the longest) or appended; the writers return the end.
constexpr std::size_t kMaxIntChars = 11;     // "-2147483648"
constexpr std::size_t kMaxFixed6Chars = 48;  // the largest float: sign, 39 digits, point, 6 decimals
char* WriteFixed6(float value, char* out);
// Inline: a report writes some twenty of them.
inline char* WriteInt(std::int32_t value, char* out) {
    return std::to_chars(out, out + kMaxIntChars, value).ptr;
}
void AppendFixed6(float value, std::string& out);
void AppendInt(std::int32_t value, std::string& out);

}  // namespace zelreport
