// SPDX-License-Identifier: MIT
// The one read loop for a file descriptor: a block, the end, or -1 with
// errno set, whatever kind of descriptor it is.
#pragma once

#include <cstddef>
#include <functional>

namespace zelreport {

// How long a read with a caller to ask waits at most before asking again.
constexpr int kReadWakeMilliseconds = 50;

// Asked between waits whether the read goes on; false stops it.
using KeepReading = std::function<bool()>;

// Reads up to `capacity` bytes of `fd` into `buffer`: the count, 0 at the
// end of input, or -1 with errno set. Goes on after a signal, and waits
// with poll on a non-blocking descriptor without input. With `keep_going`,
// every wait (for input, or in a read a signal interrupts) lasts at most
// kReadWakeMilliseconds before it is asked again; once it says no, the
// read ends with -1 and ECANCELED.
long ReadFd(int fd, char* buffer, std::size_t capacity, const KeepReading& keep_going = {});

}  // namespace zelreport
