// SPDX-License-Identifier: MIT
// Values tokens longer than the reader holds are kept in a bounded form:
// read in pieces, each converts exactly as the C library converts the
// whole token, and as the same document read from memory in one piece.
#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "support/blocks.h"
#include "support/oracles.h"
#include "zelreport/zelreport.h"

namespace {

const std::string kZeros(6000, '0');

std::string Cat(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (std::string_view part : parts) text.append(part);
    return text;
}

struct LongCase {
    std::string token;
    int datyp;
};

// Spellings whose value, or whose rounding, only the far end decides.
std::vector<LongCase> Cases() {
    const std::string tie = "1.000000059604644775390625";  // 1 + 2^-24, halfway between two floats
    const std::string small_tie = "1.4012984643248170709e-45";
    return {
        {Cat({tie, kZeros}), 1},              // exactly halfway: to even
        {Cat({tie, kZeros, "1"}), 1},         // just above: up
        {Cat({"-", tie, kZeros, "1e0"}), 5},  // the same, negative, with an exponent
        {Cat({"0.", kZeros, "1000000059604644775390625", kZeros, "1e6001"}), 1},
        {Cat({"1", kZeros, ".", kZeros, "e-6000"}), 1},  // 1 after all
        {Cat({"3", kZeros, "e-6030"}), 1},
        {Cat({"1e", kZeros, "5"}), 1},  // an exponent written long
        {Cat({"1e-", kZeros, "46"}), 1},
        {Cat({"1.", kZeros, "e", kZeros}), 1},
        {Cat({"7", kZeros}), 1},                  // overflow
        {Cat({"0x1.000001", kZeros, "1p0"}), 1},  // hex, just above halfway
        {Cat({"0x1.000001", kZeros, "p0"}), 1},   // hex, exactly halfway
        {Cat({"0x", kZeros, "1p-", kZeros, "5"}), 1},
        {Cat({"0x", kZeros}), 1},
        {Cat({"0x.", kZeros}), 1},
        {Cat({"-0x", std::string(6000, 'g')}), 1},  // no match, where "-0x." would be -0
        {Cat({kZeros, "x1"}), 1},                   // "00x" is no hex prefix
        {Cat({".", kZeros}), 1},
        {Cat({"-.", kZeros, "5e", kZeros}), 5},
        {Cat({std::string(6000, '\v'), "1.5"}), 1},  // leading white space
        {Cat({"nan(", std::string(6000, 'a'), ")"}), 1},
        {Cat({"-inf", std::string(6000, 'i')}), 1},
        {Cat({"infinity", std::string(6000, 'y')}), 1},
        {Cat({"1.5e+", kZeros}), 1},                // exponent digits all zero
        {Cat({"2.5", std::string(6000, 'x')}), 1},  // the rest does not count
        {Cat({small_tie, kZeros, "1"}), 1},         // subnormal halfway, then above
        {Cat({"e", kZeros}), 1},
        {Cat({"-", kZeros, "2147483648"}), 2},  // integers
        {Cat({"+", kZeros, "2147483647", kZeros}), 2},
        {Cat({std::string(6000, '9')}), 2},
        {Cat({"-", std::string(6000, '9')}), 2},
        {Cat({std::string(6000, '\f'), "-12x", kZeros}), 2},
        {Cat({"12", std::string(6000, '.')}), 2},
    };
}

std::uint32_t Expected(const LongCase& c) {
    if (c.datyp == 2) return static_cast<std::uint32_t>(zeltest::StrtolInt32(c.token.c_str()));
    return std::bit_cast<std::uint32_t>(zeltest::ScanfFloat(c.token.c_str()));
}

// The first value of the record, as its bits.
std::uint32_t FirstValue(const std::string& document, std::size_t piece) {
    std::uint32_t bits = 0xDEADBEEF;
    zelreport::Handlers handlers;
    handlers.on_record = [&bits](const zelreport::RecordView& r) {
        if (!r.floatdata.empty()) bits = std::bit_cast<std::uint32_t>(r.floatdata[0]);
        if (!r.intdata.empty()) bits = static_cast<std::uint32_t>(r.intdata[0]);
    };
    auto result = zelreport::run_reader(zeltest::InBlocksOf(document, piece), handlers);
    EXPECT_EQ(result.status, zelreport::Status::ok);
    return bits;
}

TEST(LongToken, ConvertsAsTheWholeToken) {
    for (const LongCase& c : Cases()) {
        std::string document = Cat({"<datyp>", std::to_string(c.datyp), "</datyp>\n<values>", c.token,
                                    " 1</values>\n</zeldata>\n</zelrecord>\n"});
        std::string label = Cat({c.token.substr(0, 40), "... (", std::to_string(c.token.size()), " bytes)"});
        for (std::size_t piece : {997, 4096, 1 << 20})
            EXPECT_EQ(FirstValue(document, piece), Expected(c)) << label;
    }
}

}  // namespace
