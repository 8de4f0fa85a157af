#include "elements/number.h"

#include <bit>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>

namespace zelreport {

namespace {

// Bytes a plain decimal token is made of.
constexpr bool IsPlainDecimalByte(unsigned char b) {
    return (b >= '0' && b <= '9') || b == '.' || b == 'e' || b == 'E' || b == '+' || b == '-';
}

bool IsCSpace(unsigned char b) {
    return b == ' ' || (b >= '\t' && b <= '\r');
}

bool IsDigit(char b) {
    return static_cast<unsigned char>(b - '0') < 10;
}

// 10^-22 to 10^22 as doubles, indexed by the exponent plus 22: exact
// from 10^0 up, rounded below (multiplying by an inverse costs far less
// than dividing).
constexpr int kMaxExactPower = 22;
constexpr double kPowers[] = {
    1e-22, 1e-21, 1e-20, 1e-19, 1e-18, 1e-17, 1e-16, 1e-15, 1e-14, 1e-13, 1e-12, 1e-11, 1e-10, 1e-9, 1e-8,
    1e-7,  1e-6,  1e-5,  1e-4,  1e-3,  1e-2,  1e-1,  1e0,   1e1,   1e2,   1e3,   1e4,   1e5,   1e6,  1e7,
    1e8,   1e9,   1e10,  1e11,  1e12,  1e13,  1e14,  1e15,  1e16,  1e17,  1e18,  1e19,  1e20,  1e21, 1e22};
static_assert(sizeof kPowers / sizeof kPowers[0] == 2 * kMaxExactPower + 1);
constexpr int kMaxDigits = 19;  // still fits a uint64
constexpr std::uint64_t kMaxExactMantissa = std::uint64_t{1} << 53;
constexpr int kMaxExponentValue = 100000;
// The double bits a float drops, and their pattern at a halfway point.
constexpr std::uint64_t kDroppedBits = (std::uint64_t{1} << 29) - 1;
constexpr std::uint64_t kHalfway = std::uint64_t{1} << 28;
// The product with a rounded inverse power is within 2 units of the last
// double place of the exact quotient; this margin covers that many times.
constexpr std::uint64_t kHalfwayMargin = 16;

}  // namespace

namespace {

// Reads the run of digits at `q` into `mantissa`, eight bytes at a time
// while the bytes are there to load; returns the end of the run. Always
// inlined: the float reader's hot path is mostly this.
[[gnu::always_inline]] inline const char* ReadDigitsInline(const char* q, const char* last,
                                                           std::uint64_t& mantissa) {
    constexpr std::uint64_t kZeros = 0x3030303030303030;
    constexpr std::uint64_t kHighBits = 0x8080808080808080;
    constexpr std::uint64_t kAboveNine = 0x7676767676767676;  // byte + this sets bit 7 above 9
    static constexpr std::uint64_t kPowers[] = {1,      10,      100,      1000,     10000,
                                                100000, 1000000, 10000000, 100000000};
    while (last - q >= 8) {
        std::uint64_t word;
        std::memcpy(&word, q, sizeof word);
        // Bytes past the first non-digit may come out wrong: only the
        // first non-digit is looked at.
        std::uint64_t values = word - kZeros;
        std::uint64_t non_digits = (values | (values + kAboveNine)) & kHighBits;
        int count = non_digits ? std::countr_zero(non_digits) / 8 : 8;
        if (count == 0) return q;
        // Keep the digits only, as the low end of an eight-digit number.
        values <<= 8 * (8 - count);
        values = values * 10 + (values >> 8);
        values = (((values & 0x000000FF000000FF) * 0x000F424000000064) +
                  (((values >> 16) & 0x000000FF000000FF) * 0x0000271000000001)) >>
                 32;
        mantissa = mantissa * kPowers[count] + static_cast<std::uint32_t>(values);
        q += count;
        if (count < 8) return q;
    }
    for (; q < last && IsDigit(*q); ++q) mantissa = mantissa * 10 + static_cast<unsigned>(*q - '0');
    return q;
}

}  // namespace

const char* ReadDigits(const char* q, const char* last, std::uint64_t& mantissa) {
    return ReadDigitsInline(q, last, mantissa);
}

// The decimal is mantissa * 10^exponent with both small enough that one
// double multiply by an exact power of ten, or by a rounded inverse one,
// lands within two units of the double's last place from the exact value.
// Rounding that double to float then gives the correctly rounded float,
// unless it lies that close to a halfway point between two floats: those
// rare spellings are left to the general conversion.
const char* ParsePlainFloat(const char* first, const char* last, float& value) {
    const char* q = first;
    bool negative = q < last && *q == '-';
    q += negative;
    std::uint64_t mantissa = 0;
    const char* integer = q;
    q = ReadDigitsInline(q, last, mantissa);
    std::ptrdiff_t digits = q - integer;
    int exponent = 0;
    if (q < last && *q == '.') {
        const char* fraction = ++q;
        q = ReadDigitsInline(q, last, mantissa);
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
        int written = 0;
        for (; q < last && IsDigit(*q); ++q) {
            if (written > kMaxExponentValue) return nullptr;
            written = written * 10 + (*q - '0');
        }
        exponent += negative_exponent ? -written : written;
    }
    double magnitude = 0.0;
    if (mantissa != 0) {
        if (mantissa > kMaxExactMantissa || exponent < -kMaxExactPower || exponent > kMaxExactPower)
            return nullptr;
        double m = static_cast<double>(mantissa);
        magnitude = m * kPowers[exponent + kMaxExactPower];
        // Near a halfway point the double cannot tell which float is nearer.
        if ((std::bit_cast<std::uint64_t>(magnitude) & kDroppedBits) - (kHalfway - kHalfwayMargin) <=
            2 * kHalfwayMargin)
            return nullptr;
    }
    // The magnitude is never negative: setting the sign bit negates it,
    // zero included, without a branch.
    auto bits = std::bit_cast<std::uint32_t>(static_cast<float>(magnitude));
    value = std::bit_cast<float>(bits | static_cast<std::uint32_t>(negative) << 31);
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
            if (ParsePlainFloat(token.data(), token.data() + token.size(), value) ==
                token.data() + token.size())
                return value;
            auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
            if (error == std::errc() && end == token.data() + token.size()) return value;
        }
    }
    scratch.assign(token);
    float value = 0.0f;
    if (std::sscanf(scratch.c_str(), "%f", &value) != 1) value = 0.0f;
    return value;
}

std::int32_t ConvertInt(std::string_view token) {
    std::size_t i = 0;
    while (i < token.size() && IsCSpace(static_cast<unsigned char>(token[i]))) ++i;
    bool negative = false;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';
    // Accumulate the magnitude, stopping to grow once it is out of range.
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; i < token.size() && token[i] >= '0' && token[i] <= '9'; ++i)
        if (magnitude <= kLimit) magnitude = magnitude * 10 + (token[i] - '0');
    std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    if (value < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

}  // namespace zelreport
