// Running one document from a file descriptor, a stream or memory.
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <new>

#include "reader/context.h"

namespace zelreport {

bool Context::Flush() {
    if (write_failed) return false;
    if (!out.empty() && handlers->output && !handlers->output(out)) write_failed = true;
    out.clear();
    return !write_failed;
}

namespace {

// Waits until a non-blocking descriptor has data, so EAGAIN is no error.
bool WaitReadable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, -1) >= 0 || errno == EINTR;
}

Result Run(Context& ctx, const Handlers& handlers) {
    ctx.handlers = &handlers;
    Result result;
    try {
        ParseConfigFile(ctx);
    } catch (const std::bad_alloc&) {
        ctx.Flush();
        return {Status::out_of_memory, ENOMEM};
    }
    ctx.Flush();
    if (ctx.write_failed) return {Status::write_error, 0};
    if (ctx.in.read_failed) return {Status::read_error, ctx.in.read_errno};
    return result;
}

}  // namespace

Result run_fd(int fd, const Handlers& handlers) {
    Context ctx;
    ctx.in.read_block = [fd](char* buffer, std::size_t capacity) -> long {
        for (;;) {
            ssize_t n = read(fd, buffer, capacity);
            if (n >= 0) return static_cast<long>(n);
            if (errno == EINTR) continue;
            if ((errno == EAGAIN || errno == EWOULDBLOCK) && WaitReadable(fd)) continue;
            return -1;
        }
    };
    return Run(ctx, handlers);
}

Result run_file(std::FILE* file, const Handlers& handlers) {
    Context ctx;
    ctx.in.read_block = [file](char* buffer, std::size_t capacity) -> long {
        std::size_t n = std::fread(buffer, 1, capacity, file);
        if (n == 0 && std::ferror(file)) {
            if (errno == 0) errno = EIO;
            return -1;
        }
        return static_cast<long>(n);
    };
    return Run(ctx, handlers);
}

Result run_buffer(std::string_view document, const Handlers& handlers) {
    Context ctx;
    ctx.in.p = document.data();
    ctx.in.end = document.data() + document.size();
    return Run(ctx, handlers);
}

}  // namespace zelreport
