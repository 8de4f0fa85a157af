// SPDX-License-Identifier: MIT
#include "reader/read_fd.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace zelreport {

namespace {

// Waits until `fd` has input, an error or a hang-up, at most `timeout`
// milliseconds (-1: no limit). False on a failure other than a signal.
bool WaitForInput(int fd, int timeout) {
    pollfd ready{fd, POLLIN, 0};
    return poll(&ready, 1, timeout) >= 0 || errno == EINTR;
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
            pollfd ready{fd, POLLIN, 0};
            int polled = poll(&ready, 1, kReadWakeMilliseconds);
            if (polled == 0 || (polled < 0 && errno == EINTR)) continue;
        }
        ssize_t n = read(fd, buffer, capacity);
        if (n >= 0) return static_cast<long>(n);
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return -1;
        // A non-blocking descriptor without input: with a caller to ask,
        // the poll above waits a while at a time.
        if (!keep_going && !WaitForInput(fd, -1)) return -1;
    }
}

}  // namespace zelreport
