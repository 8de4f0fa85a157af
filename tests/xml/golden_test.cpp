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
#include <filesystem>
#include <fstream>
#include <sstream>

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
