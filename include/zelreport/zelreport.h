// zelreport: read a record document and report each record's arguments.
//
// A document is run through `run`. At every record end the library hands
// the record to `Handlers::on_record` as a read-only view, then produces
// the standard report text and hands it to `Handlers::output`. Failures
// come back in the result; the library never exits the process.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace zelreport {

// A record as it stands at its end. Text fields are null when absent.
// The views are valid only during the `on_record` call.
struct RecordView {
    const std::string* nomvar = nullptr;
    const std::string* typvar = nullptr;
    const std::string* etiket = nullptr;
    const std::string* grtyp = nullptr;
    std::int32_t ip1 = 0, ip2 = 0, ip3 = 0, ni = 0, nj = 0, nk = 0;
    std::int32_t dateo = 0, deet = 0, npas = 0, ig1 = 0, ig2 = 0, ig3 = 0, ig4 = 0;
    std::int32_t nbits = 0, datyp = 0, swa = 0, lng = 0, dltf = 0, ubc = 0;
    std::int32_t extra1 = 0, extra2 = 0, extra3 = 0, npak = 0, iun = 0;
    // Converted values: one entry per token of the values text.
    bool has_floatdata = false;
    std::span<const float> floatdata;
    bool has_intdata = false;
    std::span<const std::int32_t> intdata;
};

enum class Status {
    ok,             // end of input, or the root element's closing tag
    read_error,     // the input could not be read; `error` holds errno
    write_error,    // `output` returned false
    out_of_memory,  // an allocation failed
};

struct Result {
    Status status = Status::ok;
    int error = 0;
};

struct Handlers {
    // Receives the report text (and diagnostics) in order, one call per
    // record at least. Returning false stops the run with write_error.
    // May be empty: the text is then discarded.
    std::function<bool(std::string_view)> output;
    // Called at each reported record end, before its report is output.
    std::function<void(const RecordView&)> on_record;
};

// Reads the document from a file descriptor, a stream or memory.
Result run_fd(int fd, const Handlers& handlers);
Result run_file(std::FILE* file, const Handlers& handlers);
Result run_buffer(std::string_view document, const Handlers& handlers);

// Appends the standard report of `record` (banner, 29 argument lines and,
// for single-precision data, the statistics line) to `out`.
void append_report(const RecordView& record, std::string& out);

}  // namespace zelreport
