// SPDX-License-Identifier: MIT
// Where a document comes from (a path, a bytes-like object or a Python
// file object), and what may stop its run: the caller, a signal, or an
// exception raised by the file object.
#pragma once

#include <pybind11/pybind11.h>

#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <optional>
#include <string>

#include "zelreport/zelreport.h"

namespace zelreport::python {

namespace py = pybind11;

// Shared by a run and whoever may stop it. Once `cancelled` is set the run
// reads no more and stops at its next block or output.
struct RunControl {
    std::atomic<bool> cancelled{false};
    // Set when a signal handler raised (Ctrl-C): raised at once, before
    // the records already read.
    bool interrupted = false;
    // True when the run is on the interpreter's main thread with nobody
    // else watching for signals: KeepGoing then runs their handlers now
    // and then, so that Ctrl-C stops a long document.
    bool check_signals = false;
    // Called by the run before it reads a block, when set.
    std::function<void()> before_read;
    // What stopped the run, to be raised once it has ended: the first
    // Python exception, or a C++ exception out of the library.
    std::optional<py::error_already_set> python_error;
    std::exception_ptr exception;

    // Called by the run between blocks and records, without the GIL.
    bool KeepGoing();
    // Keeps the Python exception now pending (GIL held) and stops the run.
    void StopWithPythonError();

private:
    std::chrono::steady_clock::time_point next_signal_check_{};
};

class Source {
public:
    // Opens `source` (GIL held). Raises TypeError for a source of the
    // wrong kind, and FileNotFoundError, IsADirectoryError or another
    // OSError for a path that cannot be read.
    explicit Source(py::handle source);
    ~Source();
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;

    // Runs the document without the GIL, handing each record to
    // `on_record` and the report text to `output` when not null. A file
    // object is read through `read_file` when given, else on this thread
    // with the GIL. Never throws: what stopped the run is in the result
    // and in `control`.
    Result Run(const std::function<void(const RecordView&)>& on_record, std::string* output,
               RunControl& control, const ReadBlock& read_file = {});
    // Raises in Python what stopped a finished run, if anything did (GIL
    // held); not for a run stopped on purpose.
    void RaiseFailure(const Result& result, RunControl& control) const;
    // Fills `buffer` from the file object (GIL held): the count, 0 at its
    // end, or -1 once the run is cancelled or the file object raised (the
    // exception is kept in `control`).
    long FillFromFile(char* buffer, std::size_t capacity, RunControl& control);
    bool is_file() const { return kind_ == Kind::file; }

private:
    enum class Kind { path, memory, file };
    long ReadPath(char* buffer, std::size_t capacity, RunControl& control);
    long ReadFile(char* buffer, std::size_t capacity, RunControl& control);
    long ReadFileOnce(char* buffer, std::size_t capacity);

    Kind kind_;
    py::object path_;  // as given, for error messages
    int fd_ = -1;
    Py_buffer memory_{};
    py::object read_;  // the file object's readinto1, readinto or read
    bool read_into_ = false;
};

}  // namespace zelreport::python
