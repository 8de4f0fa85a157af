// SPDX-License-Identifier: MIT
#include "xml/common/command_line.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <new>
#include <string>

#include "reader/write_all.h"
#include "zelreport/version.h"

namespace zelreport::xml {

namespace {

int UsageError(const Program& program, std::string_view what) {
    std::string name(program.name);
    Complain(name + ": " + std::string(what) + " (see " + name + " --help)");
    return kTroubleStatus;
}

// The value of "--name=value", or of "--name value" (taking the next
// argument); none when `argument` is another option.
std::optional<std::string_view> ValueOf(std::string_view argument, std::string_view name, int& i, int argc,
                                        char** argv) {
    if (argument.starts_with(name) && argument.size() > name.size() && argument[name.size()] == '=')
        return argument.substr(name.size() + 1);
    if (argument != name || i + 1 >= argc) return std::nullopt;
    return std::string_view(argv[++i]);
}

// Reads one option of zelcheck's: whether it was one, or the status of a
// usage error.
std::optional<std::optional<int>> CheckOption(std::string_view argument, int& i, int argc, char** argv,
                                              const Program& program, Options& options) {
    if (argument == "--all") {
        options.all = true;
    } else if (argument == "--list-rules") {
        options.list_rules = true;
    } else if (argument == "-q" || argument == "--quiet") {
        options.quiet = true;
    } else if (argument == "--werror") {
        options.werror = true;
    } else if (auto format = ValueOf(argument, "--format", i, argc, argv)) {
        if (*format != "text" && *format != "json" && *format != "sarif")
            return UsageError(program,
                              "--format takes text, json or sarif, not '" + std::string(*format) + "'");
        options.format = *format;
    } else if (auto color = ValueOf(argument, "--color", i, argc, argv)) {
        if (*color == "auto")
            options.color = Color::automatic;
        else if (*color == "always")
            options.color = Color::always;
        else if (*color == "never")
            options.color = Color::never;
        else
            return UsageError(program,
                              "--color takes auto, always or never, not '" + std::string(*color) + "'");
    } else {
        return std::nullopt;
    }
    return std::optional<int>{};
}

// Reads one option of zelfmt's, as above.
std::optional<std::optional<int>> FormatOption(std::string_view argument, int& i, int argc, char** argv,
                                               const Program& program, Options& options) {
    if (argument == "--check") {
        options.check = true;
    } else if (argument == "--diff") {
        options.diff = true;
    } else if (argument == "--in-place" || argument == "-i") {
        options.in_place = true;
    } else if (argument == "-o" || argument.starts_with("--output")) {
        std::optional<std::string_view> file = argument == "-o"
                                                   ? ValueOf(argument, "-o", i, argc, argv)
                                                   : ValueOf(argument, "--output", i, argc, argv);
        if (!file || file->empty()) return UsageError(program, std::string(argument) + " takes a file");
        options.output = std::string(*file);
    } else {
        return std::nullopt;
    }
    return std::optional<int>{};
}

}  // namespace

int Inform(std::string_view program, std::string_view text) {
    if (WriteAll(STDOUT_FILENO, text)) return 0;
    return OutputFailed(program, errno);
}

std::optional<int> ParseCommandLine(int argc, char** argv, const Program& program, Options& options) {
    bool options_end = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        bool option = !options_end && argument.size() > 1 && argument[0] == '-';
        if (!option) {
            options.files.emplace_back(argument);
            continue;
        }
        if (argument == "--") {
            options_end = true;
            continue;
        }
        if (argument == "-h" || argument == "--help") return Inform(program.name, program.usage);
        if (argument == "--version")
            return Inform(program.name, std::string(program.name) + " " + ZELREPORT_VERSION + "\n");
        std::optional<std::optional<int>> taken;
        if (program.options & kCheckOptions) taken = CheckOption(argument, i, argc, argv, program, options);
        if (!taken && (program.options & kFormatOptions))
            taken = FormatOption(argument, i, argc, argv, program, options);
        if (!taken) return UsageError(program, "unknown option '" + std::string(argument) + "'");
        if (*taken) return *taken;
    }
    if (options.files.empty()) options.files.emplace_back("-");
    return std::nullopt;
}

int RunGuarded(const Program& program, int (*run)(int, char**), int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
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
