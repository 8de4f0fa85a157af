// SPDX-License-Identifier: MIT
#include "xml/compare/meaning.h"

#include "xml/compare/values.h"

namespace zelreport::xml {

ConvertedValues ConvertValues(const XmlRecord& record, std::uint64_t limit) {
    ConvertedValues converted;
    if (!record.has_values) return converted;
    DataKind kind = data_kind(Datyp(record));
    auto take = [&](auto& array) {
        return [&array, limit](auto value) {
            if (array.size() < limit) array.push_back(value);
        };
    };
    if (kind == DataKind::floats) ForEachValue<float>(record.values, take(converted.floats));
    if (kind == DataKind::ints) ForEachValue<std::int32_t>(record.values, take(converted.ints));
    return converted;
}

std::int32_t DeclaredCount(const XmlRecord& record) {
    auto n = [&](Field field) {
        return static_cast<std::uint32_t>(record.number[static_cast<std::size_t>(field)]);
    };
    return static_cast<std::int32_t>(n(Field::ni) * n(Field::nj) * n(Field::nk));
}

std::uint64_t StatisticsEntries(const XmlRecord& record) {
    std::int32_t count = DeclaredCount(record);
    return count > 1 ? static_cast<std::uint64_t>(count) : 1;
}

std::int32_t ReportedNumber(Field field, std::int32_t written) {
    switch (Info(field).kind) {
        case FieldKind::stored:
            return written;
        case FieldKind::negated:
            return static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(written));
        default:
            return 0;
    }
}

RecordView MeaningView(const XmlRecord& r, const ConvertedValues& values) {
    RecordView v;
#define ZELXML_VIEW_TEXT(name, label) \
    if (const auto& text = r.text[static_cast<std::size_t>(Field::name)]) v.name = &*text;
#define ZELXML_VIEW_INT(name, label, rule) \
    v.name = ReportedNumber(Field::name, r.number[static_cast<std::size_t>(Field::name)]);
    ZELREPORT_FIELDS(ZELXML_VIEW_TEXT, ZELXML_VIEW_INT)
#undef ZELXML_VIEW_TEXT
#undef ZELXML_VIEW_INT
    DataKind kind = data_kind(Datyp(r));
    v.has_floatdata = r.has_values && kind == DataKind::floats;
    v.floatdata = values.floats;
    v.has_intdata = r.has_values && kind == DataKind::ints;
    v.intdata = values.ints;
    return v;
}

std::string MeaningReport(const XmlRecord& record) {
    ConvertedValues values = ConvertValues(record);
    std::string report;
    append_report(MeaningView(record, values), report);
    return report;
}

}  // namespace zelreport::xml
