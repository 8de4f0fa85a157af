// libFuzzer entry: runs a whole document through the library into an
// in-memory report, touching every converted value so the sanitizers see
// each array entry the report could read.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "zelreport/zelreport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string report;
    zelreport::Handlers handlers;
    handlers.output = [&report](std::string_view text) {
        report.append(text);
        return true;
    };
    volatile float float_sum = 0.0f;
    volatile std::int32_t int_xor = 0;
    handlers.on_record = [&](const zelreport::RecordView& record) {
        for (float value : record.floatdata) float_sum = float_sum + value;
        for (std::int32_t value : record.intdata) int_xor = int_xor ^ value;
    };
    zelreport::Result result = zelreport::run_buffer({reinterpret_cast<const char*>(data), size}, handlers);
    // A document in memory can neither fail to read nor fail to write.
    if (result.status != zelreport::Status::ok) std::abort();
    return 0;
}
