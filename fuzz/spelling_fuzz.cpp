// SPDX-License-Identifier: MIT
// The report's number spellings: AppendFixed6 of any float must equal
// printf "%f" and AppendInt of any 32-bit integer printf "%d". The first
// four input bytes are read as both.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "record/report.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    float value;
    std::int32_t integer;
    std::memcpy(&value, data, sizeof value);
    std::memcpy(&integer, data, sizeof integer);
    char text[128];
    std::string ours;
    zelreport::AppendFixed6(value, ours);
    std::snprintf(text, sizeof text, "%f", value);
    zelfuzz::ExpectEqual("AppendFixed6 as printf %f", text, ours);
    ours.clear();
    zelreport::AppendInt(integer, ours);
    std::snprintf(text, sizeof text, "%d", integer);
    zelfuzz::ExpectEqual("AppendInt as printf %d", text, ours);
    return 0;
}
