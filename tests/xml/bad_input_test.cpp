// SPDX-License-Identifier: MIT
// zelcheck and zelfmt on input they cannot use: a message naming the
// place and status 2, never a crash; and memory that stays with the
// largest record however many records zelreport misses.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>

#include "support/run.h"

namespace {

// Peak memory bounds hold for the plain build: a sanitizer's shadow memory
// and quarantine come on top.
#if defined(__SANITIZE_ADDRESS__)
constexpr long kMemoryBoundScale = 8;
#else
constexpr long kMemoryBoundScale = 1;
#endif

struct Case {
    const char* what;
    std::string command;  // ZELCHECK and ZELFMT name the programs
    std::string input;
    std::string err;
    int status;
};

TEST(Companions, TroubleEndsWithAMessageAndStatus2) {
    const std::string open_record = "<orv-standard-file>\n<zelrecord>\n<ni>1</ni>\n";
    const Case cases[] = {
        {"missing file", "$ZELCHECK missing.xml", "", "zelcheck: missing.xml: No such file or directory\n",
         2},
        {"directory", "$ZELFMT / >/dev/null", "", "zelfmt: /: read error: Is a directory\n", 2},
        {"document never closed", "$ZELCHECK", open_record,
         "<stdin>:4:1: error: not well-formed (no element found)\n", 2},
        {"mismatched tag", "$ZELFMT - >/dev/null", "<orv-standard-file>\n<zelrecord><ni>1</nj>\n",
         "<stdin>:2:19: error: not well-formed (mismatched tag)\n", 2},
        {"output full", "$ZELFMT >/dev/full", zeltest::Sample(),
         "zelfmt: error writing standard output: No space left on device\n", 2},
        {"two documents for zelfmt", "$ZELFMT a b", "",
         "zelfmt: one document at a time, but with --check, --diff or --in-place (see zelfmt --help)\n", 2},
        {"the sample twice, as file and as standard input", "$ZELCHECK \"$OLDPWD/in\" - >/dev/null; echo $?",
         zeltest::Sample(), "", 0},
    };
    for (const Case& c : cases) {
        auto run = zeltest::RunShell(
            "ZELCHECK=" ZELCHECK_BIN " ZELFMT=" ZELFMT_BIN " && cd / && " + c.command, c.input);
        EXPECT_EQ(run.err, c.err) << c.what;
        EXPECT_EQ(c.status ? run.status : std::atoi(run.out.c_str()), c.status) << c.what;
    }
}

// Several files: each is checked; trouble with one outweighs findings in
// another, and findings outweigh warnings.
TEST(Companions, ZelcheckStatusOverSeveralFiles) {
    const std::string clean = "sample_layout_reads_right.xml",
                      warned = "fewer_values_than_ni_nj_nk_warns.xml",
                      found = "space_indented_line_is_skipped.xml";
    const std::pair<std::string, int> cases[] = {
        {clean + " " + warned, 0},
        {clean + " " + found + " " + warned, 1},
        {found + " missing.xml " + clean, 2},
    };
    for (const auto& [files, status] : cases) {
        auto run = zeltest::RunShell("cd " TESTS_DIR "/check && " ZELCHECK_BIN " " + files +
                                     " >/dev/null 2>&1; echo $?");
        EXPECT_EQ(std::atoi(run.out.c_str()), status) << files;
    }
}

// A document on one line, as XML libraries write it: zelreport reports
// none of its 100,000 records, and zelcheck says so for each without
// holding them.
TEST(Companions, MemoryStaysWithTheLargestRecord) {
    std::string document = "<?xml version='1.0'?><orv-standard-file>";
    for (int i = 0; i < 100000; ++i)
        document += "<zelrecord><nomvar>TT</nomvar><ip1>" + std::to_string(i) +
                    "</ip1><datyp>1</datyp><zeldata><values>1.5 2.5 3.5</values></zeldata></zelrecord>";
    document += "</orv-standard-file>\n";
    for (const char* program : {ZELCHECK_BIN, ZELFMT_BIN}) {
        auto run = zeltest::RunShell(
            std::string("/usr/bin/time -f %M -o peak ") + program + " in >/dev/null; echo $?; cat peak",
            document);
        int status = std::atoi(run.out.c_str());
        long peak_kb = std::atol(run.out.substr(run.out.find('\n') + 1).c_str());
        EXPECT_EQ(status, program == std::string(ZELCHECK_BIN) ? 1 : 0) << program;
        EXPECT_LT(peak_kb, 40 * 1024 * kMemoryBoundScale) << program << " on " << document.size() << " bytes";
    }
}

// A text longer than zelreport keeps is named, not held: 50 MB of it in
// well under that much memory.
TEST(Companions, LongTextIsNamedNotHeld) {
    std::string document = "<orv-standard-file>\n<zelrecord>\n<nomvar>" + std::string(50'000'000, 'N') +
                           "</nomvar>\n<zeldata>\n<values>1</values>\n</zeldata>\n</zelrecord>\n"
                           "</orv-standard-file>\n";
    const std::string cause = "a text over 8,192,000 bytes";
    for (const char* program : {ZELCHECK_BIN, ZELFMT_BIN}) {
        // Status, peak memory, then what the program said.
        auto run = zeltest::RunShell(
            std::string("/usr/bin/time -f %M -o peak ") + program + " in >said 2>&1; echo $?; cat peak said",
            document);
        std::size_t second = run.out.find('\n') + 1;
        EXPECT_EQ(std::atoi(run.out.c_str()), program == std::string(ZELCHECK_BIN) ? 1 : 2) << program;
        EXPECT_LT(std::atol(run.out.c_str() + second), 48 * 1024 * kMemoryBoundScale) << program;
        EXPECT_NE(run.out.find(cause), std::string::npos) << program;
        // Both point at the element, not at the place of the cut.
        EXPECT_NE(run.out.find("in:3:1: error: "), std::string::npos) << program << run.out.substr(0, 300);
    }
}

// A host that refuses a second thread: the parse runs on the calling
// thread, and zelreport's reader converts its long runs of values alone,
// with the same findings, output and status. Each values text is about
// 120 KB, well past the length where zelreport hands half of a run to a
// thread of its own; some records have a line zelreport skips.
TEST(Companions, SameOutputWhenTheHostRefusesAThread) {
    constexpr int kRecords = 40, kValues = 20000;
    std::string document = "<orv-standard-file>\n";
    for (int i = 0; i < kRecords; ++i) {
        document += "<zelrecord>\n<nomvar>R" + std::to_string(i) + "</nomvar>\n";
        if (i % 9 == 4) document += "  <ip1>5</ip1>\n";
        document += "<ni>" + std::to_string(kValues) +
                    "</ni>\n<nj>1</nj>\n<nk>1</nk>\n<datyp>1</datyp>\n<zeldata>\n<values>";
        for (int v = 0; v < kValues; ++v) document += std::to_string((v * 37 + i) % 1000) + ".5 ";
        document += "</values>\n</zeldata>\n</zelrecord>\n";
    }
    document += "</orv-standard-file>\n";
    const std::string refuse =
        "ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0 "
        "LD_PRELOAD=" ZELREPORT_REFUSE_THREADS " ";
    for (const char* program : {ZELCHECK_BIN, ZELFMT_BIN}) {
        auto normal = zeltest::RunShell(std::string(program) + " in", document);
        auto alone = zeltest::RunShell(refuse + program + " in", document);
        EXPECT_EQ(alone.out, normal.out) << program;
        EXPECT_EQ(alone.err, normal.err) << program;
        EXPECT_EQ(alone.status, normal.status) << program;
        EXPECT_EQ(normal.status, program == std::string(ZELCHECK_BIN) ? 1 : 0) << normal.err;
    }
}

// A non-blocking standard output that fills up (as a parent's pipe may
// be) is waited on: all of zelfmt's output comes through, status 0.
TEST(Companions, NonBlockingStandardOutputIsWaitedOn) {
    std::string document = "<orv-standard-file>\n";
    for (int i = 0; i < 2000; ++i)
        document += "<zelrecord>\n<zeldata>\n<values>1</values>\n</zeldata>\n</zelrecord>\n";
    document += "</orv-standard-file>\n";
    std::string path = testing::TempDir() + "companions-nonblocking.xml";
    { std::ofstream(path) << document; }
    auto run = zeltest::RunIntoNonBlockingPipe(ZELFMT_BIN, path, "/dev/null", STDOUT_FILENO);
    EXPECT_EQ(run.status, 0);
    EXPECT_GT(run.out.size(), std::size_t{200'000});
    EXPECT_TRUE(run.out.ends_with("</zelrecord>\n</orv-standard-file>\n"));
}

}  // namespace
