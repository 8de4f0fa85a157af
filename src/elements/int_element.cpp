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

void setIntVar(Record& r, std::string_view name, std::int32_t value) {
    struct Key {
        std::string_view name;
        std::int32_t Record::*field;
    };
    static constexpr Key keys[] = {
        {"ip1", &Record::ip1},     {"ip2", &Record::ip2},     {"ip3", &Record::ip3},
        {"ni", &Record::ni},       {"nj", &Record::nj},       {"nk", &Record::nk},
        {"dateo", &Record::dateo}, {"deet", &Record::deet},   {"ig1", &Record::ig1},
        {"ig2", &Record::ig2},     {"ig3", &Record::ig3},     {"ig4", &Record::ig4},
        {"nbits", &Record::nbits}, {"datyp", &Record::datyp}, {"swa", &Record::swa},
        {"lng", &Record::lng},     {"npas", &Record::npas},   {"npak", &Record::npak},
    };
    for (const Key& key : keys) {
        if (key.name != name) continue;
        // nbits is kept negated; the negation wraps like the value did.
        r.*key.field = key.field == &Record::nbits
                           ? static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(value))
                           : value;
        return;
    }
}

}  // namespace zelreport
