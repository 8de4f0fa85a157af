// SPDX-License-Identifier: MIT
// The keyword table: element names and the handlers that read them, held
// in a chained hash table of 101 buckets.
#pragma once

#include <algorithm>
#include <array>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "reader/sweep.h"

namespace zelreport {

struct Context;
using ElementHandler = void (*)(Context& ctx, std::string_view name);

constexpr std::size_t kHashBuckets = 101;

// A name's first sixteen bytes as two words, zero beyond its end, and its
// length: two names of up to sixteen bytes are equal when these are.
struct PackedName {
    std::uint64_t words[2] = {0, 0};
    std::size_t length = 0;
    bool operator==(const PackedName&) const = default;
};
constexpr std::size_t kPackedBytes = sizeof PackedName::words;

// Packs a name of `length` bytes, at most sixteen, from the sixteen loaded
// at its start.
inline PackedName Pack(const Bytes16& start, std::size_t length) {
    assert(length <= kPackedBytes);
    std::array<std::uint64_t, 2> words = start.FirstBytes(static_cast<int>(length));
    return {{words[0], words[1]}, length};
}
// The same from `text`, a name of any length with sixteen bytes to load.
inline PackedName PackPadded(const char* text, std::size_t length) {
    PackedName packed = Pack(Bytes16(text), std::min(length, kPackedBytes));
    packed.length = length;
    return packed;
}
// The same from any name, through a copy with room to load.
inline PackedName Pack(std::string_view name) {
    char room[kPackedBytes] = {};
    if (!name.empty()) std::memcpy(room, name.data(), std::min(name.size(), kPackedBytes));
    return PackPadded(room, name.size());
}

struct KeywordEntry {
    const char* name;  // points at the text it was installed with
    ElementHandler handler;
    KeywordEntry* next;
    PackedName packed;  // `name`, for comparing in two word loads
};

struct KeywordRow {
    const char* name;  // null ends the table
    ElementHandler handler;
};

// The static table, in install order, ended by a row without a name.
extern const KeywordRow flags[];

class KeywordTable {
public:
    KeywordEntry* lookup(std::string_view name) const;
    KeywordEntry* install(const char* name, ElementHandler handler);
    // lookup, with the name already packed.
    KeywordEntry* Find(const PackedName& packed, std::string_view name) const;
    const KeywordEntry* bucket(unsigned index) const { return hashtable_[index]; }

private:
    static constexpr int kIndexBits = 7;
    unsigned IndexSlot(std::uint64_t first_word) const {
        return static_cast<unsigned>((first_word * multiplier_) >> (64 - kIndexBits));
    }
    void BuildIndex() const;
    KeywordEntry* Walk(const PackedName& packed, std::string_view name) const;

    std::array<KeywordEntry*, kHashBuckets> hashtable_{};
    std::vector<std::unique_ptr<KeywordEntry>> entries_;
    // Every installed name by its first eight bytes, with a multiplier
    // that gives each one a slot of its own, so that a lookup goes straight
    // to its only candidate; a slot shared all the same sends the lookup
    // along the chain. Built on the first lookup after an install.
    mutable std::array<KeywordEntry*, std::size_t{1} << kIndexBits> index_{};
    mutable std::array<bool, std::size_t{1} << kIndexBits> shared_{};
    mutable std::uint64_t multiplier_ = 0;  // 0 until built
};

// Names compare byte for byte: case matters here although it does not
// for the hash. The first sixteen bytes compare as two words.
inline bool Same(const KeywordEntry& entry, const PackedName& packed, std::string_view name) {
    return entry.packed == packed &&
           (name.size() <= kPackedBytes || std::memcmp(entry.name + kPackedBytes, name.data() + kPackedBytes,
                                                       name.size() - kPackedBytes) == 0);
}

// Inline: the document loop looks up every element's name.
inline KeywordEntry* KeywordTable::Find(const PackedName& packed, std::string_view name) const {
    if (!multiplier_) BuildIndex();
    unsigned slot = IndexSlot(packed.words[0]);
    if (shared_[slot]) return Walk(packed, name);
    KeywordEntry* candidate = index_[slot];
    return candidate && Same(*candidate, packed, name) ? candidate : nullptr;
}

unsigned hash(std::string_view name);

}  // namespace zelreport
