// SPDX-License-Identifier: MIT
#include "xml/common/io.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "reader/read_fd.h"
#include "reader/write_all.h"

namespace zelreport::xml {

ReadFn ReadFromFd(int fd) {
    return [fd](char* buffer, std::size_t capacity) { return ReadFd(fd, buffer, capacity); };
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
