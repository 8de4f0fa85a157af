// SPDX-License-Identifier: MIT
// Any document, read whole from memory and read in small pieces through
// run_reader, must give the same report and the same records, value for
// value; every converted value is read, so the sanitizers see each entry.
#include <cstdint>
#include <string>

#include "fuzz_check.h"

namespace {

// The report, followed by every record's arrays as raw bytes.
struct Seen {
    std::string report, records;
    zelreport::Handlers handlers;
    Seen() {
        handlers.output = [this](std::string_view text) { return report.append(text), true; };
        handlers.on_record = [this](const zelreport::RecordView& r) {
            records += r.has_floatdata ? "floats:" : "no floats:";
            records.append(reinterpret_cast<const char*>(r.floatdata.data()), r.floatdata.size_bytes());
            records += r.has_intdata ? "ints:" : "no ints:";
            records.append(reinterpret_cast<const char*>(r.intdata.data()), r.intdata.size_bytes());
        };
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view document(reinterpret_cast<const char*>(data), size);
    Seen whole, pieces;
    // A document in memory can neither fail to read nor fail to write.
    if (zelreport::run_buffer(document, whole.handlers).status != zelreport::Status::ok) std::abort();
    std::uint32_t seed = static_cast<std::uint32_t>(size) * 2654435761u + 1;
    if (zelreport::run_reader(zelfuzz::Pieces(document, seed), pieces.handlers).status !=
        zelreport::Status::ok)
        std::abort();
    zelfuzz::ExpectEqual("report read in pieces", whole.report, pieces.report);
    zelfuzz::ExpectEqual("records read in pieces", whole.records, pieces.records);
    return 0;
}
