// SPDX-License-Identifier: MIT
#include "xml/read/element_names.h"

#include <algorithm>
#include <array>

#include "keywords/keywords.h"

namespace zelreport::xml {

namespace {

// The fields, zeldata and values have names of at most eight bytes: each
// is found by the first word of its packed name, so that a lookup is a
// binary search over integers.
constexpr std::size_t kShortNameBytes = 8;
constexpr bool AllShort() {
    for (const FieldInfo& field : kFields)
        if (field.name.size() > kShortNameBytes) return false;
    return kDataName.size() <= kShortNameBytes && kValuesName.size() <= kShortNameBytes;
}
static_assert(AllShort(), "a field's name no longer fits the table's word");

std::uint64_t Word(std::string_view name) {
    return Pack(name).words[0];
}

struct Entry {
    std::uint64_t packed;
    ElementName element;
};

constexpr std::size_t kShortNames = kFieldCount + 2;  // the fields, zeldata and values

std::array<Entry, kShortNames> MakeTable() {
    std::array<Entry, kShortNames> table{};
    std::size_t n = 0;
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        // A field no element sets has no name here.
        Name name = kFields[i].kind == FieldKind::absent ? Name::other : Name::field;
        table[n++] = {Word(kFields[i].name), {name, static_cast<Field>(i)}};
    }
    table[n++] = {Word(kDataName), {Name::data, Field::nomvar}};
    table[n++] = {Word(kValuesName), {Name::values, Field::nomvar}};
    std::sort(table.begin(), table.end(), [](const Entry& a, const Entry& b) { return a.packed < b.packed; });
    return table;
}

}  // namespace

ElementName Classify(std::string_view name) {
    if (name.size() > kShortNameBytes) {
        if (name == kRootName) return {Name::root};
        if (name == kRecordName) return {Name::record};
        return {};
    }
    static const std::array<Entry, kShortNames> kTable = MakeTable();
    std::uint64_t packed = Word(name);
    auto it = std::lower_bound(kTable.begin(), kTable.end(), packed,
                               [](const Entry& e, std::uint64_t p) { return e.packed < p; });
    if (it != kTable.end() && it->packed == packed && !name.empty()) return it->element;
    return {};
}

}  // namespace zelreport::xml
