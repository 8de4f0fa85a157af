// SPDX-License-Identifier: MIT
// A record copied out of the library's view, so that it outlives the
// `on_record` call and can cross from the reading thread to Python's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "zelreport/zelreport.h"

namespace zelreport::python {

struct RecordData {
#define ZELREPORT_DATA_TEXT(name, label) std::optional<std::string> name;
#define ZELREPORT_DATA_INT(name, label, rule) std::int32_t name = 0;
    ZELREPORT_FIELDS(ZELREPORT_DATA_TEXT, ZELREPORT_DATA_INT)
#undef ZELREPORT_DATA_TEXT
#undef ZELREPORT_DATA_INT
    bool has_floatdata = false;
    std::vector<float> floatdata;
    bool has_intdata = false;
    std::vector<std::int32_t> intdata;

    // About the memory the record holds, for bounding the records in flight.
    std::size_t Bytes() const;
};

// Copies everything the record holds; the values are copied once, here,
// into the vectors that later become the NumPy arrays' memory.
RecordData CopyRecord(const RecordView& view);
// A view of the copy, its values in `floats` and `ints` (where the
// vectors went), valid while they and `data` are.
RecordView ViewOf(const RecordData& data, const std::vector<float>& floats,
                  const std::vector<std::int32_t>& ints);

}  // namespace zelreport::python
