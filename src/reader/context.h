// Everything one run of a document works on: the reader, the keyword
// table, the current record and the report output.
#pragma once

#include <string>
#include <string_view>

#include "keywords/keywords.h"
#include "reader/scanner.h"
#include "record/record.h"
#include "zelreport/zelreport.h"

namespace zelreport {

// Text elements are cut at this many bytes.
constexpr std::size_t MAX_SIZE = 8192000;
// Element names are cut at this many bytes.
constexpr std::size_t kMaxNameLength = 200;
// Pending output is written once it grows past this, even mid-record.
constexpr std::size_t kOutputFlushSize = 64 * 1024;

struct Context {
    Scanner in;
    KeywordTable keywords;
    bool initialized = false;
    Record record;
    const Handlers* handlers = nullptr;
    std::string out;  // report text not yet handed to the output
    bool write_failed = false;
    std::string scratch;  // text element content, reused between calls
    std::string token;    // a values token that could not be converted in place

    // Hands the pending text to the output; false once a write failed.
    bool Flush();
};

void SkipTag(Context& ctx, std::string_view name);
void InitConfig(Context& ctx);
void ParseConfigFile(Context& ctx);

}  // namespace zelreport
