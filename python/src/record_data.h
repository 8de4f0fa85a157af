// SPDX-License-Identifier: MIT
// A record taken out of the library's view, so that it outlives the
// `on_record_values` call and can cross from the reading thread to Python's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "zelreport/zelreport.h"

namespace zelreport::python {

struct RecordData {
#define ZELREPORT_DATA_TEXT(name, label) std::optional<std::string> name;
#define ZELREPORT_DATA_INT(name, label, rule) std::int32_t name = 0;
    ZELREPORT_FIELDS(ZELREPORT_DATA_TEXT, ZELREPORT_DATA_INT)
#undef ZELREPORT_DATA_TEXT
#undef ZELREPORT_DATA_INT
    bool has_floatdata = false;
    bool has_intdata = false;
    // The values, taken from the run: the memory that later becomes the
    // NumPy arrays'.
    RecordValues values;

    // About the memory the record holds, for bounding the records in flight.
    std::size_t Bytes() const;
};

// Copies the record's fields and keeps its values as they are.
RecordData TakeRecord(const RecordView& view, RecordValues&& values);
// A view of the record, its values in `floats` and `ints` (where they
// went), valid while they and `data` are.
RecordView ViewOf(const RecordData& data, std::span<const float> floats, std::span<const std::int32_t> ints);

}  // namespace zelreport::python
