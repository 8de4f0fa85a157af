// SPDX-License-Identifier: MIT
// zelfmt: writes a record document's meaning in the layout zelreport
// reads exactly.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "xml/common/command_line.h"
#include "xml/format.h"
#include "xml/common/io.h"

namespace {

constexpr std::string_view kUsage =
    "Usage: zelfmt [--] [FILE]\n"
    "       zelfmt -h | --help | --version\n"
    "\n"
    "Reads a record document as XML (standard input when FILE is missing or\n"
    "\"-\") and writes its meaning to standard output in the layout zelreport\n"
    "reads exactly: one element per line, integers as plain digits (negative\n"
    "ones as their 32-bit two's complement), datyp before the values, values\n"
    "as written on lines that continue with a blank, and </values>, </zeldata>\n"
    "and </zelrecord> on three lines. A text that is empty or exactly four\n"
    "spaces, which zelreport does not store, is written as absent, with a\n"
    "warning on standard error (FILE:LINE:COL: warning: ...).\n"
    "\n"
    "Options:\n"
    "  -h, --help  print this help\n"
    "  --version   print the version\n"
    "  --          end of the options: the next argument is the file\n"
    "\n"
    "Exit status:\n"
    "  0  the document was written\n"
    "  2  it was not: a text zelreport cannot read as written, or a document\n"
    "     that is not well-formed or has no meaning (FILE:LINE:COL: error: ...,\n"
    "     with the cause zelcheck names), a file that cannot be read\n"
    "     (zelfmt: FILE: ...), or a usage error; what was written before is\n"
    "     incomplete\n";

constexpr int kTrouble = zelreport::xml::kTroubleStatus;

constexpr zelreport::xml::Program kProgram{"zelfmt", kUsage};

// The program, run by main under RunGuarded.
int Run(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    zelreport::xml::Options options;
    if (std::optional<int> status = zelreport::xml::ParseCommandLine(argc, argv, kProgram, options))
        return *status;
    if (options.files.size() > 1) {
        zelreport::xml::Complain("zelfmt: one document at a time (see zelfmt --help)");
        return kTrouble;
    }
    const std::string& argument = options.files[0];
    std::string name = zelreport::xml::DocumentName(argument);
    int fd = argument == "-" ? STDIN_FILENO : open(argument.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        zelreport::xml::Complain("zelfmt: " + name + ": " + std::strerror(errno));
        return kTrouble;
    }
    zelreport::xml::Output out(zelreport::xml::WriteToFd(STDOUT_FILENO));
    zelreport::xml::Output warnings(zelreport::xml::WriteToFd(STDERR_FILENO));
    zelreport::xml::FormatResult result =
        zelreport::xml::FormatDocument(name, zelreport::xml::ReadFromFd(fd), out, &warnings);
    out.Flush();
    warnings.Flush();
    if (out.failed()) return zelreport::xml::OutputFailed(kProgram.name, out.error());
    if (result.outcome == zelreport::xml::FormatResult::written) return 0;
    zelreport::xml::Complain(result.message);
    return kTrouble;
}

}  // namespace

int main(int argc, char** argv) {
    return zelreport::xml::RunGuarded(kProgram, Run, argc, argv);
}
