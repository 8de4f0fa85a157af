// SPDX-License-Identifier: MIT
// zelcheck: says where zelreport reads a record document differently from
// what its XML says, record by record, and why.
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "xml/check.h"
#include "xml/command_line.h"
#include "xml/io.h"
#include "zelreport/version.h"

namespace {

constexpr std::string_view kUsage =
    "Usage: zelcheck [FILE...]\n"
    "       zelcheck --help | --version\n"
    "\n"
    "Reads each record document (standard input when FILE is missing or \"-\")\n"
    "both as XML and as zelreport reads it, and reports every record where the\n"
    "two differ, one line each on standard output:\n"
    "  FILE:LINE:COL: error: WHAT; cause: LAYOUT CAUSE; fix: FIX\n"
    "Most fixes come down to running zelfmt on the document.\n"
    "\n"
    "Exit status:\n"
    "  0  zelreport reads every record as the XML says (warnings aside)\n"
    "  1  it does not: see the findings\n"
    "  2  trouble: a document that is not well-formed or has no meaning, an\n"
    "     unreadable file (a \"zelcheck: ...\" message says which)\n";

enum Status { kClean = 0, kFindings = 1, kTrouble = zelreport::xml::kTroubleStatus };

}  // namespace

int main(int argc, char** argv) {
    // A closed reader of the findings is a write error, not a signal.
    std::signal(SIGPIPE, SIG_IGN);
    if (std::optional<int> status = zelreport::xml::AnswerOption(argc, argv, "zelcheck", kUsage))
        return *status;

    zelreport::xml::Output findings(zelreport::xml::WriteToFd(STDOUT_FILENO));
    int status = kClean;
    for (int i = 1; i == 1 || i < argc; ++i) {
        std::string_view argument = i < argc ? argv[i] : "-";
        std::string name = zelreport::xml::DocumentName(argument);
        int fd = argument == "-" ? STDIN_FILENO : open(argv[i], O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            zelreport::xml::Complain("zelcheck: " + name + ": " + std::strerror(errno));
            status = kTrouble;
            continue;
        }
        zelreport::xml::CheckResult result =
            zelreport::xml::CheckDocument(name, zelreport::xml::ReadFromFd(fd), findings);
        if (fd != STDIN_FILENO) close(fd);
        if (findings.failed()) {
            zelreport::xml::Complain(std::string("zelcheck: error writing standard output: ") +
                                     std::strerror(findings.error()));
            return kTrouble;
        }
        if (result.trouble) {
            zelreport::xml::Complain("zelcheck: " + result.message);
            status = kTrouble;
        } else if (result.errors > 0 && status == kClean) {
            status = kFindings;
        }
    }
    return status;
}
