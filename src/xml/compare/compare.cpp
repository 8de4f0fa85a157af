// SPDX-License-Identifier: MIT
#include "xml/compare/compare.h"

#include <bit>
#include <cstdio>
#include <span>

#include "xml/compare/meaning.h"
#include "xml/compare/values.h"
#include "xml/diagnose/diagnose.h"
#include "xml/read/content.h"

namespace zelreport::xml {

namespace {

constexpr std::size_t Index(Field field) {
    return static_cast<std::size_t>(field);
}

std::uint64_t CountValues(const ValuesText& values) {
    std::uint64_t count = 0;
    values.ForEachBlock(
        [&](std::string_view block) { ForEachToken(block, [&](std::string_view) { ++count; }); });
    return count;
}

void CompareText(Field field, const XmlRecord& record, const std::string* reported, bool previous_reported,
                 FindingWriter& out) {
    std::size_t i = Index(field);
    const std::optional<std::string>& meant = record.text[i];
    bool same =
        meant ? reported && record.text_size[i] == reported->size() && *meant == *reported : !reported;
    if (same) return;
    const Source& source = record.source[i];
    Problem blame = source.given ? source.blame : BlameUngiven(record, previous_reported);
    std::string what = std::string(Info(field).name) + ": zelreport reads " +
                       ShowText(reported, reported ? reported->size() : 0) + ", the XML says " +
                       ShowText(meant ? &*meant : nullptr, record.text_size[i]);
    out.Error(Where(blame, source.given ? source.at : record.start), what, blame.cause);
}

// Numbers are shown as written: nbits not negated.
std::int32_t Written(Field field, std::int32_t reported) {
    return Info(field).kind == FieldKind::negated ? ReportedNumber(field, reported) : reported;
}

bool CompareNumber(Field field, const XmlRecord& record, std::int32_t reported, FindingWriter& out) {
    if (!IsReported(field)) return true;
    std::size_t i = Index(field);
    if (ReportedNumber(field, record.number[i]) == reported) return true;
    const Source& source = record.source[i];
    std::string what = std::string(Info(field).name);
    if (source.given && source.record != record.index)
        what += " (given in record " + ShowNumber(source.record) + ")";
    what += ": zelreport reads " + ShowNumber(Written(field, reported)) + ", the XML says " +
            ShowNumber(record.number[i]);
    Problem blame = source.given ? source.blame : BlameUngiven(record, true);
    out.Error(Where(blame, source.given ? source.at : record.start), what, blame.cause);
    return false;
}

std::string Plural(std::uint64_t count, std::string_view noun) {
    return ShowNumber(static_cast<std::int64_t>(count)) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

std::string ShowArrays(const RecordView& view) {
    if (view.has_floatdata && view.has_intdata)
        return Plural(view.floatdata.size(), "float") + " and " + Plural(view.intdata.size(), "integer");
    if (view.has_floatdata) return Plural(view.floatdata.size(), "float");
    if (view.has_intdata) return Plural(view.intdata.size(), "integer");
    return "no values";
}

// The statistics line's numbers as the report prints them, or "none".
std::string ShowStatistics(const RecordView& view) {
    std::optional<Statistics> stats = statistics(view);
    if (!stats) return "none";
    char text[3 * 64];
    std::snprintf(text, sizeof text, "min: %f max: %f avg: %f", static_cast<double>(stats->min),
                  static_cast<double>(stats->max), static_cast<double>(stats->avg));
    return text;
}

// Converts the record's values one by one, comparing each with the entry
// zelreport holds, bit for bit, up to the first difference.
struct EntryComparison {
    std::uint64_t count = 0;
    bool differs = false;
    std::uint64_t first = 0;
    std::string reported, meant;
};

template <typename T, typename Show>
EntryComparison CompareEntries(const ValuesText& values, std::span<const T> reported, Show show) {
    EntryComparison c;
    ForEachValue<T>(values, [&](T meant) {
        std::uint64_t i = c.count++;
        if (c.differs || i >= reported.size()) return;
        if (std::bit_cast<std::uint32_t>(meant) == std::bit_cast<std::uint32_t>(reported[i])) return;
        c.differs = true;
        c.first = i;
        c.reported = show(reported[i]);
        c.meant = show(meant);
    });
    return c;
}

// Whether zelreport read its array of `kind` plainly from the very bytes
// that are the values element's character data: the same tokens, so the
// same numbers, with no need to convert them again.
bool ReadFromTheSameBytes(const XmlRecord& record, const ValuesOrigin& origin, DataKind kind) {
    const RawText& raw = record.values_raw;
    return origin.plain && raw.exact && origin.kind == kind && origin.tag_end == raw.tag_end &&
           origin.text_end == raw.text_end;
}

// Compares the values; returns whether they differ, with their count.
bool CompareValues(const XmlRecord& record, const RecordView& reported, const ValuesOrigin& origin,
                   bool previous_reported, std::uint64_t& count, Problem& blame, FindingWriter& out) {
    DataKind kind = data_kind(Datyp(record));
    bool floats = record.has_values && kind == DataKind::floats;
    bool ints = record.has_values && kind == DataKind::ints;
    Position at = record.values_source.given ? record.values_source.at : record.start;
    if (floats != reported.has_floatdata || ints != reported.has_intdata) {
        count = CountValues(record.values);
        blame = BlameValues(record, true, previous_reported);
        std::string meant = floats ? Plural(count, "float") : ints ? Plural(count, "integer") : "no values";
        if (record.has_values && !floats && !ints)
            meant = Plural(count, "value") + " of datyp " + ShowNumber(Datyp(record)) +
                    ", which are not converted";
        out.Error(Where(blame, at),
                  "values: zelreport keeps " + ShowArrays(reported) + ", the XML has " + meant, blame.cause);
        return true;
    }
    if ((floats || ints) && ReadFromTheSameBytes(record, origin, kind)) {
        count = floats ? reported.floatdata.size() : reported.intdata.size();
        return false;
    }
    EntryComparison c;
    std::uint64_t reported_count = 0;
    if (floats) {
        c = CompareEntries<float>(record.values, reported.floatdata, ShowFloat);
        reported_count = reported.floatdata.size();
    } else if (ints) {
        c = CompareEntries<std::int32_t>(record.values, reported.intdata,
                                         [](std::int32_t v) { return ShowNumber(v); });
        reported_count = reported.intdata.size();
    } else {
        c.count = record.has_values ? CountValues(record.values) : 0;
        reported_count = c.count;
    }
    count = c.count;
    if (!c.differs && c.count == reported_count) return false;
    blame = BlameValues(record, false, previous_reported);
    if (c.count != reported_count)
        out.Error(Where(blame, at),
                  "values: zelreport reads " + Plural(reported_count, "value") + ", the XML has " +
                      ShowNumber(static_cast<std::int64_t>(c.count)),
                  blame.cause);
    if (c.differs)
        out.Error(Where(blame, at),
                  "values: value " + ShowNumber(static_cast<std::int64_t>(c.first + 1)) +
                      ": zelreport reads " + c.reported + ", the XML says " + c.meant,
                  blame.cause);
    return true;
}

// The record's warnings: its count of values, and the empty names
// zelreport complains of among the reports.
void WarnValueCount(const XmlRecord& record, std::uint64_t count, FindingWriter& out) {
    for (const Problem& p : record.empty_names)
        out.Warning(p.at, "zelreport prints a message among the reports here", p.cause);
    if (!record.has_values) return;
    auto declared = static_cast<std::int64_t>(DeclaredCount(record));
    if (static_cast<std::int64_t>(count) == declared) return;
    std::string what = "values: " + Plural(count, "value") + ", but ni x nj x nk is " + ShowNumber(declared);
    if (data_kind(Datyp(record)) == DataKind::floats)
        what += static_cast<std::int64_t>(count) < declared ? "; the statistics count the missing ones as 0"
                                                            : "; the statistics leave out the rest";
    out.Warning(record.values_source.at, what);
}

}  // namespace

std::string RecordGroup(const XmlRecord& record) {
    return "record " + ShowNumber(static_cast<std::int64_t>(record.index)) + " (line " +
           ShowNumber(static_cast<std::int64_t>(record.start.line)) + ")";
}

void CompareRecord(const XmlRecord& record, const RecordView& reported, const ValuesOrigin& origin,
                   bool previous_reported, FindingWriter& out) {
    // The fields in the report's order; the first that shapes the
    // statistics and differs explains them when the values agree.
    Problem shape_blame;
    bool shape_same = true;
    auto number = [&](Field field, std::int32_t value) {
        bool same = CompareNumber(field, record, value, out);
        bool shapes = field == Field::ni || field == Field::nj || field == Field::nk || field == Field::datyp;
        if (!same && shapes && shape_same) shape_blame = record.source[Index(field)].blame;
        if (shapes) shape_same = shape_same && same;
    };
#define ZELXML_COMPARE_TEXT(name, label) \
    CompareText(Field::name, record, reported.name, previous_reported, out);
#define ZELXML_COMPARE_INT(name, label, rule) number(Field::name, reported.name);
    ZELREPORT_FIELDS(ZELXML_COMPARE_TEXT, ZELXML_COMPARE_INT)
#undef ZELXML_COMPARE_TEXT
#undef ZELXML_COMPARE_INT
    std::uint64_t count = 0;
    Problem values_blame;
    bool values_differ = CompareValues(record, reported, origin, previous_reported, count, values_blame, out);
    if (values_differ || !shape_same) {
        ConvertedValues converted = ConvertValues(record, StatisticsEntries(record));
        std::string reported_stats = ShowStatistics(reported);
        std::string meant_stats = ShowStatistics(MeaningView(record, converted));
        if (reported_stats != meant_stats) {
            Problem blame = values_differ ? values_blame : shape_blame;
            out.Error(Where(blame, record.values_source.given ? record.values_source.at : record.start),
                      "statistics: zelreport prints " + reported_stats + ", the XML gives " + meant_stats,
                      blame.cause);
        }
    }
    WarnValueCount(record, count, out);
}

void ReportMissing(const XmlRecord& record, Problem blame, FindingWriter& out) {
    out.Error(Where(blame, record.end), "zelreport reports no record for it", blame.cause);
    WarnValueCount(record, record.has_values ? CountValues(record.values) : 0, out);
}

}  // namespace zelreport::xml
