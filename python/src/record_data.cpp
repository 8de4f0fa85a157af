// SPDX-License-Identifier: MIT
#include "record_data.h"

namespace zelreport::python {

std::size_t RecordData::Bytes() const {
    std::size_t bytes = sizeof(RecordData) + values.floatdata.size() * sizeof(float) +
                        values.intdata.size() * sizeof(std::int32_t);
#define ZELREPORT_DATA_TEXT_BYTES(name, label) \
    if (name) bytes += name->size();
#define ZELREPORT_DATA_NO_BYTES(name, label, rule)
    ZELREPORT_FIELDS(ZELREPORT_DATA_TEXT_BYTES, ZELREPORT_DATA_NO_BYTES)
#undef ZELREPORT_DATA_TEXT_BYTES
#undef ZELREPORT_DATA_NO_BYTES
    return bytes;
}

RecordData TakeRecord(const RecordView& view, RecordValues&& values) {
    RecordData data;
#define ZELREPORT_COPY_TEXT(name, label) \
    if (view.name) data.name = *view.name;
#define ZELREPORT_COPY_INT(name, label, rule) data.name = view.name;
    ZELREPORT_FIELDS(ZELREPORT_COPY_TEXT, ZELREPORT_COPY_INT)
#undef ZELREPORT_COPY_TEXT
#undef ZELREPORT_COPY_INT
    data.has_floatdata = view.has_floatdata;
    data.has_intdata = view.has_intdata;
    data.values = std::move(values);
    return data;
}

RecordView ViewOf(const RecordData& data, std::span<const float> floats, std::span<const std::int32_t> ints) {
    RecordView view;
#define ZELREPORT_VIEW_TEXT(name, label) \
    if (data.name) view.name = &*data.name;
#define ZELREPORT_VIEW_INT(name, label, rule) view.name = data.name;
    ZELREPORT_FIELDS(ZELREPORT_VIEW_TEXT, ZELREPORT_VIEW_INT)
#undef ZELREPORT_VIEW_TEXT
#undef ZELREPORT_VIEW_INT
    view.has_floatdata = data.has_floatdata;
    view.floatdata = floats;
    view.has_intdata = data.has_intdata;
    view.intdata = ints;
    return view;
}

}  // namespace zelreport::python
