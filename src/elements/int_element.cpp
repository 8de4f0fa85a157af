// SPDX-License-Identifier: MIT
#include <cstdint>

#include "elements/context.h"
#include "elements/digits.h"
#include "elements/elements.h"
#include "elements/short_number.h"
#include "reader/lines.h"

namespace zelreport {

namespace {

// Reads the run of digits from the look-ahead byte on, wrapping modulo
// 2^32. Up to seven digits (no wrap possible) with one word load.
std::uint32_t ReadWrappingNumber(Scanner& in) {
    if (in.c != kEndOfInput && in.end - in.Here() >= 8) {
        const char* q = in.Here();
        std::uint64_t word = Load8(q);
        int digits = LeadingDigits(word);
        if (digits < 8) {
            in.ResumeAt(q + digits);
            return DigitsValue(word, digits);
        }
    }
    std::uint32_t value = 0;
    while (in.c >= '0' && in.c <= '9') {
        value = value * 10u + static_cast<std::uint32_t>(in.c - '0');
        in.AdvanceChar();
    }
    return value;
}

// The usual integer line inside the block, read in one sweep from the
// ">" of its opening tag: up to fifteen digits, then the rest of the line
// up to a line feed among the next sixteen bytes and a tag after it.
// The value wraps modulo 2^32 as the byte loop's does: the digits' exact
// value keeps the same low 32 bits.
bool ReadIntLineInBlock(Scanner& in, std::uint32_t& value) {
#if ZELREPORT_IN_PLACE
    // Sixteen bytes from the digits on, and sixteen before their end.
    constexpr std::ptrdiff_t kRoom = short_number::kWindowBytes;
    if (in.c != '>' || in.end - in.p < kRoom || in.p - in.floor < kRoom) return false;
    const auto digits = static_cast<unsigned>(std::countr_zero(short_number::NonDigits(in.p)));
    if (digits > short_number::kMaxWindowDigits) return false;
    // No digit keeps nothing of the window: 0.
    std::uint64_t number = short_number::WindowValue(short_number::WindowEndingAt(in.p + digits), digits);
#else
    constexpr std::ptrdiff_t kRoom = 16;
    if (in.c != '>' || in.end - in.p < kRoom) return false;
    std::uint64_t word = Load8(in.p);
    int digits = LeadingDigits(word);
    std::uint64_t number = DigitsValue(word, digits);
    if (digits == 8) {
        std::uint64_t next = Load8(in.p + 8);
        int more = LeadingDigits(next);
        if (more == 8) return false;
        number = number * kPowersOfTen[more] + DigitsValue(next, more);
        digits += more;
    }
#endif
    // Anything else after the digits goes the byte loop's way, which calls
    // nothing back here.
    if (!UsualNextLine(in, in.p + digits)) return false;
    value = static_cast<std::uint32_t>(number);
    return true;
}

// The number a field keeps of the value read: its negation, wrapping like
// the value did, where the field's rule says so.
constexpr std::int32_t Stored(std::uint32_t value, bool negated) {
    return static_cast<std::int32_t>(negated ? 0u - value : value);
}

// The integer line byte by byte, out of the usual case's way.
std::uint32_t ReadIntLine(Scanner& in) {
    SkipWhite(in);
    if (in.c == '>') in.AdvanceChar();
    std::uint32_t value = ReadWrappingNumber(in);
    NextProperty(in);
    return value;
}

// The same into a field, called last, so that the usual case keeps no
// register for after it.
[[gnu::noinline]] void ReadIntLineInto(Scanner& in, std::int32_t* field, bool negated) {
    std::uint32_t value = ReadIntLine(in);
    if (field) *field = Stored(value, negated);
}

// Reads the digits right after the opening tag's ">" (no sign, no blanks),
// wrapping modulo 2^32, then drops the rest of the line; sets the field,
// if any, to what it keeps of them.
[[gnu::always_inline]] inline void ReadIntElement(Scanner& in, std::int32_t* field, bool negated) {
    std::uint32_t value;
    if (!ReadIntLineInBlock(in, value)) return ReadIntLineInto(in, field, negated);
    if (field) *field = Stored(value, negated);
}

}  // namespace

void ParseInt(Context& ctx, std::string_view) {
    ReadIntElement(ctx.in, nullptr, false);
}

template <std::int32_t Record::*field, bool negated>
void ParseIntField(Context& ctx, std::string_view) {
    ReadIntElement(ctx.in, &(ctx.record.*field), negated);
}

#define ZELREPORT_INT_SETTER(name, negated) \
    template void ParseIntField<&Record::name, negated>(Context & ctx, std::string_view);
ZELREPORT_INT_SETTERS
#undef ZELREPORT_INT_SETTER

}  // namespace zelreport
