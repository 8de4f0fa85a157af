// SPDX-License-Identifier: MIT
// The program from a shell: options and ignored arguments, every failure
// with its status and message, reports written while the producer waits,
// and the records_csv example built on the library.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "support/run.h"
#include "zelreport/version.h"

namespace {

using zeltest::RunShell;
using zeltest::Sample;
using zeltest::SampleReport;

// Only an exact first argument "--help" or "--version" is an option;
// anything else is ignored and the document read as without arguments.
TEST(Cli, OptionsAndIgnoredArguments) {
    struct Case {
        const char* args;
        std::string out, err;
    } cases[] = {
        {"--version --help", "zelreport " ZELREPORT_VERSION "\n", ""},
        {"", "", SampleReport()},
        {"foo bar", "", SampleReport()},
        {"-h --HELP --help=1", "", SampleReport()},
        {"--versio", "", SampleReport()},
        {"foo --help", "", SampleReport()},
        {"' --version'", "", SampleReport()},
        {"''", "", SampleReport()},
    };
    for (const Case& c : cases) {
        auto run = zeltest::RunProgram(Sample(), c.args);
        EXPECT_EQ(run.status, 0) << c.args;
        EXPECT_EQ(run.out, c.out) << c.args;
        EXPECT_EQ(run.err, c.err) << c.args;
    }
    auto help = zeltest::RunProgram(Sample(), "--help");
    EXPECT_EQ(help.out.rfind("Usage: zelreport", 0), 0u) << help.out;
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.status, 0);
}

// Each failure ends with status 1 and its message, after the reports of
// the records read before it; a values text with no array to fill is read
// within a small memory limit.
TEST(Cli, FailuresHaveAStatusAndAMessage) {
    const std::string first = Sample().substr(0, Sample().find("</zelrecord>\n") + 13);
    std::string many_records = first, huge_values = first + "<zelrecord>\n<zeldata>\n<values>";
    for (int i = 0; i < 2000; ++i) many_records += "<zelrecord>\n<zeldata>\n</zelrecord>\n";
    for (int i = 0; i < 20'000'000; ++i) huge_values += "0 ";
    huge_values += "</values>\n</zeldata>\n</zelrecord>\n";
    const std::string long_token_no_array = "<zelrecord>\n<datyp>0</datyp>\n<zeldata>\n<values>" +
                                            std::string(64 << 20, '7') +
                                            "</values>\n</zeldata>\n</zelrecord>\n";
    std::string declared = first, declared_report = SampleReport(0);
    for (auto [from, to] : {std::pair{"ni>3<", "ni>8192<"}, {"nj>2<", "nj>8192<"}})
        declared.replace(declared.find(from), std::strlen(from), to);
    for (auto [from, to] : {std::pair{"ni     = 3\n", "ni     = 8192\n"},
                            {"nj     = 2\n", "nj     = 8192\n"},
                            {"avg: -6.750000", "avg: -0.000001"}})
        declared_report.replace(declared_report.find(from), std::strlen(from), to);
    struct Case {
        const char* command;
        const std::string& input;
        int status;
        std::string err;
        bool limits_memory = false;
    } cases[] = {
        {"exec \"$ZELREPORT\" < /", first, 1, "zelreport: error reading standard input: Is a directory\n"},
        {"exec \"$ZELREPORT\" <&-", first, 1,
         "zelreport: error reading standard input: Bad file descriptor\n"},
        {"exec \"$ZELREPORT\" --help > /dev/full", first, 1,
         "zelreport: error writing standard output: No space left on device\n"},
        {"exec \"$ZELREPORT\" 2> /dev/full", first, 1, ""},
        {"exec \"$ZELREPORT\" 2>&-", first, 1, ""},
        // A reader of standard error that goes away is a write error, not a signal.
        {"exec 3>&2; { \"$ZELREPORT\" 2>&1 >/dev/null; echo \"status $?\" >&3; } | head -c 100 >/dev/null",
         many_records, 0, "status 1\n"},
        {"ulimit -v 32768 && exec \"$ZELREPORT\"", huge_values, 1,
         SampleReport(0) + "zelreport: out of memory\n", true},
        // A declared size alone costs nothing: 2^26 entries, 4 values given.
        {"ulimit -v 32768 && exec \"$ZELREPORT\"", declared, 0, declared_report, true},
        // Without an array to fill, a values text is read and dropped, not held.
        {"ulimit -v 32768 && exec \"$ZELREPORT\"", long_token_no_array, 0,
         zeltest::ReadFile(TESTS_DIR "/golden/document/bare_record_reported_with_nulls_and_zeros.err"), true},
    };
    for (const Case& c : cases) {
#if defined(__SANITIZE_ADDRESS__)
        if (c.limits_memory) continue;  // the sanitizer cannot start under a small address-space limit
#endif
        auto run = RunShell(c.command, c.input);
        EXPECT_EQ(run.status, c.status) << c.command;
        EXPECT_EQ(run.err, c.err) << c.command;
        EXPECT_EQ(run.out, "") << c.command;
    }
}

