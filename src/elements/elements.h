// SPDX-License-Identifier: MIT
// The handlers that read an element's content into the current record.
#pragma once

#include <cstdint>
#include <string_view>

namespace zelreport {

struct Context;
struct Record;

// The handlers get the name in the document loop's NameBuffer, which has
// room for word loads past its end.
void ParseInt(Context& ctx, std::string_view name);
void ParseString(Context& ctx, std::string_view name);
void ParseValues(Context& ctx, std::string_view name);

void setIntVar(Record& record, std::string_view name, std::int32_t value);
void setStringVar(Record& record, std::string_view name, std::string_view text);

}  // namespace zelreport
