// SPDX-License-Identifier: MIT
// Records as columns: each field a NumPy array over the records, texts as
// codes into a list of the distinct texts, without a Python object per
// record. The columns of a scan also say where each record's values lie;
// those of a reading give the count of values and the statistics.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "record/record.h"
#include "zelreport/zelreport.h"

namespace zelreport::python {

namespace py = pybind11;

// A column of values of a POD type, in a mapping of its own that grows in
// place (pages prefaulted in bulk where the kernel can) and becomes the
// NumPy array's memory as it is: no copy, no page faulted one at a time.
template <typename T>
class GrowingColumn {
public:
    GrowingColumn() = default;
    GrowingColumn(GrowingColumn&& other) noexcept { *this = std::move(other); }
    GrowingColumn& operator=(GrowingColumn&& other) noexcept;
    GrowingColumn(const GrowingColumn&) = delete;
    GrowingColumn& operator=(const GrowingColumn&) = delete;
    ~GrowingColumn();

    void push_back(T value) {
        if (size_ == capacity_) Grow();
        data_[size_++] = value;
    }
    std::size_t size() const { return size_; }
    // The column as a 1-D array that owns the mapping; the column is then
    // empty (GIL held).
    py::array Take();

private:
    void Grow();

    T* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// A column that holds one value until another comes: most of a
// document's fields never change, and such a column takes no memory per
// record. Taken, it is a read-only array whose entries all share one place.
template <typename T>
class MostlyConstantColumn {
public:
    void push_back(T value) {
        if (varied_) return values_.push_back(value);
        if (size_ == 0) first_ = value;
        if (value == first_) {
            ++size_;
            return;
        }
        for (std::size_t i = 0; i < size_; ++i) values_.push_back(first_);
        values_.push_back(value);
        varied_ = true;
    }
    py::array Take();

private:
    GrowingColumn<T> values_;  // once a second value came
    T first_{};
    std::size_t size_ = 0;
    bool varied_ = false;
};

// The distinct texts of one text field, in the order first seen, and the
// code of each record's (-1 when absent).
class TextColumn {
public:
    void Add(const std::string* text);
    // The codes as an int32 array and the texts as a list of str (GIL held).
    py::tuple Take();

private:
    // The code of `text`, the last one's first: texts repeat.
    std::int32_t CodeOf(const std::string& text);
    std::int32_t Find(const std::string& text);

    GrowingColumn<std::int32_t> codes_;
    std::vector<std::string> texts_;
    std::int32_t last_ = -1;
    std::unordered_map<std::string, std::int32_t> index_;  // once there are many texts
};

// What a record's values are to the columns: which array `Record.values`
// gives (0 none, 1 floats, 2 integers).
enum class ValuesKind : std::int8_t { none = 0, floats = 1, ints = 2 };
ValuesKind KindOf(const RecordView& view);

class Columns {
public:
    // `places`: a scan's columns, with the places of the values; else a
    // reading's, with their count and the statistics.
    explicit Columns(bool places) : places_(places) {}
    // Adds a record; `places` for a scan's columns.
    void Add(const RecordView& view, const ValuesPlaces* places);
    std::size_t size() const { return kinds_.size(); }
    // The columns as a dict of arrays by field name (texts as (codes,
    // texts)), emptying them (GIL held).
    py::dict Take();

private:
    bool places_;
#define ZELREPORT_COLUMN_TEXT(name, label) TextColumn name##_;
#define ZELREPORT_COLUMN_INT(name, label, rule) MostlyConstantColumn<std::int32_t> name##_;
    ZELREPORT_FIELDS(ZELREPORT_COLUMN_TEXT, ZELREPORT_COLUMN_INT)
#undef ZELREPORT_COLUMN_TEXT
#undef ZELREPORT_COLUMN_INT
    GrowingColumn<std::int8_t> kinds_;
    GrowingColumn<std::int64_t> count_;         // -1 without values
    GrowingColumn<std::int64_t> start_, stop_;  // a scan's
    GrowingColumn<float> min_, max_, avg_;      // a reading's: NaN without statistics
    GrowingColumn<bool> has_statistics_;
};

}  // namespace zelreport::python
