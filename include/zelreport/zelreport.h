// SPDX-License-Identifier: MIT
// zelreport: read a record document and report each record's arguments.
//
// A document is run through one of the `run_*` functions. At every record
// end the library hands the record to `Handlers::on_record` as a read-only
// view, then produces the standard report text and hands it to
// `Handlers::output`. Failures come back in the result; the library never
// exits the process. Where more than one processor is available, a run
// converts long runs of values on a second thread of its own as well; the
// handlers are always called on the caller's thread.
#pragma once

#if !defined(__cplusplus) || __cplusplus < 202002L
#error "zelreport.h needs C++20 (-std=c++20); from C or older C++, use zelreport/zelreport_c.h"
#endif

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "zelreport/fields.h"

namespace zelreport {

// A record as it stands at its end. Text fields are null when absent.
// The views are valid only during the `on_record` call.
struct RecordView {
#define ZELREPORT_VIEW_TEXT(name, label) const std::string* name = nullptr;
#define ZELREPORT_VIEW_INT(name, label, rule) std::int32_t name = 0;
    ZELREPORT_FIELDS(ZELREPORT_VIEW_TEXT, ZELREPORT_VIEW_INT)
#undef ZELREPORT_VIEW_TEXT
#undef ZELREPORT_VIEW_INT
    // Converted values: one entry per token of the values text.
    bool has_floatdata = false;
    std::span<const float> floatdata;
    bool has_intdata = false;
    std::span<const std::int32_t> intdata;
};

template <typename T>
class DataArray;
namespace detail {
void free_values(void* data, std::size_t mapped_bytes) noexcept;
}

// A record's values array taken out of the run (`Handlers::on_record_values`):
// it owns the memory and frees it when destroyed.
template <typename T>
class OwnedValues {
public:
    OwnedValues() = default;
    OwnedValues(OwnedValues&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)),
          size_(std::exchange(other.size_, 0)),
          mapped_bytes_(std::exchange(other.mapped_bytes_, 0)) {}
    OwnedValues& operator=(OwnedValues&& other) noexcept {
        OwnedValues gone(std::move(*this));
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        mapped_bytes_ = std::exchange(other.mapped_bytes_, 0);
        return *this;
    }
    ~OwnedValues() { detail::free_values(data_, mapped_bytes_); }

    std::span<const T> span() const { return {data_, size_}; }
    std::size_t size() const { return size_; }

private:
    friend class DataArray<T>;
    OwnedValues(T* data, std::size_t size, std::size_t mapped_bytes)
        : data_(data), size_(size), mapped_bytes_(mapped_bytes) {}

    T* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t mapped_bytes_ = 0;  // the mapping's length; 0 for malloc'd memory
};

// A record's two values arrays, as `RecordView` shows them.
struct RecordValues {
    OwnedValues<float> floatdata;
    OwnedValues<std::int32_t> intdata;
};

// Which array a record's data type fills: 1 and 5 single-precision
// floats, 2 integers, anything else none (the values are read and dropped).
enum class DataKind { none, floats, ints };
DataKind data_kind(std::int32_t datyp);

enum class Status {
    ok,             // end of input, or the root element's closing tag
    read_error,     // the input could not be read, `error` holds errno; EINVAL
                    // when the read callback returned a count it cannot have read
    write_error,    // `output` returned false
    out_of_memory,  // an allocation failed
    exception,      // a handler or the read callback threw (a std::system_error's
                    // code is in `error`, 0 for anything else); the run stopped
};

struct Result {
    Status status = Status::ok;
    int error = 0;
};

struct Handlers {
    // Receives the report text (and diagnostics) in order, whole reports
    // only. Returning false stops the run with write_error. May be empty:
    // the text is then discarded.
    std::function<bool(std::string_view)> output;
    // Called at each reported record end, before its report is output.
    std::function<void(const RecordView&)> on_record;
    // Called instead of `on_record` when set, with the record's values
    // arrays to keep: a large one (a megabyte or more) changes hands
    // without a copy, a smaller one is copied to memory of its size.
    std::function<void(const RecordView&, RecordValues&&)> on_record_values;
};

// Fills `buffer` with up to `capacity` bytes; returns the count, 0 at end
// of input, or -1 with errno set on a read error. Any other count (more
// than `capacity`, or below -1) ends the run with `Status::read_error` and
// EINVAL, and no byte of that block is read. Pending report text is
// handed to the output before every call, so a report is out as soon as
// the input that completes it has been read.
using ReadBlock = std::function<long(char* buffer, std::size_t capacity)>;

// Reads the document from blocks the caller supplies, a file descriptor,
// a stream or memory. Nothing thrown below them escapes: it comes back as
// a Result, after the whole reports made so far have been output.
Result run_reader(ReadBlock read_block, const Handlers& handlers);
Result run_fd(int fd, const Handlers& handlers);
Result run_file(std::FILE* file, const Handlers& handlers);
Result run_buffer(std::string_view document, const Handlers& handlers);

// The statistics line of a record with single-precision data: over
// `count` = ni * nj * nk entries (wrapping in 32 bits), entries past the
// converted values counting as 0. A count of 0 gives a NaN average and a
// negative count visits nothing (average -0); min and max then stay at the
// first entry. None for a record without a float array.
struct Statistics {
    std::int32_t count = 0;
    float min = 0, max = 0, avg = 0;
};
std::optional<Statistics> statistics(const RecordView& record);

// Appends the standard report of `record` (banner, 28 argument lines,
// closing line and, for single-precision data, the statistics line).
void append_report(const RecordView& record, std::string& out);

}  // namespace zelreport
