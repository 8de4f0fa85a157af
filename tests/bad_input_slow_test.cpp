// SPDX-License-Identifier: MIT
// Inputs of hundreds of megabytes, end to end: each run's standard error
// must equal golden/big/NAME.err, where a run of 1,000 or more equal bytes
// is written "[COUNT x BYTE]", and its peak memory must stay bounded.
// Labelled slow.
#include <gtest/gtest.h>

#include "support/run.h"

namespace {

constexpr long kMiB = 1024 * 1024;

std::string Squeeze(const std::string& text) {
    std::string out;
    for (std::size_t i = 0, run; i < text.size(); i += run) {
        for (run = 1; i + run < text.size() && text[i + run] == text[i];) ++run;
        if (run < 1000)
            out.append(text, i, run);
        else
            out.append("[").append(std::to_string(run)).append(" x ").append(1, text[i]).append("]");
    }
    return out;
}

// Runs the program under /usr/bin/time, which reports its peak memory.
void ExpectReport(const char* name, const std::string& input, long peak_limit_kb) {
    auto run = zeltest::RunShell(
        "/usr/bin/time -f %M -o peak \"$ZELREPORT\"; status=$?; cat peak; exit $status", input);
    const long peak_kb = std::atol(run.out.c_str());
    std::printf("peak memory, %s: %ld kB\n", name, peak_kb);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Squeeze(run.err), zeltest::ReadFile(std::string(TESTS_DIR "/golden/big/") + name + ".err"));
    EXPECT_LT(peak_kb, peak_limit_kb);
}

const std::string kFirstRecord = zeltest::Sample().substr(0, zeltest::Sample().find("</zelrecord>\n") + 13);

// 100 MB without "<" or ">" is read as names of 200 bytes, in constant memory.
TEST(BigInput, NameBytesWithoutTags) {
    ExpectReport("name_bytes_without_tags",
                 kFirstRecord + std::string(100 * kMiB, 'n') + "\n" + zeltest::Sample(), 16 * 1024);
}

// A 20 MB nomvar keeps its first 8,192,000 bytes; the rest is read as names.
TEST(BigInput, NomvarCutAtTheTextLimit) {
    ExpectReport("nomvar_cut_at_the_text_limit",
                 kFirstRecord + "<zelrecord>\n<nomvar>" + std::string(20'000'000, 'N') +
                     "</nomvar>\n<zeldata>\n</zelrecord>\n",
                 64 * 1024);
}

// A 300 MB values text is read whole, and its values take 4 bytes each.
TEST(BigInput, ValuesTextOf300MB) {
    constexpr long kZeros = 30'000'000;  // on each side of the 2
    std::string doc = kFirstRecord + "<zelrecord>\n<ni>" + std::to_string(2 * kZeros + 2) +
                      "</ni>\n<nj>1</nj>\n<nk>1</nk>\n<zeldata>\n<values>";
    doc.reserve(doc.size() + 10 * kZeros + 64);
    for (long i = 0; i < 2 * kZeros; ++i) doc += i == kZeros ? "2 0.00 " : "0.00 ";
    doc += "-1</values>\n</zeldata>\n</zelrecord>\n";
    const long values_kb = (2 * kZeros + 2) * 4 / 1024;
    ExpectReport("values_text_of_300_mb", doc, values_kb + values_kb / 10 + 16 * 1024);
}

}  // namespace
