// SPDX-License-Identifier: MIT
// What the comparison finds: one way in which zelreport's reading of a
// record and the record's meaning part, in words, with what it concerns.
// No cause: choosing one is the diagnosis' work.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "xml/read/record.h"

namespace zelreport::xml {

struct Difference {
    enum Subject : std::uint8_t {
        in_field,       // a text or integer field, `field`
        in_values,      // the values: their kind, count or an entry
        in_statistics,  // the statistics line
        unreported,     // zelreport reports no record for it
        extra,          // zelreport reports a record the XML does not have, at `at`
    };
    Subject subject = in_field;
    Field field = Field::nomvar;
    // values: zelreport keeps another kind of array, or none.
    bool kinds_differ = false;
    // statistics: they follow from the values' difference, else from the
    // first field that shapes them and differs.
    bool from_values = false;
    std::string what;
    Position at;  // extra
};

struct RecordComparison {
    std::vector<Difference> differences;
    std::uint64_t values = 0;  // the count of values in the meaning
    // With differences: zelreport's report of the record is the meaning's,
    // byte for byte, so the differences lie where the report does not show.
    bool same_report = false;
};

}  // namespace zelreport::xml
