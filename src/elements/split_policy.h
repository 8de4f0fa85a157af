// SPDX-License-Identifier: MIT
// Whether cutting long runs of values in two pays on this host, now.
#pragma once

#include <cstddef>

namespace zelreport {

// A second thread pays only where it has a processor of its own: two
// threads on the two halves of one core, or beside other programs on a
// busy machine, can be slower than one. So where the host has a processor
// to spare, some long runs are converted each way in turn, their time per
// byte measured, and the clearly faster way kept for the next many; then
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
        Way& way = ways_[probes_ % 2];
        way.bytes += static_cast<double>(bytes);
        way.seconds += seconds;
        if (++probes_ < kProbeRuns) return;
        const Way& split = ways_[0];
        const Way& alone = ways_[1];
        split_ = split.seconds * alone.bytes * kSplitMargin <= alone.seconds * split.bytes;
    }

private:
    static constexpr int kProbeRuns = 8;   // half of them cut in two
    static constexpr int kKeptRuns = 256;  // before measuring again
    // Cutting in two must pay this much per byte: nearly as fast is not
    // worth a processor that another program may want.
    static constexpr double kSplitMargin = 1.1;
    struct Way {
        double bytes = 0, seconds = 0;
    };
    Way ways_[2];  // cut in two, alone
    int probes_ = 0, kept_ = 0;
    bool split_ = true;
    bool asked_ = false;  // whether a processor is spare, this measure
};

}  // namespace zelreport
