// SPDX-License-Identifier: MIT
// zelreport: reads a record document on standard input and writes each
// record's report to standard error.
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <string_view>

#include "zelreport/version.h"
#include "zelreport/zelreport.h"

namespace {

constexpr std::string_view kUsage =
    "Usage: zelreport < DOCUMENT\n"
    "       zelreport --help | --version\n"
    "\n"
    "Reads a record document (an orv-standard-file of zelrecord elements,\n"
    "one element per line) from standard input and writes, for every record,\n"
    "the report of its arguments to standard error, with the minimum, maximum\n"
    "and average of single-precision data. Nothing is written to standard\n"
    "output. Other arguments are ignored.\n"
    "\n"
    "Exit status:\n"
    "  0  the document was read to its end\n"
    "  1  standard input could not be read, standard error could not be\n"
    "     written, or memory ran out (a \"zelreport: ...\" message says which)\n"
    "\n"
    "Example:\n"
    "  zelreport < sample.xml 2> report.txt\n"
    "\n"
    "See zelreport(1).\n";

// Writes everything, waiting whenever a non-blocking descriptor is full.
bool WriteAll(int fd, const char* data, std::size_t size) {
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

void Complain(const std::string& message) {
    WriteAll(STDERR_FILENO, message.data(), message.size());
}

// Writes an informational text to standard output: status 0, or 1 when
// it cannot be written (as for `zelreport --help > /dev/full`).
int Inform(std::string_view text) {
    if (WriteAll(STDOUT_FILENO, text.data(), text.size())) return 0;
    Complain(std::string("zelreport: error writing standard output: ") + std::strerror(errno) + "\n");
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    // A closed reader of standard error, or a file past its size limit, is
    // a write error, not a signal.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    // Only an exact first argument is an option; everything else is ignored,
    // as it always has been, so existing scripts keep working.
    if (argc > 1 && std::string_view(argv[1]) == "--help") return Inform(kUsage);
    if (argc > 1 && std::string_view(argv[1]) == "--version")
        return Inform(std::string("zelreport ") + ZELREPORT_VERSION + "\n");

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
        case zelreport::Status::exception:
            Complain(std::string("zelreport: stopped by an unexpected error") +
                     (result.error ? std::string(": ") + std::strerror(result.error) : std::string()) + "\n");
            return 1;
    }
    return 1;
}
