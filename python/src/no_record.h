// SPDX-License-Identifier: MIT
// The warning for a document that gave no record: its cause, told from
// the document's first bytes; what each cause means, in one table; and
// the Python warning that says it.
#pragma once

#include <pybind11/pybind11.h>

#include <cstdint>
#include <string_view>

#include "source.h"

namespace zelreport::python {

enum class NoRecordCause { empty, wide_encoding, no_markup, records_misread, no_root, unknown };

// The cause, from the document's first bytes and its size.
NoRecordCause FindNoRecordCause(std::string_view head, std::uint64_t size);

// The warning category, zelreport.NoRecordWarning (GIL held).
py::handle NoRecordWarning();

// Warns that the document of `source` gave no record, and why (GIL held);
// raises when warnings are errors.
void WarnNoRecord(const Source& source);

}  // namespace zelreport::python
