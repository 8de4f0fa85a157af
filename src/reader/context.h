// SPDX-License-Identifier: MIT
// Everything one run of a document works on: the reader, the keyword
// table, the current record and the report output.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "elements/values_helper.h"
#include "elements/values_token.h"
#include "keywords/keywords.h"
#include "reader/output.h"
#include "reader/scanner.h"
#include "record/record.h"

namespace zelreport {

// Text elements are cut at this many bytes.
constexpr std::size_t MAX_SIZE = 8192000;
// Element names are cut at this many bytes.
constexpr std::size_t kMaxNameLength = 200;
// Room for a name and two word loads past its end.
using NameBuffer = std::array<char, kMaxNameLength + 16>;

struct Context {
    Scanner in;
    KeywordTable keywords;
    bool initialized = false;
    Record record;
    Output out;
    // Set by a handler that read past its element's closing tag, as the
    // document loop would have; the loop then forgets the element.
    bool closing_tag_read = false;
    std::string scratch;  // text element content, reused between calls
    ValuesToken token;    // a values token that could not be converted in place
    // Takes each reported record in place of on_record, when set.
    const RecordObserver* observer = nullptr;
    // Declared after `in`, so destroyed first: its destructor joins the
    // second thread, which may still be reading `in`'s block.
    ValuesHelper helper;  // converts half of a long run of values meanwhile

    explicit Context(const Handlers& handlers) {
        out.handlers = &handlers;
        in.flush = &out;
    }
};

void SkipTag(Context& ctx, std::string_view name);
void InitConfig(Context& ctx);
void ParseConfigFile(Context& ctx);

}  // namespace zelreport
