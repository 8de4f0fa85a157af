// SPDX-License-Identifier: MIT
#include "columns.h"

#include <pybind11/numpy.h>
#include <sys/mman.h>

#include <limits>
#include <new>
#include <utility>

#include "record_object.h"

namespace zelreport::python {

namespace {

// Up to this many distinct texts a field's are looked through in turn;
// past it, a hash table finds them.
constexpr std::size_t kTextsLookedThrough = 16;
// A column's first mapping; each growth doubles it.
constexpr std::size_t kFirstColumnBytes = 64 * 1024;

}  // namespace

template <typename T>
GrowingColumn<T>& GrowingColumn<T>::operator=(GrowingColumn&& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
    return *this;
}

template <typename T>
GrowingColumn<T>::~GrowingColumn() {
    if (data_) munmap(data_, capacity_ * sizeof(T));
}

template <typename T>
void GrowingColumn<T>::Grow() {
    std::size_t old_bytes = capacity_ * sizeof(T);
    std::size_t bytes = old_bytes ? old_bytes * 2 : kFirstColumnBytes;
    void* grown = data_ ? mremap(data_, old_bytes, bytes, MREMAP_MAYMOVE)
                        : mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (grown == MAP_FAILED) throw std::bad_alloc();
#ifdef MADV_POPULATE_WRITE
    // The new pages in one go; an older kernel faults them one by one.
    madvise(static_cast<char*>(grown) + old_bytes, bytes - old_bytes, MADV_POPULATE_WRITE);
#endif
    data_ = static_cast<T*>(grown);
    capacity_ = bytes / sizeof(T);
}

template <typename T>
py::array GrowingColumn<T>::Take() {
    if (size_ == 0) {
        *this = GrowingColumn();
        return py::array_t<T>(0);
    }
    struct Mapping {
        void* data;
        std::size_t bytes;
    };
    auto* mapping = new Mapping{data_, capacity_ * sizeof(T)};
    py::capsule base(mapping, [](void* p) {
        auto* m = static_cast<Mapping*>(p);
        munmap(m->data, m->bytes);
        delete m;
    });
    py::array taken = py::array_t<T>(static_cast<py::ssize_t>(size_), data_, base);
    data_ = nullptr;
    size_ = capacity_ = 0;
    return taken;
}

template <typename T>
py::array MostlyConstantColumn<T>::Take() {
    if (varied_) {
        py::array taken = values_.Take();
        *this = MostlyConstantColumn();
        return taken;
    }
    auto* value = new T(first_);
    py::capsule base(value, [](void* p) { delete static_cast<T*>(p); });
    py::array_t<T> taken({static_cast<py::ssize_t>(size_)}, {py::ssize_t{0}}, value, base);
    py::detail::array_proxy(taken.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
    *this = MostlyConstantColumn();
    return taken;
}

template class MostlyConstantColumn<std::int32_t>;
template class GrowingColumn<std::int8_t>;
template class GrowingColumn<std::int32_t>;
template class GrowingColumn<std::int64_t>;
template class GrowingColumn<float>;
template class GrowingColumn<bool>;

std::int32_t TextColumn::CodeOf(const std::string& text) {
    if (last_ >= 0 && texts_[static_cast<std::size_t>(last_)] == text) return last_;
    last_ = Find(text);
    return last_;
}

std::int32_t TextColumn::Find(const std::string& text) {
    if (texts_.size() <= kTextsLookedThrough) {
        for (std::size_t i = 0; i < texts_.size(); ++i)
            if (texts_[i] == text) return static_cast<std::int32_t>(i);
    } else if (auto found = index_.find(text); found != index_.end()) {
        return found->second;
    }
    auto code = static_cast<std::int32_t>(texts_.size());
    texts_.push_back(text);
    if (texts_.size() > kTextsLookedThrough) {
        if (index_.empty())
            for (std::size_t i = 0; i < texts_.size(); ++i)
                index_.emplace(texts_[i], static_cast<std::int32_t>(i));
        else
            index_.emplace(text, code);
    }
    return code;
}

void TextColumn::Add(const std::string* text) {
    codes_.push_back(text ? CodeOf(*text) : -1);
}

py::tuple TextColumn::Take() {
    py::list texts;
    for (const std::string& text : texts_) texts.append(Decode(text));
    py::tuple taken = py::make_tuple(codes_.Take(), texts);
    *this = TextColumn();
    return taken;
}

ValuesKind KindOf(const RecordView& view) {
    return view.has_floatdata ? ValuesKind::floats : view.has_intdata ? ValuesKind::ints : ValuesKind::none;
}

void Columns::Add(const RecordView& view, const ValuesPlaces* places) {
#define ZELREPORT_ADD_TEXT(name, label) name##_.Add(view.name);
#define ZELREPORT_ADD_INT(name, label, rule) name##_.push_back(view.name);
    ZELREPORT_FIELDS(ZELREPORT_ADD_TEXT, ZELREPORT_ADD_INT)
#undef ZELREPORT_ADD_TEXT
#undef ZELREPORT_ADD_INT
    ValuesKind kind = KindOf(view);
    kinds_.push_back(static_cast<std::int8_t>(kind));
    if (places_) {
        const ValuesPlace* place = kind == ValuesKind::floats ? &places->floats
                                   : kind == ValuesKind::ints ? &places->ints
                                                              : nullptr;
        count_.push_back(place ? static_cast<std::int64_t>(place->count) : -1);
        start_.push_back(place ? static_cast<std::int64_t>(place->start) : 0);
        stop_.push_back(place ? static_cast<std::int64_t>(place->stop) : 0);
        return;
    }
    std::size_t count = kind == ValuesKind::floats ? view.floatdata.size() : view.intdata.size();
    count_.push_back(kind == ValuesKind::none ? -1 : static_cast<std::int64_t>(count));
    std::optional<Statistics> stats = statistics(view);
    constexpr float kNone = std::numeric_limits<float>::quiet_NaN();
    min_.push_back(stats ? stats->min : kNone);
    max_.push_back(stats ? stats->max : kNone);
    avg_.push_back(stats ? stats->avg : kNone);
    has_statistics_.push_back(stats.has_value());
}

py::dict Columns::Take() {
    py::dict columns;
#define ZELREPORT_TAKE_TEXT(name, label) columns[#name] = name##_.Take();
#define ZELREPORT_TAKE_INT(name, label, rule) columns[#name] = name##_.Take();
    ZELREPORT_FIELDS(ZELREPORT_TAKE_TEXT, ZELREPORT_TAKE_INT)
#undef ZELREPORT_TAKE_TEXT
#undef ZELREPORT_TAKE_INT
    columns["kind"] = kinds_.Take();
    columns["count"] = count_.Take();
    if (places_) {
        columns["start"] = start_.Take();
        columns["stop"] = stop_.Take();
    } else {
        columns["min"] = min_.Take();
        columns["max"] = max_.Take();
        columns["avg"] = avg_.Take();
        columns["has_statistics"] = has_statistics_.Take();
    }
    return columns;
}

}  // namespace zelreport::python
