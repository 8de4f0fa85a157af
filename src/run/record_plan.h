// SPDX-License-Identifier: MIT
// The names that the document loop's passes over a record read, in order,
// as the records before gave them: a document's usual layout. A pass whose
// bytes hold the name foreseen for it needs neither to read the name nor
// to look it up.
#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <cstring>
#include <string_view>

#include "keywords/keywords.h"
#include "reader/sweep.h"

namespace zelreport {

class RecordPlan {
public:
    RecordPlan() = default;
    RecordPlan(const RecordPlan&) = delete;  // `next_` points into it
    RecordPlan& operator=(const RecordPlan&) = delete;

    // Passes of a record past this many are not foreseen.
    static constexpr std::size_t kMaxPasses = 64;
    // A foreseen name and the ">" after it fit one sixteen-byte compare.
    static constexpr std::size_t kMaxNameBytes = sweep::kWidth - 1;

    struct Step {
        // The name, ">" and zeros: the handlers may load a word past the
        // name, as they may from the loop's name buffer.
        alignas(sweep::kWidth) char bytes[sweep::kWidth + 8] = {};
        // The bytes compared: the name's and the ">". Never met by a step
        // not learned (its bit 16 stands for no byte).
        unsigned compared = 1u << sweep::kWidth;
        std::size_t length = 0;
        const KeywordEntry* entry = nullptr;  // none: the record's end
        std::string_view name() const { return {bytes, length}; }
    };

    // True when the sixteen bytes at `name` hold the step's name and ">".
    static bool Meets(const Step& step, const char* name) {
        return (Bytes16(name).SameAs(Bytes16(step.bytes)) & step.compared) == step.compared;
    }
    // The step foreseen for this pass, and the one after it: a run of
    // foreseen passes follows the steps with a cursor of its own, which it
    // hands back. The last step is never met, so a cursor never passes it.
    const Step* Next() const { return next_; }
    const Step* After(const Step* step) const { return step->entry ? step + 1 : steps_.data(); }
    void Resume(const Step* step) { next_ = steps_.data() + (step - steps_.data()); }

    // Notes the name this pass read, ended by ">", and the entry it found
    // (none for the record's end).
    void Learn(std::string_view name, const KeywordEntry* entry) {
        if (next_ == &steps_.back()) return;  // the end stays unmet
        Step& step = *next_;
        if (name.size() < 2 || name.size() > kMaxNameBytes) {
            step = Step{};
            return;
        }
        std::memset(step.bytes, 0, sizeof step.bytes);
        std::memcpy(step.bytes, name.data(), name.size());
        step.bytes[name.size()] = '>';
        step.compared = (2u << name.size()) - 1;
        step.length = name.size();
        step.entry = entry;
    }

    // Counts a pass; a record's end begins the passes of the next record.
    void Pass(bool record_end) {
        if (record_end)
            next_ = steps_.data();
        else if (next_ != &steps_.back())
            ++next_;
    }

private:
    // One step more than foreseen passes, never met.
    std::array<Step, kMaxPasses + 1> steps_{};
    Step* next_ = steps_.data();
};

}  // namespace zelreport
