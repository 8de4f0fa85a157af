// SPDX-License-Identifier: MIT
#include "xml/read/element_names.h"

#include <algorithm>
#include <array>

namespace zelreport::xml {

namespace {

// Names of up to eight bytes packed into one integer, so a lookup is a
// binary search over integers; longer names pack to 0.
constexpr std::uint64_t Pack(std::string_view name) {
    if (name.size() > 8) return 0;
    std::uint64_t packed = 0;
    for (std::size_t i = 0; i < name.size(); ++i)
        packed |= std::uint64_t{static_cast<unsigned char>(name[i])} << (8 * i);
    return packed;
}

struct Entry {
    std::uint64_t packed;
    ElementName element;
};

constexpr std::size_t kShortNames = kFieldCount + 2;  // the fields, zeldata and values

constexpr std::array<Entry, kShortNames> MakeTable() {
    std::array<Entry, kShortNames> table{};
    std::size_t n = 0;
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        // A field no element sets has no name here.
        Name name = kFields[i].kind == FieldKind::absent ? Name::other : Name::field;
        table[n++] = {Pack(kFields[i].name), {name, static_cast<Field>(i)}};
    }
    table[n++] = {Pack(kDataName), {Name::data, Field::nomvar}};
    table[n++] = {Pack(kValuesName), {Name::values, Field::nomvar}};
    std::sort(table.begin(), table.end(), [](const Entry& a, const Entry& b) { return a.packed < b.packed; });
    return table;
}

constexpr std::array<Entry, kShortNames> kTable = MakeTable();

}  // namespace

ElementName Classify(std::string_view name) {
    if (name.size() > 8) {
        if (name == kRootName) return {Name::root};
        if (name == kRecordName) return {Name::record};
        return {};
    }
    std::uint64_t packed = Pack(name);
    auto it = std::lower_bound(kTable.begin(), kTable.end(), packed,
                               [](const Entry& e, std::uint64_t p) { return e.packed < p; });
    if (it != kTable.end() && it->packed == packed && !name.empty()) return it->element;
    return {};
}

}  // namespace zelreport::xml
