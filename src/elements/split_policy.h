// SPDX-License-Identifier: MIT
// Whether cutting long runs of values in two pays on this host, now.
#pragma once

#include <algorithm>
#include <cstddef>

namespace zelreport {

// A second thread pays only where it has a processor of its own: two
// threads on the two halves of one core, or beside other programs on a
// busy machine, can be slower than one. So where the host has a processor
// to spare, some long runs are converted each way in turn, their time per
// byte measured, and the faster way kept for the next many; then
// it is measured again, as the host changes.
class SplitPolicy {
public:
    // True when the next long run should be cut in two. `spare_processor`
    // tells, asked at the start of each measure, whether the host has a
    // processor to spare now: without one, no run is cut until the next.
    template <typename SpareProcessor>
    bool Split(SpareProcessor spare_processor) {
        if (probes_ == 0 && !asked_) {
            asked_ = true;
            if (!spare_processor()) probes_ = kProbeRuns, split_ = false;
        }
        return probes_ < kProbeRuns ? probes_ % 2 == 0 : split_;
    }

    // What the last long run cost, cut in two or not as Split() said.
    void Record(std::ptrdiff_t bytes, double seconds) {
        if (probes_ == kProbeRuns) {
            if (++kept_ == kKeptRuns) *this = SplitPolicy();  // measure again
            return;
        }
        // Each way's best rate: a run that also grew the array or met a
        // page fault says nothing about the way it was converted.
        double& best = best_rate_[probes_ % 2];
        if (seconds > 0) best = std::max(best, static_cast<double>(bytes) / seconds);
        if (++probes_ < kProbeRuns) return;
        split_ = best_rate_[0] >= best_rate_[1];
    }

private:
    static constexpr int kProbeRuns = 8;   // half of them cut in two
    static constexpr int kKeptRuns = 256;  // before measuring again
    double best_rate_[2] = {0, 0};         // bytes a second: cut in two, alone
    int probes_ = 0, kept_ = 0;
    bool split_ = true;
    bool asked_ = false;  // whether a processor is spare, this measure
};

}  // namespace zelreport
