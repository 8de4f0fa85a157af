// SPDX-License-Identifier: MIT
// "Did you mean": the known element names closest to an unknown one.
#pragma once

#include <string>
#include <string_view>

namespace zelreport::xml {

// The known names one edit from `name` (a byte inserted, dropped, changed
// or two swapped; a namespace prefix and letter case do not count), as
// "<ip1>", "<ip1> or <ip2>"; empty when none is that close. A change
// between look-alikes (l and 1, O and 0) is nearer than any other.
std::string Suggest(std::string_view name);

}  // namespace zelreport::xml
