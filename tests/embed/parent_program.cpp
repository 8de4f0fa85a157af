// SPDX-License-Identifier: MIT
// Counts the records of the document on standard input.
#include <zelreport/zelreport.h>

#include <cstdio>

int main() {
    int records = 0;
    zelreport::Handlers handlers;
    handlers.on_record = [&records](const zelreport::RecordView&) { ++records; };
    zelreport::Result result = zelreport::run_file(stdin, handlers);
    std::printf("%d\n", records);
    return result.status == zelreport::Status::ok ? 0 : 1;
}
