// SPDX-License-Identifier: MIT
// Running one document from blocks, a file descriptor, a stream or memory.
#include <cassert>
#include <cerrno>
#include <new>
#include <system_error>

#include "elements/elements.h"
#include "reader/element_names.h"
#include "reader/read_fd.h"
#include "run/document.h"
#include "run/observed_run.h"
#include "run/scanned_run.h"

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

// Reads from `document` in memory, as one block.
void ReadFromMemory(Scanner& in, std::string_view document) {
    in.p = in.block_start = in.floor = document.data();
    in.end = document.data() + document.size();
}

// Makes `run` scan: the values element counted instead of converted, and
// each record handed to `observer` without a report.
void ScanOnly(DocumentRun& run, const ScanObserver& observer) {
    InitConfig(run);
    run.keywords.install(kValuesName.data(), ScanValues);
    run.scan_observer = &observer;
}

// The data type that makes the values element fill the array of `kind`.
std::int32_t DatypFor(DataKind kind) {
    return kind == DataKind::ints ? 2 : 1;
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
        ReadFromMemory(run.ctx.in, document);
        return Run(run);
    } catch (...) {
        return Caught();
    }
}

Result run_reader_scanned(ReadBlock read_block, const Handlers& handlers, const ScanObserver& observer) {
    try {
        DocumentRun run(handlers);
        run.ctx.in.read_block = std::move(read_block);
        ScanOnly(run, observer);
        return Run(run);
    } catch (...) {
        return Caught();
    }
}

Result run_buffer_scanned(std::string_view document, const Handlers& handlers, const ScanObserver& observer) {
    try {
        DocumentRun run(handlers);
        ReadFromMemory(run.ctx.in, document);
        ScanOnly(run, observer);
        return Run(run);
    } catch (...) {
        return Caught();
    }
}

ValuesConverter::ValuesConverter() : ctx_(std::make_unique<Context>(none_)) {}
ValuesConverter::~ValuesConverter() = default;

Result ValuesConverter::Convert(ReadBlock read_block, DataKind kind, RecordValues& values) {
    assert(kind != DataKind::none);
    try {
        Context& ctx = *ctx_;
        Scanner& in = ctx.in;
        // A fresh reading of the new text; the block's memory is kept.
        in.c = 0;
        in.p = in.end = in.floor = in.block_start = nullptr;
        in.block_offset = 0;
        in.read_failed = false;
        in.read_block = std::move(read_block);
        ctx.record.datyp = DatypFor(kind);
        in.AdvanceChar();
        ParseValues(ctx, kValuesName);
        in.read_block = nullptr;
        if (in.read_failed) return {Status::read_error, in.read_errno};
        values = {ctx.record.floatdata.Take(), ctx.record.intdata.Take()};
        return {};
    } catch (...) {
        return Caught();
    }
}

Result convert_values(ReadBlock read_block, DataKind kind, RecordValues& values) {
    try {
        ValuesConverter converter;
        return converter.Convert(std::move(read_block), kind, values);
    } catch (...) {
        return Caught();
    }
}

}  // namespace zelreport
