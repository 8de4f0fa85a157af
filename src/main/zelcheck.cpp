// SPDX-License-Identifier: MIT
// zelcheck: says where zelreport reads a record document differently from
// what its XML says, record by record, and why.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "xml/check.h"
#include "xml/common/command_line.h"
#include "xml/common/io.h"

namespace {

constexpr std::string_view kUsage =
    "Usage: zelcheck [--all] [--] [FILE...]\n"
    "       zelcheck -h | --help | --version\n"
    "\n"
    "Reads each record document (standard input when FILE is missing or \"-\")\n"
    "both as XML and as zelreport reads it, and reports where the two differ,\n"
    "in line order, one line each on standard output:\n"
    "  FILE:LINE:COL: error: record N (line L): WHAT; cause: CAUSE; fix: FIX\n"
    "For each cause the first 10 records are shown in full, the others counted\n"
    "in a closing \"FILE: note: N more records with the same cause: ...\" line;\n"
    "a last line sums up: \"FILE: N records: R read as the XML means, M misread\".\n"
    "Where the fix says so, running zelfmt on the document mends the cause.\n"
    "\n"
    "Options:\n"
    "  --all       print every finding, none only counted\n"
    "  -h, --help  print this help\n"
    "  --version   print the version\n"
    "  --          end of the options: every later argument is a file\n"
    "\n"
    "Exit status:\n"
    "  0  zelreport reads every record as the XML says (warnings aside)\n"
    "  1  it does not: see the findings\n"
    "  2  trouble: a document that is not well-formed or has no meaning\n"
    "     (FILE:LINE:COL: error: ... on standard error, after the findings of\n"
    "     the records before it), an unreadable file (zelcheck: FILE: ...), or\n"
    "     an unknown option\n";

enum Status { kClean = 0, kFindings = 1, kTrouble = zelreport::xml::kTroubleStatus };

constexpr zelreport::xml::Program kProgram{"zelcheck", kUsage, true};

// The program, run by main under RunGuarded.
int Run(int argc, char** argv) {
    // A closed reader of the findings is a write error, not a signal.
    std::signal(SIGPIPE, SIG_IGN);
    zelreport::xml::Options options;
    if (std::optional<int> status = zelreport::xml::ParseCommandLine(argc, argv, kProgram, options))
        return *status;

    zelreport::xml::Output findings(zelreport::xml::WriteToFd(STDOUT_FILENO));
    int status = kClean;
    for (const std::string& argument : options.files) {
        std::string name = zelreport::xml::DocumentName(argument);
        int fd = argument == "-" ? STDIN_FILENO : open(argument.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            zelreport::xml::Complain("zelcheck: " + name + ": " + std::strerror(errno));
            status = kTrouble;
            continue;
        }
        zelreport::xml::CheckResult result =
            zelreport::xml::CheckDocument(name, zelreport::xml::ReadFromFd(fd), findings, options.all);
        if (fd != STDIN_FILENO) close(fd);
        if (findings.failed()) return zelreport::xml::OutputFailed(kProgram.name, findings.error());
        if (result.trouble) {
            zelreport::xml::Complain(result.message);
            status = kTrouble;
        } else if (result.errors > 0 && status == kClean) {
            status = kFindings;
        }
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    return zelreport::xml::RunGuarded(kProgram, Run, argc, argv);
}
