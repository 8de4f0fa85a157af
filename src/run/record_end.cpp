// SPDX-License-Identifier: MIT
// A record's end: the record handed on, its report written, its storage
// released.
#include "record/report.h"
#include "run/document.h"

namespace zelreport {

namespace {

// A scanned record has no values and no report: its fields and the places
// of its values go to the observer.
[[gnu::noinline]] void HandOnScanned(Record& record, const ScanObserver& observer) {
    observer(MakeView(record), record.places);
    record.ReleaseData();
    record.places = {};
}

}  // namespace

void write_to_zelFile(DocumentRun& run) {
    Context& ctx = run.ctx;
    if (run.scan_observer) return HandOnScanned(ctx.record, *run.scan_observer);
    RecordView view = MakeView(ctx.record);
    // The report is written before the record is handed on, which may take
    // its values, and counts once that is done: it goes out whole, and not
    // at all when the handler throws.
    char* room = ctx.out.Reserve(ReportRoom(view));
    const char* end = WriteRecordReport(ctx.record, view, ctx.report_lines, room);
    const Handlers& handlers = *ctx.out.handlers;
    if (run.observer)
        (*run.observer)(view, ctx.record.values_origin);
    else if (handlers.on_record_values)
        handlers.on_record_values(view, {ctx.record.floatdata.Take(), ctx.record.intdata.Take()});
    else if (handlers.on_record)
        handlers.on_record(view);
    ctx.out.Commit(end);
    ctx.out.FlushIfFull();
    ctx.record.ReleaseData();
}

}  // namespace zelreport
