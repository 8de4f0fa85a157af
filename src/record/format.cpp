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
    // The largest float has 39 integer digits; 64 bytes leave room.
    char text[64];
    auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
    out.append(text, result.ptr);
}

}  // namespace zelreport
