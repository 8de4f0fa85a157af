// SPDX-License-Identifier: MIT
// Whether cutting long runs of values in two pays on this host, now.
#pragma once

#include <cstddef>

namespace zelreport {

// A second thread pays only where it has a processor of its own: two
// threads on the two halves of one core, or beside other programs on a
// busy machine, can be slower than one. So some long runs are converted
// each way in turn, their time per byte measured, and the faster way kept
// for the next many; then it is measured again, as the host changes.
class SplitPolicy {
public:
    // True when the next long run should be cut in two.
    bool Split() const { return probes_ < kProbeRuns ? probes_ % 2 == 0 : split_; }

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
        split_ = split.seconds * alone.bytes <= alone.seconds * split.bytes;
    }

private:
    static constexpr int kProbeRuns = 8;   // half of them cut in two
    static constexpr int kKeptRuns = 256;  // before measuring again
    struct Way {
        double bytes = 0, seconds = 0;
    };
    Way ways_[2];  // cut in two, alone
    int probes_ = 0, kept_ = 0;
    bool split_ = true;
};

}  // namespace zelreport
