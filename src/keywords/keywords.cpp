// SPDX-License-Identifier: MIT
#include "keywords/keywords.h"

#include <cstring>

#include "reader/sweep.h"

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

PackedName Pack(std::string_view name) {
    PackedName packed;
    packed.length = name.size();
    packed.words[0] = LoadUpTo8(name.data(), std::min<std::size_t>(name.size(), 8));
    if (name.size() > 8)
        packed.words[1] = LoadUpTo8(name.data() + 8, std::min(name.size(), kPackedBytes) - 8);
    return packed;
}

PackedName PackPadded(const char* text, std::size_t length) {
    PackedName packed;
    packed.length = length;
    std::size_t head = std::min<std::size_t>(length, 8), tail = std::min<std::size_t>(length, 16) - head;
    // Shifting by 64 would be undefined: a zero mask comes from the size.
    packed.words[0] = Load8(text) & (~std::uint64_t{0} >> ((64 - 8 * head) & 63)) * (head != 0);
    packed.words[1] = Load8(text + 8) & (~std::uint64_t{0} >> ((64 - 8 * tail) & 63)) * (tail != 0);
    return packed;
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
    KeywordEntry* e = Walk(Pack(name), name);
    if (!e) {
        multiplier_ = 0;
        KeywordEntry*& head = hashtable_[hash(name)];
        entries_.push_back(std::make_unique<KeywordEntry>(KeywordEntry{name, handler, head, Pack(name)}));
        e = head = entries_.back().get();
    }
    e->handler = handler;
    return e;
}

}  // namespace zelreport
