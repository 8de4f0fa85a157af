// SPDX-License-Identifier: MIT
#include "xml/common/command_line.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include "reader/write_all.h"
#include "zelreport/version.h"

namespace zelreport::xml {

namespace {

// Writes an informational text to standard output.
int Inform(std::string_view program, std::string_view text) {
    if (WriteAll(STDOUT_FILENO, text)) return 0;
    return OutputFailed(program, errno);
}

}  // namespace

std::optional<int> ParseCommandLine(int argc, char** argv, const Program& program, Options& options) {
    bool options_end = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        bool option = !options_end && argument.size() > 1 && argument[0] == '-';
        if (!option) {
            options.files.emplace_back(argument);
        } else if (argument == "--") {
            options_end = true;
        } else if (argument == "-h" || argument == "--help") {
            return Inform(program.name, program.usage);
        } else if (argument == "--version") {
            return Inform(program.name, std::string(program.name) + " " + ZELREPORT_VERSION + "\n");
        } else if (argument == "--all" && program.takes_all) {
            options.all = true;
        } else {
            Complain(std::string(program.name) + ": unknown option '" + std::string(argument) + "' (see " +
                     std::string(program.name) + " --help)");
            return kTroubleStatus;
        }
    }
    if (options.files.empty()) options.files.emplace_back("-");
    return std::nullopt;
}

int RunGuarded(const Program& program, int (*run)(int, char**), int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        Complain(std::string(program.name) + ": out of memory");
        return kTroubleStatus;
    }
}

void Complain(std::string_view line) {
    std::string text(line);
    text += '\n';
    WriteAll(STDERR_FILENO, text);
}

int OutputFailed(std::string_view program, int error) {
    if (error != EPIPE)
        Complain(std::string(program) + ": error writing standard output: " + std::strerror(error));
    return kTroubleStatus;
}

}  // namespace zelreport::xml
