// SPDX-License-Identifier: MIT
// One values token: ConvertFloat, and the short number readers where they
// take the token, must give what sscanf "%f" stores, bit for bit, and ConvertInt and the in-place integer
// reader what strtol gives, saturated to 32 bits. A token never holds a zero byte (it ends the text), so the
// input is cut at its first one. Inputs starting with "~" spell, from the next four bytes (a float's bits)
// and the fifth (a digit count), a decimal next to the midpoint of that float and the next one up, where
// rounding through a double goes wrong if it is careless.
#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "elements/number.h"
#include "elements/short_number.h"
#include "elements/short_run.h"
#include "fuzz_check.h"
#include "support/oracles.h"

namespace {

std::string HalfwaySpelling(const std::uint8_t* data) {
    std::uint32_t bits;
    std::memcpy(&bits, data, sizeof bits);
    float low = std::bit_cast<float>(bits & 0x7FFFFFFF);
    float high = std::nextafter(low, INFINITY);
    if (!std::isfinite(high)) return "0";
    char text[64];
    std::snprintf(text, sizeof text, data[4] & 0x80 ? "-%.*e" : "%.*g", 1 + data[4] % 24,
                  (double{low} + double{high}) / 2);
    return text;
}

void Check(const std::string& token) {
    float want = zeltest::ScanfFloat(token.c_str());
    std::string scratch;
    float got = zelreport::ConvertFloat(token, scratch);
    if (std::bit_cast<std::uint32_t>(got) != std::bit_cast<std::uint32_t>(want))
        zelfuzz::Fail(("ConvertFloat(\"" + token + "\") as sscanf").c_str(), std::to_string(want),
                      std::to_string(got));
    // The fast path, where it takes the whole token, agrees too.
    float plain;
    if (zelreport::ParsePlainFloat(token.data(), token.data() + token.size(), plain) ==
            token.data() + token.size() &&
        std::bit_cast<std::uint32_t>(plain) != std::bit_cast<std::uint32_t>(want))
        zelfuzz::Fail(("ParsePlainFloat(\"" + token + "\") as sscanf").c_str(), std::to_string(want),
                      std::to_string(plain));
    // So does the in-place reading, with the token between blanks as in a
    // values text.
    float in_place;
    std::string room = std::string(zelreport::kShortNumberLookBack, ' ') + token +
                       std::string(zelreport::kShortNumberReach + 1, ' ');
    const char* start = room.data() + zelreport::kShortNumberLookBack;
    if (zelreport::ParseInPlace(start, room.data() + room.size(), in_place) == start + token.size() &&
        std::bit_cast<std::uint32_t>(in_place) != std::bit_cast<std::uint32_t>(want))
        zelfuzz::Fail(("in-place reading of \"" + token + "\" as sscanf").c_str(), std::to_string(want),
                      std::to_string(in_place));
    std::int32_t int_want = zeltest::StrtolInt32(token.c_str());
    std::int32_t int_got = zelreport::ConvertInt(token);
    if (int_got != int_want)
        zelfuzz::Fail(("ConvertInt(\"" + token + "\") as strtol").c_str(), std::to_string(int_want),
                      std::to_string(int_got));
    std::int32_t int_in_place;
    if (zelreport::ParseInPlace(start, room.data() + room.size(), int_in_place) == start + token.size() &&
        int_in_place != int_want)
        zelfuzz::Fail(("in-place reading of integer \"" + token + "\" as strtol").c_str(),
                      std::to_string(int_want), std::to_string(int_in_place));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 6 && data[0] == '~') return Check(HalfwaySpelling(data + 1)), 0;
    const char* bytes = reinterpret_cast<const char*>(data);
    Check(std::string(bytes, std::find(bytes, bytes + size, '\0')));
    return 0;
}
