// SPDX-License-Identifier: MIT
// Where in the input zelreport can report a record: only where it has
// just read the name "/zelrecord" and the byte that ends it. Cutting the
// input it is fed at those places tells exactly which closing tag each
// report comes from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "reader/element_names.h"

namespace zelreport::xml {

// The name "/zelrecord" and the byte after it.
inline constexpr std::size_t kTriggerSize = kRecordEndName.size() + 1;
inline constexpr std::uint64_t kNoTrigger = UINT64_MAX;

// A place to cut the input. A piece that ends at a cut with a trigger
// holds the end of that "/zelrecord" (which starts at `trigger`): a
// report made while zelreport reads that piece comes from it.
struct Cut {
    std::uint64_t offset;
    std::uint64_t trigger = kNoTrigger;
};

class TriggerFinder {
public:
    // The cuts inside the next block of the stream, [offset, offset + size),
    // in order; names may straddle blocks.
    void Find(const char* data, std::size_t size, std::uint64_t offset, std::vector<Cut>& cuts);

private:
    std::string carry_;                   // the stream's last bytes, short of a whole name
    std::vector<std::uint64_t> pending_;  // names whose trigger cut lies further on
};

}  // namespace zelreport::xml
