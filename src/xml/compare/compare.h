// SPDX-License-Identifier: MIT
// Compares what zelreport reports for a record with the record's XML
// meaning, and says what differs.
#pragma once

#include "record/record.h"
#include "xml/compare/difference.h"
#include "xml/read/record.h"
#include "zelreport/zelreport.h"

namespace zelreport::xml {

// Every difference between the record's meaning and `reported`, in the
// report's order; `origin`: where zelreport read its values.
RecordComparison CompareRecord(const XmlRecord& record, const RecordView& reported,
                               const ValuesOrigin& origin);

// The comparison of a record zelreport does not report.
RecordComparison CompareUnreported(const XmlRecord& record);

}  // namespace zelreport::xml
