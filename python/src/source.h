// SPDX-License-Identifier: MIT
// Where a document comes from (a path, a bytes-like object or a Python
// file object), and what may stop its run: the caller, a signal, or an
// exception raised by the file object.
#pragma once

#include <pybind11/pybind11.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>

#include "record/record.h"
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
    // Keeps the Python exception now pending (GIL held) and stops the run;
    // a KeyboardInterrupt also marks the run interrupted.
    void StopWithPythonError();
    // The same for what a signal handler raised: always raised at once.
    void StopForSignal();

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

    // Runs the document without the GIL, with the record handlers of
    // `handlers` and the report text appended to `output` when not null.
    // A file object is read through `read_file` when given, else on this
    // thread with the GIL. With `scan`, the run converts no value and
    // writes no report: each record goes to `scan` with the places of its
    // values. Never throws: what stopped the run is in the result and in
    // `control`.
    Result Run(Handlers handlers, std::string* output, RunControl& control, const ReadBlock& read_file = {},
               const ScanObserver* scan = nullptr);
    // Raises in Python what stopped a finished run, if anything did (GIL
    // held); not for a run stopped on purpose.
    void RaiseFailure(const Result& result, RunControl& control) const;
    // Reads the next block of the file object into the source's own
    // staging block (GIL held, which the file object may drop): the count,
    // 0 at its end, or -1 once the run is cancelled or the file object
    // raised or gave something other than a count or bytes (kept in
    // `control`). Never throws.
    long FillFromFile(std::size_t capacity, RunControl& control);
    // Copies the `count` bytes FillFromFile just gave to `buffer` (GIL
    // held, the GIL kept since): `count`, or -1 when the block is gone.
    long CopyFilled(char* buffer, long count) const;
    // Lets go of the path's descriptor, the bytes-like object and the
    // file object (GIL held), once no run uses them.
    void Release();

    bool is_file() const { return kind_ == Kind::file; }
    // The document's first bytes and its size so far, for telling why it
    // gave no record.
    const std::string& head() const { return head_; }
    std::uint64_t size() const { return size_; }
    // The source as a message names it.
    const std::string& name() const { return name_; }

private:
    enum class Kind { path, memory, file };
    void OpenPath(py::handle source);
    long ReadPath(char* buffer, std::size_t capacity, RunControl& control);
    long ReadFile(char* buffer, std::size_t capacity, RunControl& control);
    long ReadFileOnce(std::size_t capacity);
    // The staging block, `capacity` bytes long: a new one when the file
    // object kept the last one.
    py::object Staging(std::size_t capacity);
    // Notes what the run read into `buffer`: the head and the size.
    void Saw(const char* buffer, long count);

    Kind kind_;
    py::object path_;  // as given, for error messages
    int fd_ = -1;
    Py_buffer memory_{};
    py::object read_;  // the file object's readinto1, readinto or read
    const char* read_name_ = "";
    bool read_into_ = false;
    // Where the file object's data lands before the library's block: a
    // Python object, so that a view of it kept by the file object never
    // sees freed memory.
    py::object staging_;
    std::string head_;
    std::uint64_t size_ = 0;
    std::string name_;
};

}  // namespace zelreport::python
