// SPDX-License-Identifier: MIT
// The growable array that holds a record's converted values.
#pragma once

#include <cstddef>
#include <span>

#include "zelreport/zelreport.h"

namespace zelreport {

// Grows in proportion to what arrives, so a declared size alone costs
// nothing; large arrays live in their own mapping and grow by remapping,
// without copying, so a record of N values peaks at about 4N bytes.
// Capacity is kept from record to record, except a large one's.
template <typename T>
class DataArray {
public:
    DataArray() = default;
    DataArray(const DataArray&) = delete;
    DataArray& operator=(const DataArray&) = delete;
    ~DataArray() { Free(); }

    void push_back(T value) {
        if (size_ == capacity_) Grow();
        data_[size_++] = value;
    }
    void clear() { size_ = 0; }
    // Room for values written in place, past the current ones (never
    // empty); Commit counts the first `count` of them in.
    std::span<T> Spare() {
        if (size_ == capacity_) Grow();
        if (populated_ < size_ + kPopulatedAhead && populated_ < capacity_) PopulateAhead();
        return {data_ + size_, capacity_ - size_};
    }
    void Commit(std::size_t count) { size_ += count; }
    // Hands the values over and empties the array: a large array's
    // mapping changes hands, less its pages past the values; a small one
    // is copied, and the array keeps its memory for the next record.
    OwnedValues<T> Take();
    // Empties the array for the next record.
    void Release() {
        size_ = 0;
        if (capacity_ * sizeof(T) > kKeptBytes) Free();
    }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const T& operator[](std::size_t i) const { return data_[i]; }
    const T& back() const { return data_[size_ - 1]; }
    operator std::span<const T>() const { return {data_, size_}; }

private:
    static constexpr std::size_t kKeptBytes = std::size_t{16} << 20;
    // A mapped array's pages are made present this many values ahead of
    // its end, in one call each time: a page faulted in one by one costs
    // several times more.
    static constexpr std::size_t kPopulatedAhead = (std::size_t{1} << 20) / sizeof(T);
    void Grow();
    void PopulateAhead();
    void Free();

    T* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    // Values from the start whose pages are surely present: the whole
    // capacity of an array that is not mapped.
    std::size_t populated_ = 0;
    bool mapped_ = false;
};

extern template class DataArray<float>;
extern template class DataArray<int>;

}  // namespace zelreport
