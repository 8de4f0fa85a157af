// SPDX-License-Identifier: MIT
// zelcheck and zelfmt run on golden documents, one directory per theme:
//   check/NAME.xml    zelcheck prints NAME.out (status 1 with an error in it, else 0),
//                     or NAME.out then the trouble NAME.err (status 2)
//   refuse/NAME.xml   zelfmt refuses with NAME.err, status 2
//   trouble/NAME.xml  both stop with NAME.err, status 2, zelcheck after the
//                     findings NAME.out (if any)
//   format/NAME.xml   zelfmt writes NAME.out and the warnings NAME.err (if any), status 0
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#include "zelreport/version.h"

namespace {

namespace fs = std::filesystem;

// The file's text; empty when there is none.
std::string Read(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

struct Ran {
    std::string out, err;
    int status;
};

// Runs a shell command in `dir`, its output caught in files of its own.
Ran Shell(const fs::path& dir, const std::string& command) {
    fs::path out = fs::path(testing::TempDir()) / ("xml_golden_" + std::to_string(getpid()));
    fs::path err = out.string() + ".err";
    std::string line =
        "cd '" + dir.string() + "' && " + command + " >'" + out.string() + "' 2>'" + err.string() + "'";
    int raw = std::system(line.c_str());
    return {Read(out), Read(err), WIFEXITED(raw) ? WEXITSTATUS(raw) : -1};
}

std::vector<fs::path> Documents() {
    std::vector<fs::path> documents;
    for (const char* theme : {"check", "refuse", "trouble", "format"})
        for (const auto& entry : fs::directory_iterator(fs::path(TESTS_DIR) / theme))
            if (entry.path().extension() == ".xml") documents.push_back(entry.path());
    std::sort(documents.begin(), documents.end());
    return documents;
}

class Golden : public testing::TestWithParam<fs::path> {};

TEST_P(Golden, MatchesItsExpectation) {
    const fs::path& xml = GetParam();
    fs::path dir = xml.parent_path(), base = dir / xml.stem();
    std::string theme = dir.filename(), name = xml.filename();
    if (theme == "check") {
        std::string expected = Read(base.string() + ".out"), trouble = Read(base.string() + ".err");
        Ran ran = Shell(dir, ZELCHECK_BIN " " + name);
        EXPECT_EQ(ran.out, expected);
        EXPECT_EQ(ran.err, trouble);
        EXPECT_EQ(ran.status, !trouble.empty() ? 2 : expected.find(": error: ") != std::string::npos ? 1 : 0);
    } else if (theme == "format") {
        Ran ran = Shell(dir, ZELFMT_BIN " " + name);
        EXPECT_EQ(ran.out, Read(base.string() + ".out"));
        EXPECT_EQ(ran.err, Read(base.string() + ".err"));
        EXPECT_EQ(ran.status, 0);
        // zelcheck finds nothing in what zelfmt writes.
        Ran check = Shell(dir, ZELFMT_BIN " " + name + " | " ZELCHECK_BIN);
        EXPECT_EQ(check.out.find(": error: "), std::string::npos) << check.out;
    } else {
        std::string expected = Read(base.string() + ".err");
        if (theme == "trouble") {
            Ran ran = Shell(dir, ZELCHECK_BIN " " + name);
            EXPECT_EQ(ran.err, expected);
            EXPECT_EQ(ran.out, Read(base.string() + ".out"));
            EXPECT_EQ(ran.status, 2);
        }
        // zelfmt's warnings may come first; it writes nothing.
        Ran ran = Shell(dir, ZELFMT_BIN " " + name);
        EXPECT_TRUE(ran.err.ends_with(expected)) << ran.err;
        EXPECT_EQ(ran.out, "");
        EXPECT_EQ(ran.status, 2);
        // What zelfmt refuses, zelcheck names with the same words.
        std::size_t cause = expected.find("; cause: ");
        if (theme == "refuse") {
            ASSERT_NE(cause, std::string::npos);
            std::string words = expected.substr(cause, expected.size() - cause - 1);
            EXPECT_NE(Shell(dir, ZELCHECK_BIN " " + name).out.find(words), std::string::npos) << words;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Documents, Golden, testing::ValuesIn(Documents()), [](const auto& info) {
    std::string name = info.param.parent_path().filename().string() + "_" + info.param.stem().string();
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !isalnum(c); }, '_');
    return name;
});

// The check corpus in the machine forms: every finding, and the same
// findings as the text goldens.
TEST(Forms, JsonAndSarifOfTheCheckCorpus) {
    fs::path check = fs::path(TESTS_DIR) / "check", forms = fs::path(TESTS_DIR) / "forms";
    for (const char* form : {"json", "sarif"}) {
        Ran ran = Shell(check, std::string(ZELCHECK_BIN " --format=") + form + " *.xml");
        EXPECT_EQ(ran.out, Read(forms / (std::string("check_corpus.") +
                                         (form == std::string("json") ? "jsonl" : "sarif"))))
            << form;
        EXPECT_EQ(ran.status, 2) << form;  // one document of the corpus is cut short
    }
}

// "--list-rules" as "NAME (SEVERITY): WHAT\n    fix: FIX" lines, and the
// man page's RULES section (".B NAME", "SEVERITY: WHAT", ".br", "FIX"),
// unescaped, each as NAME|SEVERITY: WHAT|fix: FIX entries.
std::vector<std::string> ListedRules(const std::string& list) {
    std::vector<std::string> rules;
    std::istringstream lines(list);
    for (std::string line, fix; std::getline(lines, line) && std::getline(lines, fix);) {
        std::size_t paren = line.find(" (");
        rules.push_back(line.substr(0, paren) + "|" + line.substr(paren + 2, line.find(')') - paren - 2) +
                        line.substr(line.find(')') + 1) + "|" + fix.substr(fix.find_first_not_of(' ')));
    }
    return rules;
}
std::vector<std::string> ManPageRules(const std::string& page) {
    std::string text = page.substr(page.find(".SH RULES"));
    text = text.substr(0, text.find(".SH ", 1));
    for (auto [from, to] : {std::pair{"\\-", "-"}, {"\\(aq", "'"}, {"\\(dq", "\""}, {"\\e", "\\"}})
        for (std::size_t at; (at = text.find(from)) != std::string::npos;)
            text.replace(at, std::strlen(from), to);
    std::vector<std::string> rules;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line != ".TP") continue;
        std::string name, what, br, fix;
        std::getline(lines, name);
        std::getline(lines, what);
        std::getline(lines, br);
        std::getline(lines, fix);
        rules.push_back(name.substr(3) + "|" + what + "|" + fix);
    }
    return rules;
}

