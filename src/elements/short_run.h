// SPDX-License-Identifier: MIT
// A run of short numbers and the separators between them, converted
// straight from the input block.
#pragma once

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <string>
#include <type_traits>

#include "elements/number.h"
#include "elements/short_number.h"
#include "elements/text_rules.h"
#include "elements/values_token.h"

namespace zelreport {

// A short number read in place at `q`, which has kShortNumberLookBack
// bytes before it and kShortNumberReach after it in the block. Returns
// the end of its token or nullptr.
inline const char* ParseInPlace(const char* q, const char* end, float& value) {
#if ZELREPORT_IN_PLACE
    return ParseFloatInPlace(q, end, value);
#else
    return ParseShortFloat(q, end, value);
#endif
}

inline const char* ParseInPlace(const char* q, const char* end, std::int32_t& value) {
#if ZELREPORT_IN_PLACE
    return ParseIntInPlace(q, end, value);
#else
    return ParseShortInt(q, end, value);
#endif
}

// Skips the separators between two tokens: blanks, tabs, and line feeds
// that the next line continues with a blank.
inline const char* SkipSeparators(const char* q, const char* end) {
    while (q < end) {
        if (*q == ' ' || *q == '\t')
            ++q;
        else if (IsBlankContinuedLineFeed(q, end))
            q += 2;
        else
            break;
    }
    return q;
}

// The end of the token from `q` when it can be converted where it lies:
// it ends inside the block, surely, and is not long (a long one is kept
// in its bounded form instead). nullptr otherwise.
inline const char* WholeTokenEnd(const char* q, const char* end) {
    const char* r = q + 1;
    while (r < end && IsTokenByte(static_cast<unsigned char>(*r))) ++r;
    bool whole =
        r < end && EndsToken(r, end) && static_cast<std::size_t>(r - q) <= ValuesToken::kLongTokenBytes;
    return whole ? r : nullptr;
}

// Any token that can be converted where it lies, as the general
// conversion does: a plain number digit run by digit run, anything else
// through `scratch`. Returns its end, or nullptr.
inline const char* ConvertWholeToken(const char* q, const char* end, float& value, std::string& scratch) {
    const char* r = ParsePlainFloat(q, end, value);
    if (r && r < end && EndsToken(r, end)) return r;
    r = WholeTokenEnd(q, end);
    if (r) value = ConvertFloat({q, static_cast<std::size_t>(r - q)}, scratch);
    return r;
}

inline const char* ConvertWholeToken(const char* q, const char* end, std::int32_t& value, std::string&) {
    const char* r = ParsePlainInt(q, end, value);
    if (r && r < end && EndsToken(r, end)) return r;
    r = WholeTokenEnd(q, end);
    if (r) value = ConvertInt({q, static_cast<std::size_t>(r - q)});
    return r;
}

// The most bytes a short number and the usual separator after it take:
// sign, sixteen of digits and point, an exponent, a line feed and a blank.
constexpr std::ptrdiff_t kMaxShortStep = 32;

// The usual stretch of a run: short numbers read in place, each followed
// by one blank or a line feed and a blank, while the block from `floor` to
// `end` leaves room around them before `stop` and the array has room.
// Returns where it stopped: on a token it did not take, or on the
// separators after the last one it took.
template <typename T>
[[gnu::always_inline]] inline const char* ConvertShortTokens(const char* floor, const char* q,
                                                             const char* stop, const char* end, T*& out,
                                                             T* out_end) {
    assert(floor && floor <= q && q < end);
    if (end - q <= kShortNumberReach || q - floor < kShortNumberLookBack) return q;
    const char* const limit = std::min(stop, end - kShortNumberReach);
    T* o = out;  // in a register, not through the caller's pointer
    while (q < limit && o < out_end) {
        // The tokens that surely begin before `limit`, taken without a
        // test of their place.
        T* batch_end = o + std::min((limit - q + kMaxShortStep - 1) / kMaxShortStep, out_end - o);
        do {
            T value;
            const char* r = ParseInPlace(q, end, value);
            if (!r) break;
            const char after = *r;  // read before the store, which may alias it
            *o++ = value;
            if (after == ' ') {
                q = r + 1;
            } else if (IsBlankContinuedLineFeed(r, end)) {
                q = r + 2;
            } else {
                q = r;
                break;
            }
        } while (o < batch_end);
        if (o != batch_end) break;
    }
    out = o;
    return q;
}

// Converts the tokens from `q` (a token byte) on, and the separators after
// them, before `stop` in a block from `floor` to `end`, writing the values
// at `out` up to `out_end` and adding them to `tally`: short numbers in
// place while the block leaves room around them, any other token that can
// be converted where it lies the general way. Returns where it stopped:
// `stop`, a byte that is no separator and no token byte, a token that
// cannot be converted here, or the end of the room.
template <typename T, typename Tally>
const char* ConvertRun(const char* floor, const char* q, const char* stop, const char* end, T*& out,
                       T* out_end, Tally& tally, std::string& scratch) {
    while (q < stop && out < out_end) {
        T* const from = out;
        q = ConvertShortTokens(floor, q, stop, end, out, out_end);
        tally.AddAll(from, out);
        q = SkipSeparators(q, end);
        if (q >= stop || out == out_end || q == end || !IsTokenByte(static_cast<unsigned char>(*q))) break;
        T value;
        const char* r = ConvertWholeToken(q, end, value, scratch);
        if (!r) break;
        *out++ = value;
        tally.Add(value);
        q = SkipSeparators(r, end);
        if (q == end || !IsTokenByte(static_cast<unsigned char>(*q))) break;
    }
    return q;
}

// Integer values keep no running statistics.
struct NoTally {
    template <typename T>
    void Add(T) {}
    template <typename T>
    void AddAll(const T*, const T*) {}
};

}  // namespace zelreport
