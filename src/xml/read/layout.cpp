// SPDX-License-Identifier: MIT
#include "xml/read/layout.h"

#include <utility>

#include "xml/common/limits.h"

namespace zelreport::xml {

namespace {

// Tags whose loss changes what zelreport reads: the start of a field or
// of the values, and the closing tags it needs to see a record's end.
bool LossMatters(const Tag& tag) {
    if (tag.kind == Tag::start) return tag.name == Name::field || tag.name == Name::values;
    return tag.name == Name::data || tag.name == Name::record;
}

// A closing tag that begins a line zelreport moved to reads as the bare
// name: for these it skips to the next tag instead of the next line.
bool BareNameGoesOn(Name name) {
    return name == Name::root || name == Name::record || name == Name::data || name == Name::other;
}

}  // namespace

void LayoutTracker::SetRecord(XmlRecord* record) {
    record_ = record;
    cut_noted_ = false;  // each record gets its own note
    for (Seen& seen : last_) seen = Seen{};
}

void LayoutTracker::Note(Cause cause, const Position& at) {
    if (!record_) return;
    // An empty name changes nothing zelreport reads: a warning, never a blame.
    std::vector<Problem>& notes = cause == Cause::empty_name ? record_->empty_names : record_->problems;
    if (notes.size() < kMaxProblems) notes.push_back({cause, at});
}

void LayoutTracker::NoteEarlyEnd(Cause cause) {
    Note(cause);
    if (record_ && record_->early_end.cause == Cause::none && !record_->problems.empty())
        record_->early_end = record_->problems.back();
}

void LayoutTracker::NoteOnce(Cause cause) {
    if (content_noted_) return;
    content_noted_ = true;
    Note(cause);
}

void LayoutTracker::NewLine(bool crlf) {
    // After an empty line (or one of tabs) zelreport reads the line break as
    // a name and goes on at the next "<"; a line of spaces it skips. After an
    // integer element that name is empty while the keyword is still current;
    // CR LF makes it two bytes, which is no keyword and says nothing.
    bool empty = fresh_ && !lead_space_;
    if (empty) next_line_ = false;
    empty_name_ = after_integer_ && empty && !crlf;
    // The line break of the empty line is being read: it stands there.
    if (empty_name_) empty_line_ = locator_.Here();
    after_integer_ = integer_line_;
    ++line_;
    fresh_ = true;
    lead_space_ = lead_blank_ = skipped_ = cut_ = cut_noted_ = integer_line_ = false;
}

bool LayoutTracker::IsRead(const Tag& tag) {
    if (fresh_) {
        fresh_ = false;
        skipped_ = next_line_ && lead_space_;
    }
    bool read = !skipped_ && !cut_;
    if (!read && !cut_noted_ && LossMatters(tag)) {
        cut_noted_ = true;  // one note a line is enough
        Note(skipped_ ? Cause::space_indent : Cause::several_on_line);
    }
    return read;
}

void LayoutTracker::Remember(const Tag& tag, bool line_start) {
    last_[0] = last_[1];
    last_[1] = last_[2];
    last_[2] = {tag.kind, tag.name, line_, line_start, tag.plain};
}

void LayoutTracker::OnTag(const Tag& tag) {
    bool line_start = fresh_ && !lead_space_;
    if (std::exchange(empty_name_, false) && fresh_ && !lead_blank_) Note(Cause::empty_name, empty_line_);
    if (IsRead(tag)) {
        // Markup in a tag makes zelreport miss the name; that matters only
        // for the names it needs.
        if (!tag.plain && (LossMatters(tag) || tag.in_content))
            Note(Cause::markup_in_name);
        else if (tag.long_name)
            Note(Cause::long_name);
        else if (tag.in_content && tag.kind == Tag::start)
            Note(Cause::markup_in_name);
        switch (tag.kind) {
            case Tag::start:
                // An integer element is read up to its digits, then the rest
                // of its line is dropped.
                next_line_ = tag.content == Content::integer;
                integer_line_ =
                    integer_line_ || (next_line_ && tag.plain && !tag.long_name && !tag.in_content);
                content_bytes_ = 0;
                after_line_break_ = content_noted_ = false;
                break;
            case Tag::empty_end:
                // "name/" holds a "/": the rest of the line is dropped.
                next_line_ = cut_ = true;
                break;
            case Tag::end:
                if (line_start && next_line_ && BareNameGoesOn(tag.name)) {
                    next_line_ = false;
                } else {
                    next_line_ = cut_ = true;
                    cut_noted_ = false;
                }
                break;
        }
    }
    Remember(tag, line_start);
}

void LayoutTracker::OnText(const char* data, std::size_t size, std::size_t raw_size, Content content) {
    // expat hands each line break over on its own, CR LF as one.
    bool line_break = size == 1 && data[0] == '\n' && (raw_size == 1 || raw_size == 2);
    if (line_break) {
        if (content == Content::values) {
            // The byte after the opening tag is stored as it is: a line feed
            // there is harmless, a carriage return becomes a value.
            if (content_bytes_ == 0) {
                if (raw_size == 2) NoteOnce(Cause::crlf);
            } else if (after_line_break_) {
                NoteOnce(Cause::values_line);  // an empty line ends the values
            }
            after_line_break_ = content_bytes_ > 0;
        } else if (content == Content::text && content_bytes_ > 0) {
            // The byte after the opening tag is stored whatever it is.
            NoteOnce(Cause::line_break_in_text);
        }
        if (content != Content::none) ++content_bytes_;
        NewLine(raw_size == 2);
        return;
    }
    if (content != Content::none) {
        // Decoded UTF-8 is as long as the bytes written, unless an entity,
        // a character reference or another encoding stood there.
        if (raw_size != size && document_problem_ != Cause::encoding) NoteOnce(Cause::escaped_content);
        if (content == Content::values && after_line_break_ && data[0] != ' ') NoteOnce(Cause::values_line);
        after_line_break_ = false;
        content_bytes_ += size;
    }
    for (std::size_t i = 0; fresh_ && i < size; ++i) {
        if (data[i] == ' ')
            lead_space_ = lead_blank_ = true;
        else if (data[i] == '\t')
            lead_blank_ = true;
        else
            fresh_ = false;
    }
}

void LayoutTracker::OnMarkup(Markup markup, bool holds_record_end, Content content) {
    Cause cause = markup == Markup::cdata ? Cause::escaped_content : Cause::markup_in_name;
    if (content != Content::none) {
        // Inside a content zelreport stops at its "<", then reads names.
        if (holds_record_end)
            NoteEarlyEnd(cause);
        else
            NoteOnce(cause);
        fresh_ = false;
        return;
    }
    // Read as names that are no keyword: harmless unless it hides a tag or
    // holds a record's end.
    if (fresh_) {
        fresh_ = false;
        skipped_ = next_line_ && lead_space_;
    }
    if (!skipped_ && !cut_) {
        if (holds_record_end)
            NoteEarlyEnd(cause);
        else if (markup == Markup::cdata)
            Note(cause);
        next_line_ = false;
    }
}

bool LayoutTracker::RecordCloseIsRead() const {
    const Seen& values = last_[0];
    const Seen& data = last_[1];
    const Seen& record = last_[2];
    return values.kind == Tag::end && values.name == Name::values && data.kind == Tag::end &&
           data.name == Name::data && record.kind == Tag::end && record.name == Name::record &&
           data.line == values.line + 1 && record.line == data.line + 1 && data.line_start &&
           record.line_start && values.plain && data.plain && record.plain;
}

}  // namespace zelreport::xml
