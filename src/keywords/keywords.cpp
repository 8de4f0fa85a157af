// SPDX-License-Identifier: MIT
#include "keywords/keywords.h"

#include <cstring>

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

// Every name is hashed once per install; lookups go through the index.
unsigned hash(std::string_view name) {
    std::uint32_t h = 0;
    for (char b : name) h = h * 31u + kUpper[static_cast<unsigned char>(b)];
    return h % kHashBuckets;
}

KeywordEntry* KeywordTable::Walk(const PackedName& packed, std::string_view name) const {
    for (KeywordEntry* e = hashtable_[hash(name)]; e; e = e->next)
        if (Same(*e, packed, name)) return e;
    return nullptr;
}

void KeywordTable::BuildIndex() const {
    constexpr int kTries = 1000;
    std::uint64_t multiplier = 0x9E3779B97F4A7C15;
    for (int attempt = 0; attempt < kTries; ++attempt, multiplier = multiplier * 6364136223846793005u + 2) {
        multiplier_ = multiplier;
        index_.fill(nullptr);
        shared_.fill(false);
        bool clash = false;
        for (const auto& entry : entries_) {
            unsigned slot = IndexSlot(entry->packed.words[0]);
            shared_[slot] = shared_[slot] || index_[slot];
            clash = clash || shared_[slot];
            index_[slot] = entry.get();
        }
        if (!clash) return;
    }
}

KeywordEntry* KeywordTable::lookup(std::string_view name) const {
    return Find(Pack(name), name);
}

KeywordEntry* KeywordTable::install(const char* name, ElementHandler handler) {
    std::string_view text = name;
    PackedName packed = Pack(text);
    KeywordEntry* e = Walk(packed, text);
    if (!e) {
        multiplier_ = 0;
        KeywordEntry*& head = hashtable_[hash(text)];
        entries_.push_back(std::make_unique<KeywordEntry>(KeywordEntry{name, handler, head, packed}));
        e = head = entries_.back().get();
    }
    e->handler = handler;
    return e;
}

}  // namespace zelreport
