// SPDX-License-Identifier: MIT
// Number spellings of the report, identical to printf's "%d" and "%f".
#include <charconv>
#include <cmath>
#include <cstring>

#include "record/report.h"

namespace zelreport {

namespace {

// "00" to "99", so that digits are written two at a time.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the six digits of `value` (below 10^6) at `out`, as three pairs.
char* WriteSixDigits(std::uint32_t value, char* out) {
    std::uint32_t high = value / 10000, rest = value % 10000;
    std::memcpy(out, kDigitPairs + 2 * high, 2);
    std::memcpy(out + 2, kDigitPairs + 2 * (rest / 100), 2);
    std::memcpy(out + 4, kDigitPairs + 2 * (rest % 100), 2);
    return out + 6;
}

// Writes `text` at `out` and returns its end.
char* Write(std::string_view text, char* out) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

}  // namespace

char* WriteFixed6(float single, char* out) {
    double value = single;
    if (std::isnan(value)) return Write(std::signbit(value) ? "-nan" : "nan", out);
    if (std::isinf(value)) return Write(value < 0 ? "-inf" : "inf", out);
    // Below 2^23 a float times 10^6 is exact in a double (24 + 20 bits)
    // and below 2^52, where adding and taking away 2^52 rounds it to an
    // integer, ties to even, as printf does; from 2^23 on a float is a
    // whole number. Either way the six decimals come out of one integer
    // while it stays inside 64 bits.
    constexpr double kWholeFrom = 8388608.0;               // 2^23
    constexpr double kRoundingShift = 4503599627370496.0;  // 2^52
    constexpr double kFastLimit = 1e12;
    double magnitude = std::fabs(value);
    if (magnitude < kFastLimit) {
        double micros = magnitude * 1e6;
        if (magnitude < kWholeFrom) micros = (micros + kRoundingShift) - kRoundingShift;
        auto scaled = static_cast<std::uint64_t>(micros);
        if (std::signbit(value)) *out++ = '-';
        // The whole part is below 10^12; below 2^32 it is written in
        // 32-bit steps, which take fewer instructions.
        std::uint64_t whole = scaled / 1000000;
        out = whole <= UINT32_MAX
                  ? std::to_chars(out, out + kMaxFixed6Chars, static_cast<std::uint32_t>(whole)).ptr
                  : std::to_chars(out, out + kMaxFixed6Chars, whole).ptr;
        *out++ = '.';
        return WriteSixDigits(static_cast<std::uint32_t>(scaled % 1000000), out);
    }
    return std::to_chars(out, out + kMaxFixed6Chars, value, std::chars_format::fixed, 6).ptr;
}

void AppendInt(std::int32_t value, std::string& out) {
    char text[kMaxIntChars];
    out.append(text, WriteInt(value, text));
}

void AppendFixed6(float value, std::string& out) {
    char text[kMaxFixed6Chars];
    out.append(text, WriteFixed6(value, text));
}

}  // namespace zelreport
