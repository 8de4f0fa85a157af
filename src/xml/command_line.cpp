// SPDX-License-Identifier: MIT
#include "xml/command_line.h"

#include <unistd.h>

#include <cstring>
#include <string>

#include "xml/io.h"
#include "zelreport/version.h"

namespace zelreport::xml {

void Complain(std::string_view line) {
    std::string text(line);
    text += '\n';
    WriteToFd(STDERR_FILENO)(text);
}

std::optional<int> AnswerOption(int argc, char** argv, std::string_view program, std::string_view usage) {
    if (argc < 2) return std::nullopt;
    std::string_view option = argv[1];
    if (option != "--help" && option != "--version") return std::nullopt;
    Output out(WriteToFd(STDOUT_FILENO));
    out.Write(option == "--help" ? std::string(usage)
                                 : std::string(program) + " " + ZELREPORT_VERSION + "\n");
    if (out.Flush()) return 0;
    Complain(std::string(program) + ": error writing standard output: " + std::strerror(out.error()));
    return kTroubleStatus;
}

}  // namespace zelreport::xml
