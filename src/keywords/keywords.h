// SPDX-License-Identifier: MIT
// The keyword table: element names and the handlers that read them, held
// in a chained hash table of 101 buckets.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace zelreport {

struct Context;
using ElementHandler = void (*)(Context& ctx, std::string_view name);

constexpr std::size_t kHashBuckets = 101;

struct KeywordEntry {
    const char* name;  // points at the text it was installed with
    ElementHandler handler;
    KeywordEntry* next;
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
    const KeywordEntry* bucket(unsigned index) const { return hashtable_[index]; }

private:
    std::array<KeywordEntry*, kHashBuckets> hashtable_{};
    std::vector<std::unique_ptr<KeywordEntry>> entries_;
};

unsigned hash(std::string_view name);

}  // namespace zelreport
