// SPDX-License-Identifier: MIT
#include "record/data_array.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace zelreport {

namespace {

constexpr std::size_t kFirstBytes = 16 * 1024;
// From this size on an array has a mapping of its own.
constexpr std::size_t kMappedBytes = std::size_t{1} << 20;

void* Map(std::size_t bytes) {
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
}

}  // namespace

template <typename T>
void DataArray<T>::Grow() {
    std::size_t old_bytes = capacity_ * sizeof(T);
    if (old_bytes > SIZE_MAX / 2) throw std::bad_alloc();
    std::size_t bytes = old_bytes ? old_bytes * 2 : kFirstBytes;
    void* grown;
    if (bytes < kMappedBytes) {
        grown = std::realloc(data_, bytes);
    } else if (mapped_) {
        grown = mremap(data_, old_bytes, bytes, MREMAP_MAYMOVE);
        if (grown == MAP_FAILED) grown = nullptr;
    } else {
        grown = Map(bytes);
        if (grown) {
            std::memcpy(grown, data_, size_ * sizeof(T));
            std::free(data_);
            mapped_ = true;
        }
    }
    if (!grown) throw std::bad_alloc();
    data_ = static_cast<T*>(grown);
    capacity_ = bytes / sizeof(T);
}

template <typename T>
void DataArray<T>::Free() {
    if (mapped_)
        munmap(data_, capacity_ * sizeof(T));
    else
        std::free(data_);
    data_ = nullptr;
    size_ = capacity_ = 0;
    mapped_ = false;
}

template class DataArray<float>;
template class DataArray<int>;

}  // namespace zelreport
