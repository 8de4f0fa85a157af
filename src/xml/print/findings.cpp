// SPDX-License-Identifier: MIT
#include "xml/print/findings.h"

#include <algorithm>
#include <utility>

namespace zelreport::xml {

void FindingWriter::Begin(Group group) {
    group_ = group;
    findings_.clear();
}

void FindingWriter::Add(Finding finding) {
    ++(finding.severity == Severity::error ? summary_.errors : summary_.warnings);
    findings_.push_back(std::move(finding));
}

void FindingWriter::Suppressed(std::uint64_t count) {
    summary_.errors += count;
    tallies_[static_cast<std::size_t>(Cause::generic)].hidden_loose += count;
}

void FindingWriter::End() {
    if (group_.record != 0) ++summary_.records;
    if (findings_.empty()) return;
    summary_.any_finding = true;
    std::stable_sort(findings_.begin(), findings_.end(), [](const Finding& a, const Finding& b) {
        return a.at.line != b.at.line ? a.at.line < b.at.line : a.at.column < b.at.column;
    });
    bool see_encoding = std::any_of(findings_.begin(), findings_.end(),
                                    [](const Finding& f) { return f.cause == Cause::see_encoding; });
    if (see_encoding && !encoding_told_) DocumentEncoding();
    // Each cause counts this group once, shown or not.
    bool misread = false;
    std::vector<bool> seen(tallies_.size()), shown(tallies_.size());
    for (const Finding& finding : findings_) {
        misread = misread || finding.severity == Severity::error;
        auto c = static_cast<std::size_t>(finding.cause);
        if (!seen[c]) {
            seen[c] = true;
            shown[c] = !options_.cap || tallies_[c].shown < kShownRecordsPerCause;
            Tally& tally = tallies_[c];
            ++(shown[c] ? tally.shown : group_.record != 0 ? tally.hidden_records : tally.hidden_loose);
        }
        if (shown[c] && !options_.quiet) form_.OnFinding(file_, group_, finding);
    }
    if (group_.record != 0 && misread) ++summary_.misread;
    findings_.clear();
}

void FindingWriter::Finish(const std::optional<Trouble>& trouble) {
    for (std::size_t c = 0; c < tallies_.size() && !options_.quiet; ++c) {
        auto cause = static_cast<Cause>(c);
        if (tallies_[c].hidden_records > 0) form_.OnNote(file_, cause, tallies_[c].hidden_records, true);
        if (tallies_[c].hidden_loose > 0) form_.OnNote(file_, cause, tallies_[c].hidden_loose, false);
    }
    summary_.file = file_;
    if (trouble) {
        summary_.trouble_at = trouble->at;
        summary_.trouble = trouble->message;
    }
    form_.OnSummary(summary_);
}

// A document not in UTF-8 is named once, at its first line, before the
// first record it explains.
void FindingWriter::DocumentEncoding() {
    encoding_told_ = true;
    ++summary_.errors;
    if (!options_.quiet)
        form_.OnFinding(file_, {},
                        {{0, 1, 1}, Severity::error, Cause::encoding, "the document is not in UTF-8"});
}

}  // namespace zelreport::xml
