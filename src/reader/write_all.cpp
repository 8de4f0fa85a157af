// SPDX-License-Identifier: MIT
#include "reader/write_all.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace zelreport {

bool WriteAll(int fd, std::string_view text) {
    const char* data = text.data();
    std::size_t size = text.size();
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            pollfd ready{fd, POLLOUT, 0};
            if ((errno == EAGAIN || errno == EWOULDBLOCK) && (poll(&ready, 1, -1) >= 0 || errno == EINTR))
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace zelreport
