// SPDX-License-Identifier: MIT
// Conversion of one values token, exactly as the C library's scanf "%f"
// and strtol with 32-bit saturation give it.
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
