// SPDX-License-Identifier: MIT
#include "keywords/keywords.h"

#include <array>

namespace zelreport {

namespace {

constexpr std::array<unsigned char, 256> MakeUpper() {
    std::array<unsigned char, 256> upper{};
    for (unsigned b = 0; b < 256; ++b)
        upper[b] = static_cast<unsigned char>(b >= 'a' && b <= 'z' ? b - 'a' + 'A' : b);
    return upper;
}
constexpr std::array<unsigned char, 256> kUpper = MakeUpper();

}  // namespace

// Two bytes per step (h * 31^2 + b0 * 31 + b1, wrapping like the one-byte
// form) halve the chain of dependent multiplies; every name is looked up.
unsigned hash(std::string_view name) {
    std::uint32_t h = 0;
    std::size_t i = 0;
    for (; i + 1 < name.size(); i += 2) {
        std::uint32_t b0 = kUpper[static_cast<unsigned char>(name[i])];
        std::uint32_t b1 = kUpper[static_cast<unsigned char>(name[i + 1])];
        h = h * (31u * 31u) + (b0 * 31u + b1);
    }
    if (i < name.size()) h = h * 31u + kUpper[static_cast<unsigned char>(name[i])];
    return h % kHashBuckets;
}

namespace {

// True when the zero-terminated `keyword` is exactly `name`, read without
// measuring the keyword first.
bool SameName(const char* keyword, std::string_view name) {
    for (std::size_t i = 0; i < name.size(); ++i)
        if (keyword[i] == '\0' || keyword[i] != name[i]) return false;
    return keyword[name.size()] == '\0';
}

}  // namespace

// Names compare byte for byte: case matters here although it does not
// for the hash.
KeywordEntry* KeywordTable::lookup(std::string_view name) const {
    for (KeywordEntry* e = hashtable_[hash(name)]; e; e = e->next)
        if (SameName(e->name, name)) return e;
    return nullptr;
}

KeywordEntry* KeywordTable::install(const char* name, ElementHandler handler) {
    KeywordEntry* e = lookup(name);
    if (!e) {
        KeywordEntry*& head = hashtable_[hash(name)];
        entries_.push_back(std::make_unique<KeywordEntry>(KeywordEntry{name, handler, head}));
        e = head = entries_.back().get();
    }
    e->handler = handler;
    return e;
}

}  // namespace zelreport
