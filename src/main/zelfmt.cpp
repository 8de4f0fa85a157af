// SPDX-License-Identifier: MIT
// zelfmt: writes a record document's meaning in the layout zelreport
// reads exactly.
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <string>
#include <string_view>

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

constexpr int kTrouble = 2;

void Complain(const std::string& message) {
    std::string line = message + "\n";
    zelreport::xml::WriteToFd(STDERR_FILENO)(line);
}

int Inform(std::string_view text) {
    zelreport::xml::Output out(zelreport::xml::WriteToFd(STDOUT_FILENO));
    out.Write(text);
    if (out.Flush()) return 0;
    Complain(std::string("zelfmt: error writing standard output: ") + std::strerror(out.error()));
    return kTrouble;
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    if (argc > 1 && std::string_view(argv[1]) == "--help") return Inform(kUsage);
    if (argc > 1 && std::string_view(argv[1]) == "--version")
        return Inform(std::string("zelfmt ") + ZELREPORT_VERSION + "\n");
    if (argc > 2) {
        Complain("zelfmt: one document at a time (see zelfmt --help)");
        return kTrouble;
    }
    std::string_view argument = argc > 1 ? argv[1] : "-";
    std::string name = zelreport::xml::DocumentName(argument);
    int fd = argument == "-" ? STDIN_FILENO : open(argv[1], O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        Complain("zelfmt: " + name + ": " + std::strerror(errno));
        return kTrouble;
    }
    zelreport::xml::Output out(zelreport::xml::WriteToFd(STDOUT_FILENO));
    zelreport::xml::FormatResult result =
        zelreport::xml::FormatDocument(name, zelreport::xml::ReadFromFd(fd), out);
    out.Flush();
    if (out.failed()) {
        Complain(std::string("zelfmt: error writing standard output: ") + std::strerror(out.error()));
        return kTrouble;
    }
    switch (result.outcome) {
        case zelreport::xml::FormatResult::written:
            return 0;
        case zelreport::xml::FormatResult::refused:
            Complain(result.message);
            return kTrouble;
        case zelreport::xml::FormatResult::trouble:
            Complain("zelfmt: " + result.message);
            return kTrouble;
    }
    return kTrouble;
}
