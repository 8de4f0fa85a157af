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
    std::int32_t datyp;            // 1: floats, 2: integers
    std::int64_t values = 0;       // per record when not ni * nj * nk
    std::int64_t token_bytes = 0;  // at full size: one values token of this many digits
    // One hypercube: typvar, etiket and ip2 the same in every record, npas
    // the step the generator is given, so that only nomvar and ip1 vary.
    bool hypercube = false;
};

// ni * nj * nk values per record; "huge" puts 20,000,000 values in one;
// "declared" is "many" declaring 2^26 entries with 4 values given; the
// token documents hold one values token of 200 MB each.
inline constexpr DocumentKind kDocuments[] = {
    {"grid", 40, 500, 400, 1, 1},
    {"many", 200000, 2, 2, 1, 1},
    {"huge", 1, 5000, 4000, 1, 1},
    {"ints", 40, 500, 400, 1, 2},
    {"declared", 200000, 8192, 8192, 1, 1, 4},
    {"token-float", 1, 1, 1, 1, 1, 1, 200'000'000},
    {"token-int", 1, 1, 1, 1, 2, 1, 200'000'000},
};

// Not timed by make bench: a document of one forecast step, grid's records
// at 200 x 200 (about 12 MB), 8 variables at 5 levels forming one
// hypercube; a run of them, one per step, is what the Python package's
// Dask benchmark opens together.
inline constexpr DocumentKind kCube = {"cube", 40, 200, 200, 1, 1, 0, 0, true};

inline const DocumentKind* FindDocument(std::string_view name) {
    for (const DocumentKind& kind : kDocuments)
        if (kind.name == name) return &kind;
    return name == kCube.name ? &kCube : nullptr;
}

// A document scaled down by `divisor` keeps its shape: fewer records, or
// for a single record fewer rows.
struct Scaled {
    std::int64_t records;
    std::int32_t ni, nj, nk;
    std::int64_t values;  // per record
    std::int64_t token_bytes;
};

inline Scaled ScaleDocument(const DocumentKind& kind, std::int64_t divisor) {
    Scaled size{kind.records, kind.ni, kind.nj, kind.nk, 0, kind.token_bytes / divisor};
    if (kind.token_bytes == 0 && kind.values == 0 && kind.records < divisor)
        size.nj = static_cast<std::int32_t>(kind.nj / divisor);
    else if (kind.records >= divisor)
        size.records = kind.records / divisor;
    size.values = kind.values ? kind.values : std::int64_t{size.ni} * size.nj * size.nk;
    return size;
}

}  // namespace zelbench
