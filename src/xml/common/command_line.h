// SPDX-License-Identifier: MIT
// What zelcheck and zelfmt share on their command line: the options, the
// files, and lines on standard error.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelreport::xml {

// Exit status when standard output or a document cannot be used, and for
// a usage error.
constexpr int kTroubleStatus = 2;

// The options a program takes beyond -h, --help, --version and "--".
enum OptionSet : std::uint32_t {
    kCheckOptions = 1,   // --all, --format, --list-rules, --color, -q, --werror
    kFormatOptions = 2,  // --check, --diff, -o, --in-place
};

struct Program {
    std::string_view name;
    std::string_view usage;
    std::uint32_t options = 0;
};

enum class Color : std::uint8_t { automatic, always, never };

struct Options {
    std::vector<std::string> files;  // "-" for standard input; never empty
    // zelcheck
    bool all = false;
    std::string format = "text";
    bool list_rules = false;
    Color color = Color::automatic;
    bool quiet = false;
    bool werror = false;
    // zelfmt
    bool check = false;
    bool diff = false;
    std::optional<std::string> output;  // -o
    bool in_place = false;
};

// Reads the options and the files. Returns the exit status when the
// program is done: the help or version written (0), an unknown option or
// a value it does not take (a message and kTroubleStatus).
std::optional<int> ParseCommandLine(int argc, char** argv, const Program& program, Options& options);

// Runs the program `run`: memory running out anywhere in it is trouble
// ("PROGRAM: out of memory", kTroubleStatus), never an abort. A write past
// the file-size limit fails as a write (EFBIG) instead of ending the
// program, and a reader that goes away (EPIPE) likewise.
int RunGuarded(const Program& program, int (*run)(int, char**), int argc, char** argv);

// Writes `line` and a line feed to standard error.
void Complain(std::string_view line);

// Says that standard output could not be written, with errno `error`, and
// returns kTroubleStatus; a reader that went away (EPIPE) gets no message.
int OutputFailed(std::string_view program, int error);

// Writes an informational text to standard output: 0, or the status of a
// failed write.
int Inform(std::string_view program, std::string_view text);

}  // namespace zelreport::xml
