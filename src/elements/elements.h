// SPDX-License-Identifier: MIT
// The handlers that read an element's content into the current record.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "zelreport/fields.h"

// Expands ZELREPORT_INT_SETTER(name, negated), which the user defines, for
// each integer field that an element sets: negated when it keeps the
// negation of the number read.
#define ZELREPORT_NO_TEXT(name, label)
#define ZELREPORT_INT_BY_RULE_stored(name) ZELREPORT_INT_SETTER(name, false)
#define ZELREPORT_INT_BY_RULE_negated(name) ZELREPORT_INT_SETTER(name, true)
#define ZELREPORT_INT_BY_RULE_dropped(name)
#define ZELREPORT_INT_BY_RULE_absent(name)
#define ZELREPORT_INT_BY_RULE(name, label, rule) ZELREPORT_INT_BY_RULE_##rule(name)
#define ZELREPORT_INT_SETTERS ZELREPORT_FIELDS(ZELREPORT_NO_TEXT, ZELREPORT_INT_BY_RULE)

namespace zelreport {

struct Context;
struct Record;

// The handlers get the name in the document loop's NameBuffer, which has
// room for word loads past its end.

// The structural names' handler: moves to the "<" of the next tag.
void SkipTag(Context& ctx, std::string_view name);
// The handler of the integer elements whose number is dropped.
void ParseInt(Context& ctx, std::string_view name);
// ParseInt for one field, which it sets without looking it up by name.
template <std::int32_t Record::*field, bool negated>
void ParseIntField(Context& ctx, std::string_view name);
// The text handler, one for each text field, which it sets without
// looking it up by name.
template <std::optional<std::string> Record::*field>
void ParseString(Context& ctx, std::string_view name);
void ParseValues(Context& ctx, std::string_view name);
// ParseValues for a run that scans: the same reading, the tokens counted,
// not converted, and the text's place kept in the record's `places`.
void ScanValues(Context& ctx, std::string_view name);

}  // namespace zelreport
