// SPDX-License-Identifier: MIT
// The report printed at each record's end.
#pragma once

#include <charconv>
#include <cstdint>
#include <span>
#include <string>

#include "zelreport/zelreport.h"

namespace zelreport {

struct Record;

// Room for the banner, the argument lines, the closing line and the
// statistics line, with every number at its longest: all but the text
// fields, which ReportRoom adds.
constexpr std::size_t kFixedReportRoom = 1024;

inline std::size_t TextRoom(const std::string* text) {
    return text ? text->size() : sizeof "(null)";
}

// The most room the report of `r` takes.
inline std::size_t ReportRoom(const RecordView& r) {
    std::size_t room = kFixedReportRoom;
#define ZELREPORT_TEXT_ROOM(name, label) room += TextRoom(r.name);
#define ZELREPORT_INT_ROOM(name, label, rule)
    ZELREPORT_FIELDS(ZELREPORT_TEXT_ROOM, ZELREPORT_INT_ROOM)
#undef ZELREPORT_TEXT_ROOM
#undef ZELREPORT_INT_ROOM
    return room;
}

// The report's integer lines as a run last wrote them, each with the
// value it shows: a field that keeps its value from record to record has
// its line copied, not spelled again.
class ReportLines {
public:
    // Room for a line: a label, the longest "%d" and a line feed.
    static constexpr std::size_t kLineRoom = 32;
    struct Line {
        char bytes[kLineRoom];
        std::size_t length;
        std::int32_t value;
    };
    ReportLines();  // each line showing 0
#define ZELREPORT_NO_TEXT_LINE(name, label)
#define ZELREPORT_INT_LINE_SLOT(name, label, rule) Line name;
    ZELREPORT_FIELDS(ZELREPORT_NO_TEXT_LINE, ZELREPORT_INT_LINE_SLOT)
#undef ZELREPORT_NO_TEXT_LINE
#undef ZELREPORT_INT_LINE_SLOT
};

// Writes the report of `record`, seen as `view`, at `out`, which has
// ReportRoom(view) bytes, and returns its end. Its statistics come from
// the running ones kept while the values were read; its integer lines
// from `lines` where they still show the field's value.
char* WriteRecordReport(const Record& record, const RecordView& view, ReportLines& lines, char* out);

// The statistics over `count` entries of `data`; entries past the end of
// `data` count as 0.
Statistics SimpleStats(std::span<const float> data, std::int32_t count);

// printf("%f") and printf("%d") spellings, written at `out` (which has
// room for the longest) or appended; the writers return the end.
constexpr std::size_t kMaxIntChars = 11;     // "-2147483648"
constexpr std::size_t kMaxFixed6Chars = 48;  // the largest float: sign, 39 digits, point, 6 decimals
char* WriteFixed6(float value, char* out);
// Inline: a report writes some twenty of them.
inline char* WriteInt(std::int32_t value, char* out) {
    return std::to_chars(out, out + kMaxIntChars, value).ptr;
}
void AppendFixed6(float value, std::string& out);
void AppendInt(std::int32_t value, std::string& out);

}  // namespace zelreport
