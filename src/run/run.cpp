// SPDX-License-Identifier: MIT
// Running one document from blocks, a file descriptor, a stream or memory.
#include <cerrno>
#include <new>
#include <system_error>

#include "reader/read_fd.h"
#include "run/document.h"
#include "run/observed_run.h"

namespace zelreport {

namespace {

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
