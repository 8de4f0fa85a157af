// SPDX-License-Identifier: MIT
#include "source.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <stdexcept>
#include <thread>

namespace zelreport::python {

namespace {

// How often a run on the main thread lets Python handle signals.
constexpr std::chrono::milliseconds kSignalCheckInterval{50};
// How long to wait for input on a path's descriptor before checking again
// that the run goes on, in milliseconds.
constexpr int kPollInterval = 50;
// How long to wait before asking a non-blocking file object again.
constexpr std::chrono::milliseconds kNoDataRetry{10};

[[noreturn]] void RaiseErrno(int error, py::handle filename) {
    errno = error;
    if (filename) {
        PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, filename.ptr());
    } else {
        PyErr_SetFromErrno(PyExc_OSError);
    }
    throw py::error_already_set();
}

[[noreturn]] void RaiseType(const char* message, py::handle object) {
    PyErr_Format(PyExc_TypeError, message, Py_TYPE(object.ptr())->tp_name);
    throw py::error_already_set();
}

// The method a file object is read with: one that fills a buffer of ours
// when it has one, else read().
py::object FileReadMethod(py::handle file, bool& read_into) {
    for (const char* name : {"readinto1", "readinto"}) {
        if (py::hasattr(file, name)) {
            read_into = true;
            return file.attr(name);
        }
    }
    read_into = false;
    return py::hasattr(file, "read") ? file.attr("read") : py::object();
}

}  // namespace

bool RunControl::KeepGoing() {
    if (cancelled) return false;
    if (!check_signals) return true;
    auto now = std::chrono::steady_clock::now();
    if (now < next_signal_check_) return true;
    next_signal_check_ = now + kSignalCheckInterval;
    py::gil_scoped_acquire gil;
    if (PyErr_CheckSignals() != 0) {
        interrupted = true;
        StopWithPythonError();
    }
    return !cancelled;
}

void RunControl::StopWithPythonError() {
    if (!python_error)
        python_error.emplace();
    else
        PyErr_Clear();
    cancelled = true;
}

Source::Source(py::handle source) {
    if (PyUnicode_Check(source.ptr()) || py::isinstance(source, py::module_::import("os").attr("PathLike"))) {
        kind_ = Kind::path;
        path_ = py::reinterpret_borrow<py::object>(source);
        py::bytes name = py::module_::import("os").attr("fsencode")(source);
        fd_ = open(std::string(name).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) RaiseErrno(errno, path_);
        struct stat st;
        if (fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
            close(fd_);  // no destructor runs for a constructor that throws
            RaiseErrno(EISDIR, path_);
        }
    } else if (PyObject_CheckBuffer(source.ptr())) {
        kind_ = Kind::memory;
        if (PyObject_GetBuffer(source.ptr(), &memory_, PyBUF_SIMPLE) != 0) throw py::error_already_set();
    } else {
        kind_ = Kind::file;
        read_ = FileReadMethod(source, read_into_);
        if (!read_)
            RaiseType("a document is a path, a bytes-like object or a binary file object, not %.200s",
                      source);
    }
}

Source::~Source() {
    if (fd_ >= 0) close(fd_);
    if (memory_.obj) PyBuffer_Release(&memory_);
}

Result Source::Run(const std::function<void(const RecordView&)>& on_record, std::string* output,
                   RunControl& control, const ReadBlock& read_file) {
    Handlers handlers;
    handlers.on_record = on_record;
    handlers.output = [output, &control](std::string_view text) {
        if (output) output->append(text);
        return control.KeepGoing();
    };
    auto read = [&control](const ReadBlock& read_block) -> ReadBlock {
        if (!control.before_read) return read_block;
        return [&control, read_block](char* buffer, std::size_t capacity) {
            control.before_read();
            return read_block(buffer, capacity);
        };
    };
    try {
        switch (kind_) {
            case Kind::path:
                return run_reader(read([&](char* b, std::size_t n) { return ReadPath(b, n, control); }),
                                  handlers);
            case Kind::memory:
                return run_buffer(
                    {static_cast<const char*>(memory_.buf), static_cast<std::size_t>(memory_.len)}, handlers);
            case Kind::file:
                if (read_file) return run_reader(read(read_file), handlers);
                return run_reader(read([&](char* b, std::size_t n) { return ReadFile(b, n, control); }),
                                  handlers);
        }
    } catch (const std::bad_alloc&) {
        return {Status::out_of_memory, ENOMEM};
    } catch (...) {
        control.exception = std::current_exception();
    }
    control.cancelled = true;
    return {};
}

