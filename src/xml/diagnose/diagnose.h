// SPDX-License-Identifier: MIT
// The diagnose stage: from the facts the XML reading noted (layout
// problems, content hazards, elements the meaning does not take, the
// encoding) and the differences the comparison found, which cause to blame,
// where to point and how severe it is. Every choice of a cause is made
// here, and only for what differs or a fact that warns.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "xml/compare/difference.h"
#include "xml/read/record.h"

namespace zelreport::xml {

// One line of zelcheck's findings, in any form.
struct Finding {
    Position at;
    Severity severity = Severity::error;
    Cause cause = Cause::generic;  // never none
    std::string what;
};

// What the diagnosis of a record knows beyond the record: whether
// zelreport reported the record before (else its texts carried over),
// where it stopped reading early, if it did, and the elements out of place
// between records since the record before, the last of each field's.
struct RecordContext {
    bool previous_reported = true;
    std::optional<Position> stopped_at;
    std::span<const Unused> strays;
};

// The findings of a record: its differences with their causes, then the
// warnings its facts give (elements the meaning does not take, empty
// names, a count of values other than ni x nj x nk).
void DiagnoseRecord(const XmlRecord& record, const RecordComparison& comparison, const RecordContext& context,
                    std::vector<Finding>& findings);

// The finding of an element between records that the meaning does not take.
Finding DiagnoseLoose(const Unused& unused);

// The finding of a report zelreport makes at `at` that the XML does not
// have: inside `record` when given, else between records or after the
// root's end (`root_end`).
Finding DiagnoseExtra(const Difference& extra, const XmlRecord* record,
                      std::optional<std::uint64_t> root_end);

// How an element the meaning does not take is said, in zelcheck's findings
// and zelfmt's warnings alike: "unknown element <Zelrecord>; did you mean
// <zelrecord>?".
std::string DescribeUnused(const Unused& unused);

}  // namespace zelreport::xml
