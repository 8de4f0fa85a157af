// SPDX-License-Identifier: MIT
#include "record/data_array.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "record/pages.h"

namespace zelreport {

namespace {

constexpr std::size_t kFirstBytes = 16 * 1024;
// From this size on an array has a mapping of its own: what is copied
// when it moves there stays small.
constexpr std::size_t kMappedBytes = 64 * 1024;
// From this size on the values change hands as their mapping.
constexpr std::size_t kHandedOverBytes = std::size_t{1} << 20;
static_assert(kHandedOverBytes >= kMappedBytes);

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
            populated_ = size_;
        }
    }
    if (!grown) throw std::bad_alloc();
    data_ = static_cast<T*>(grown);
    capacity_ = bytes / sizeof(T);
    if (!mapped_) populated_ = capacity_;
}

// Precondition: a mapped array, not yet present to its end.
template <typename T>
void DataArray<T>::PopulateAhead() {
    assert(mapped_ && populated_ < capacity_);
    std::size_t to = std::min(capacity_, size_ + 2 * kPopulatedAhead);
    MakePresentForWriting(data_ + populated_, (to - populated_) * sizeof(T));
    populated_ = to;
}

template <typename T>
OwnedValues<T> DataArray<T>::Take() {
    std::size_t bytes = size_ * sizeof(T);
    std::size_t size = std::exchange(size_, 0);
    if (bytes < kHandedOverBytes) {
        T* copy = nullptr;
        if (size > 0) {
            copy = static_cast<T*>(std::malloc(bytes));
            if (!copy) throw std::bad_alloc();
            std::memcpy(copy, data_, bytes);
        }
        return OwnedValues<T>(copy, size, 0);
    }
    // At least a megabyte of values: the array is mapped (capacities double
    // from kFirstBytes), in whole pages.
    assert(mapped_);
    std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    std::size_t kept = (bytes + page - 1) / page * page;
    std::size_t mapped = capacity_ * sizeof(T);
    if (kept < mapped) munmap(reinterpret_cast<char*>(data_) + kept, mapped - kept);
    OwnedValues<T> taken(data_, size, kept);
    data_ = nullptr;
    capacity_ = populated_ = 0;
    mapped_ = false;
    return taken;
}

template <typename T>
void DataArray<T>::Free() {
    if (mapped_)
        munmap(data_, capacity_ * sizeof(T));
    else
        std::free(data_);
    data_ = nullptr;
    size_ = capacity_ = populated_ = 0;
    mapped_ = false;
}

namespace detail {

void free_values(void* data, std::size_t mapped_bytes) noexcept {
    if (mapped_bytes)
        munmap(data, mapped_bytes);
    else
        std::free(data);
}

}  // namespace detail

template class DataArray<float>;
template class DataArray<int>;

}  // namespace zelreport
