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

// The report of the first record of examples/sample.xml: TT/P/ANALYSIS,
// 3 x 2 x 1 floats -12.5 -10.25 -8.0 -7.5 -3.75 1.5 (sum -40.5), nbits 16.
inline const char kFirstReport[] =
    "************** c_zelecr args are: **********************\n"
    "nomvar = TT\n"
    "typvar = P\n"
    "etiket = ANALYSIS\n"
    "ip1    = 500\n"
    "ip2    = 0\n"
    "ip3    = 0\n"
    "ni     = 3\n"
    "nj     = 2\n"
    "nk     = 1\n"
    "dateo  = 20260101\n"
    "deet   = 300\n"
    "npas   = 12\n"
    "grtyp  = L\n"
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
    "***************** iun = 0 *********************\n"
    "--- min: -12.500000 max: 1.500000 avg: -6.750000   ---\n\n\n";

// The second record: GZ/P/FORECAST, integer data, so no statistics.
inline const char kSecondReport[] =
    "************** c_zelecr args are: **********************\n"
    "nomvar = GZ\n"
    "typvar = P\n"
    "etiket = FORECAST\n"
    "ip1    = 850\n"
    "ip2    = 6\n"
    "ip3    = 0\n"
    "ni     = 2\n"
    "nj     = 2\n"
    "nk     = 1\n"
    "dateo  = 20260101\n"
    "deet   = 300\n"
    "npas   = 72\n"
    "grtyp  = L\n"
    "ig1    = 100\n"
    "ig2    = 200\n"
    "ig3    = 300\n"
    "ig4    = 400\n"
    "nbits  = -32\n"
    "datyp  = 2\n"
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
    "***************** iun = 0 *********************\n";

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
