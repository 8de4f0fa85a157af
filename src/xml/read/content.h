// SPDX-License-Identifier: MIT
// What a content means, and whether zelreport can read it as written.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "xml/diagnose/rules.h"
#include "xml/read/element_names.h"

namespace zelreport::xml {

// XML white space: it separates values and surrounds integers.
constexpr bool IsXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Calls `take(token)` for each run of bytes between XML white space.
template <typename Take>
void ForEachToken(std::string_view text, Take&& take) {
    const char* p = text.data();
    const char* const end = p + text.size();
    for (;;) {
        while (p < end && IsXmlSpace(*p)) ++p;
        if (p == end) return;
        const char* start = p;
        while (p < end && !IsXmlSpace(*p)) ++p;
        take(std::string_view(start, static_cast<std::size_t>(p - start)));
    }
}

// The number an integer content means: an optional sign and decimal
// digits between XML white space, from -2^31 to 2^32 - 1. Numbers from
// 2^31 on stand for their 32-bit two's complement, which is how zelreport
// reads them, so a negative number written that way keeps its meaning.
std::optional<std::int32_t> ParseInteger(std::string_view content);

// Why zelreport cannot read `text` written as the content of `field` on
// one line, or none: it would read exactly `text`. `size` is the whole
// text's, which may be longer than the part kept.
Cause TextHazard(Field field, std::string_view text, std::uint64_t size);

}  // namespace zelreport::xml
