// SPDX-License-Identifier: MIT
// Opening a document without converting its values, and converting one
// record's values later from where they lie: what the lazy arrays of the
// xarray engine stand on.
#pragma once

#include <pybind11/pybind11.h>

namespace zelreport::python {

namespace py = pybind11;

// Defines scan(), read_values() and DocumentChangedError in `m`.
void DefineLazyValues(py::module_& m);

}  // namespace zelreport::python
