// SPDX-License-Identifier: MIT
#include "reader/read_fd.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace zelreport {

namespace {

// Waits at most `timeout` milliseconds (-1: no limit) for `fd` to have
// input, an error or a hang-up to read: 1 when it has, 0 when the time
// passed or a signal came first, -1 when poll failed.
int WaitForInput(int fd, int timeout) {
    pollfd ready{fd, POLLIN, 0};
    int polled = poll(&ready, 1, timeout);
    return polled < 0 && errno == EINTR ? 0 : polled;
}

}  // namespace

long ReadFd(int fd, char* buffer, std::size_t capacity, const KeepReading& keep_going) {
    for (;;) {
        if (keep_going) {
            if (!keep_going()) {
                errno = ECANCELED;
                return -1;
            }
            // Only a descriptor with input is read, so that no read blocks
            // past the next question; a failed poll is left to the read to
            // report.
            if (WaitForInput(fd, kReadWakeMilliseconds) == 0) continue;
        }
        ssize_t n = read(fd, buffer, capacity);
        if (n >= 0) return static_cast<long>(n);
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return -1;
        // A non-blocking descriptor without input: with a caller to ask,
        // the poll above waits a while at a time.
        if (!keep_going && WaitForInput(fd, -1) < 0) return -1;
    }
}

}  // namespace zelreport
