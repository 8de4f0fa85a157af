// SPDX-License-Identifier: MIT
// The value conversions and report spellings against the C library they
// must equal: sscanf "%f" bit for bit, strtol saturated to 32 bits,
// printf "%f" and "%d". The odd tokens are the fuzz targets' dictionary;
// randomized sweeps live in the fuzz targets.
#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>

#include "elements/number.h"
#include "record/report.h"
#include "support/oracles.h"

namespace {

// The quoted tokens of a dictionary file, with \\, \" and \xHH escapes.
std::vector<std::string> Tokens() {
    std::vector<std::string> tokens;
    std::ifstream file(FUZZ_DIR "/tokens.dict");
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] != '"') continue;
        std::string token;
        for (std::size_t i = 1; i + 1 < line.size(); ++i) {
            if (line[i] != '\\')
                token += line[i];
            else if (line[++i] != 'x')
                token += line[i];
            else
                token += static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16)), i += 2;
        }
        tokens.push_back(token);
    }
    return tokens;
}

void ExpectScanfFloat(const std::string& token) {
    float want = zeltest::ScanfFloat(token.c_str());
    std::string scratch;
    float got = zelreport::ConvertFloat(token, scratch);
    ASSERT_EQ(std::bit_cast<std::uint32_t>(got), std::bit_cast<std::uint32_t>(want))
        << "token \"" << token << "\": got " << got << ", scanf gives " << want;
}

TEST(Conversion, OddTokensMatchTheCLibrary) {
    const std::vector<std::string> tokens = Tokens();
    ASSERT_GT(tokens.size(), 100u);
    for (const std::string& token : tokens) {
        ExpectScanfFloat(token);
        EXPECT_EQ(zelreport::ConvertInt(token), zeltest::StrtolInt32(token.c_str())) << token;
    }
}

// Short spellings around the midpoint of two neighbouring floats, where a
// conversion through double rounds twice if it is careless.
TEST(Conversion, SpellingsNextToHalfwayPointsMatchScanf) {
    std::mt19937 random(11);
    std::uniform_real_distribution<float> magnitude(-12.0f, 22.0f);
    char text[64];
    for (int i = 0; i < 1000; ++i) {
        float value = std::pow(10.0f, magnitude(random));
        double halfway = (double{value} + double{std::nextafter(value, INFINITY)}) / 2;
        for (int digits = 15; digits <= 17; ++digits) {
            std::snprintf(text, sizeof text, "%.*g", digits, halfway);
            ExpectScanfFloat(text);
        }
    }
}

TEST(Spelling, MatchesPrintf) {
    // Ties at the sixth decimal round to even, as printf does.
    const float inf = INFINITY;
    std::vector<float> values = {
        0.0f,       -0.0f,         1.0f,        -3.5f,   0.875f,  1e-7f,         -1e-7f,        5e-7f,
        4.9999e-7f, 0.0078125f,    -0.0078125f, 1.5e-6f, 2.5e-6f, 999999.9375f,  123456.789f,   9.99999e11f,
        1e12f,      3.4028235e38f, 1.4e-45f,    inf,     -inf,    std::nanf(""), -std::nanf("")};
    std::mt19937 random(3);
    for (int i = 0; i < 2000; ++i)
        values.push_back(std::bit_cast<float>(static_cast<std::uint32_t>(random())));
    char text[128];
    for (float value : values) {
        std::string ours;
        zelreport::AppendFixed6(value, ours);
        std::snprintf(text, sizeof text, "%f", value);
        ASSERT_EQ(ours, text) << std::bit_cast<std::uint32_t>(value);
    }
    for (std::int32_t value : {0, -1, 42, INT32_MAX, INT32_MIN}) {
        std::string ours;
        zelreport::AppendInt(value, ours);
        EXPECT_EQ(ours, std::to_string(value));
    }
}

}  // namespace
