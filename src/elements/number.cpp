#include "elements/number.h"

#include <charconv>
#include <cstdio>
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

}  // namespace

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
