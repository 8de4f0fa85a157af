// SPDX-License-Identifier: MIT
// The value conversions and report spellings against the C library they
// must equal: sscanf "%f" bit for bit, strtol saturated to 32 bits,
// printf "%f" and "%d"; the shapes of short numbers and halfway decimals
// through every rung of the float readers against strtof. The odd tokens
// are the fuzz targets' dictionary; randomized sweeps (spellings next to
// halfway points among them) live in the fuzz targets.
#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "elements/number.h"
#include "elements/short_number.h"
#include "elements/short_run.h"
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

// Every rung of the float readers' ladder that takes the whole token
// gives the float of strtof in the C locale (whatever the host's), bit
// for bit; a rung that does not take it gives nothing. The in-place
// readers see the token between blanks, with the room they need around it.
void ExpectLadderLikeStrtof(const std::string& token) {
    using namespace zelreport;
    static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", locale_t{});
    const auto want = std::bit_cast<std::uint32_t>(strtof_l(token.c_str(), nullptr, c_locale));
    std::string room(kShortNumberLookBack, ' ');
    room.append(token).append(kShortNumberReach + 1, ' ');
    const char* start = room.data() + kShortNumberLookBack;
    const char* room_end = room.data() + room.size();
    using Rung = const char* (*)(const char*, const char*, float&);
    for (Rung rung : {Rung{ParseInPlace}, Rung{ParseShortFloat}, Rung{ParsePlainFloat}}) {
        float value;
        const char* end = rung(start, room_end, value);
        if (!end) continue;
        ASSERT_EQ(end, start + token.size()) << "a reader stops inside \"" << token << "\"";
        ASSERT_EQ(std::bit_cast<std::uint32_t>(value), want) << "a reader: \"" << token << "\"";
    }
    std::string scratch;
    ASSERT_EQ(std::bit_cast<std::uint32_t>(ConvertFloat(token, scratch)), want) << "\"" << token << "\"";
}

// `digits` with a point before place `point`.
std::string WithPoint(const std::string& digits, std::size_t point) {
    std::string text = digits.substr(0, point);
    text += '.';
    return text.append(digits, point);
}

// The shapes of a short number: every count of digits up to one past the
// nineteen the readers hold, the point at every place or none, a sign or
// none, exponents around the edges of exact doubles, of the powers a long
// double holds in one step and in two, and of floats.
TEST(Conversion, ShortNumberShapesMatchStrtof) {
    const std::string patterns[] = {"98765432109876543210", "10000000000000000000", "99999999999999999999",
                                    "00000000000000000007"};
    const char* const exponents[] = {"",     "e0",  "E+5",  "e-5",  "e22",  "e-22", "e23",  "e-23", "e27",
                                     "e-27", "e28", "e-28", "e33",  "e-33", "e38",  "e-38", "e-40", "e-45",
                                     "e-46", "e39", "e54",  "e-54", "e55",  "e-55", "e123", "e-123"};
    for (std::size_t count = 1; count <= 20; ++count) {
        for (const std::string& pattern : patterns) {
            const std::string digits = pattern.substr(pattern.size() - count);
            for (std::size_t point = 0; point <= count + 1; ++point) {
                // Places 0 to count put the point there; count + 1 leaves it out.
                std::string mantissa = point <= count ? WithPoint(digits, point) : digits;
                for (const char* exponent : exponents)
                    for (const char* sign : {"", "-"})
                        ExpectLadderLikeStrtof(std::string(sign).append(mantissa).append(exponent));
            }
        }
    }
}

// The integer readers' in-place rung, where it takes a token, gives what
// strtol gives saturated to 32 bits: every count of digits up to past the
// eight it takes, with either sign or none, before each byte that may end
// a token or not.
TEST(Conversion, ShortIntegerShapesMatchStrtol) {
    using namespace zelreport;
    for (std::size_t count = 1; count <= 11; ++count)
        for (const std::string digits : {"98765432109", "10000000000", "99999999999", "00000000007"})
            for (const char* sign : {"", "-", "+"})
                for (const char* after : {" 1", "\t", "\n 5", "\n-5", "<", "x", ".5", "e5"}) {
                    std::string token = std::string(sign).append(digits.substr(0, count));
                    std::string room(kShortNumberLookBack, ' ');
                    room.append(token).append(after).append(kShortNumberReach + 1, ' ');
                    const char* start = room.data() + kShortNumberLookBack;
                    std::int32_t value;
                    const char* end = ParseInPlace(start, room.data() + room.size(), value);
                    if (!end) continue;
                    ASSERT_EQ(end, start + token.size()) << token << after;
                    ASSERT_EQ(value, zeltest::StrtolInt32(token.c_str())) << token;
                }
}

// Decimals exactly halfway between two neighbouring floats, and one unit
// of their last digit either side, so that ties go to even: odd 25-bit
// numbers times 2^n written whole, and over 2^n written as odd * 5^n with
// n decimals, up to nineteen digits.
TEST(Conversion, HalfwayDecimalsMatchStrtof) {
    for (std::uint64_t odd : {16777217ull, 16777219ull, 33554431ull, 25165825ull}) {
        std::vector<std::pair<std::uint64_t, std::size_t>> halfway;  // digits, decimals
        for (int n = 0; n < 39 && odd << n < 10'000'000'000'000'000'000ull; ++n)
            halfway.emplace_back(odd << n, 0);
        for (std::uint64_t n = 1, scaled = odd * 5; n <= 11; ++n, scaled *= 5)
            halfway.emplace_back(scaled, n);
        for (auto [digits, decimals] : halfway) {
            for (std::uint64_t near : {digits - 1, digits, digits + 1}) {
                std::string text = std::to_string(near);
                ExpectLadderLikeStrtof(WithPoint(text, text.size() - decimals));
            }
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
