// SPDX-License-Identifier: MIT
// The minimum, maximum and sum of float entries as they arrive.
#pragma once

#include <limits>

namespace zelreport {

// The same operations in the same order as the statistics line takes
// them. Starting from the infinities instead of the first entry changes
// nothing unless that entry is a NaN, which the report puts right.
struct RunningStats {
    float min = std::numeric_limits<float>::infinity();
    float max = -std::numeric_limits<float>::infinity();
    float sum = 0;
    void Add(float entry) {
        sum = sum + entry;
        if (min > entry) min = entry;
        if (entry > max) max = entry;
    }
    // Adds the entries from `first` to `last` in order, as Add would one by
    // one, with the minimum and maximum of a long stretch taken four
    // entries at a time.
    void AddAll(const float* first, const float* last);
};

}  // namespace zelreport
