// SPDX-License-Identifier: MIT
// Bad input of hundreds of megabytes, end to end: long runs of name bytes,
// an oversized text element and a very long values text. Each case checks
// the reports in full and the program's peak memory. Labelled slow.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "bad_input.h"
#include "support/run.h"

namespace {

using badinput::AfterFirstReport;
using badinput::kFirstReport;
using badinput::kSecondReport;

constexpr std::size_t kMiB = 1024 * 1024;
constexpr std::size_t kTextLimit = 8'192'000;  // text elements are cut here

struct Measured {
    zeltest::RunResult run;
    long peak_kb = 0;
};

// Runs the program under /usr/bin/time, whose child starts small: the
// peak memory of a child forked straight from this test would count the
// test's own input buffer.
Measured RunMeasured(const char* what, const std::string& input) {
    char path[] = "/tmp/zelreport-peak-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) ADD_FAILURE() << "mkstemp";
    close(fd);
    Measured m;
    m.run = zeltest::RunShell(std::string("exec /usr/bin/time -f %M -o ") + path + " \"$ZELREPORT\"", input);
    m.peak_kb = std::atol(zeltest::ReadFile(path).c_str());
    unlink(path);
    std::printf("peak memory, %s: %ld kB\n", what, m.peak_kb);
    testing::Test::RecordProperty("peak_kb", std::to_string(m.peak_kb));
    return m;
}

// 100 MB without "<" or ">" is read as names of 200 bytes, each ignored,
// in constant memory; the records before and after are reported in full.
TEST(BigInput, NameBytesWithoutTags) {
    std::string doc = badinput::FirstRecord() + std::string(100 * kMiB, 'n') + "\n" + badinput::Sample();
    auto [run, peak_kb] = RunMeasured("100 MB of name bytes", doc);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, kFirstReport + kFirstReport + kSecondReport);
    EXPECT_LT(peak_kb, 16 * 1024);
}

// A 20 MB nomvar keeps its first 8,192,000 bytes; the rest is read as
// names and ignored.
TEST(BigInput, NomvarCutAtTheTextLimit) {
    std::string nomvar(20'000'000, 'N');
    std::string doc =
        badinput::FirstRecord() + "<zelrecord>\n<nomvar>" + nomvar + "</nomvar>\n<zeldata>\n</zelrecord>\n";
    auto [run, peak_kb] = RunMeasured("20 MB nomvar", doc);
    EXPECT_EQ(run.status, 0);
    // datyp is still 1 from the first record, but this record has no float
    // array, so no statistics line.
    EXPECT_EQ(run.err, kFirstReport + AfterFirstReport(nomvar.substr(0, kTextLimit), 3, 2, 1, ""));
    EXPECT_LT(peak_kb, 64 * 1024);
}

// A 300 MB values text is read whole: its last value counts. Declared to
// the exact count, the values take 4 bytes each.
TEST(BigInput, ValuesTextOf300MB) {
    constexpr std::int64_t kZeros = 30'000'000;  // on each side of the 2
    const std::int64_t count = 2 * kZeros + 2;
    std::string values;
    values.reserve(300 * 1000 * 1000 + 16);
    for (std::int64_t i = 0; i < kZeros; ++i) values += "0.00 ";
    values += "2 ";
    for (std::int64_t i = 0; i < kZeros; ++i) values += "0.00 ";
    values += "-1";
    ASSERT_GE(values.size(), 300'000'000u);
    std::string doc = badinput::FirstRecord() + "<zelrecord>\n<ni>" + std::to_string(count) +
                      "</ni>\n<nj>1</nj>\n<nk>1</nk>\n<zeldata>\n<values>" + values +
                      "</values>\n</zeldata>\n</zelrecord>\n";
    values.clear();
    values.shrink_to_fit();
    auto [run, peak_kb] = RunMeasured("300 MB values text", doc);
    EXPECT_EQ(run.status, 0);
    // The sum is exactly 1, so the average 1 / 60,000,002 prints as 0.
    EXPECT_EQ(run.err,
              kFirstReport + AfterFirstReport("(null)", count, 1, 1,
                                              "--- min: -1.000000 max: 2.000000 avg: 0.000000   ---\n\n\n"));
    const long values_kb = static_cast<long>(count * 4 / 1024);
    EXPECT_LT(peak_kb, values_kb + values_kb / 10 + 16 * 1024);
}

}  // namespace
