// SPDX-License-Identifier: MIT
// Conversion of one values token, exactly as the C library's scanf "%f"
// and strtol with 32-bit saturation give it.
//
// The float readers form a ladder: each rung takes what it can, bit for
// bit as sscanf "%f" in the C locale would, and hands anything else to
// the next one down by returning nullptr.
// 1. ParseFloatInPlace (short_number.h; SSE2): every token of a run of
//    values, straight from the input block, while the block has
//    kShortNumberLookBack bytes before the token and kShortNumberReach
//    after it. Takes [-]digits[.digits] of at most fifteen digits and
//    sixteen bytes of digits and point, with or without an exponent of
//    one to three digits, that surely ends its token. Where SSE2 is missing,
//    ParseShortFloat stands here: the same shapes with up to fifteen
//    digits each side of the point and nineteen in all, needing
//    kShortNumberReach bytes after the token only.
// 2. ParsePlainFloat: a token the first rung left that ends inside the
//    block, and the first try of ConvertFloat. [-]digits[.digits]
//    [e[+-]digits] up to `last`, nineteen digits at most (leading zeros
//    count), any exponent; no room needed around it.
// 3. ConvertFloat: whatever the rungs above left, whole in the block or
//    held apart because it ran across blocks. std::from_chars for a plain
//    decimal of any length whose value is in range, then sscanf itself
//    for everything else: a "+" sign, leading white space, hex, inf and
//    nan, overflow and underflow, a token only partly a number. A token
//    longer than ValuesToken::kLongTokenBytes reaches it in the bounded
//    form LongToken keeps, which converts the same.
// Rungs 1 and 2 round through DecimalToFloat (exact_float.h), which
// declines what it cannot round surely: a power of ten beyond 10^+-54
// once the point stands after the digits, a result on a halfway point
// between two floats that it cannot show to be the decimal itself, and,
// past 10^+-27, where the power takes two roundings, a result next to
// such a point or below the normal floats.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zelreport {

// Reads a plain decimal ([-]digits[.digits][e[+-]digits]) starting at
// `first` and stopping at the first byte that cannot continue it. Returns
// the end of the number, or nullptr when the number is not plain or not
// simple enough to round exactly here; `value` is then unspecified.
const char* ParsePlainFloat(const char* first, const char* last, float& value);

// Reads [-+]digits starting at `first`, saturated as ConvertInt does.
// Returns the end of the number, or nullptr without digits.
const char* ParsePlainInt(const char* first, const char* last, std::int32_t& value);

// Returns the float that sscanf(token, "%f") stores, or 0 when it stores
// nothing. `scratch` holds a terminated copy when the slow path needs one.
float ConvertFloat(std::string_view token, std::string& scratch);

// Optional white space and sign, then digits up to the first other byte;
// 0 without digits; saturated to the 32-bit range.
std::int32_t ConvertInt(std::string_view token);

}  // namespace zelreport
