// SPDX-License-Identifier: MIT
// Running one document from blocks, a file descriptor, a stream or memory.
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <system_error>

#include "run/document.h"
#include "run/observed_run.h"

namespace zelreport {

namespace {

// Waits until a non-blocking descriptor has data, so EAGAIN is no error.
bool WaitReadable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, -1) >= 0 || errno == EINTR;
}

// Reads up to `capacity` bytes from `fd`, going on after a signal and
// waiting while a non-blocking descriptor has nothing: the count, 0 at
// end of input, or -1 with errno set.
long ReadFd(int fd, char* buffer, std::size_t capacity) {
    for (;;) {
        ssize_t n = read(fd, buffer, capacity);
        if (n >= 0) return static_cast<long>(n);
        if (errno == EINTR) continue;
        if ((errno == EAGAIN || errno == EWOULDBLOCK) && WaitReadable(fd)) continue;
        return -1;
    }
}

// The result for the exception being handled.
Result Caught() noexcept {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return {Status::out_of_memory, ENOMEM};
    } catch (const std::system_error& error) {
        return {Status::exception, error.code().value()};
    } catch (...) {
        return {Status::exception, 0};
    }
}

// Runs `step`, turning whatever it throws into a result.
template <typename Step>
Result Guarded(Step step) noexcept {
    try {
        step();
    } catch (...) {
        return Caught();
    }
    return {};
}

// Reads the document, then hands on the whole reports still held, also
// when the reading stopped on an exception.
Result Run(DocumentRun& run) {
    Context& ctx = run.ctx;
    Result read = Guarded([&run] { ParseConfigFile(run); });
    Result flushed = Guarded([&ctx] { ctx.out.Flush(); });
    if (read.status != Status::ok) return read;
    if (flushed.status != Status::ok) return flushed;
    if (ctx.out.failed) return {Status::write_error, 0};
    if (ctx.in.read_failed) return {Status::read_error, ctx.in.read_errno};
    return {};
}

}  // namespace

Result run_reader_observed(ReadBlock read_block, const Handlers& handlers, const RecordObserver* observer) {
    try {
        DocumentRun run(handlers);
        run.ctx.in.read_block = std::move(read_block);
        run.observer = observer;
        return Run(run);
    } catch (...) {
        return Caught();
    }
}

Result run_reader(ReadBlock read_block, const Handlers& handlers) {
    return run_reader_observed(std::move(read_block), handlers, nullptr);
}

Result run_fd(int fd, const Handlers& handlers) {
    return run_reader([fd](char* buffer, std::size_t capacity) { return ReadFd(fd, buffer, capacity); },
                      handlers);
}

Result run_file(std::FILE* file, const Handlers& handlers) {
    return run_reader(
        [file](char* buffer, std::size_t capacity) -> long {
            std::size_t n = std::fread(buffer, 1, capacity, file);
            if (n == 0 && std::ferror(file)) {
                if (errno == 0) errno = EIO;
                return -1;
            }
            return static_cast<long>(n);
        },
        handlers);
}

Result run_buffer(std::string_view document, const Handlers& handlers) {
    try {
        DocumentRun run(handlers);
        Scanner& in = run.ctx.in;
        in.p = in.block_start = in.floor = document.data();
        in.end = document.data() + document.size();
        return Run(run);
    } catch (...) {
        return Caught();
    }
}

}  // namespace zelreport
