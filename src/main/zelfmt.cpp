// SPDX-License-Identifier: MIT
// zelfmt: writes a record document's meaning in the layout zelreport
// reads exactly.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "reader/write_all.h"
#include "xml/common/command_line.h"
#include "xml/common/io.h"
#include "xml/format.h"
#include "xml/format/destination.h"

extern char** environ;

namespace {

constexpr std::string_view kUsage =
    "Usage: zelfmt [-o FILE] [--] [FILE]\n"
    "       zelfmt --in-place | --check | --diff [--] FILE...\n"
    "       zelfmt -h | --help | --version\n"
    "\n"
    "Reads a record document as XML (standard input when FILE is missing or\n"
    "\"-\") and writes its meaning in the layout zelreport reads exactly: one\n"
    "element per line, integers as plain digits (negative ones as their 32-bit\n"
    "two's complement), datyp before the values, values as written on lines\n"
    "that continue with a space, and </values>, </zeldata> and </zelrecord> on\n"
    "three lines. What the meaning does not take (an element it does not know,\n"
    "a field outside a record, a text that is empty or exactly four spaces) is\n"
    "left out with a warning on standard error (FILE:LINE:COL: warning: ...).\n"
    "Nothing is written unless the whole document can be: standard output gets\n"
    "the document once it is known good, a file is replaced only then.\n"
    "\n"
    "Options:\n"
    "  -o, --output=FILE  write to FILE instead of standard output\n"
    "  -i, --in-place     rewrite each FILE itself\n"
    "  --check            write nothing; exit status 1 when a rewrite would\n"
    "                     change a FILE (\"zelfmt: FILE: would be rewritten\")\n"
    "  --diff             write a unified diff of each rewrite instead (with\n"
    "                     --check, exit status 1 when there is one)\n"
    "  -h, --help         print this help\n"
    "  --version          print the version\n"
    "  --                 end of the options: every later argument is a file\n"
    "\n"
    "Exit status:\n"
    "  0  the document was written (--check: no rewrite changes anything)\n"
    "  1  --check: a rewrite would change a document\n"
    "  2  it was not: a text zelreport cannot read as written, or a document\n"
    "     that is not well-formed or has no meaning (FILE:LINE:COL: error: ...,\n"
    "     with the cause zelcheck names), a file that cannot be read\n"
    "     (zelfmt: FILE: ...), output that cannot be written, or a usage error\n";

constexpr int kChanged = 1;
constexpr int kTrouble = zelreport::xml::kTroubleStatus;

constexpr zelreport::xml::Program kProgram{"zelfmt", kUsage, zelreport::xml::kFormatOptions};

using namespace zelreport::xml;

// The usage errors of a combination of options, or none.
std::optional<std::string> Misuse(const Options& options) {
    int modes = options.check + options.in_place + options.output.has_value();
    if (options.diff && (options.in_place || options.output)) return "--diff writes to standard output";
    if (modes > 1) return "choose one of --check, --in-place and -o";
    bool several = options.files.size() > 1;
    bool stdin_given = false;
    for (const std::string& file : options.files) stdin_given = stdin_given || file == "-";
    if (options.in_place && stdin_given) return "--in-place needs files";
    if (several && !options.check && !options.diff && !options.in_place)
        return "one document at a time, but with --check, --diff or --in-place";
    return std::nullopt;
}

// Reads the document whole into a temporary file as it goes by, for
// comparing with the rewrite when it comes from standard input.
ReadFn Tee(ReadFn read, int copy) {
    return [read = std::move(read), copy](char* buffer, std::size_t capacity) -> long {
        long n = read(buffer, capacity);
        if (n > 0 && !zelreport::WriteAll(copy, std::string_view(buffer, static_cast<std::size_t>(n))))
            return -1;
        return n;
    };
}

// Whether the two files hold the same bytes.
bool SameBytes(int a, int b) {
    std::vector<char> x(std::size_t{1} << 18), y(x.size());
    if (lseek(a, 0, SEEK_SET) != 0 || lseek(b, 0, SEEK_SET) != 0) return false;
    for (;;) {
        ssize_t n = read(a, x.data(), x.size());
        if (n < 0) return false;
        ssize_t got = 0;
        while (got < n) {
            ssize_t m = read(b, y.data() + got, static_cast<std::size_t>(n - got));
            if (m <= 0) return false;
            got += m;
        }
        if (std::memcmp(x.data(), y.data(), static_cast<std::size_t>(n)) != 0) return false;
        if (n == 0) return read(b, y.data(), 1) == 0;
    }
}

// Writes a unified diff of `before` into `after` to standard output with
// diff(1): 0 or 1 as it says, kTrouble when it cannot run.
int Diff(const std::string& name, int before, int after) {
    std::string old_path = "/dev/fd/" + std::to_string(before), new_path = "/dev/fd/" + std::to_string(after);
    std::string old_label = "a/" + name, new_label = "b/" + name;
    std::vector<char*> argv;
    std::string diff = "diff", unified = "-u", label = "--label";
    for (std::string* word : {&diff, &unified, &label, &old_label, &label, &new_label, &old_path, &new_path})
        argv.push_back(word->data());
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawnp(&pid, "diff", nullptr, nullptr, argv.data(), environ) != 0) {
        Complain("zelfmt: cannot run diff: " + std::string(std::strerror(errno)));
        return kTrouble;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    int code = WIFEXITED(status) ? WEXITSTATUS(status) : kTrouble;
    if (code > 1) Complain("zelfmt: diff failed on " + name);
    return code > 1 ? kTrouble : code;
}

// A descriptor of the document's bytes as read, for --check and --diff.
int OriginalBytes(const std::string& argument, int tee) {
    if (tee >= 0) return tee;
    return open(argument.c_str(), O_RDONLY);  // handed on to diff
}

// Where the rewrite of `argument` goes.
std::optional<Destination> DestinationOf(const Options& options, const std::string& argument) {
    if (options.in_place) return Destination::File(argument, &argument);
    if (options.output) return Destination::File(*options.output, nullptr);
    if (options.check || options.diff) return Destination::Held();
    return Destination::StandardOutput();
}

// Formats one document to where the options say: 0, kChanged or kTrouble.
int FormatOne(const Options& options, const std::string& argument) {
    std::string name = DocumentName(argument);
    bool compare = options.check || options.diff;
    int fd = argument == "-" ? STDIN_FILENO : open(argument.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        Complain("zelfmt: " + name + ": " + std::strerror(errno));
        return kTrouble;
    }
    // The descriptors given to diff are inherited: not closed on exec.
    int tee = compare && fd == STDIN_FILENO ? OpenTemporary() : -1;
    std::optional<Destination> destination = DestinationOf(options, argument);
    if (!destination || (compare && fd == STDIN_FILENO && tee < 0)) {
        Complain("zelfmt: cannot make a temporary file: " + std::string(std::strerror(errno)));
        if (fd != STDIN_FILENO) close(fd);
        return kTrouble;
    }
    ReadFn read = ReadFromFd(fd);
    if (tee >= 0) read = Tee(std::move(read), tee);
    FormatResult result;
    {
        Output out(destination->sink());
        result = FormatDocument(name, std::move(read), out);
        out.Flush();
        if (fd != STDIN_FILENO) close(fd);
        if (out.failed() && result.outcome == FormatResult::written) {
            destination->Abandon();
            zelreport::WriteAll(STDERR_FILENO, result.warnings);
            return OutputFailed(kProgram.name, out.error());
        }
    }
    if (!result.warnings.empty()) zelreport::WriteAll(STDERR_FILENO, result.warnings);
    if (result.outcome != FormatResult::written) {
        destination->Abandon();
        if (tee >= 0) close(tee);
        Complain(result.message);
        return kTrouble;
    }
    if (!compare) {
        if (destination->Commit()) return 0;
        int error = errno;
        if (options.in_place || options.output) {
            Complain("zelfmt: " + (options.output ? *options.output : name) + ": " + std::strerror(error));
            return kTrouble;
        }
        return OutputFailed(kProgram.name, error);
    }
    int original = OriginalBytes(argument, tee), rewrite = destination->HeldFile();
    int status = kTrouble;
    if (original < 0 || rewrite < 0) {
        Complain("zelfmt: " + name + ": " + std::strerror(errno));
    } else if (options.diff) {
        status = Diff(name, original, rewrite);
        if (status == kChanged && !options.check) status = 0;
    } else {
        status = SameBytes(original, rewrite) ? 0 : kChanged;
        if (status == kChanged) Complain("zelfmt: " + name + ": would be rewritten");
    }
    if (original >= 0) close(original);
    return status;
}

// The program, run by main under RunGuarded.
int Run(int argc, char** argv) {
    Options options;
    if (std::optional<int> status = ParseCommandLine(argc, argv, kProgram, options)) return *status;
    if (std::optional<std::string> misuse = Misuse(options)) {
        Complain("zelfmt: " + *misuse + " (see zelfmt --help)");
        return kTrouble;
    }
    int status = 0;
    for (const std::string& argument : options.files) status = std::max(status, FormatOne(options, argument));
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    return RunGuarded(kProgram, Run, argc, argv);
}
