// SPDX-License-Identifier: MIT
// How much of a name and of a text content the reading keeps.
#pragma once

#include <array>
#include <cstddef>

namespace zelreport {

// Text elements are cut at this many bytes.
constexpr std::size_t MAX_SIZE = 8192000;
// Element names are cut at this many bytes.
constexpr std::size_t kMaxNameLength = 200;
// Room for a name and two word loads past its end.
using NameBuffer = std::array<char, kMaxNameLength + 16>;

}  // namespace zelreport
