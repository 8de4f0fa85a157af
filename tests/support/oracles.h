// SPDX-License-Identifier: MIT
// What a values token must convert to, straight from the C library: the
// oracles of the conversion tests and fuzz targets.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace zeltest {

// What sscanf "%f" stores for `token`, or 0 when it stores nothing.
inline float ScanfFloat(const char* token) {
    float value = 0.0f;
    if (std::sscanf(token, "%f", &value) != 1) value = 0.0f;
    return value;
}

// strtol's value for `token`, saturated to 32 bits.
inline std::int32_t StrtolInt32(const char* token) {
    return static_cast<std::int32_t>(std::clamp<long>(std::strtol(token, nullptr, 10), INT32_MIN, INT32_MAX));
}

}  // namespace zeltest
