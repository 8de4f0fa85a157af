// SPDX-License-Identifier: MIT
#include "lazy_values.h"

#include <fcntl.h>
#include <pybind11/numpy.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "columns.h"
#include "no_record.h"
#include "record_object.h"
#include "run/scanned_run.h"
#include "source.h"
#include "stream.h"

namespace zelreport::python {

namespace {

// This thread's converter, kept from call to call: its reader's block, its
// arrays and its second thread are made once, not for every record asked
// for. In a process forked since it was made its second thread does not
// exist: it is left unfreed (freeing would wait for that thread) and made
// anew. One that failed is made anew too: its state after the failure is
// not trusted.
std::unique_ptr<ValuesConverter>& ThreadConverter() {
    thread_local std::unique_ptr<ValuesConverter> converter;
    thread_local unsigned made_before = 0;
    if (converter && made_before != Forks()) static_cast<void>(converter.release());
    if (!converter) {
        converter = std::make_unique<ValuesConverter>();
        made_before = Forks();
    }
    return converter;
}

// A scan asks whether to go on once every this many records.
constexpr std::size_t kRecordsBetweenChecks = 1024;

// The exception for a document whose bytes are no longer those it was
// opened with: zelreport.DocumentChangedError, an OSError.
py::handle DocumentChangedError() {
    static PyObject* type = PyErr_NewExceptionWithDoc(
        "zelreport.DocumentChangedError",
        "A document changed after it was opened: its values can no longer be read from "
        "where they were. Open it again.",
        PyExc_OSError, nullptr);
    if (!type) throw py::error_already_set();
    return type;
}

[[noreturn]] void RaiseChanged(py::handle source, const char* what) {
    PyErr_Format(DocumentChangedError().ptr(), "%S: %s since it was opened: open it again", source.ptr(),
                 what);
    throw py::error_already_set();
}

// The columns of every record of `source` and where its values lie,
// read without converting a value (the GIL released meanwhile).
py::dict Scan(py::handle source) {
    Source document(source);
    RunControl control;
    control.check_signals = true;
    Columns columns(true);
    ScanObserver observer = [&columns, &control](const RecordView& view, const ValuesPlaces& places) {
        // Ctrl-C is looked for between blocks anyway; here, now and then.
        if ((columns.size() % kRecordsBetweenChecks) == 0 && !control.KeepGoing()) return;
        columns.Add(view, &places);
    };
    Result result;
    {
        py::gil_scoped_release release;
        result = document.Run({}, nullptr, control, {}, &observer);
    }
    document.RaiseFailure(result, control);
    if (columns.size() == 0) WarnNoRecord(document);
    return columns.Take();
}

// A document's bytes, to read at places: a file read in place, or memory.
class DocumentBytes {
public:
    DocumentBytes() = default;
    ~DocumentBytes() {
        if (fd_ >= 0) close(fd_);
        if (memory_.obj) PyBuffer_Release(&memory_);
    }
    DocumentBytes(const DocumentBytes&) = delete;
    DocumentBytes& operator=(const DocumentBytes&) = delete;

    // Opens `source`, a path or a bytes-like object (GIL held, released
    // while a file opens); a file must have the size and modification time
    // it was scanned with, when `identity` gives them.
    void Open(py::handle source, py::handle identity) {
        if (!PyUnicode_Check(source.ptr()) &&
            !py::isinstance(source, py::module_::import("os").attr("PathLike"))) {
            if (PyObject_GetBuffer(source.ptr(), &memory_, PyBUF_SIMPLE) != 0) throw py::error_already_set();
            size_ = static_cast<std::uint64_t>(memory_.len);
            return;
        }
        std::string name = py::bytes(py::module_::import("os").attr("fsencode")(source));
        {
            py::gil_scoped_release release;
            do fd_ = open(name.c_str(), O_RDONLY | O_CLOEXEC);
            while (fd_ < 0 && errno == EINTR);
        }
        struct stat st;
        if (fd_ < 0 || fstat(fd_, &st) != 0) {
            PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, source.ptr());
            throw py::error_already_set();
        }
        size_ = static_cast<std::uint64_t>(st.st_size);
        if (!identity.is_none()) {
            auto [size, mtime_ns] = identity.cast<std::pair<std::int64_t, std::int64_t>>();
            std::int64_t now_ns = std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
            if (size != st.st_size || mtime_ns != now_ns)
                RaiseChanged(source, "it changed (its size or time)");
        }
    }

    std::uint64_t size() const { return size_; }

    // A read callback for the bytes from `at` up to `stop` (without the GIL).
    ReadBlock Between(std::uint64_t at, std::uint64_t stop) {
        return [this, at, stop](char* buffer, std::size_t capacity) mutable -> long {
            std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(capacity, stop - at));
            if (wanted == 0) return 0;
            if (fd_ < 0) {
                std::memcpy(buffer, static_cast<const char*>(memory_.buf) + at, wanted);
                at += wanted;
                return static_cast<long>(wanted);
            }
            ssize_t n;
            do n = pread(fd_, buffer, wanted, static_cast<off_t>(at));
            while (n < 0 && errno == EINTR);
            if (n > 0) at += static_cast<std::uint64_t>(n);
            return static_cast<long>(n);
        };
    }

private:
    int fd_ = -1;
    Py_buffer memory_{};
    std::uint64_t size_ = 0;
};

