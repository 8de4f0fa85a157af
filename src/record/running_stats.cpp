// SPDX-License-Identifier: MIT
#include "record/running_stats.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

namespace zelreport {

namespace {

constexpr std::ptrdiff_t kLanes = 4;
// Shorter stretches are added one by one: folding the lanes costs more.
constexpr std::ptrdiff_t kLanesFrom = 4 * kLanes;

// Each lane keeps the first of its entries that `better` prefers to all
// before it, as the one-by-one rule does. Of the lanes, the first entry
// overall is wanted: entries of the same non-zero value are the same float,
// so any lane holding the best value will do, but a zero may be +0 in one
// lane and -0 in another, and then only the entries themselves tell.
template <typename Better>
float FoldLanes(const std::array<float, kLanes>& lanes, const float* first, const float* last,
                Better better) {
    float best = lanes[0];
    for (float lane : lanes)
        if (better(lane, best)) best = lane;
    if (best != 0) return best;
    for (float lane : lanes)
        if (lane == 0 && std::bit_cast<std::uint32_t>(lane) != std::bit_cast<std::uint32_t>(best))
            return *std::find(first, last, 0.0f);
    return best;
}

}  // namespace

void RunningStats::AddAll(const float* first, const float* last) {
    const float* q = first;
#if defined(__SSE2__)
    if (last - first >= kLanesFrom) {
        // minps and maxps with the entry first keep the lane's value on a
        // tie and against a NaN entry, as Add does.
        __m128 lane_min = _mm_set1_ps(std::numeric_limits<float>::infinity());
        __m128 lane_max = _mm_set1_ps(-std::numeric_limits<float>::infinity());
        float total = sum;
        // Two rows of lanes a turn: a lane takes its entries in order all
        // the same, and fewer copies of the lanes are made.
        const float* const rows_end = q + (last - q) / (2 * kLanes) * (2 * kLanes);
        for (; q != rows_end; q += 2 * kLanes) {
            __m128 first_row = _mm_loadu_ps(q), second_row = _mm_loadu_ps(q + kLanes);
            lane_min = _mm_min_ps(second_row, _mm_min_ps(first_row, lane_min));
            lane_max = _mm_max_ps(second_row, _mm_max_ps(first_row, lane_max));
            for (int i = 0; i < 2 * kLanes; ++i) total = total + q[i];
        }
        std::array<float, kLanes> mins, maxes;
        _mm_storeu_ps(mins.data(), lane_min);
        _mm_storeu_ps(maxes.data(), lane_max);
        float stretch_min = FoldLanes(mins, first, q, [](float a, float b) { return b > a; });
        float stretch_max = FoldLanes(maxes, first, q, [](float a, float b) { return a > b; });
        sum = total;
        if (min > stretch_min) min = stretch_min;
        if (stretch_max > max) max = stretch_max;
    }
#endif
    for (; q < last; ++q) Add(*q);
}

}  // namespace zelreport
