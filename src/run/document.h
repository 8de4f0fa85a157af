// SPDX-License-Identifier: MIT
// One run of a document: the element readers' context, the keyword table
// the document loop dispatches through, and who takes each record.
#pragma once

#include "elements/context.h"
#include "keywords/keywords.h"
#include "record/record.h"
#include "run/record_plan.h"

namespace zelreport {

struct DocumentRun {
    KeywordTable keywords;
    bool initialized = false;
    // Takes each reported record in place of on_record, when set.
    const RecordObserver* observer = nullptr;
    // Set for a run that scans for the places of the values: takes each
    // reported record instead of the handlers, and no report is written.
    const ScanObserver* scan_observer = nullptr;
    // The names foreseen for a record's passes.
    RecordPlan plan;
    Context ctx;

    explicit DocumentRun(const Handlers& handlers) : ctx(handlers) {}
};

void InitConfig(DocumentRun& run);
void ParseConfigFile(DocumentRun& run);

// Hands the current record on, writes its report and releases its
// per-record storage.
void write_to_zelFile(DocumentRun& run);

}  // namespace zelreport
