// SPDX-License-Identifier: MIT
// Golden end-to-end tests of one area: each NAME.xml under golden/AREA is
// fed to the program, whose standard error must equal NAME.err byte for
// byte with status 0; and to the library whole and in blocks of a few
// bytes, so that no fast path depends on where a block ends, and through
// the records' views.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/blocks.h"
#include "support/run.h"
#include "zelreport/zelreport.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Documents() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs::path(TESTS_DIR) / "golden" / GOLDEN_AREA))
        if (entry.path().extension() == ".xml") names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The report of `document` read in blocks of `block` bytes (0: whole).
std::string LibraryReport(const std::string& document, std::size_t block) {
    std::string report;
    zelreport::Handlers handlers;
    handlers.output = [&report](std::string_view text) { return report.append(text), true; };
    auto read_after_end = [] { ADD_FAILURE() << "read again after the end of input"; };
    if (block == 0)
        zelreport::run_buffer(document, handlers);
    else
        zelreport::run_reader(zeltest::InBlocksOf(document, block, read_after_end), handlers);
    return report;
}

// The reports append_report gives for the records' views, which take their
// statistics afresh where the reader kept them running: with the
// diagnostics taken out, the same text.
void ExpectViewsGiveTheReports(const std::string& document, std::string expected) {
    const std::string message = "ParseConfigFile(), found name is empty \n";
    for (std::size_t at; (at = expected.find(message)) != std::string::npos;)
        expected.erase(at, message.size());
    std::string rebuilt;
    zelreport::Handlers handlers;
    handlers.on_record = [&rebuilt](const zelreport::RecordView& r) { zelreport::append_report(r, rebuilt); };
    zelreport::run_buffer(document, handlers);
    EXPECT_EQ(rebuilt, expected);
}

class Golden : public testing::TestWithParam<std::string> {};

TEST_P(Golden, ReportMatches) {
    const std::string base = (fs::path(TESTS_DIR) / "golden" / GOLDEN_AREA / GetParam()).string();
    const std::string document = zeltest::ReadFile(base + ".xml"),
                      expected = zeltest::ReadFile(base + ".err");
    auto run = zeltest::RunProgram(document);
    EXPECT_EQ(run.err, expected);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    for (std::size_t block : {0, 1, 2, 3, 7, 13})
        EXPECT_EQ(LibraryReport(document, block), expected) << "in blocks of " << block;
    ExpectViewsGiveTheReports(document, expected);
}

INSTANTIATE_TEST_SUITE_P(Documents, Golden, testing::ValuesIn(Documents()), [](const auto& info) {
    std::string name = info.param;
    std::replace_if(
        name.begin(), name.end(), [](char ch) { return !isalnum(ch); }, '_');
    return name;
});

}  // namespace
