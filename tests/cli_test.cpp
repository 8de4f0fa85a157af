// SPDX-License-Identifier: MIT
// The command line: --help and --version as an exact first argument, every
// other argument ignored; and the records_csv example built on the library.
#include <gtest/gtest.h>

#include <regex>

#include "support/run.h"
#include "zelreport/version.h"

namespace {

const std::string kSample = std::string(EXAMPLES_DIR) + "/sample.xml";

std::string Sample() {
    return zeltest::ReadFile(kSample);
}

TEST(Cli, HelpGoesToStandardOutputAndReadsNothing) {
    auto run = zeltest::RunProgram(Sample(), {"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out.rfind("Usage: zelreport", 0), 0u) << run.out;
    for (const char* part : {"standard input", "standard error", "Exit status", "  0  ", "  1  ", "Example"})
        EXPECT_NE(run.out.find(part), std::string::npos) << part;
}

TEST(Cli, VersionIsTheProjectVersion) {
    auto run = zeltest::RunProgram(Sample(), {"--version", "--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, std::string("zelreport ") + ZELREPORT_VERSION + "\n");
    EXPECT_TRUE(std::regex_match(ZELREPORT_VERSION, std::regex(R"(\d+\.\d+\.\d+)"))) << ZELREPORT_VERSION;
}

TEST(Cli, HelpThatCannotBeWrittenFails) {
    auto run = zeltest::RunShell("\"$ZELREPORT\" --help > /dev/full");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "zelreport: error writing standard output: No space left on device\n");
}

// Anything but an exact "--help" or "--version" first argument is ignored:
// the document is read and reported as with no arguments at all.
TEST(Cli, OtherArgumentsAreIgnored) {
    const std::string expected = zeltest::ReadFile(std::string(EXAMPLES_DIR) + "/sample.err");
    const std::vector<std::vector<std::string>> cases = {
        {},           {"foo", "bar"},    {"-h"},         {"--HELP"}, {"--help=1"},
        {"--versio"}, {"foo", "--help"}, {" --version"}, {""},       {"-", "--version"},
    };
    for (const auto& args : cases) {
        std::string label;
        for (const auto& a : args) label += "[" + a + "]";
        auto run = zeltest::RunProgram(Sample(), args);
        EXPECT_EQ(run.status, 0) << label;
        EXPECT_EQ(run.out, "") << label;
        EXPECT_EQ(run.err, expected) << label;
    }
}

// The README shows the sample document and its report; both must be the
// real ones.
std::string Block(const std::string& text, const std::string& fence) {
    std::size_t start = text.find(fence + "\n");
    if (start == std::string::npos) return "(no " + fence + " block)";
    start += fence.size() + 1;
    return text.substr(start, text.find("```\n", start) - start);
}

TEST(Readme, ShowsTheSampleAndItsReport) {
    const std::string readme = zeltest::ReadFile(std::string(EXAMPLES_DIR) + "/../README.md");
    EXPECT_EQ(Block(readme, "```xml"), Sample());
    EXPECT_EQ(Block(readme, "```text"), zeltest::ReadFile(std::string(EXAMPLES_DIR) + "/sample.err"));
}

struct CsvCase {
    const char* name;
    std::string document;
    std::string csv;
};

// One record, wrapped the way that gets its end reported.
std::string Record(const std::string& attributes, const std::string& values) {
    return "<zelrecord>\n" + attributes + "<zeldata>\n<values>" + values +
           "</values>\n</zeldata>\n</zelrecord>\n";
}

TEST(RecordsCsv, OneLinePerRecord) {
    const std::vector<CsvCase> cases = {
        {"sample", Sample(),
         "TT,500,3,2,1,-12.500000,1.500000,-6.750000\n"
         "GZ,850,2,2,1,,,\n"},
        // Four declared entries, two given: the missing ones count as 0.
        {"short data",
         Record("<nomvar>UU</nomvar>\n<ni>4</ni>\n<nj>1</nj>\n<nk>1</nk>\n<datyp>1</datyp>\n", "3 5"),
         "UU,0,4,1,1,0.000000,5.000000,2.000000\n"},
        // No nomvar, and one with a comma and a quote, which CSV quotes.
        {"quoting",
         Record("<ip1>7</ip1>\n<datyp>5</datyp>\n<ni>1</ni>\n<nj>1</nj>\n<nk>1</nk>\n", "-2") +
             Record("<nomvar>A,\"B</nomvar>\n", "4"),
         ",7,1,1,1,-2.000000,-2.000000,-2.000000\n"
         "\"A,\"\"B\",7,1,1,1,4.000000,4.000000,4.000000\n"},
        // A count of zero has no statistics to show.
        {"no entries", Record("<nomvar>ZZ</nomvar>\n<ni>0</ni>\n<datyp>1</datyp>\n", "1"), "ZZ,0,0,0,0,,,\n"},
    };
    for (const auto& c : cases) {
        auto run = zeltest::RunShell(std::string("'") + RECORDS_CSV_BIN + "'", c.document);
        EXPECT_EQ(run.status, 0) << c.name;
        EXPECT_EQ(run.err, "") << c.name;
        EXPECT_EQ(run.out, c.csv) << c.name;
    }
}

}  // namespace
