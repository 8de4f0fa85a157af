// SPDX-License-Identifier: MIT
// zelcheck's printer: findings one line each, in the compiler form
//   FILE:LINE:COL: error: record N (line L): WHAT; cause: CAUSE; fix: FIX
// in line order within a record; for each cause the records of the first
// kShownRecordsPerCause in full, the others counted in a closing note.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "xml/common/io.h"
#include "xml/common/show.h"
#include "xml/read/record.h"

namespace zelreport::xml {

inline constexpr std::uint64_t kShownRecordsPerCause = 10;

class FindingWriter {
public:
    // `all`: print every finding, none counted only.
    FindingWriter(std::string file, Output& out, bool all = false)
        : file_(std::move(file)), out_(out), all_(all) {}

    // The findings that follow belong to `group` ("record 3 (line 40)", or
    // empty between records); `record`: the group is one of the XML's.
    void Begin(std::string group, bool record);
    void Error(Position at, std::string_view what, Cause cause);
    void Warning(Position at, std::string_view what, Cause cause = Cause::none);
    // Errors known only by their number, counted with the generic cause.
    void Suppressed(std::uint64_t count);
    void End();
    // The notes of what was counted only, and with `summary` the line
    // "FILE: N records: R read as the XML means, M misread".
    void Finish(bool summary);

    std::uint64_t errors() const { return errors_; }

private:
    struct Finding {
        Position at;
        bool error;
        Cause cause;  // none for a warning
        std::string what;
    };
    struct Tally {
        std::uint64_t shown = 0, hidden = 0;  // records
    };

    Tally& TallyOf(Cause cause) { return tallies_[static_cast<std::size_t>(cause)]; }
    void Line(const Finding& finding);
    void DocumentEncoding();

    std::string file_;
    Output& out_;
    const bool all_;
    std::string group_;
    bool record_ = false;
    std::vector<Finding> findings_;  // the group's
    std::vector<Tally> tallies_ = std::vector<Tally>(kCauseCount);
    std::uint64_t errors_ = 0, records_ = 0, misread_ = 0;
    bool anything_ = false;
    bool encoding_told_ = false;
};

}  // namespace zelreport::xml
