// SPDX-License-Identifier: MIT
// The value conversions and report spellings against the C library they
// must equal: sscanf("%f"), strtoll with 32-bit saturation, printf("%f").
#include <gtest/gtest.h>

#include <bit>
#include <cinttypes>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>

#include "elements/number.h"
#include "record/report.h"

namespace {

using zelreport::ConvertFloat;
using zelreport::ConvertInt;

float ScanfFloat(const std::string& token) {
    float value = 0.0f;
    if (std::sscanf(token.c_str(), "%f", &value) != 1) value = 0.0f;
    return value;
}

std::int32_t ReferenceInt(const std::string& token) {
    long long value = std::strtoll(token.c_str(), nullptr, 10);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

void ExpectSameFloat(const std::string& token) {
    std::string scratch;
    float got = ConvertFloat(token, scratch);
    float want = ScanfFloat(token);
    ASSERT_EQ(std::bit_cast<std::uint32_t>(got), std::bit_cast<std::uint32_t>(want))
        << "token \"" << token << "\": got " << got << ", scanf gives " << want;
}

// Forms where a hand-made parser or strtof is easily wrong.
// clang-format off
const char* const kOddTokens[] = {
    "0", "-0", "+0", "-", "+", ".", "-.", "+.", "e", "E5", ".e1", "1e", "1e+", "1e-", "1E+5", "1e+0005",
    "1.", "-1.", ".5", "-.5", "+.5", "00000001.5000000", "1.5-3", "2-3", "1e5-3", "1-", "--1", "+-1", "1..2",
    "1.2.3", "1e5e5", "0x", "-0x", "0x1", "0x1p3", "-0x1.8p1", "0X1P-2", "0x1g", "0xp1", "0x.8", "inf",
    "INF", "-inf", "+Inf", "infinity", "-Infinity", "INFINITY", "infi", "infin", "infinit", "infinityy",
    "-infi", "nan", "NaN", "-nan", "+nan", "nan(123)", "-nan(abc)", "nan(", "nan()", "nanx", "na", "n", "i",
    "in", "\r1.5", "\v-2", "\f3e2", "\r\r7", "\r", "1.5\r", "1.5\xff", "\3771", "3.4028235e38",
    "3.4028236e38", "3.40282357e38", "-3.5e38", "1e39", "1e400", "-1e400", "1.17549435e-38", "1.4e-45",
    "7e-46", "7.1e-46", "1e-50", "-1e-50", "2.8025969e-45", "1e-45",
    "0.000000000000000000000000000000000000000000001", "123456789012345678901234567890",
    "9999999999999999999999999999999999999999e-30", "16777217", "16777216.5", "0.1", "0.2",
    "0.30000000000000004", "8.589973e9", "1.00000005960464477539062500", "1.000000059604644775390625001",
    "1<", "1>", "<1", "1,5"};
// clang-format on

TEST(ConvertFloat, OddFormsMatchScanf) {
    for (const char* token : kOddTokens) ExpectSameFloat(token);
}

TEST(ConvertFloat, GeneratedDecimalsMatchScanf) {
    std::mt19937_64 random(20261206);
    auto digits = [&](int count) {
        std::string text;
        for (int i = 0; i < count; ++i) text += static_cast<char>('0' + random() % 10);
        return text;
    };
    for (int i = 0; i < 400000; ++i) {
        std::string token;
        if (random() % 3 == 0) token += '-';
        int shape = static_cast<int>(random() % 6);
        token += digits(1 + static_cast<int>(random() % 12));
        if (shape >= 1) {
            token += '.';
            token += digits(static_cast<int>(random() % 14));
        }
        if (shape >= 3) {
            token += random() % 2 ? 'e' : 'E';
            int sign = static_cast<int>(random() % 3);
            if (sign == 1) token += '-';
            if (sign == 2) token += '+';
            token += std::to_string(random() % (shape == 5 ? 60 : 50));
        }
        if (shape == 4) {
            // Near and below the smallest normal float.
            token = random() % 2 ? "1." : "9.";
            token += digits(30);
            token += "e-";
            token += std::to_string(38 + random() % 9);
        }
        ExpectSameFloat(token);
    }
}

TEST(ConvertFloat, RoundTripOfEveryExponentMatchesScanf) {
    // Shortest and long spellings of floats across the whole range,
    // subnormals included, and the halfway points between neighbours.
    std::mt19937 random(7);
    char text[64];
    for (int i = 0; i < 200000; ++i) {
        std::uint32_t bits = random();
        float value = std::bit_cast<float>(bits);
        if (!std::isfinite(value)) continue;
        std::snprintf(text, sizeof text, "%.9g", value);
        ExpectSameFloat(text);
        double halfway =
            (static_cast<double>(value) + static_cast<double>(std::nextafter(value, INFINITY))) / 2;
        std::snprintf(text, sizeof text, "%.17g", halfway);
        ExpectSameFloat(text);
    }
}

TEST(ConvertFloat, SpellingsNearHalfwayPointsMatchScanf) {
    // Short spellings just around the midpoint of two neighbouring floats,
    // where a conversion through double rounds twice if it is careless.
    std::mt19937 random(11);
    std::uniform_real_distribution<float> magnitude(-12.0f, 22.0f);
    char text[64];
    for (int i = 0; i < 100000; ++i) {
        float value = std::pow(10.0f, magnitude(random));
        double halfway =
            (static_cast<double>(value) + static_cast<double>(std::nextafter(value, INFINITY))) / 2;
        for (int digits = 8; digits <= 19; ++digits) {
            std::snprintf(text, sizeof text, "%.*g", digits, halfway);
            ExpectSameFloat(text);
            std::snprintf(text, sizeof text, "-%.*e", digits - 1, halfway);
            ExpectSameFloat(text);
        }
    }
}

TEST(ConvertInt, MatchesSaturatedStrtoll) {
    // clang-format off
    const char* const tokens[] = {
        "0", "-0", "+0", "12", "-12", "+12", "12abc", "abc", "", "-", "+", "--1", "\r5", "\v-6", "\f+7",
        "2147483647", "2147483648", "-2147483648", "-2147483649", "99999999999999999999999",
        "-99999999999999999999999", "00000000000000000000042", "4.9", "-3e2", "0x1f", "1-2", "\3773"};
    // clang-format on
    for (const char* token : tokens) EXPECT_EQ(ConvertInt(token), ReferenceInt(token)) << token;
}

TEST(ReportSpelling, FixedMatchesPrintf) {
    // Ties at the sixth decimal round to even, as printf does.
    float inf = std::numeric_limits<float>::infinity();
    std::vector<float> values = {
        0.0f,     -0.0f,        1.0f,        -3.5f,         0.875f,        1e-7f,         -1e-7f,
        5e-7f,    4.9999e-7f,   0.0078125f,  -0.0078125f,   0.0000005f,    -0.0000005f,   1.5e-6f,
        2.5e-6f,  999999.9375f, 123456.789f, 9.99999e11f,   1e12f,         3.4028235e38f, -3.4028235e38f,
        1.4e-45f, inf,          -inf,        std::nanf(""), -std::nanf("")};
    std::mt19937 random(3);
    for (int i = 0; i < 100000; ++i) {
        float value = std::bit_cast<float>(static_cast<std::uint32_t>(random()));
        values.push_back(value);
    }
    char text[128];
    for (float value : values) {
        std::string ours;
        zelreport::AppendFixed6(value, ours);
        std::snprintf(text, sizeof text, "%f", value);
        ASSERT_EQ(ours, text) << std::bit_cast<std::uint32_t>(value);
    }
}

TEST(ReportSpelling, IntMatchesPrintf) {
    for (std::int32_t value : {0, 1, -1, 42, -16, INT32_MAX, INT32_MIN, 20260101}) {
        std::string ours;
        zelreport::AppendInt(value, ours);
        EXPECT_EQ(ours, std::to_string(value));
    }
}

}  // namespace
