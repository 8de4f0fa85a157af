// SPDX-License-Identifier: MIT
#include "source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string_view>
#include <thread>

#include "reader/read_fd.h"
#include "run/scanned_run.h"

namespace zelreport::python {

namespace {

// How often a run on the main thread lets Python handle signals.
constexpr std::chrono::milliseconds kSignalCheckInterval{kReadWakeMilliseconds};
// How long to wait before asking a non-blocking file object again.
constexpr std::chrono::milliseconds kNoDataRetry{10};
// The first bytes of a document kept for telling why it gave no record.
constexpr std::size_t kHeadBytes = 4096;
// A bytes-like source of at most this many bytes, without markup or a line
// break, is a path given as bytes by mistake.
constexpr std::size_t kMaxPathBytes = 4096;
// How much of a document given as a path a message quotes, in characters.
constexpr Py_ssize_t kQuotedChars = 40;

[[noreturn]] void RaiseErrno(int error, py::handle filename) {
    errno = error;
    if (filename) {
        PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, filename.ptr());
    } else {
        PyErr_SetFromErrno(PyExc_OSError);
    }
    throw py::error_already_set();
}

// Raises `type` with a message in PyErr_Format's form.
template <typename... Args>
[[noreturn]] void Raise(PyObject* type, const char* format, Args... args) {
    PyErr_Format(type, format, args...);
    throw py::error_already_set();
}

// The method a file object is read with: one that fills a buffer of ours
// when it has one, else read().
py::object FileReadMethod(py::handle file, const char*& name, bool& read_into) {
    for (const char* method : {"readinto1", "readinto", "read"}) {
        if (py::hasattr(file, method)) {
            name = method;
            read_into = std::string_view(method) != "read";
            return file.attr(method);
        }
    }
    return {};
}

bool LooksLikePath(std::string_view bytes) {
    return !bytes.empty() && bytes.size() <= kMaxPathBytes &&
           bytes.find_first_of(std::string_view("<\n\0", 3)) == std::string_view::npos;
}

// A str that names no file and holds markup is a document given where a
// path goes: says so instead of quoting it whole as a file name.
void RaiseIfDocument(py::handle source) {
    if (!PyUnicode_Check(source.ptr())) return;
    Py_ssize_t length = PyUnicode_GetLength(source.ptr());
    if (PyUnicode_FindChar(source.ptr(), '<', 0, length, 1) < 0 &&
        PyUnicode_FindChar(source.ptr(), '\n', 0, length, 1) < 0)
        return;
    py::object start = py::reinterpret_steal<py::object>(
        PyUnicode_Substring(source.ptr(), 0, std::min(length, kQuotedChars)));
    if (!start) throw py::error_already_set();
    Raise(PyExc_TypeError,
          "a str source is a path, and this one holds markup (%R..., %zd characters): give the document "
          "itself as bytes (text.encode())",
          start.ptr(), length);
}

// Releases a memoryview handed to Python code on every path out, so that
// the view the callee may keep sees an error, not our memory.
class ReleasedOnExit {
public:
    explicit ReleasedOnExit(const py::object& view) : view_(view) {}
    ~ReleasedOnExit() {
        // Fails only while views made from it live: they keep its memory.
        PyObject* done = PyObject_CallMethod(view_.ptr(), "release", nullptr);
        if (done)
            Py_DECREF(done);
        else
            PyErr_Clear();
    }
    ReleasedOnExit(const ReleasedOnExit&) = delete;
    ReleasedOnExit& operator=(const ReleasedOnExit&) = delete;

private:
    const py::object& view_;
};

// A Py_buffer released on every path out.
struct HeldBuffer {
    Py_buffer view{};
    ~HeldBuffer() {
        if (view.obj) PyBuffer_Release(&view);
    }
};

}  // namespace

bool RunControl::KeepGoing() {
    if (cancelled) return false;
    if (!check_signals) return true;
    auto now = std::chrono::steady_clock::now();
    if (now < next_signal_check_) return true;
    next_signal_check_ = now + kSignalCheckInterval;
    py::gil_scoped_acquire gil;
    if (PyErr_CheckSignals() != 0) StopForSignal();
    return !cancelled;
}

void RunControl::StopWithPythonError() {
    if (PyErr_ExceptionMatches(PyExc_KeyboardInterrupt)) interrupted = true;
    if (!python_error)
        python_error.emplace();
    else
        PyErr_Clear();
    cancelled = true;
}

void RunControl::StopForSignal() {
    interrupted = true;
    StopWithPythonError();
}

