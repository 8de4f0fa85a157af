// SPDX-License-Identifier: MIT
#include <cstdint>

#include "elements/elements.h"
#include "reader/context.h"

namespace zelreport {

// Reads the digits right after the opening tag's ">" (no sign, no blanks),
// wrapping modulo 2^32, then drops the rest of the line.
void ParseInt(Context& ctx, std::string_view name) {
    Scanner& in = ctx.in;
    SkipWhite(in);
    std::uint32_t value = 0;
    if (in.c == '>') in.AdvanceChar();
    while (in.c >= '0' && in.c <= '9') {
        value = value * 10u + static_cast<std::uint32_t>(in.c - '0');
        in.AdvanceChar();
    }
    setIntVar(ctx.record, name, static_cast<std::int32_t>(value));
    NextProperty(in);
}

namespace {

// Names of up to eight bytes packed into one integer, so that finding a
// field takes integer compares only; longer names pack to 0, which no
// field has.
constexpr std::uint64_t Pack(std::string_view name) {
    if (name.empty() || name.size() > 8) return 0;
    std::uint64_t packed = 0;
    for (std::size_t i = 0; i < name.size(); ++i)
        packed |= std::uint64_t{static_cast<unsigned char>(name[i])} << (8 * i);
    return packed;
}

enum class Rule { stored, negated, dropped, absent };

struct Key {
    std::uint64_t name;
    std::int32_t Record::*field;
    Rule rule;
};

// The integer fields that an element sets.
constexpr Key kKeys[] = {
#define ZELREPORT_KEY_TEXT(name, label)
#define ZELREPORT_KEY_INT(name, label, rule) {Pack(#name), &Record::name, Rule::rule},
    ZELREPORT_FIELDS(ZELREPORT_KEY_TEXT, ZELREPORT_KEY_INT)
#undef ZELREPORT_KEY_TEXT
#undef ZELREPORT_KEY_INT
};

}  // namespace

void setIntVar(Record& r, std::string_view name, std::int32_t value) {
    std::uint64_t packed = Pack(name);
    for (const Key& key : kKeys) {
        if (key.name != packed) continue;
        if (key.rule == Rule::stored) r.*key.field = value;
        // The negation wraps like the value did.
        if (key.rule == Rule::negated)
            r.*key.field = static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(value));
        return;
    }
}

}  // namespace zelreport