// A producer that writes one record and keeps the pipe open sees its
// report on standard error before it closes the pipe.
TEST(Cli, ReportIsWrittenWhileTheProducerWaits) {
    auto run = RunShell(
        "{ { cat; for i in $(seq 1000); do [ -s err ] && break; sleep 0.01; done;"
        " [ -s err ] && echo seen >&3; } | \"$ZELREPORT\"; } 3>&1",
        Sample().substr(0, Sample().find("</zelrecord>\n") + 13));
    EXPECT_EQ(run.out, "seen\n");
    EXPECT_EQ(run.err, SampleReport(0));
    EXPECT_EQ(run.status, 0);
}

// The README shows the sample document and its report: both the real ones.
TEST(Readme, ShowsTheSampleAndItsReport) {
    const std::string readme = zeltest::ReadFile(EXAMPLES_DIR "/../README.md");
    auto block = [&readme](const std::string& fence) {
        std::size_t start = readme.find(fence + "\n") + fence.size() + 1;
        return readme.substr(start, readme.find("```\n", start) - start);
    };
    EXPECT_EQ(block("```xml"), Sample());
    EXPECT_EQ(block("```text"), SampleReport());
}

// One CSV line per record, with the report's statistics.
TEST(RecordsCsv, OneLinePerRecord) {
    auto record = [](const std::string& attributes, const std::string& values) {
        return "<zelrecord>\n" + attributes + "<zeldata>\n<values>" + values +
               "</values>\n</zeldata>\n</zelrecord>\n";
    };
    const std::pair<std::string, std::string> cases[] = {
        {Sample(), "TT,500,3,2,1,-12.500000,1.500000,-6.750000\nGZ,850,2,2,1,,,\n"},
        // Four declared entries, two given: the missing ones count as 0.
        {record("<nomvar>UU</nomvar>\n<ni>4</ni>\n<nj>1</nj>\n<nk>1</nk>\n<datyp>1</datyp>\n", "3 5"),
         "UU,0,4,1,1,0.000000,5.000000,2.000000\n"},
        // No nomvar, then one with a comma and a quote, which CSV quotes.
        {record("<ip1>7</ip1>\n<datyp>5</datyp>\n<ni>1</ni>\n<nj>1</nj>\n<nk>1</nk>\n", "-2") +
             record("<nomvar>A,\"B</nomvar>\n", "4"),
         ",7,1,1,1,-2.000000,-2.000000,-2.000000\n\"A,\"\"B\",7,1,1,1,4.000000,4.000000,4.000000\n"},
        // A count of zero has no statistics to show.
        {record("<nomvar>ZZ</nomvar>\n<ni>0</ni>\n<datyp>1</datyp>\n", "1"), "ZZ,0,0,0,0,,,\n"},
    };
    for (const auto& [document, csv] : cases) {
        auto run = RunShell("exec '" RECORDS_CSV_BIN "'", document);
        EXPECT_EQ(run.status, 0) << csv;
        EXPECT_EQ(run.err, "") << csv;
        EXPECT_EQ(run.out, csv);
    }
}

}  // namespace
