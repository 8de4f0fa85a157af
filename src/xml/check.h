// SPDX-License-Identifier: MIT
// zelcheck's engine: reads a document once, through both its XML meaning
// and zelreport's own reading, and reports every record they disagree on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "xml/common/io.h"
#include "xml/print/findings.h"
#include "xml/print/form.h"

namespace zelreport::xml {

struct CheckResult {
    FileSummary summary;   // its `file` not set: the name outlives no call
    bool trouble = false;  // the document could not be checked to its end
    std::string message;   // why, "FILE:LINE:COL: ..." or "FILE: ..."
};

// Checks the document `read` gives, called `name` in findings, which go
// to `form`.
CheckResult CheckDocument(std::string_view name, ReadFn read, Form& form, const PrintOptions& options = {});

// The same, in text form to `out`, without colour.
CheckResult CheckDocument(std::string_view name, ReadFn read, Output& out, const PrintOptions& options = {});

}  // namespace zelreport::xml
