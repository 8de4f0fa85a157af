// SPDX-License-Identifier: MIT
// What zelcheck and zelfmt share on their command line: the options, the
// files, and lines on standard error.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelreport::xml {

// Exit status when standard output or a document cannot be used, and for
// a usage error.
constexpr int kTroubleStatus = 2;

struct Program {
    std::string_view name;
    std::string_view usage;
    bool takes_all = false;  // --all
};

struct Options {
    bool all = false;
    std::vector<std::string> files;  // "-" for standard input; never empty
};

// Reads -h/--help, --version, --all (where the program takes it), "--"
// (the end of the options) and the files. Returns the exit status when
// the program is done: the help or version written (0), an unknown option
// (a message and kTroubleStatus).
std::optional<int> ParseCommandLine(int argc, char** argv, const Program& program, Options& options);

// Runs the program `run`: memory running out anywhere in it is trouble
// ("PROGRAM: out of memory", kTroubleStatus), never an abort.
int RunGuarded(const Program& program, int (*run)(int, char**), int argc, char** argv);

// Writes `line` and a line feed to standard error.
void Complain(std::string_view line);

// Says that standard output could not be written, with errno `error`, and
// returns kTroubleStatus; a reader that went away (EPIPE) gets no message.
int OutputFailed(std::string_view program, int error);

}  // namespace zelreport::xml
