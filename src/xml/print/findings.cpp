// SPDX-License-Identifier: MIT
#include "xml/print/findings.h"

#include <algorithm>
#include <utility>

namespace zelreport::xml {

void FindingWriter::Begin(std::string group, bool record) {
    group_ = std::move(group);
    record_ = record;
    findings_.clear();
}

void FindingWriter::Error(Position at, std::string_view what, Cause cause) {
    ++errors_;
    findings_.push_back({at, true, cause == Cause::none ? Cause::generic : cause, std::string(what)});
}

void FindingWriter::Warning(Position at, std::string_view what, Cause cause) {
    findings_.push_back({at, false, cause, std::string(what)});
}

void FindingWriter::Suppressed(std::uint64_t count) {
    errors_ += count;
    TallyOf(Cause::generic).hidden += count;
}

void FindingWriter::End() {
    if (record_) ++records_;
    if (findings_.empty()) return;
    anything_ = true;
    bool misread = false;
    std::stable_sort(findings_.begin(), findings_.end(), [](const Finding& a, const Finding& b) {
        return a.at.line != b.at.line ? a.at.line < b.at.line : a.at.column < b.at.column;
    });
    bool see_encoding = std::any_of(findings_.begin(), findings_.end(),
                                    [](const Finding& f) { return f.cause == Cause::see_encoding; });
    if (see_encoding && !encoding_told_) DocumentEncoding();
    // Each cause (the warnings as one) counts this group once, shown or not.
    std::vector<bool> seen(tallies_.size()), shown(tallies_.size());
    for (const Finding& finding : findings_) {
        misread = misread || finding.error;
        auto c = static_cast<std::size_t>(finding.cause);
        if (!seen[c]) {
            seen[c] = true;
            shown[c] = all_ || tallies_[c].shown < kShownRecordsPerCause;
            ++(shown[c] ? tallies_[c].shown : tallies_[c].hidden);
        }
        if (shown[c]) Line(finding);
    }
    if (record_ && misread) ++misread_;
    findings_.clear();
    out_.FlushIfFull();
}

void FindingWriter::Finish(bool summary) {
    for (std::size_t c = 0; c < tallies_.size(); ++c) {
        if (tallies_[c].hidden == 0) continue;
        std::string& out = out_.buffer();
        out += file_ + ": note: " + std::to_string(tallies_[c].hidden) + " more records with the same ";
        out +=
            c == 0 ? std::string("warning") : "cause: " + std::string(Describe(static_cast<Cause>(c)).what);
        out += '\n';
    }
    if (summary && anything_)
        out_.buffer() += file_ + ": " + std::to_string(records_) +
                         (records_ == 1 ? " record: " : " records: ") + std::to_string(records_ - misread_) +
                         " read as the XML means, " + std::to_string(misread_) + " misread\n";
    out_.FlushIfFull();
}

// A document not in UTF-8 is named once, at its first line, before the
// first record it explains.
void FindingWriter::DocumentEncoding() {
    encoding_told_ = true;
    ++errors_;
    std::string group = std::exchange(group_, {});
    Line({{0, 1, 1}, true, Cause::encoding, "the document is not in UTF-8"});
    group_ = std::move(group);
}

void FindingWriter::Line(const Finding& finding) {
    const Position& at = finding.at;
    std::string& out = out_.buffer();
    out += file_;
    out += ':';
    out += std::to_string(at.line);
    out += ':';
    out += std::to_string(at.column);
    out += finding.error ? ": error: " : ": warning: ";
    if (!group_.empty()) {
        out += group_;
        out += ": ";
    }
    out += finding.what;
    if (finding.cause != Cause::none) out += CauseAndFix(finding.cause);
    out += '\n';
}

}  // namespace zelreport::xml
