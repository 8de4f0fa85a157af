// SPDX-License-Identifier: MIT
// A record's end: the record handed on, its report written, its storage
// released.
#include "record/report.h"
#include "run/document.h"

namespace zelreport {

void write_to_zelFile(DocumentRun& run) {
    Context& ctx = run.ctx;
    RecordView view = MakeView(ctx.record);
    if (run.observer)
        (*run.observer)(view, ctx.record.values_origin);
    else if (ctx.out.handlers->on_record)
        ctx.out.handlers->on_record(view);
    // Room first, then the report: it goes out whole or not at all.
    char* room = ctx.out.Reserve(ReportRoom(view));
    ctx.out.Commit(WriteRecordReport(ctx.record, view, room));
    ctx.out.FlushIfFull();
    ctx.record.ReleaseData();
}

}  // namespace zelreport
