// SPDX-License-Identifier: MIT
#include <cstdint>

#include "elements/digits.h"
#include "elements/elements.h"
#include "elements/field_slots.h"
#include "keywords/keywords.h"
#include "reader/context.h"
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
// ">" of its opening tag: up to fifteen digits in two word loads, then the
// rest of the line. The value wraps modulo 2^32 as the byte loop's does:
// taken modulo 2^64 first, it keeps the same low 32 bits.
bool ReadIntLineInBlock(Scanner& in, std::uint32_t& value) {
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
    if (!NextLineInBlock(in, in.p + digits)) return false;
    value = static_cast<std::uint32_t>(number);
    return true;
}

}  // namespace

namespace {

// The integer fields an element sets; names of other integer keywords
// (the dropped ones) find no field.
using IntField = std::int32_t Record::*;
constexpr FieldSetter<IntField> kIntSetters[] = {
#define ZELREPORT_SETTER_TEXT(name, label)
#define ZELREPORT_SETTER_stored(name) {#name, &Record::name, false},
#define ZELREPORT_SETTER_negated(name) {#name, &Record::name, true},
#define ZELREPORT_SETTER_dropped(name)
#define ZELREPORT_SETTER_absent(name)
#define ZELREPORT_SETTER_INT(name, label, rule) ZELREPORT_SETTER_##rule(name)
    ZELREPORT_FIELDS(ZELREPORT_SETTER_TEXT, ZELREPORT_SETTER_INT)
#undef ZELREPORT_SETTER_TEXT
#undef ZELREPORT_SETTER_INT
};
constexpr FieldSlots kIntSlots(kIntSetters);

// Sets the field of the name packed as `word`, if it has one.
void SetIntField(Record& r, std::uint64_t word, std::int32_t value) {
    const FieldSlot<IntField>* slot = kIntSlots.Find(word);
    if (!slot) return;
    // The negation wraps like the value did.
    r.*slot->field = slot->flag ? static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(value)) : value;
}

}  // namespace

void setIntVar(Record& r, std::string_view name, std::int32_t value) {
    SetIntField(r, PackWord(name), value);
}

namespace {

// ParseInt byte by byte, out of the usual case's way.
[[gnu::noinline]] void ParseIntLine(Context& ctx, std::uint64_t word) {
    Scanner& in = ctx.in;
    SkipWhite(in);
    if (in.c == '>') in.AdvanceChar();
    SetIntField(ctx.record, word, static_cast<std::int32_t>(ReadWrappingNumber(in)));
    NextProperty(in);
}

}  // namespace

// Reads the digits right after the opening tag's ">" (no sign, no blanks),
// wrapping modulo 2^32, then drops the rest of the line.
void ParseInt(Context& ctx, std::string_view name) {
    std::uint64_t word = LoopNameWord(name);
    std::uint32_t value;
    if (ReadIntLineInBlock(ctx.in, value))
        return SetIntField(ctx.record, word, static_cast<std::int32_t>(value));
    ParseIntLine(ctx, word);
}

}  // namespace zelreport
