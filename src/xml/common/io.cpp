// SPDX-License-Identifier: MIT
#include "xml/common/io.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "reader/write_all.h"

namespace zelreport::xml {

ReadFn ReadFromFd(int fd) {
    return [fd](char* buffer, std::size_t capacity) -> long {
        for (;;) {
            ssize_t n = read(fd, buffer, capacity);
            if (n >= 0) return static_cast<long>(n);
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                // A non-blocking descriptor: wait until it has data.
                pollfd p{fd, POLLIN, 0};
                if (poll(&p, 1, -1) >= 0 || errno == EINTR) continue;
            }
            return -1;
        }
    };
}

ReadFn ReadFromMemory(std::string_view document) {
    return [document, at = std::size_t{0}](char* buffer, std::size_t capacity) mutable -> long {
        std::size_t n = std::min(capacity, document.size() - at);
        std::memcpy(buffer, document.data() + at, n);
        at += n;
        return static_cast<long>(n);
    };
}

bool Output::Flush() {
    if (!failed_ && !buffer_.empty() && !sink_(buffer_)) {
        failed_ = true;
        error_ = errno;
    }
    buffer_.clear();
    return !failed_;
}

Output::Sink WriteToFd(int fd) {
    return [fd](std::string_view text) { return WriteAll(fd, text); };
}

Output::Sink AppendTo(std::string& text) {
    return [&text](std::string_view more) {
        text.append(more);
        return true;
    };
}

std::string DocumentName(std::string_view argument) {
    return std::string(argument == "-" ? kStdinName : argument);
}

}  // namespace zelreport::xml
