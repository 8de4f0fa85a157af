// SPDX-License-Identifier: MIT
// Reads a document on standard input through the installed library and
// prints, per record, its name, ip1 and first data value, then whether the
// report text equals the reports rebuilt with append_report.
#include <cstdio>
#include <string>

#include "zelreport/version.h"
#include "zelreport/zelreport.h"

int main() {
    std::string output, rebuilt;
    zelreport::Handlers handlers;
    handlers.output = [&](std::string_view text) {
        output += text;
        return true;
    };
    handlers.on_record = [&](const zelreport::RecordView& r) {
        std::printf("%s %d", r.nomvar ? r.nomvar->c_str() : "-", r.ip1);
        if (r.has_floatdata && !r.floatdata.empty()) std::printf(" %g", r.floatdata[0]);
        if (r.has_intdata && !r.intdata.empty()) std::printf(" %d", r.intdata[0]);
        std::printf("\n");
        zelreport::append_report(r, rebuilt);
    };
    zelreport::Result result = zelreport::run_file(stdin, handlers);
    std::printf("status %d, report %s, version %s\n", static_cast<int>(result.status),
                output == rebuilt && !output.empty() ? "same" : "differs", ZELREPORT_VERSION);
    return result.status == zelreport::Status::ok ? 0 : 1;
}
