// SPDX-License-Identifier: MIT
// zelfmt's engine: writes a document's meaning in the layout zelreport
// reads exactly, one record at a time.
#pragma once

#include <string>
#include <string_view>

#include "xml/common/io.h"

namespace zelreport::xml {

struct FormatResult {
    enum Outcome { written, refused, trouble } outcome = written;
    // "FILE:LINE:COL: error: ..." for a meaning zelreport cannot read as
    // written or a document that cannot be read; "FILE: ..." without a place.
    std::string message;
    // "FILE:LINE:COL: warning: ..." lines: what zelfmt left out or wrote
    // as absent, whatever the outcome.
    std::string warnings;
};

// Writes the meaning of the document `read` gives, called `name` in
// messages, to `out`.
FormatResult FormatDocument(std::string_view name, ReadFn read, Output& out);

}  // namespace zelreport::xml
