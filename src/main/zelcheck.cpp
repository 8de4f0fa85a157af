// SPDX-License-Identifier: MIT
// zelcheck: says where zelreport reads a record document differently from
// what its XML says, record by record, and why.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "xml/check.h"
#include "xml/common/command_line.h"
#include "xml/common/io.h"
#include "xml/print/form.h"

namespace {

constexpr std::string_view kUsage =
    "Usage: zelcheck [OPTION...] [--] [FILE...]\n"
    "       zelcheck --list-rules | -h | --help | --version\n"
    "\n"
    "Reads each record document (standard input when FILE is missing or \"-\")\n"
    "both as XML and as zelreport reads it, and reports where the two differ,\n"
    "in line order, one line each on standard output:\n"
    "  FILE:LINE:COL: error: record N (line L): WHAT; cause: CAUSE; fix: FIX [RULE]\n"
    "For each cause the first 10 records are shown in full, the others counted\n"
    "in a closing \"FILE: note: N more records with the same cause: ...\" line;\n"
    "a last line sums up: \"FILE: N records: R read as the XML means, M misread\",\n"
    "and a \"total: ...\" line follows several files. Where the fix says so,\n"
    "running zelfmt on the document mends the cause.\n"
    "\n"
    "Options:\n"
    "  --all                 print every finding, none only counted\n"
    "  --format=FORM         text (the default), json (one object a line) or\n"
    "                        sarif (SARIF 2.1.0); json and sarif list every finding\n"
    "  --color=WHEN          auto (the default: on a terminal, unless NO_COLOR is\n"
    "                        set), always or never\n"
    "  -q, --quiet           print the summaries only\n"
    "  --werror              warnings fail too (exit status 1)\n"
    "  --list-rules          print every rule: its name, what it means, its fix\n"
    "  -h, --help            print this help\n"
    "  --version             print the version\n"
    "  --                    end of the options: every later argument is a file\n"
    "\n"
    "Exit status:\n"
    "  0  zelreport reads every record as the XML says (warnings aside)\n"
    "  1  it does not: see the findings (or a warning, with --werror)\n"
    "  2  trouble: a document that is not well-formed or has no meaning\n"
    "     (FILE:LINE:COL: error: ... on standard error, after the findings of\n"
    "     the records before it), an unreadable file (zelcheck: FILE: ...),\n"
    "     output that cannot be written, or a usage error\n";

enum Status { kClean = 0, kFindings = 1, kTrouble = zelreport::xml::kTroubleStatus };

constexpr zelreport::xml::Program kProgram{"zelcheck", kUsage, zelreport::xml::kCheckOptions};

using namespace zelreport::xml;

// Every rule: its name and usual severity, what it means, its fix.
std::string RuleList() {
    std::string list;
    for (Cause cause : Rules()) {
        const CauseText& rule = Describe(cause);
        list += std::string(rule.rule) + (rule.severity == Severity::error ? " (error): " : " (warning): ");
        list += std::string(rule.what) + "\n    fix: " + FixOf(cause) + "\n";
    }
    return list;
}

bool UseColor(Color color) {
    if (color != Color::automatic) return color == Color::always;
    const char* no_color = std::getenv("NO_COLOR");
    return isatty(STDOUT_FILENO) && !(no_color && *no_color);
}

FormKind FormOf(std::string_view name) {
    return name == "json" ? FormKind::json : name == "sarif" ? FormKind::sarif : FormKind::text;
}

void AddUp(Totals& totals, const CheckResult& result) {
    ++totals.files;
    totals.records += result.summary.records;
    totals.misread += result.summary.misread;
    totals.errors += result.summary.errors;
    totals.warnings += result.summary.warnings;
    totals.troubles += result.trouble;
}

// The program, run by main under RunGuarded.
int Run(int argc, char** argv) {
    Options options;
    if (std::optional<int> status = ParseCommandLine(argc, argv, kProgram, options)) return *status;
    if (options.list_rules) return Inform(kProgram.name, RuleList());

    Output out(WriteToFd(STDOUT_FILENO));
    FormKind kind = FormOf(options.format);
    std::unique_ptr<Form> form = MakeForm(kind, out, kind == FormKind::text && UseColor(options.color));
    PrintOptions print{.cap = kind == FormKind::text && !options.all, .quiet = options.quiet};
    int status = kClean;
    Totals totals;
    for (const std::string& argument : options.files) {
        std::string name = DocumentName(argument);
        int fd = argument == "-" ? STDIN_FILENO : open(argument.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            Complain("zelcheck: " + name + ": " + std::strerror(errno));
            status = kTrouble;
            ++totals.troubles;
            continue;
        }
        CheckResult result = CheckDocument(name, ReadFromFd(fd), *form, print);
        if (fd != STDIN_FILENO) close(fd);
        out.Flush();
        if (out.failed()) return OutputFailed(kProgram.name, out.error());
        AddUp(totals, result);
        if (result.trouble) {
            Complain(result.message);
            status = kTrouble;
        } else if (status == kClean &&
                   (result.summary.errors > 0 || (options.werror && result.summary.warnings > 0))) {
            status = kFindings;
        }
    }
    if (options.files.size() > 1) form->OnTotal(totals);
    form->Finish();
    if (out.failed()) return OutputFailed(kProgram.name, out.error());
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    return RunGuarded(kProgram, Run, argc, argv);
}
