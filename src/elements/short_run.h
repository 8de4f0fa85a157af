// SPDX-License-Identifier: MIT
// A run of short numbers and the separators between them, converted
// straight from the input block.
#pragma once

#include <cstdint>
#include <string>

#include "elements/number.h"
#include "elements/short_number.h"
#include "elements/text_rules.h"
#include "elements/values_token.h"

namespace zelreport {

// A short number from `q` (kShortNumberReach bytes before `end`), with
// `floor` the first byte that may be loaded.
inline const char* ParseShortToken(const char* floor, const char* q, const char* end, float& value) {
#if ZELREPORT_FLOAT_IN_PLACE
    if (q - floor >= kShortNumberLookBack) return ParseFloatInPlace(q, end, value);
#else
    (void)floor;
#endif
    return ParseShortFloat(q, end, value);
}

inline const char* ParseShortToken(const char*, const char* q, const char* end, std::int32_t& value) {
    return ParseShortInt(q, end, value);
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

// Converts the tokens from `q` (a token byte) on, and the separators after
// them, before `stop` in a block from `floor` to `end`, writing the values at
// `out` up to `out_end`: short numbers with word loads while the block
// leaves room for them, any other token that can be converted where it
// lies the general way. Returns where it stopped: `stop`, a byte that is
// no separator and no token byte, a token that cannot be converted here,
// or the end of the room.
template <typename T, typename Tally>
const char* ConvertRun(const char* floor, const char* q, const char* stop, const char* end, T*& out,
                       T* out_end, Tally& tally, std::string& scratch) {
    Tally running = tally;  // in registers for the loop
    while (q < stop && out < out_end) {
        T value;
        const char* r = end - q > kShortNumberReach ? ParseShortToken(floor, q, end, value) : nullptr;
        if (!r) r = ConvertWholeToken(q, end, value, scratch);
        if (!r) break;
        *out++ = value;
        running.Add(value);
        // The usual separator: one blank, then the next token.
        if (end - r > 1 && r[0] == ' ' && IsTokenByte(static_cast<unsigned char>(r[1]))) {
            q = r + 1;
            continue;
        }
        q = SkipSeparators(r, end);
        if (q == end || !IsTokenByte(static_cast<unsigned char>(*q))) break;
    }
    tally = running;
    return q;
}

// Integer values keep no running statistics.
struct NoTally {
    template <typename T>
    void Add(T) {}
};

}  // namespace zelreport
