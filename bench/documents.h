// SPDX-License-Identifier: MIT
// The benchmark documents: what each one holds at full size.
#pragma once

#include <cstdint>
#include <string_view>

namespace zelbench {

struct DocumentKind {
    std::string_view name;
    std::int64_t records;  // at full size
    std::int32_t ni, nj, nk;
    std::int32_t datyp;  // 1: floats, 2: integers
};

// ni * nj * nk values per record; "huge" puts 20,000,000 values in one.
inline constexpr DocumentKind kDocuments[] = {
    {"grid", 40, 500, 400, 1, 1},
    {"many", 200000, 2, 2, 1, 1},
    {"huge", 1, 5000, 4000, 1, 1},
    {"ints", 40, 500, 400, 1, 2},
};

inline const DocumentKind* FindDocument(std::string_view name) {
    for (const DocumentKind& kind : kDocuments)
        if (kind.name == name) return &kind;
    return nullptr;
}

// A document scaled down by `divisor` keeps its shape: fewer records, or
// for a single record fewer rows.
struct Scaled {
    std::int64_t records;
    std::int32_t ni, nj, nk;
};

inline Scaled ScaleDocument(const DocumentKind& kind, std::int64_t divisor) {
    if (kind.records >= divisor) return {kind.records / divisor, kind.ni, kind.nj, kind.nk};
    return {kind.records, kind.ni, static_cast<std::int32_t>(kind.nj / divisor), kind.nk};
}

}  // namespace zelbench
