// SPDX-License-Identifier: MIT
// Memory about to be written in full, made present in one call.
#pragma once

#include <cstddef>

namespace zelreport {

// Makes the pages of [data, data + size) present for writing at once: on
// a virtual machine a page faulted in by its first write costs several
// times more. Where the kernel refuses, the pages fault in as they are
// written, as before; their contents never change.
void MakePresentForWriting(void* data, std::size_t size);

}  // namespace zelreport
