// SPDX-License-Identifier: MIT
// How texts and numbers look in messages: quoted and escaped, cut after a
// few dozen bytes, floats in their shortest exact spelling.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zelreport::xml {

// A text of `size` bytes in all (the text may hold a part), or "nothing".
// The length of the UTF-8 sequence at `p` (before `end`), or 0 when none
// starts there.
std::size_t Utf8Length(const unsigned char* p, const unsigned char* end);

std::string ShowText(const std::string* text, std::uint64_t size);
// Joins texts, as "a" + b + "c" would without a temporary for each
// step, and without GCC 12's false -Wrestrict on a literal before a string.
template <typename... Parts>
std::string Cat(const Parts&... parts) {
    std::string joined;
    (joined.append(std::string_view(parts)), ...);
    return joined;
}

// An element's name is shown up to this many bytes.
inline constexpr std::size_t kShownNameBytes = 32;

// An element's name as a tag, "<name>", cut after kShownNameBytes.
std::string ShowTag(std::string_view name);
std::string ShowNumber(std::int64_t value);
std::string ShowFloat(float value);

}  // namespace zelreport::xml