Source::Source(py::handle source) {
    if (PyUnicode_Check(source.ptr()) || py::isinstance(source, py::module_::import("os").attr("PathLike"))) {
        OpenPath(source);
    } else if (PyObject_CheckBuffer(source.ptr())) {
        kind_ = Kind::memory;
        if (PyObject_GetBuffer(source.ptr(), &memory_, PyBUF_SIMPLE) != 0) throw py::error_already_set();
        std::string_view bytes(static_cast<const char*>(memory_.buf), static_cast<std::size_t>(memory_.len));
        if (LooksLikePath(bytes)) {
            PyBuffer_Release(&memory_);  // no destructor runs for a constructor that throws
            Raise(PyExc_TypeError,
                  "a bytes-like source is the document itself, and %R holds no markup: to read a file, "
                  "give its path as str or os.PathLike (os.fsdecode(path))",
                  source.ptr());
        }
        head_.assign(bytes.substr(0, kHeadBytes));
        size_ = bytes.size();
        name_ = "the bytes-like document";
    } else {
        kind_ = Kind::file;
        read_ = FileReadMethod(source, read_name_, read_into_);
        if (!read_)
            Raise(PyExc_TypeError,
                  "a document is a path, a bytes-like object or a binary file object, not %.200s",
                  Py_TYPE(source.ptr())->tp_name);
        name_ = py::repr(source);
    }
}

void Source::OpenPath(py::handle source) {
    kind_ = Kind::path;
    path_ = py::reinterpret_borrow<py::object>(source);
    std::string name = py::bytes(py::module_::import("os").attr("fsencode")(source));
    if (name.find('\0') != std::string::npos) Raise(PyExc_ValueError, "embedded null byte in the path");
    name_ = py::str(py::module_::import("os").attr("fsdecode")(source));
    for (;;) {
        {
            // Opening a FIFO waits for its writer.
            py::gil_scoped_release release;
            fd_ = open(name.c_str(), O_RDONLY | O_CLOEXEC);
        }
        if (fd_ >= 0 || errno != EINTR) break;
        if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    }
    if (fd_ < 0) {
        int error = errno;
        RaiseIfDocument(source);
        RaiseErrno(error, path_);
    }
    struct stat st;
    if (fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
        Release();  // no destructor runs for a constructor that throws
        RaiseErrno(EISDIR, path_);
    }
}

Source::~Source() {
    Release();
}

void Source::Release() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    if (memory_.obj) PyBuffer_Release(&memory_);
    read_ = py::object();
    staging_ = py::object();
}

Result Source::Run(Handlers handlers, std::string* output, RunControl& control, const ReadBlock& read_file,
                   const ScanObserver* scan) {
    handlers.output = [output, &control](std::string_view text) {
        if (output) output->append(text);
        return control.KeepGoing();
    };
    // Every block is announced before it is read and noted after.
    auto noted = [this, &control](ReadBlock read_block) -> ReadBlock {
        return [this, &control, read_block = std::move(read_block)](char* buffer, std::size_t capacity) {
            if (control.before_read) control.before_read();
            long count = read_block(buffer, capacity);
            Saw(buffer, count);
            return count;
        };
    };
    // Blocks read through `read_block`, or the document in memory.
    auto run = [&handlers, scan](ReadBlock read_block) {
        return scan ? run_reader_scanned(std::move(read_block), handlers, *scan)
                    : run_reader(std::move(read_block), handlers);
    };
    try {
        switch (kind_) {
            case Kind::path:
                return run(noted([this, &control](char* buffer, std::size_t capacity) {
                    return ReadFd(fd_, buffer, capacity, [&control] { return control.KeepGoing(); });
                }));
            case Kind::memory: {
                std::string_view document(static_cast<const char*>(memory_.buf),
                                          static_cast<std::size_t>(memory_.len));
                return scan ? run_buffer_scanned(document, handlers, *scan) : run_buffer(document, handlers);
            }
            case Kind::file:
                if (read_file) return run(noted(read_file));
                return run(noted([this, &control](char* buffer, std::size_t capacity) {
                    return ReadFile(buffer, capacity, control);
                }));
        }
    } catch (const std::bad_alloc&) {
        return {Status::out_of_memory, ENOMEM};
    } catch (...) {
        control.exception = std::current_exception();
    }
    control.cancelled = true;
    return {};
}

void Source::Saw(const char* buffer, long count) {
    if (count <= 0) return;
    size_ += static_cast<std::uint64_t>(count);
    if (head_.size() < kHeadBytes)
        head_.append(buffer, std::min(static_cast<std::size_t>(count), kHeadBytes - head_.size()));
}

