// SPDX-License-Identifier: MIT
#include "elements/number.h"

#include <locale.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdio>
#include <limits>

#include "elements/c_scan.h"
#include "elements/digits.h"
#include "elements/exact_float.h"

namespace zelreport {

namespace {

// Bytes a plain decimal token is made of.
constexpr bool IsPlainDecimalByte(unsigned char b) {
    return (b >= '0' && b <= '9') || b == '.' || b == 'e' || b == 'E' || b == '+' || b == '-';
}

constexpr int kMaxDigits = 19;  // still fits a uint64

// Up to nine digits cannot leave the 32-bit range.
constexpr std::ptrdiff_t kSafeIntDigits = 9;

// The C library's "%f" in the C locale, whatever locale the program that
// uses this library has set: a decimal comma must not change what is read.
float ScanFloatInCLocale(const char* text) {
    static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", locale_t{});
    locale_t host = uselocale(c_locale);
    float value = 0.0f;
    if (std::sscanf(text, "%f", &value) != 1) value = 0.0f;
    uselocale(host);
    return value;
}

}  // namespace

// Reads the number digit run by digit run; its rounding is DecimalToFloat's.
const char* ParsePlainFloat(const char* first, const char* last, float& value) {
    const char* q = first;
    bool negative = q < last && *q == '-';
    q += negative;
    std::uint64_t mantissa = 0;
    const char* integer = q;
    q = ReadDigits(q, last, mantissa);
    std::ptrdiff_t digits = q - integer;
    int exponent = 0;
    if (q < last && *q == '.') {
        const char* fraction = ++q;
        q = ReadDigits(q, last, mantissa);
        exponent = static_cast<int>(fraction - q);
        digits += q - fraction;
    }
    // Leading zeros count here too: long spellings go the general way.
    if (digits == 0 || digits > kMaxDigits) return nullptr;
    if (q < last && (*q == 'e' || *q == 'E')) {
        ++q;
        bool negative_exponent = q < last && *q == '-';
        if (q < last && (*q == '-' || *q == '+')) ++q;
        if (q == last || !IsDigit(*q)) return nullptr;
        std::int64_t written = 0;
        for (; q < last && IsDigit(*q); ++q) written = std::min(written * 10 + (*q - '0'), kMaxExponentValue);
        // Past the powers of ten DecimalToFloat takes, one exponent is as
        // good as another.
        constexpr std::int64_t kOutside = exact_float::kMaxLongReach + 1;
        exponent = static_cast<int>(std::clamp<std::int64_t>(
            exponent + (negative_exponent ? -written : written), -kOutside, kOutside));
    }
    if (!DecimalToFloat(mantissa, exponent, negative, value)) return nullptr;
    return q;
}

const char* ParsePlainInt(const char* first, const char* last, std::int32_t& value) {
    const char* q = first;
    bool negative = q < last && *q == '-';
    if (q < last && (*q == '-' || *q == '+')) ++q;
    const char* digits = q;
    std::uint64_t magnitude = 0;  // wraps harmlessly on runs too long to use
    q = ReadDigits(q, last, magnitude);
    if (q == digits) return nullptr;
    if (q - digits > kSafeIntDigits)
        value = ConvertInt({first, static_cast<std::size_t>(q - first)});
    else
        value = negative ? -static_cast<std::int32_t>(magnitude) : static_cast<std::int32_t>(magnitude);
    return q;
}

float ConvertFloat(std::string_view token, std::string& scratch) {
    // Fast path: a plain decimal that from_chars reads whole and in range.
    // It rounds correctly, as scanf does. Everything else (a "+" sign,
    // leading white space, hex, inf/nan, overflow, partial matches) is
    // left to scanf itself.
    if (!token.empty()) {
        unsigned char first = static_cast<unsigned char>(token[0]);
        bool plain = (first >= '0' && first <= '9') || first == '-' || first == '.';
        for (std::size_t i = 1; plain && i < token.size(); ++i)
            plain = IsPlainDecimalByte(static_cast<unsigned char>(token[i]));
        if (plain) {
            float value;
            const char* end = token.data() + token.size();
            if (ParsePlainFloat(token.data(), end, value) == end) return value;
            auto [stop, error] = std::from_chars(token.data(), end, value);
            if (error == std::errc() && stop == end) return value;
        }
    }
    scratch.assign(token);
    return ScanFloatInCLocale(scratch.c_str());
}

std::int32_t ConvertInt(std::string_view token) {
    std::size_t i = 0;
    while (i < token.size() && IsCSpace(static_cast<unsigned char>(token[i]))) ++i;
    bool negative = false;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';
    // Accumulate the magnitude, stopping to grow once it is out of range.
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; i < token.size() && IsDigit(token[i]); ++i)
        if (magnitude <= kLimit) magnitude = magnitude * 10 + (token[i] - '0');
    std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    if (value < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

}  // namespace zelreport
