// SPDX-License-Identifier: MIT
// Follows a document's layout as zelreport's line-oriented reading sees
// it, event by event, and notes the places zelreport will misread.
#pragma once

#include <cstdint>
#include <vector>

#include "xml/read/element_names.h"
#include "xml/read/record.h"

namespace zelreport::xml {

// The content an event belongs to.
enum class Content : std::uint8_t { none, text, integer, values };

// Markup that is no element.
enum class Markup : std::uint8_t { comment, instruction, cdata };

struct Tag {
    enum Kind : std::uint8_t { start, end, empty_end } kind = start;
    Name name = Name::other;
    Content content = Content::none;  // what the element holds (start tags)
    bool plain = true;                // nothing in the tag but its name
    bool long_name = false;
    bool in_content = false;  // inside a text, integer or values element
};

// Tells where the event being handled stands; asked only when a problem
// is noted, since finding a column costs a scan.
class Locator {
public:
    virtual Position Here() const = 0;

protected:
    ~Locator() = default;
};

class LayoutTracker {
public:
    explicit LayoutTracker(const Locator& locator) : locator_(locator) {}

    // Problems go to the current record while one is set.
    void SetRecord(XmlRecord* record);
    void OnTag(const Tag& tag);
    // Character data: `size` decoded bytes that stood as `raw_size` bytes.
    void OnText(const char* data, std::size_t size, std::size_t raw_size, Content content);
    // A comment or processing instruction, or the start of a CDATA section;
    // `holds_record_end`: its text holds "/zelrecord", which zelreport
    // reads as a record's end where it reads the markup as names.
    void OnMarkup(Markup markup, bool holds_record_end, Content content);
    // Whether the tags just read close a record so that zelreport sees it.
    bool RecordCloseIsRead() const;
    // A problem of the whole document, noted in every record from now on.
    void SetDocumentProblem(Cause cause) { document_problem_ = cause; }

private:
    struct Seen {
        Tag::Kind kind = Tag::start;
        Name name = Name::other;
        std::uint64_t line = 0;
        bool line_start = false;
        bool plain = false;
    };

    void Note(Cause cause) { Note(cause, locator_.Here()); }
    void Note(Cause cause, const Position& at);
    void NoteOnce(Cause cause);  // once per content
    void NoteEarlyEnd(Cause cause);
    void NewLine(bool crlf);
    // True when zelreport reads this tag; notes why not otherwise.
    bool IsRead(const Tag& tag);
    void Remember(const Tag& tag, bool line_start);

    const Locator& locator_;
    XmlRecord* record_ = nullptr;
    Cause document_problem_ = Cause::none;
    std::uint64_t line_ = 1;
    // The current line.
    bool fresh_ = true;        // nothing but white space on it so far
    bool lead_space_ = false;  // and that white space holds a space
    bool skipped_ = false;     // zelreport skips the whole line
    bool cut_ = false;         // zelreport drops the rest of the line
    bool cut_noted_ = false;
    bool lead_blank_ = false;    // the white space at its start holds a blank or tab
    bool integer_line_ = false;  // zelreport read an integer element on it
    // The line before held an integer element; the line just ended was empty
    // after one, so a "<" at the next line's start follows an empty name.
    bool after_integer_ = false;
    bool empty_name_ = false;
    Position empty_line_;  // where that empty line stands
    // What zelreport read last moves it to the next line first.
    bool next_line_ = false;
    // The content being read.
    std::uint64_t content_bytes_ = 0;
    bool after_line_break_ = false;
    bool content_noted_ = false;
    Seen last_[3];
};

}  // namespace zelreport::xml
