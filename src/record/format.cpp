// SPDX-License-Identifier: MIT
// Number spellings of the report, identical to printf's "%d" and "%f".
#include <charconv>
#include <cmath>

#include "record/report.h"

namespace zelreport {

void AppendInt(std::int32_t value, std::string& out) {
    char text[16];
    auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
}

void AppendFixed6(double value, std::string& out) {
    if (std::isnan(value)) {
        out += std::signbit(value) ? "-nan" : "nan";
        return;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "-inf" : "inf";
        return;
    }
    // A float times 10^6 is exact in a double (24 + 20 bits), so rounding
    // it to an integer (ties to even, as printf does) gives the six
    // decimals directly while it stays well inside 64 bits.
    constexpr double kMicro = 1e6;
    constexpr double kFastLimit = 1e12;
    if (std::fabs(value) < kFastLimit && static_cast<double>(static_cast<float>(value)) == value) {
        auto scaled = static_cast<std::int64_t>(std::nearbyint(std::fabs(value) * kMicro));
        char text[32];
        char* end = text + sizeof text;
        char* p = end;
        for (int i = 0; i < 6; ++i, scaled /= 10) *--p = static_cast<char>('0' + scaled % 10);
        *--p = '.';
        do {
            *--p = static_cast<char>('0' + scaled % 10);
            scaled /= 10;
        } while (scaled != 0);
        if (std::signbit(value)) *--p = '-';
        out.append(p, end);
        return;
    }
    // The largest float has 39 integer digits; 64 bytes leave room.
    char text[64];
    auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
    out.append(text, result.ptr);
}

}  // namespace zelreport
