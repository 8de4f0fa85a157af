// SPDX-License-Identifier: MIT
// zelfmt: writes a record document's meaning in the layout zelreport
// reads exactly.
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "xml/command_line.h"
#include "xml/format.h"
#include "xml/io.h"
#include "zelreport/version.h"

namespace {

constexpr std::string_view kUsage =
    "Usage: zelfmt [FILE]\n"
    "       zelfmt --help | --version\n"
    "\n"
    "Reads a record document as XML (standard input when FILE is missing or\n"
    "\"-\") and writes its meaning to standard output in the layout zelreport\n"
    "reads exactly: one element per line, integers as plain digits (negative\n"
    "ones as their 32-bit two's complement), datyp before the values, values\n"
    "as written on lines that continue with a blank, and </values>, </zeldata>\n"
    "and </zelrecord> on three lines.\n"
    "\n"
    "Exit status:\n"
    "  0  the document was written\n"
    "  2  it was not: a text zelreport cannot read as written\n"
    "     (FILE:LINE:COL: error: ...), or a document that is not well-formed,\n"
    "     has no meaning or cannot be read (zelfmt: ...); what was written\n"
    "     before is incomplete\n";

constexpr int kTrouble = zelreport::xml::kTroubleStatus;

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    if (std::optional<int> status = zelreport::xml::AnswerOption(argc, argv, "zelfmt", kUsage))
        return *status;
    if (argc > 2) {
        zelreport::xml::Complain("zelfmt: one document at a time (see zelfmt --help)");
        return kTrouble;
    }
    std::string_view argument = argc > 1 ? argv[1] : "-";
    std::string name = zelreport::xml::DocumentName(argument);
    int fd = argument == "-" ? STDIN_FILENO : open(argv[1], O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        zelreport::xml::Complain("zelfmt: " + name + ": " + std::strerror(errno));
        return kTrouble;
    }
    zelreport::xml::Output out(zelreport::xml::WriteToFd(STDOUT_FILENO));
    zelreport::xml::FormatResult result =
        zelreport::xml::FormatDocument(name, zelreport::xml::ReadFromFd(fd), out);
    out.Flush();
    if (out.failed()) {
        zelreport::xml::Complain(std::string("zelfmt: error writing standard output: ") +
                                 std::strerror(out.error()));
        return kTrouble;
    }
    switch (result.outcome) {
        case zelreport::xml::FormatResult::written:
            return 0;
        case zelreport::xml::FormatResult::refused:
            zelreport::xml::Complain(result.message);
            return kTrouble;
        case zelreport::xml::FormatResult::trouble:
            zelreport::xml::Complain("zelfmt: " + result.message);
            return kTrouble;
    }
    return kTrouble;
}