// The values of each place (start[i], stop[i]) of `source` (a path, or the
// document as a bytes-like object), converted into the array of `kind` (1
// floats, 2 integers), which must have count[i] entries: one array of them
// all, one place's after another, converted without the GIL by one
// converter (a single place's array is the converter's own, not a copy).
py::object ReadValues(py::handle source,
                      py::array_t<std::int64_t, py::array::c_style | py::array::forcecast> start,
                      py::array_t<std::int64_t, py::array::c_style | py::array::forcecast> stop,
                      py::array_t<std::int64_t, py::array::c_style | py::array::forcecast> count, int kind,
                      py::handle identity) {
    std::size_t places = static_cast<std::size_t>(start.size());
    if (stop.size() != start.size() || count.size() != start.size() || (kind != 1 && kind != 2))
        throw py::value_error("read_values: not places of values");
    DocumentBytes document;
    document.Open(source, identity);
    for (std::size_t i = 0; i < places; ++i)
        if (start.at(i) < 0 || start.at(i) > stop.at(i) ||
            static_cast<std::uint64_t>(stop.at(i)) > document.size())
            RaiseChanged(source, "its values are not where they were (it is shorter)");
    std::vector<RecordValues> converted(places);
    Result result;
    {
        py::gil_scoped_release release;
        std::unique_ptr<ValuesConverter>& converter = ThreadConverter();
        for (std::size_t i = 0; i < places && result.status == Status::ok; ++i)
            result = converter->Convert(document.Between(static_cast<std::uint64_t>(start.at(i)),
                                                         static_cast<std::uint64_t>(stop.at(i))),
                                        kind == 1 ? DataKind::floats : DataKind::ints, converted[i]);
        if (result.status != Status::ok) converter.reset();
    }
    switch (result.status) {
        case Status::ok:
            break;
        case Status::read_error:
            errno = result.error;
            PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, source.ptr());
            throw py::error_already_set();
        case Status::out_of_memory:
            throw std::bad_alloc();
        default:
            throw std::runtime_error("zelreport: the values could not be converted");
    }
    std::int64_t total = 0;
    for (std::size_t i = 0; i < places; ++i) {
        std::size_t got = kind == 1 ? converted[i].floatdata.size() : converted[i].intdata.size();
        if (static_cast<std::int64_t>(got) != count.at(i))
            RaiseChanged(source, "its values there are not those it was opened with");
        total += count.at(i);
    }
    std::span<const float> floats;
    std::span<const std::int32_t> ints;
    // One record's array as it is; several records' one after another.
    if (places == 1)
        return kind == 1 ? OwningArray(true, std::move(converted[0].floatdata), &floats, true)
                         : OwningArray(true, std::move(converted[0].intdata), &ints, true);
    py::array joined =
        kind == 1 ? py::array(py::array_t<float>(total)) : py::array(py::array_t<std::int32_t>(total));
    char* out = static_cast<char*>(joined.mutable_data());
    for (RecordValues& values : converted) {
        std::size_t bytes =
            kind == 1 ? values.floatdata.span().size_bytes() : values.intdata.span().size_bytes();
        const void* from = kind == 1 ? static_cast<const void*>(values.floatdata.span().data())
                                     : static_cast<const void*>(values.intdata.span().data());
        if (bytes) std::memcpy(out, from, bytes);
        out += bytes;
        values = {};
    }
    return joined;
}

}  // namespace

void DefineLazyValues(py::module_& m) {
    m.attr("DocumentChangedError") = DocumentChangedError();
    m.def("scan", &Scan, py::arg("source"),
          "The document's records as columns, without converting any value: a dict of arrays by\n"
          "field (texts as (codes, texts), -1 for an absent text), 'kind' (0: no values, 1: float32,\n"
          "2: int32), 'count' (-1: none), and 'start' and 'stop', the bytes between which each\n"
          "record's values lie, for read_values.");
    m.def("read_values", &ReadValues, py::arg("source"), py::arg("start"), py::arg("stop"), py::arg("count"),
          py::arg("kind"), py::arg("identity") = py::none(),
          "For each place i, the values between byte start[i] and stop[i] of `source` (a path, or\n"
          "the document as bytes), converted as the document's reading converts them into count[i]\n"
          "entries of `kind` (1: float32, 2: int32): one new array, the places' values one after\n"
          "another; the GIL is released meanwhile. `identity`: (size, mtime_ns) of the file when it was "
          "scanned, or\n"
          "None. Raises DocumentChangedError when the file is no longer what was scanned.");
}

}  // namespace zelreport::python
