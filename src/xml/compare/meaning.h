// SPDX-License-Identifier: MIT
// A record's meaning in the terms of the zelreport library: its view, its
// converted values and its report.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "xml/read/record.h"
#include "zelreport/zelreport.h"

namespace zelreport::xml {

// The record's data type, as given or carried over.
inline std::int32_t Datyp(const XmlRecord& record) {
    return record.number[static_cast<std::size_t>(Field::datyp)];
}

// The values converted as zelreport converts a token, with the record's
// own data type: one array at most, of at most `limit` entries.
struct ConvertedValues {
    std::vector<float> floats;
    std::vector<std::int32_t> ints;
};
ConvertedValues ConvertValues(const XmlRecord& record, std::uint64_t limit = UINT64_MAX);

// ni * nj * nk wrapping in 32 bits: the entries the statistics cover.
std::int32_t DeclaredCount(const XmlRecord& record);

// Enough entries for the statistics, which look at the declared count of
// entries and always at the first.
std::uint64_t StatisticsEntries(const XmlRecord& record);

// The record as zelreport would hand it over had it read the meaning;
// `values` is ConvertValues(record). Valid while both live.
RecordView MeaningView(const XmlRecord& record, const ConvertedValues& values);

// The report zelreport writes for the meaning.
std::string MeaningReport(const XmlRecord& record);

// A field's number as the report shows it (nbits negated, dropped ones 0).
std::int32_t ReportedNumber(Field field, std::int32_t written);

}  // namespace zelreport::xml
