// SPDX-License-Identifier: MIT
// The record being read: filled by the element readers, reported and
// released at the record's closing tag.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "record/data_array.h"
#include "zelreport/zelreport.h"

namespace zelreport {

struct Record {
    // Text fields are absent until an element gives them; integer fields
    // live for the whole run and are never reset.
#define ZELREPORT_RECORD_TEXT(name, label) std::optional<std::string> name;
#define ZELREPORT_RECORD_INT(name, label, rule) std::int32_t name = 0;
    ZELREPORT_FIELDS(ZELREPORT_RECORD_TEXT, ZELREPORT_RECORD_INT)
#undef ZELREPORT_RECORD_TEXT
#undef ZELREPORT_RECORD_INT

    // The values text itself is never reported, so only the converted
    // numbers are kept: one entry per token.
    bool has_floatdata = false;
    DataArray<float> floatdata;
    bool has_intdata = false;
    DataArray<std::int32_t> intdata;

    // Releases the per-record storage: texts, values and both arrays.
    void ReleaseData();
};

RecordView MakeView(const Record& record);

}  // namespace zelreport