TEST(Rules, TheManPageListsEveryRuleAndEachHasAGolden) {
    std::string list = Shell(TESTS_DIR, ZELCHECK_BIN " --list-rules").out;
    std::vector<std::string> rules = ListedRules(list);
    EXPECT_EQ(ManPageRules(Read(fs::path(MAN_DIR) / "zelcheck.1")), rules);
    std::string goldens = Shell(TESTS_DIR, "cat check/*.out refuse/*.err format/*.err trouble/*.out").out;
    for (const std::string& rule : rules) {
        std::string name = rule.substr(0, rule.find('|'));
        // A text over 8,192,000 bytes has a test of its own; the fallback
        // is what no known layout reaches.
        if (name == "long-text" || name == "other-layout") continue;
        EXPECT_NE(goldens.find("[" + name + "]"), std::string::npos) << name;
    }
}

TEST(CommandLine, OptionsStandardInputAndSeveralFiles) {
    fs::path check = fs::path(TESTS_DIR) / "check";
    EXPECT_EQ(Shell(check, ZELCHECK_BIN " --version").out, "zelcheck " ZELREPORT_VERSION "\n");
    EXPECT_EQ(Shell(check, ZELFMT_BIN " --version").out, "zelfmt " ZELREPORT_VERSION "\n");
    for (const char* program : {ZELCHECK_BIN " -h", ZELCHECK_BIN " --help", ZELFMT_BIN " -h"}) {
        Ran help = Shell(check, program);
        EXPECT_EQ(help.status, 0);
        EXPECT_TRUE(help.out.starts_with("Usage: ")) << help.out;
    }
    // Unknown options are usage errors; after "--" everything is a file.
    const std::pair<std::string, std::string> usage[] = {
        {ZELCHECK_BIN " -x", "zelcheck: unknown option '-x' (see zelcheck --help)\n"},
        {ZELFMT_BIN " --all", "zelfmt: unknown option '--all' (see zelfmt --help)\n"},
        {ZELCHECK_BIN " -- -h", "zelcheck: -h: No such file or directory\n"},
    };
    for (const auto& [command, err] : usage) {
        Ran ran = Shell(check, command);
        EXPECT_EQ(ran.err, err) << command;
        EXPECT_EQ(ran.status, 2) << command;
    }
    // Colour, quiet, --werror and the forms' names.
    const std::pair<std::string, std::string> printed[] = {
        {ZELCHECK_BIN " --color=always gt_in_a_text_ends_it.xml | head -c 60",
         "\033[1mgt_in_a_text_ends_it.xml:5:1:\033[0m \033[1;31merror:\033[0m reco"},
        {"NO_COLOR=1 " ZELCHECK_BIN " -q gt_in_a_text_ends_it.xml",
         "gt_in_a_text_ends_it.xml: 1 record: 0 read as the XML means, 1 misread\n"},
        {ZELCHECK_BIN " fewer_values_than_ni_nj_nk_warns.xml >/dev/null; echo $?", "0\n"},
        {ZELCHECK_BIN " --werror fewer_values_than_ni_nj_nk_warns.xml >/dev/null; echo $?", "1\n"},
        {"(" ZELCHECK_BIN " --format=xml 2>&1; echo $?)",
         "zelcheck: --format takes text, json or sarif, not 'xml' (see zelcheck --help)\n2\n"},
    };
    for (const auto& [command, out] : printed) EXPECT_EQ(Shell(check, command).out, out) << command;
    // Standard input goes by "<stdin>"; every file is checked, and trouble
    // with one of them makes the status 2.
    Ran stdin_run = Shell(check, ZELCHECK_BIN " - < gt_in_a_text_ends_it.xml");
    EXPECT_TRUE(stdin_run.out.starts_with("<stdin>:5:1: error: ")) << stdin_run.out;
    Ran several =
        Shell(check, ZELCHECK_BIN " sample_layout_reads_right.xml missing.xml gt_in_a_text_ends_it.xml");
    EXPECT_EQ(several.out, Read(check / "gt_in_a_text_ends_it.out") +
                               "total: 2 files, 3 records: 2 read as the XML means, 1 misread; 1 error, 0 "
                               "warnings, 1 files not checked to their end\n");
    EXPECT_EQ(several.err, "zelcheck: missing.xml: No such file or directory\n");
    EXPECT_EQ(several.status, 2);
    // A reader that goes away ends the program without a message.
    Ran closed = Shell(
        check,
        "(echo '<orv-standard-file>'; for i in $(seq 3000); do echo "
        "'<zelrecord><nomvar>T</nomvar></zelrecord>'; done; echo '</orv-standard-file>') | " ZELCHECK_BIN
        " --all | head -1");
    EXPECT_EQ(closed.err, "");
    EXPECT_TRUE(closed.out.starts_with("<stdin>:2:30: error: record 1 (line 2): ")) << closed.out;
}

}  // namespace
