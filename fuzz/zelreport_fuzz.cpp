// SPDX-License-Identifier: MIT
// libFuzzer entry: runs a whole document through the library into an
// in-memory report, touching every converted value so the sanitizers see
// each array entry the report could read. The same document is then read
// again in small pieces of varying size, as a pipe delivers it; the report
// must not change, wherever the pieces fall.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "reader/context.h"
#include "zelreport/zelreport.h"

namespace {

zelreport::Handlers Collect(std::string& report) {
    zelreport::Handlers handlers;
    handlers.output = [&report](std::string_view text) {
        report.append(text);
        return true;
    };
    return handlers;
}

// Reads `document` through the block reader in pieces of 1 to 17 bytes,
// their sizes drawn from the document's length so each input replays alike.
std::string ReportInPieces(std::string_view document) {
    std::string report;
    zelreport::Handlers handlers = Collect(report);
    zelreport::Context ctx(handlers);
    std::size_t at = 0;
    std::uint32_t state = static_cast<std::uint32_t>(document.size()) * 2654435761u + 1;
    ctx.in.read_block = [&](char* buffer, std::size_t capacity) -> long {
        if (at == document.size()) return 0;
        state = state * 1103515245u + 12345u;
        std::size_t piece = std::min({capacity, document.size() - at, std::size_t{1} + (state >> 16) % 17});
        std::memcpy(buffer, document.data() + at, piece);
        at += piece;
        return static_cast<long>(piece);
    };
    // The reader's input block is kept from one input to the next, as a
    // fresh one per input would cost more than the run itself.
    static std::unique_ptr<char[]> spare_block;
    ctx.in.block = std::move(spare_block);
    zelreport::ParseConfigFile(ctx);
    ctx.out.Flush();
    spare_block = std::move(ctx.in.block);
    return report;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view document(reinterpret_cast<const char*>(data), size);
    std::string report;
    zelreport::Handlers handlers = Collect(report);
    volatile float float_sum = 0.0f;
    volatile std::int32_t int_xor = 0;
    handlers.on_record = [&](const zelreport::RecordView& record) {
        for (float value : record.floatdata) float_sum = float_sum + value;
        for (std::int32_t value : record.intdata) int_xor = int_xor ^ value;
    };
    zelreport::Result result = zelreport::run_buffer(document, handlers);
    // A document in memory can neither fail to read nor fail to write.
    if (result.status != zelreport::Status::ok) std::abort();
    if (ReportInPieces(document) != report) std::abort();
    return 0;
}
