// SPDX-License-Identifier: MIT
// zelcheck's engine: reads a document once, through both its XML meaning
// and zelreport's own reading, and reports every record they disagree on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "xml/common/io.h"

namespace zelreport::xml {

struct CheckResult {
    std::uint64_t errors = 0;  // error findings (warnings do not count)
    bool trouble = false;      // the document could not be checked
    std::string message;       // why, "FILE:LINE:COL: ..." or "FILE: ..."
};

// Checks the document `read` gives, called `name` in findings, which go
// to `findings`; `all`: every finding printed, none only counted.
CheckResult CheckDocument(std::string_view name, ReadFn read, Output& findings, bool all = false);

}  // namespace zelreport::xml