long Source::ReadFile(char* buffer, std::size_t capacity, RunControl& control) {
    py::gil_scoped_acquire gil;
    long count = CopyFilled(buffer, FillFromFile(capacity, control));
    if (count < 0) errno = ECANCELED;
    return count;
}

long Source::FillFromFile(std::size_t capacity, RunControl& control) {
    while (!control.cancelled && read_) {
        long count;
        try {
            count = ReadFileOnce(capacity);
        } catch (py::error_already_set& error) {
            error.restore();
            control.StopWithPythonError();
            break;
        } catch (const std::bad_alloc&) {
            PyErr_NoMemory();
            control.StopWithPythonError();
            break;
        } catch (const std::exception& error) {
            PyErr_SetString(PyExc_RuntimeError, error.what());
            control.StopWithPythonError();
            break;
        }
        if (count >= 0) return count;
        // A non-blocking file object without data for now: asked again
        // shortly, with signals handled meanwhile.
        {
            py::gil_scoped_release release;
            std::this_thread::sleep_for(kNoDataRetry);
        }
        if (PyErr_CheckSignals() != 0) {
            control.StopForSignal();
            break;
        }
    }
    return -1;
}

py::object Source::Staging(std::size_t capacity) {
    if (!staging_ || Py_REFCNT(staging_.ptr()) > 1 ||
        static_cast<std::size_t>(PyByteArray_GET_SIZE(staging_.ptr())) != capacity) {
        staging_ = py::reinterpret_steal<py::object>(
            PyByteArray_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(capacity)));
        if (!staging_) throw py::error_already_set();
        // Python code sees it: none of the process's old memory.
        std::memset(PyByteArray_AS_STRING(staging_.ptr()), 0, capacity);
    }
    return staging_;
}

// One call of the file object's method; -1 when it has no data for now.
// Whatever it does to the source meanwhile, the objects used here stay
// alive through the call.
long Source::ReadFileOnce(std::size_t capacity) {
    py::object read = read_;
    py::object staging = Staging(capacity);
    py::object got;
    if (read_into_) {
        py::object view = py::reinterpret_steal<py::object>(PyMemoryView_FromObject(staging.ptr()));
        if (!view) throw py::error_already_set();
        ReleasedOnExit released(view);
        got = read(view);
        if (got.is_none()) return -1;
        if (!PyIndex_Check(got.ptr()))
            Raise(PyExc_TypeError, "%s() returned %.200s, not an int", read_name_,
                  Py_TYPE(got.ptr())->tp_name);
        Py_ssize_t count = PyNumber_AsSsize_t(got.ptr(), nullptr);
        if (count == -1 && PyErr_Occurred()) throw py::error_already_set();
        if (count < 0 || static_cast<std::size_t>(count) > capacity)
            Raise(PyExc_ValueError, "%s() returned %R for a buffer of %zu bytes", read_name_, got.ptr(),
                  capacity);
        return static_cast<long>(count);
    }
    got = read(capacity);
    if (got.is_none()) return -1;
    if (PyUnicode_Check(got.ptr()))
        Raise(PyExc_TypeError, "read() returned %.200s, not bytes: open the file in binary mode ('rb')",
              Py_TYPE(got.ptr())->tp_name);
    HeldBuffer data;
    if (PyObject_GetBuffer(got.ptr(), &data.view, PyBUF_FULL_RO) != 0) {
        PyErr_Clear();
        Raise(PyExc_TypeError, "read() returned %.200s, not a bytes-like object",
              Py_TYPE(got.ptr())->tp_name);
    }
    if (static_cast<std::size_t>(data.view.len) > capacity)
        Raise(PyExc_ValueError, "read(%zu) returned %zd bytes", capacity, data.view.len);
    // Any layout of the bytes, strided or reversed, is read in order.
    if (PyBuffer_ToContiguous(PyByteArray_AS_STRING(staging.ptr()), &data.view, data.view.len, 'C') != 0)
        throw py::error_already_set();
    return static_cast<long>(data.view.len);
}

long Source::CopyFilled(char* buffer, long count) const {
    if (count <= 0) return count;
    // The file object may hold the block and shorten it, or a close may
    // have let it go; neither leaves a block this short to read.
    if (!staging_ || count > PyByteArray_GET_SIZE(staging_.ptr())) return -1;
    std::memcpy(buffer, PyByteArray_AS_STRING(staging_.ptr()), static_cast<std::size_t>(count));
    return count;
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
