// SPDX-License-Identifier: MIT
#include "xml/diagnose/diagnose.h"

#include "xml/compare/meaning.h"

namespace zelreport::xml {

Problem BlameElement(const ElementFacts& element, const DocumentFacts& document) {
    if (document.wide) return {Cause::see_encoding, element.at};
    if (element.hazard != Cause::none && Describe(element.hazard).mend == Mend::no)
        return {element.hazard, element.at};
    if (!element.inside.empty()) return element.inside.front();
    if (element.hazard != Cause::none) return {element.hazard, element.at};
    for (auto p = element.before.rbegin(); p != element.before.rend(); ++p)
        if (LosesLines(p->cause) || p->cause == Cause::long_name) return *p;
    if (document.encoded) return {Cause::see_encoding, element.at};
    return {};
}

Problem BlameRecordEnd(std::span<const Problem> problems, bool close_read, const Position& end,
                       const DocumentFacts& document) {
    if (document.wide) return {Cause::see_encoding, end};
    for (const Problem& p : problems)
        if (LosesLines(p.cause)) return p;
    if (!close_read) return {Cause::wrapper, end};
    for (const Problem& p : problems)
        if (MisreadsNames(p.cause)) return p;
    if (document.encoded) return {Cause::see_encoding, end};
    return {};
}

Problem BlameUngiven(const XmlRecord& record, bool previous_reported) {
    if (!previous_reported) return {Cause::carried_over, record.start};
    for (const Problem& p : record.problems)
        if (MisreadsNames(p.cause) || LosesLines(p.cause)) return p;
    return {};
}

Problem BlameValues(const XmlRecord& record, bool kinds_differ, bool previous_reported) {
    const Source& datyp = record.source[static_cast<std::size_t>(Field::datyp)];
    if (kinds_differ && record.datyp_after_values) return {Cause::datyp_after_values, datyp.at};
    if (kinds_differ && datyp.blame.cause != Cause::none) return datyp.blame;
    if (record.values_source.blame.cause != Cause::none) return record.values_source.blame;
    if (!record.has_values) return BlameUngiven(record, previous_reported);
    if (record.values.Contains('>')) return {Cause::gt_in_text, record.values_source.at};
    return {};
}

Problem BlameUnreported(const XmlRecord& record, const std::optional<Position>& stopped_at) {
    if (stopped_at) return {Cause::stopped_early, *stopped_at};
    return record.end_blame;
}

Cause BlameExtra(std::uint64_t offset, const XmlRecord* record, std::optional<std::uint64_t> root_end) {
    if (record) {
        Cause cause = Cause::none;
        for (const Problem& p : record->problems)
            if (p.at.offset <= offset) cause = p.cause;
        return cause;
    }
    if (root_end && offset > *root_end) return Cause::after_root;
    return Cause::none;
}

}  // namespace zelreport::xml
