// SPDX-License-Identifier: MIT
// Documents and expected reports shared by the bad-input tests.
#pragma once

#include <cstdint>
#include <string>

#include "support/run.h"

namespace badinput {

inline std::string Sample() {
    return zeltest::ReadFile(std::string(EXAMPLES_DIR) + "/sample.xml");
}

// examples/sample.xml up to and including its first record's closing tag
// and line break.
inline std::string FirstRecord() {
    std::string sample = Sample();
    const std::string end = "</zelrecord>\n";
    return sample.substr(0, sample.find(end) + end.size());
}

// The reports of the two records of examples/sample.xml, from the
// hand-checked examples/sample.err: TT (floats, with statistics), then GZ
// (integers, without).
inline std::string SampleReport(int index) {
    const std::string all = zeltest::ReadFile(std::string(EXAMPLES_DIR) + "/sample.err");
    const std::string banner = "************** c_zelecr args are:";
    std::size_t second = all.find(banner, 1);
    return index == 0 ? all.substr(0, second) : all.substr(second);
}
inline const std::string kFirstReport = SampleReport(0);
inline const std::string kSecondReport = SampleReport(1);

// A record read after the first one: it keeps that record's integer
// fields, with its own text and ni, nj, nk; texts it does not give are
// (null). `stats` is the statistics line, if any.
inline std::string AfterFirstReport(const std::string& nomvar, std::int64_t ni, std::int64_t nj,
                                    std::int64_t nk, const std::string& stats) {
    return "************** c_zelecr args are: **********************\n"
           "nomvar = " +
           nomvar +
           "\n"
           "typvar = (null)\n"
           "etiket = (null)\n"
           "ip1    = 500\n"
           "ip2    = 0\n"
           "ip3    = 0\n"
           "ni     = " +
           std::to_string(ni) + "\nnj     = " + std::to_string(nj) + "\nnk     = " + std::to_string(nk) +
           "\n"
           "dateo  = 20260101\n"
           "deet   = 300\n"
           "npas   = 12\n"
           "grtyp  = (null)\n"
           "ig1    = 100\n"
           "ig2    = 200\n"
           "ig3    = 300\n"
           "ig4    = 400\n"
           "nbits  = -16\n"
           "datyp  = 1\n"
           "swa    = 0\n"
           "lng    = 0\n"
           "dltf   = 0\n"
           "ubc    = 0\n"
           "extra1 = 0\n"
           "extra2 = 0\n"
           "extra3 = 0\n"
           "npak = 0\n"
           "iun = 0\n"
           "\n"
           "***************** iun = 0 *********************\n" +
           stats;
}

}  // namespace badinput
