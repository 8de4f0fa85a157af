// SPDX-License-Identifier: MIT
// Golden end-to-end tests of one area: each NAME.xml under golden/AREA is
// fed to the program, whose standard error must equal NAME.err byte for
// byte, with exit status 0 unless NAME.status says otherwise.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/run.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Documents() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs::path(TESTS_DIR) / "golden" / GOLDEN_AREA))
        if (entry.path().extension() == ".xml") names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

class Golden : public testing::TestWithParam<std::string> {};

TEST_P(Golden, ReportMatches) {
    fs::path base = fs::path(TESTS_DIR) / "golden" / GOLDEN_AREA / GetParam();
    auto run = zeltest::RunProgram(zeltest::ReadFile(base.string() + ".xml"));
    int expected_status = 0;
    if (fs::exists(base.string() + ".status"))
        expected_status = std::stoi(zeltest::ReadFile(base.string() + ".status"));
    EXPECT_EQ(run.err, zeltest::ReadFile(base.string() + ".err"));
    EXPECT_EQ(run.status, expected_status);
    EXPECT_EQ(run.out, "");
}

INSTANTIATE_TEST_SUITE_P(Documents, Golden, testing::ValuesIn(Documents()), [](const auto& info) {
    std::string name = info.param;
    std::replace_if(
        name.begin(), name.end(), [](char ch) { return !isalnum(ch); }, '_');
    return name;
});

}  // namespace
