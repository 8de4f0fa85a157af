// SPDX-License-Identifier: MIT
#include "xml/compare/compare.h"

#include <bit>
#include <cstdio>
#include <span>
#include <utility>

#include "xml/common/show.h"
#include "xml/compare/meaning.h"
#include "xml/compare/values.h"
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

Difference FieldDifference(Field field, std::string what) {
    return {Difference::in_field, field, false, false, std::move(what), {}};
}

void CompareText(Field field, const XmlRecord& record, const std::string* reported, RecordComparison& out) {
    std::size_t i = Index(field);
    const std::optional<std::string>& meant = record.text[i];
    bool same =
        meant ? reported && record.text_size[i] == reported->size() && *meant == *reported : !reported;
    if (same) return;
    out.differences.push_back(
        FieldDifference(field, std::string(Info(field).name) + ": zelreport reads " +
                                   ShowText(reported, reported ? reported->size() : 0) + ", the XML says " +
                                   ShowText(meant ? &*meant : nullptr, record.text_size[i])));
}

// Numbers are shown as written: nbits not negated.
std::int32_t Written(Field field, std::int32_t reported) {
    return Info(field).kind == FieldKind::negated ? ReportedNumber(field, reported) : reported;
}

// Whether zelreport reads the number as meant. An integer field given in
// the record that holds no integer differs whatever zelreport reads.
bool CompareNumber(Field field, const XmlRecord& record, std::int32_t reported, RecordComparison& out) {
    if (!IsReported(field)) return true;
    std::size_t i = Index(field);
    const Source& source = record.source[i];
    std::string what(Info(field).name);
    if (source.hazard == Cause::not_an_integer && source.record == record.index) {
        for (const Unused& unused : record.unused)
            if (unused.cause == Cause::not_an_integer && unused.slot == i) what += " " + unused.content;
        out.differences.push_back(FieldDifference(
            field, what + " is not an integer; zelreport reads " + ShowNumber(Written(field, reported))));
        return false;
    }
    if (ReportedNumber(field, record.number[i]) == reported) return true;
    if (source.given && source.record != record.index)
        what += " (given in record " + ShowNumber(static_cast<std::int64_t>(source.record)) + ")";
    what += ": zelreport reads " + ShowNumber(Written(field, reported)) + ", the XML says " +
            ShowNumber(record.number[i]);
    out.differences.push_back(FieldDifference(field, std::move(what)));
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

Difference ValuesDifference(bool kinds_differ, std::string what) {
    return {Difference::in_values, Field::nomvar, kinds_differ, false, std::move(what), {}};
}

// Compares the values; returns whether they differ, with their count.
bool CompareValues(const XmlRecord& record, const RecordView& reported, const ValuesOrigin& origin,
                   RecordComparison& out) {
    DataKind kind = data_kind(Datyp(record));
    bool floats = record.has_values && kind == DataKind::floats;
    bool ints = record.has_values && kind == DataKind::ints;
    if (floats != reported.has_floatdata || ints != reported.has_intdata) {
        std::uint64_t count = out.values = CountValues(record.values);
        std::string meant = floats ? Plural(count, "float") : ints ? Plural(count, "integer") : "no values";
        if (record.has_values && !floats && !ints)
            meant = Plural(count, "value") + " of datyp " + ShowNumber(Datyp(record)) +
                    ", which are not converted";
        out.differences.push_back(ValuesDifference(
            true, "values: zelreport keeps " + ShowArrays(reported) + ", the XML has " + meant));
        return true;
    }
    if ((floats || ints) && ReadFromTheSameBytes(record, origin, kind)) {
        out.values = floats ? reported.floatdata.size() : reported.intdata.size();
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
    out.values = c.count;
    if (!c.differs && c.count == reported_count) return false;
    if (c.count != reported_count)
        out.differences.push_back(
            ValuesDifference(false, "values: zelreport reads " + Plural(reported_count, "value") +
                                        ", the XML has " + ShowNumber(static_cast<std::int64_t>(c.count))));
    if (c.differs)
        out.differences.push_back(
            ValuesDifference(false, "values: value " + ShowNumber(static_cast<std::int64_t>(c.first + 1)) +
                                        ": zelreport reads " + c.reported + ", the XML says " + c.meant));
    return true;
}

}  // namespace

RecordComparison CompareRecord(const XmlRecord& record, const RecordView& reported,
                               const ValuesOrigin& origin) {
    RecordComparison out;
    // The fields in the report's order; a field that shapes the statistics
    // and differs explains them when the values agree.
    bool shape_same = true;
    auto number = [&](Field field, std::int32_t value) {
        bool same = CompareNumber(field, record, value, out);
        bool shapes = field == Field::ni || field == Field::nj || field == Field::nk || field == Field::datyp;
        if (shapes) shape_same = shape_same && same;
    };
#define ZELXML_COMPARE_TEXT(name, label) CompareText(Field::name, record, reported.name, out);
#define ZELXML_COMPARE_INT(name, label, rule) number(Field::name, reported.name);
    ZELREPORT_FIELDS(ZELXML_COMPARE_TEXT, ZELXML_COMPARE_INT)
#undef ZELXML_COMPARE_TEXT
#undef ZELXML_COMPARE_INT
    bool values_differ = CompareValues(record, reported, origin, out);
    if (values_differ || !shape_same) {
        ConvertedValues converted = ConvertValues(record, StatisticsEntries(record));
        std::string reported_stats = ShowStatistics(reported);
        std::string meant_stats = ShowStatistics(MeaningView(record, converted));
        if (reported_stats != meant_stats)
            out.differences.push_back(
                {Difference::in_statistics,
                 Field::nomvar,
                 false,
                 values_differ,
                 "statistics: zelreport prints " + reported_stats + ", the XML gives " + meant_stats,
                 {}});
    }
    // A text kept in part is no text the report can be judged by.
    bool whole = true;
    for (std::size_t i = 0; i < kFieldCount; ++i)
        whole = whole && (!record.text[i] || record.text[i]->size() == record.text_size[i]);
    if (!out.differences.empty() && whole) {
        std::string report;
        append_report(reported, report);
        out.same_report = report == MeaningReport(record);
    }
    return out;
}

RecordComparison CompareUnreported(const XmlRecord& record) {
    RecordComparison out;
    out.values = record.has_values ? CountValues(record.values) : 0;
    out.differences.push_back(
        {Difference::unreported, Field::nomvar, false, false, "zelreport reports no record for it", {}});
    for (const Unused& unused : record.unused)
        if (unused.cause == Cause::not_an_integer)
            out.differences.push_back(
                FieldDifference(static_cast<Field>(unused.slot),
                                Cat(unused.name, " ", unused.content, " is not an integer")));
    return out;
}

}  // namespace zelreport::xml
