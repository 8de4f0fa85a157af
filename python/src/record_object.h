// SPDX-License-Identifier: MIT
// The Python Record: a record's fields, its values as read-only NumPy
// arrays that own them, and what is made from them on request (report,
// statistics, field). It pickles, compares by fields and values, and
// gives itself as a dict.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "record_data.h"

namespace zelreport::python {

namespace py = pybind11;

// Bytes as Python text: UTF-8, any other byte kept as a lone surrogate so
// that encoding back with "surrogateescape" gives the bytes again.
py::str Decode(std::string_view bytes);

// A read-only 1-D array that owns `values`: they move behind the array as
// they are, and `*kept` points at them. `writable` leaves it writable.
template <typename T>
py::object OwningArray(bool held, OwnedValues<T>&& values, std::span<const T>* kept, bool writable = false);

struct Record {
    RecordData data;  // its values are moved into the arrays
    std::span<const float> floats;
    std::span<const std::int32_t> ints;
    py::object float_values, int_values;

    explicit Record(RecordData&& record);

    py::str Report() const;
    py::object Values() const { return data.has_floatdata ? float_values : int_values; }
    py::object Field() const;
    py::object Statistics() const;
    py::dict RawTexts() const;
    std::string Repr() const;
    // Every field by name, and the values.
    py::dict ToDict() const;
    // Equal fields, and values equal bit for bit.
    bool Equals(const Record& other) const;
    py::int_ Hash() const;
    // What pickles: the fields, then each array or None.
    py::tuple State() const;
    static Record FromState(const py::tuple& state);
};

void DefineRecord(py::module_& m);

}  // namespace zelreport::python
