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

}  // namespace

void setIntVar(Record& r, std::string_view name, std::int32_t value) {
    struct Key {
        std::uint64_t name;
        std::int32_t Record::*field;
    };
    static constexpr Key keys[] = {
        {Pack("ip1"), &Record::ip1},     {Pack("ip2"), &Record::ip2},     {Pack("ip3"), &Record::ip3},
        {Pack("ni"), &Record::ni},       {Pack("nj"), &Record::nj},       {Pack("nk"), &Record::nk},
        {Pack("dateo"), &Record::dateo}, {Pack("deet"), &Record::deet},   {Pack("ig1"), &Record::ig1},
        {Pack("ig2"), &Record::ig2},     {Pack("ig3"), &Record::ig3},     {Pack("ig4"), &Record::ig4},
        {Pack("nbits"), &Record::nbits}, {Pack("datyp"), &Record::datyp}, {Pack("swa"), &Record::swa},
        {Pack("lng"), &Record::lng},     {Pack("npas"), &Record::npas},   {Pack("npak"), &Record::npak},
    };
    std::uint64_t packed = Pack(name);
    for (const Key& key : keys) {
        if (key.name != packed) continue;
        // nbits is kept negated; the negation wraps like the value did.
        r.*key.field = key.field == &Record::nbits
                           ? static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(value))
                           : value;
        return;
    }
}

}  // namespace zelreport