// Waits for input a while at a time, so that a pipe or terminal without
// input does not keep a cancelled run waiting.
long Source::ReadPath(char* buffer, std::size_t capacity, RunControl& control) {
    for (;;) {
        if (!control.KeepGoing()) {
            errno = ECANCELED;
            return -1;
        }
        pollfd ready{fd_, POLLIN, 0};
        if (poll(&ready, 1, kPollInterval) == 0) continue;
        ssize_t n = read(fd_, buffer, capacity);
        if (n >= 0) return static_cast<long>(n);
        if (errno != EINTR && errno != EAGAIN) return -1;
    }
}

long Source::ReadFile(char* buffer, std::size_t capacity, RunControl& control) {
    py::gil_scoped_acquire gil;
    return FillFromFile(buffer, capacity, control);
}

long Source::FillFromFile(char* buffer, std::size_t capacity, RunControl& control) {
    while (!control.cancelled) {
        long n;
        try {
            n = ReadFileOnce(buffer, capacity);
        } catch (py::error_already_set& error) {
            if (error.matches(PyExc_KeyboardInterrupt)) control.interrupted = true;
            error.restore();
            control.StopWithPythonError();
            break;
        }
        if (n >= 0) return n;
        // A non-blocking file without data for now: ask again shortly.
        py::gil_scoped_release release;
        std::this_thread::sleep_for(kNoDataRetry);
    }
    errno = ECANCELED;
    return -1;
}

// One call of the file object's method; -1 when it has no data for now.
long Source::ReadFileOnce(char* buffer, std::size_t capacity) {
    if (read_into_) {
        py::memoryview view = py::memoryview::from_memory(buffer, static_cast<ssize_t>(capacity));
        py::object got = read_(view);
        // The buffer is the library's: a view kept by the file object must not reach it later.
        view.attr("release")();
        if (got.is_none()) return -1;
        long n = got.cast<long>();
        if (n < 0 || static_cast<std::size_t>(n) > capacity) {
            PyErr_Format(PyExc_ValueError, "readinto() returned %ld for a buffer of %zu bytes", n, capacity);
            throw py::error_already_set();
        }
        return n;
    }
    py::object got = read_(capacity);
    if (got.is_none()) return -1;
    if (PyUnicode_Check(got.ptr()))
        RaiseType("read() returned %.200s, not bytes: open the file in binary mode ('rb')", got);
    py::buffer_info data = py::reinterpret_borrow<py::buffer>(got).request();
    std::size_t n = static_cast<std::size_t>(data.size * data.itemsize);
    if (n > capacity) {
        PyErr_Format(PyExc_ValueError, "read(%zu) returned %zu bytes", capacity, n);
        throw py::error_already_set();
    }
    std::memcpy(buffer, data.ptr, n);
    return static_cast<long>(n);
}

void Source::RaiseFailure(const Result& result, RunControl& control) const {
    if (control.python_error) {
        py::error_already_set error = std::move(*control.python_error);
        control.python_error.reset();
        throw error;
    }
    if (control.exception) std::rethrow_exception(control.exception);
    switch (result.status) {
        case Status::ok:
        case Status::write_error:  // only from a run stopped on purpose, by Close
            return;
        case Status::read_error:
            RaiseErrno(result.error, path_);
        case Status::out_of_memory:
            throw std::bad_alloc();
        case Status::exception:
            throw std::runtime_error(std::string("zelreport: the run stopped on an unexpected error") +
                                     (result.error ? std::string(": ") + std::strerror(result.error) : ""));
    }
}

}  // namespace zelreport::python
