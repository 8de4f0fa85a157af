// SPDX-License-Identifier: MIT
// The reading for a program that compares it with another reading of the
// same document (zelcheck): each reported record comes with the origin of
// its values.
#pragma once

#include "record/record.h"
#include "zelreport/zelreport.h"

namespace zelreport {

// run_reader, with `observer` (when not null) taking each reported record
// in place of the handlers' on_record.
Result run_reader_observed(ReadBlock read_block, const Handlers& handlers, const RecordObserver* observer);

}  // namespace zelreport
