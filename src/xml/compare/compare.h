// SPDX-License-Identifier: MIT
// Compares what zelreport reports for a record with the record's XML
// meaning, and says what differs and why.
#pragma once

#include <cstdint>
#include <string>

#include "record/record.h"
#include "xml/print/findings.h"
#include "xml/read/record.h"
#include "zelreport/zelreport.h"

namespace zelreport::xml {

// "record 3 (line 40)": how findings name a record.
std::string RecordGroup(const XmlRecord& record);

// Every difference between the record's meaning and `reported`, then the
// warning about its count of values. `previous_reported`: whether
// zelreport reported the record before (else its texts carried over);
// `origin`: where zelreport read its values.
void CompareRecord(const XmlRecord& record, const RecordView& reported, const ValuesOrigin& origin,
                   bool previous_reported, FindingWriter& out);

// A record zelreport does not report, with the likeliest reason.
void ReportMissing(const XmlRecord& record, Problem blame, FindingWriter& out);

}  // namespace zelreport::xml
