// SPDX-License-Identifier: MIT
#include "xml/diagnose/diagnose.h"

#include "xml/common/show.h"
#include "xml/compare/meaning.h"
#include "xml/diagnose/suggest.h"

namespace zelreport::xml {

namespace {

constexpr std::size_t Index(Field field) {
    return static_cast<std::size_t>(field);
}

// What in an element's layout zelreport may misread: a content no layout
// carries, else a problem inside it, else its content's hazard, else the
// nearest problem before it that loses lines or cuts names, else the
// document's encoding.
Problem BlameElement(const Source& source, const DocumentFacts& document) {
    if (document.wide) return {Cause::see_encoding, source.at};
    if (source.hazard != Cause::none && Describe(source.hazard).mend == Mend::no)
        return {source.hazard, source.at};
    if (source.inside.cause != Cause::none) return source.inside;
    if (source.hazard != Cause::none) return {source.hazard, source.at};
    if (source.before.cause != Cause::none) return source.before;
    if (document.encoded) return {Cause::see_encoding, source.at};
    return {};
}

// Why zelreport may not see a record's end: lost lines first, then a
// closing not on three lines, then markup read as names, then the encoding.
Problem BlameRecordEnd(const XmlRecord& record) {
    if (record.document.wide) return {Cause::see_encoding, record.end};
    for (const Problem& p : record.problems)
        if (LosesLines(p.cause)) return p;
    if (!record.close_read) return {Cause::wrapper, record.end};
    for (const Problem& p : record.problems)
        if (MisreadsNames(p.cause)) return p;
    if (record.document.encoded) return {Cause::see_encoding, record.end};
    return {};
}

// Why zelreport has a field or values (`slot`) that the record does not
// give: an element of that name the meaning does not take, in the record
// or before it, else carried over from an unreported record, else read
// from markup or lost lines.
Problem BlameUngiven(const XmlRecord& record, std::uint8_t slot, const RecordContext& context) {
    for (auto u = record.unused.rbegin(); u != record.unused.rend(); ++u)
        if (u->slot == slot && u->cause != Cause::unknown_element) return {u->cause, u->at};
    for (const Unused& stray : context.strays)
        if (stray.slot == slot) return {stray.cause, stray.at};
    if (!context.previous_reported) return {Cause::carried_over, record.start};
    for (const Problem& p : record.problems)
        if (MisreadsNames(p.cause) || LosesLines(p.cause)) return p;
    return {};
}

// What explains a difference in an element given in the record: its own
// layout, else markup after it that zelreport reads as the record's end.
Problem BlameGiven(const XmlRecord& record, const Source& source) {
    Problem blame = BlameElement(source, record.document);
    if (blame.cause == Cause::none && source.record == record.index &&
        record.early_end.at.offset > source.at.offset)
        return record.early_end;
    return blame;
}

Problem BlameField(const XmlRecord& record, Field field, const RecordContext& context) {
    const Source& source = record.source[Index(field)];
    if (source.given) return BlameGiven(record, source);
    return BlameUngiven(record, static_cast<std::uint8_t>(field), context);
}

// Why zelreport reads the values differently; `kinds_differ`: it keeps
// another kind of array, or none.
Problem BlameValues(const XmlRecord& record, bool kinds_differ, const RecordContext& context) {
    const Source& datyp = record.source[Index(Field::datyp)];
    if (kinds_differ && record.datyp_after_values) return {Cause::datyp_after_values, datyp.at};
    if (kinds_differ && datyp.given) {
        Problem blame = BlameElement(datyp, record.document);
        if (blame.cause != Cause::none) return blame;
    }
    if (record.has_values) {
        Problem blame = BlameGiven(record, record.values_source);
        if (blame.cause != Cause::none) return blame;
        if (record.values.Contains('>')) return {Cause::gt_in_values, record.values_source.at};
        return {};
    }
    return BlameUngiven(record, kValuesSlot, context);
}

// Where a finding points: at the layout fault when there is one, else at
// the element.
Position Where(const Problem& blame, const Position& element) {
    return blame.cause != Cause::none ? blame.at : element;
}

Finding Found(const Problem& blame, const Position& element, std::string what) {
    Cause cause = blame.cause == Cause::none ? Cause::generic : blame.cause;
    return {Where(blame, element), Severity::error, cause, std::move(what)};
}

Finding Warned(Cause cause, const Position& at, std::string what) {
    return {at, Severity::warning, cause, std::move(what)};
}

void Warnings(const XmlRecord& record, std::uint64_t count, std::vector<Finding>& findings) {
    for (const Unused& unused : record.unused)
        if (unused.cause != Cause::not_an_integer) findings.push_back(DiagnoseLoose(unused));
    for (const Problem& p : record.empty_names)
        findings.push_back(Warned(p.cause, p.at, "zelreport prints a message among the reports here"));
    if (!record.has_values) return;
    auto declared = static_cast<std::int64_t>(DeclaredCount(record));
    if (static_cast<std::int64_t>(count) == declared) return;
    std::string what = "values: " + ShowNumber(static_cast<std::int64_t>(count)) +
                       (count == 1 ? " value" : " values") + ", but ni x nj x nk is " + ShowNumber(declared);
    findings.push_back(Warned(Cause::value_count, record.values_source.at, std::move(what)));
}

}  // namespace

void DiagnoseRecord(const XmlRecord& record, const RecordComparison& comparison, const RecordContext& context,
                    std::vector<Finding>& findings) {
    const Position& values_at = record.values_source.given ? record.values_source.at : record.start;
    Problem values_blame, shape_blame;
    bool shape_blamed = false;
    for (const Difference& d : comparison.differences) {
        Finding finding;
        switch (d.subject) {
            case Difference::in_field: {
                const Source& source = record.source[Index(d.field)];
                Problem blame = BlameField(record, d.field, context);
                bool shapes = d.field == Field::ni || d.field == Field::nj || d.field == Field::nk ||
                              d.field == Field::datyp;
                if (shapes && !shape_blamed) {
                    shape_blame = blame;
                    shape_blamed = true;
                }
                finding = Found(blame, source.given ? source.at : record.start, d.what);
                break;
            }
            case Difference::in_values:
                values_blame = BlameValues(record, d.kinds_differ, context);
                finding = Found(values_blame, values_at, d.what);
                break;
            case Difference::in_statistics:
                finding = Found(d.from_values ? values_blame : shape_blame, values_at, d.what);
                break;
            case Difference::unreported: {
                Problem blame = context.stopped_at ? Problem{Cause::stopped_early, *context.stopped_at}
                                                   : BlameRecordEnd(record);
                finding = Found(blame, record.end, d.what);
                break;
            }
            case Difference::extra:
                continue;
        }
        // What the report does not show is no misreading of the report.
        if (comparison.same_report) finding.severity = Severity::warning;
        findings.push_back(std::move(finding));
    }
    Warnings(record, comparison.values, findings);
}

Finding DiagnoseLoose(const Unused& unused) {
    Severity severity = unused.cause == Cause::not_an_integer ? Severity::error : Severity::warning;
    return {unused.at, severity, unused.cause, DescribeUnused(unused)};
}

Finding DiagnoseExtra(const Difference& extra, const XmlRecord* record,
                      std::optional<std::uint64_t> root_end) {
    Cause cause = Cause::generic;
    if (record) {
        // The last problem before it in the record, where zelreport began to
        // read the record otherwise.
        for (const Problem& p : record->problems)
            if (p.at.offset <= extra.at.offset) cause = p.cause;
    } else if (root_end && extra.at.offset > *root_end) {
        cause = Cause::after_root;
    }
    return {extra.at, Severity::error, cause, extra.what};
}

std::string DescribeUnused(const Unused& unused) {
    std::string tag = ShowTag(unused.name);
    switch (unused.cause) {
        case Cause::unknown_element: {
            std::string what = "unknown element " + tag;
            std::string suggestion = Suggest(unused.name);
            if (!suggestion.empty()) what += " (did you mean " + suggestion + "?)";
            return what + ": only what it holds counts";
        }
        case Cause::misplaced_element:
            return tag + (unused.outside ? " outside a record" : " where it means nothing") +
                   ": it means nothing";
        case Cause::empty_text:
            return unused.name + " " + ShowText(&unused.content, unused.content.size()) +
                   ": read as no text, as when not given";
        default:
            return unused.name + " " + unused.content + " is not an integer";
    }
}

}  // namespace zelreport::xml
