// SPDX-License-Identifier: MIT
// zelcheck's printer: the findings of a file, in line order within each
// record, handed to the form; in text, for each cause the records of the
// first kShownRecordsPerCause in full and the others counted in a closing
// note; the file summed up at the end.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "xml/print/form.h"
#include "xml/read/document_reader.h"

namespace zelreport::xml {

inline constexpr std::uint64_t kShownRecordsPerCause = 10;

struct PrintOptions {
    bool cap = true;     // count records past kShownRecordsPerCause per cause
    bool quiet = false;  // the summary only
};

class FindingWriter {
public:
    FindingWriter(std::string file, Form& form, PrintOptions options)
        : file_(std::move(file)), form_(form), options_(options) {}

    // The findings that follow belong to `group`.
    void Begin(Group group);
    void Add(Finding finding);
    // Errors known only by their number, counted with the generic cause.
    void Suppressed(std::uint64_t count);
    void End();
    // The notes of what was counted only, and the summary; `trouble`: why
    // the file could not be checked to its end.
    void Finish(const std::optional<Trouble>& trouble);

    std::uint64_t errors() const { return summary_.errors; }
    std::uint64_t warnings() const { return summary_.warnings; }
    const FileSummary& summary() const { return summary_; }

private:
    struct Tally {
        std::uint64_t shown = 0;                             // groups
        std::uint64_t hidden_records = 0, hidden_loose = 0;  // groups counted only
    };

    void DocumentEncoding();

    std::string file_;
    Form& form_;
    const PrintOptions options_;
    Group group_;
    std::vector<Finding> findings_;  // the group's
    std::vector<Tally> tallies_ = std::vector<Tally>(kCauseCount);
    FileSummary summary_;
    bool encoding_told_ = false;
};

}  // namespace zelreport::xml
