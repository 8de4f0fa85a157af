// SPDX-License-Identifier: MIT
// The one write loop of the three programs: everything written, or false
// with errno set.
#pragma once

#include <string_view>

namespace zelreport {

// Writes all of `text` to `fd`, going on after a signal and waiting with
// poll whenever a non-blocking descriptor is full (as a parent's pipe may
// be). False on any other error, with errno saying which.
bool WriteAll(int fd, std::string_view text);

}  // namespace zelreport
