#include "keywords/keywords.h"

namespace zelreport {

unsigned hash(std::string_view name) {
    std::uint32_t h = 0;
    for (char ch : name) {
        unsigned char b = static_cast<unsigned char>(ch);
        if (b >= 'a' && b <= 'z') b = static_cast<unsigned char>(b - 'a' + 'A');
        h = h * 31u + b;
    }
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
