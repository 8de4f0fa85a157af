// SPDX-License-Identifier: MIT
// A values text as decoded, held in blocks that each end between tokens,
// so that it grows without ever being copied whole and without twice its
// size in spare room.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zelreport::xml {

class ValuesText {
public:
    void clear();
    void append(const char* data, std::size_t size);

    // Calls `take(block)` for each block, in order: no token straddles two.
    template <typename Take>
    void ForEachBlock(Take&& take) const {
        for (const std::string& block : blocks_) take(std::string_view(block));
    }
    bool Contains(char c) const;
    // Moves every block but the last, which may still grow, to the end of
    // `blocks`: a long text handed on in part while it is read.
    // ForEachBlock then gives the rest.
    void TakeClosedBlocks(std::vector<std::string>& blocks);

private:
    std::vector<std::string> blocks_;
};

}  // namespace zelreport::xml
