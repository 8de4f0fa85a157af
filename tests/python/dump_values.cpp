// SPDX-License-Identifier: MIT
// Prints what the C++ API gives for each record of the document on
// standard input, one line per array: "floats" and the bits of each value
// in hexadecimal, or "ints" and each value; "none" for a record with
// neither. The Python tests compare the package's arrays with it.
#include <unistd.h>

#include <bit>
#include <cstdint>
#include <cstdio>

#include "zelreport/zelreport.h"

int main() {
    zelreport::Handlers handlers;
    handlers.on_record = [](const zelreport::RecordView& r) {
        if (r.has_floatdata) {
            std::printf("floats");
            for (float v : r.floatdata) std::printf(" %08x", std::bit_cast<std::uint32_t>(v));
            std::printf("\n");
        }
        if (r.has_intdata) {
            std::printf("ints");
            for (std::int32_t v : r.intdata) std::printf(" %d", v);
            std::printf("\n");
        }
        if (!r.has_floatdata && !r.has_intdata) std::printf("none\n");
    };
    return zelreport::run_fd(STDIN_FILENO, handlers).status == zelreport::Status::ok ? 0 : 1;
}
