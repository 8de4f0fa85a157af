// Conversion of one values token, exactly as the C library's scanf
// "%f" and strtol-with-32-bit-saturation give it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zelreport {

// Returns the float that sscanf(token, "%f") stores, or 0 when it stores
// nothing. `scratch` holds a terminated copy when the slow path needs one.
float ConvertFloat(std::string_view token, std::string& scratch);

// Optional white space and sign, then digits up to the first other byte;
// 0 without digits; saturated to the 32-bit range.
std::int32_t ConvertInt(std::string_view token);

}  // namespace zelreport
