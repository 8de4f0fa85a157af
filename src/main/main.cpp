// zelreport: reads a record document on standard input and writes each
// record's report to standard error.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include "zelreport/zelreport.h"

namespace {

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void Complain(const std::string& message) {
    WriteAll(STDERR_FILENO, message.data(), message.size());
}

}  // namespace

int main() {
    // A closed reader of standard error is a write error, not a signal.
    std::signal(SIGPIPE, SIG_IGN);
    zelreport::Handlers handlers;
    handlers.output = [](std::string_view text) { return WriteAll(STDERR_FILENO, text.data(), text.size()); };
    zelreport::Result result = zelreport::run_fd(STDIN_FILENO, handlers);
    switch (result.status) {
        case zelreport::Status::ok:
            return 0;
        case zelreport::Status::read_error:
            Complain(std::string("zelreport: error reading standard input: ") + std::strerror(result.error) +
                     "\n");
            return 1;
        case zelreport::Status::out_of_memory:
            Complain("zelreport: out of memory\n");
            return 1;
        case zelreport::Status::write_error:
            return 1;
    }
    return 1;
}
