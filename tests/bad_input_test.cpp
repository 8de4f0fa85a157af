// SPDX-License-Identifier: MIT
// Bad input end to end: empty, binary and truncated documents, unreadable
// standard input, unwritable standard error and too little memory. Each
// case ends with a defined status and message, and the reports of the
// records before the trouble are written in full.
#include "bad_input.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "support/run.h"

namespace {

using badinput::kFirstReport;
using badinput::kSecondReport;
using zeltest::RunProgram;
using zeltest::RunShell;

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

TEST(BadInput, EmptyInput) {
    auto run = RunProgram("");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, "");
}

// NUL bytes make names that are empty for every test, so nothing matches.
TEST(BadInput, OnlyNulBytes) {
    auto run = RunProgram(std::string(1 << 20, '\0'));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, "");
}

TEST(BadInput, RandomBinaryAfterARecord) {
    for (unsigned seed = 0; seed < 16; ++seed) {
        std::mt19937 rng(seed);
        std::string garbage(64 * 1024, '\0');
        for (char& byte : garbage) byte = static_cast<char>(rng());
        auto alone = RunProgram(garbage);
        EXPECT_EQ(alone.status, 0) << "seed " << seed;
        auto run = RunProgram(badinput::FirstRecord() + garbage);
        EXPECT_EQ(run.status, 0) << "seed " << seed;
        EXPECT_TRUE(StartsWith(run.err, kFirstReport)) << "seed " << seed;
        EXPECT_EQ(run.out, "");
    }
}

// True when `text` is nothing but empty-name diagnostics, which a cut
// right after a "<" or "</" gives while a keyword's entry is current.
bool OnlyEmptyNameMessages(std::string text) {
    const std::string message = "ParseConfigFile(), found name is empty \n";
    while (StartsWith(text, message)) text.erase(0, message.size());
    return text.empty();
}

// Cut at every byte: a record is reported once its closing tag's name is
// complete and never before, no report is written in part, and the
// program always ends with status 0.
TEST(BadInput, SampleTruncatedAtEveryOffset) {
    const std::string sample = badinput::Sample();
    const std::size_t first_end = sample.find("</zelrecord>") + std::string("</zelrecord").size();
    const std::size_t second_end = sample.rfind("</zelrecord>") + std::string("</zelrecord").size();
    for (std::size_t cut = 0; cut <= sample.size(); ++cut) {
        auto run = RunProgram(sample.substr(0, cut));
        ASSERT_EQ(run.status, 0) << "cut at " << cut;
        std::string reports = cut < first_end    ? ""
                              : cut < second_end ? kFirstReport
                                                 : kFirstReport + kSecondReport;
        ASSERT_TRUE(StartsWith(run.err, reports)) << "cut at " << cut;
        EXPECT_TRUE(OnlyEmptyNameMessages(run.err.substr(reports.size())))
            << "cut at " << cut << ": " << run.err.substr(reports.size());
    }
}

TEST(BadInput, StandardInputUnreadable) {
    struct Case {
        const char* redirect;
        const char* reason;
    } cases[] = {
        {"< /", "Is a directory"},
        {"<&-", "Bad file descriptor"},
    };
    for (const Case& c : cases) {
        auto run = RunShell(std::string("exec \"$ZELREPORT\" ") + c.redirect);
        EXPECT_EQ(run.status, 1) << c.redirect;
        EXPECT_EQ(run.err, std::string("zelreport: error reading standard input: ") + c.reason + "\n")
            << c.redirect;
        EXPECT_EQ(run.out, "");
    }
}

TEST(BadInput, StandardErrorUnwritable) {
    for (const char* redirect : {"2>/dev/full", "2>&-"}) {
        auto run = RunShell(std::string("exec \"$ZELREPORT\" ") + redirect, badinput::Sample());
        EXPECT_EQ(run.status, 1) << redirect;
        EXPECT_EQ(run.out, "") << redirect;
    }
}

// A reader that goes away mid-report is a write error too, not a signal.
TEST(BadInput, StandardErrorReaderGone) {
    std::string doc = badinput::FirstRecord();
    for (int i = 0; i < 2000; ++i) doc += "<zelrecord>\n<zeldata>\n</zelrecord>\n";
    // head takes the first bytes of standard error and leaves; the status
    // goes out on the shell's own standard output.
    auto run = RunShell(
        "exec 3>&1; ( \"$ZELREPORT\" 2>&1 >/dev/null; echo \"status $?\" >&3 ) | head -c 100 >/dev/null",
        doc);
    EXPECT_EQ(run.out, "status 1\n");
}

// The process's address space is capped below what the values need: the
// allocation failure ends the run with a message, after the report of the
// record before.
TEST(BadInput, OutOfMemory) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer cannot start under a small address-space limit";
#endif
    std::string doc = badinput::FirstRecord() + "<zelrecord>\n<zeldata>\n<values>";
    for (int i = 0; i < 20'000'000; ++i) doc += "0 ";
    doc += "</values>\n</zeldata>\n</zelrecord>\n";
    auto run = RunShell("ulimit -v 32768 && exec \"$ZELREPORT\"", doc);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, kFirstReport + "zelreport: out of memory\n");
    EXPECT_EQ(run.out, "");
}

// Without a data type that fills an array, a values text is read and
// dropped: a single token of 64 MB must not be held in memory.
TEST(BadInput, LongTokenWithoutArrayHeldNowhere) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer cannot start under a small address-space limit";
#endif
    std::string doc = "<zelrecord>\n<datyp>0</datyp>\n<zeldata>\n<values>" + std::string(64 << 20, '7') +
                      "</values>\n</zeldata>\n</zelrecord>\n";
    auto run = RunShell("ulimit -v 32768 && exec \"$ZELREPORT\"", doc);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err.find("out of memory"), std::string::npos);
    EXPECT_NE(run.err.find("datyp  = 0\n"), std::string::npos);
}

}  // namespace
