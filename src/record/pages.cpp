// SPDX-License-Identifier: MIT
#include "record/pages.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace zelreport {

void MakePresentForWriting(void* data, std::size_t size) {
#ifdef MADV_POPULATE_WRITE
    if (size == 0) return;
    auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    auto from = reinterpret_cast<std::uintptr_t>(data) / page * page;
    auto to = reinterpret_cast<std::uintptr_t>(data) + size;
    madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
#else
    (void)data, (void)size;
#endif
}

}  // namespace zelreport
