// SPDX-License-Identifier: MIT
#include "lazy_values.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "columns.h"
#include "no_record.h"
#include "record_object.h"
#include "run/scanned_run.h"
#include "source.h"

namespace zelreport::python {

namespace {

// The exception for a document whose bytes are no longer those it was
// opened with: zelreport.DocumentChangedError, an OSError.
py::handle DocumentChangedError() {
    static PyObject* type =
        PyErr_NewExceptionWithDoc("zelreport.DocumentChangedError",
                                  "A document changed after it was opened: its values can no longer be read from "
                                  "where they were. Open it again.",
                                  PyExc_OSError, nullptr);
    if (!type) throw py::error_already_set();
    return type;
}

[[noreturn]] void RaiseChanged(py::handle source, const char* what) {
    PyErr_Format(DocumentChangedError().ptr(), "%S: %s since it was opened: open it again", source.ptr(), what);
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
        if (control.KeepGoing()) columns.Add(view, &places);
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

// A document's bytes from `at` up to `stop`, then its end: a file read in
// place, or memory.
class Stretch {
public:
    Stretch(std::uint64_t start, std::uint64_t stop) : at_(start), stop_(stop) {}
    ~Stretch() {
        if (fd_ >= 0) close(fd_);
        if (memory_.obj) PyBuffer_Release(&memory_);
    }
    Stretch(const Stretch&) = delete;
    Stretch& operator=(const Stretch&) = delete;

    // Opens the file at `path` (GIL held, released while it opens) and
    // checks that it has the size and modification time it was opened
    // with, when `identity` gives them.
    void OpenFile(py::handle path, py::handle identity) {
        std::string name = py::bytes(py::module_::import("os").attr("fsencode")(path));
        {
            py::gil_scoped_release release;
            do fd_ = open(name.c_str(), O_RDONLY | O_CLOEXEC);
            while (fd_ < 0 && errno == EINTR);
        }
        struct stat st;
        if (fd_ < 0 || fstat(fd_, &st) != 0) {
            PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, path.ptr());
            throw py::error_already_set();
        }
        if (!identity.is_none()) {
            auto [size, mtime_ns] = identity.cast<std::pair<std::int64_t, std::int64_t>>();
            std::int64_t now_ns = std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
            if (size != st.st_size || mtime_ns != now_ns) RaiseChanged(path, "it changed (its size or time)");
        }
        if (static_cast<std::uint64_t>(st.st_size) < stop_) RaiseChanged(path, "it is shorter");
    }

    void UseMemory(py::handle document) {
        if (PyObject_GetBuffer(document.ptr(), &memory_, PyBUF_SIMPLE) != 0) throw py::error_already_set();
        if (static_cast<std::uint64_t>(memory_.len) < stop_)
            throw py::value_error("read_values: the place lies beyond the document");
    }

    // The read callback (without the GIL).
    long Read(char* buffer, std::size_t capacity) {
        std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(capacity, stop_ - at_));
        if (wanted == 0) return 0;
        if (fd_ < 0) {
            std::memcpy(buffer, static_cast<const char*>(memory_.buf) + at_, wanted);
            at_ += wanted;
            return static_cast<long>(wanted);
        }
        ssize_t n;
        do n = pread(fd_, buffer, wanted, static_cast<off_t>(at_));
        while (n < 0 && errno == EINTR);
        if (n > 0) at_ += static_cast<std::uint64_t>(n);
        return static_cast<long>(n);
    }

private:
    std::uint64_t at_, stop_;
    int fd_ = -1;
    Py_buffer memory_{};
};

// The values of the text between `start` and `stop` of `source` (a path,
// or the document as a bytes-like object), converted into the array of
// `kind` (1 floats, 2 integers), which must have `count` entries.
py::object ReadValues(py::handle source, std::uint64_t start, std::uint64_t stop, std::uint64_t count, int kind,
                      py::handle identity) {
    if (start > stop || (kind != 1 && kind != 2)) throw py::value_error("read_values: not a place of values");
    Stretch stretch(start, stop);
    if (PyUnicode_Check(source.ptr()) || py::isinstance(source, py::module_::import("os").attr("PathLike")))
        stretch.OpenFile(source, identity);
    else
        stretch.UseMemory(source);
    RecordValues values;
    Result result;
    {
        py::gil_scoped_release release;
        result = convert_values([&stretch](char* buffer, std::size_t capacity) { return stretch.Read(buffer, capacity); },
                                kind == 1 ? DataKind::floats : DataKind::ints, values);
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
    std::span<const float> floats;
    std::span<const std::int32_t> ints;
    py::object array = kind == 1 ? OwningArray(true, std::move(values.floatdata), &floats, true)
                                 : OwningArray(true, std::move(values.intdata), &ints, true);
    if (static_cast<std::uint64_t>(py::len(array)) != count)
        RaiseChanged(source, "its values there are not those it was opened with");
    return array;
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
          "The values between byte `start` and `stop` of `source` (a path, or the document as\n"
          "bytes), converted as the document's reading converts them, into a new array of `count`\n"
          "entries of `kind` (1: float32, 2: int32); the GIL is released meanwhile. `identity`,\n"
          "(size, mtime_ns) of the file when it was scanned, or None. Raises DocumentChangedError\n"
          "when the file is no longer what was scanned.");
}

}  // namespace zelreport::python
