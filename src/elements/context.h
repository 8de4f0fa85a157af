// SPDX-License-Identifier: MIT
// What the element readers work on: the reader, the current record, the
// report output and their scratch room.
#pragma once

#include <string>

#include "elements/values_helper.h"
#include "elements/values_token.h"
#include "reader/output.h"
#include "reader/scanner.h"
#include "record/record.h"
#include "record/report.h"

namespace zelreport {

struct Context {
    Scanner in;
    Record record;
    Output out;
    ReportLines report_lines;  // as the last report wrote them
    // Set by a handler that read past its element's closing tag, as the
    // document loop would have; the loop then forgets the element.
    bool closing_tag_read = false;
    std::string scratch;  // text element content, reused between calls
    ValuesToken token;    // a values token that could not be converted in place
    // Declared after `in`, so destroyed first: its destructor joins the
    // second thread, which may still be reading `in`'s block.
    ValuesHelper helper;  // converts half of a long run of values meanwhile

    explicit Context(const Handlers& handlers) {
        out.handlers = &handlers;
        in.flush = &out;
    }
};

}  // namespace zelreport
