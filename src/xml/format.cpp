// SPDX-License-Identifier: MIT
#include "xml/format.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "xml/common/limits.h"
#include "xml/common/show.h"
#include "xml/format/values_writer.h"
#include "xml/read/content.h"
#include "xml/read/parse_ahead.h"

namespace zelreport::xml {

namespace {

constexpr std::string_view kProgram = "zelfmt";
constexpr std::string_view kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<orv-standard-file>\n";
constexpr std::string_view kTail = "</orv-standard-file>\n";

// What zelfmt says of a text it cannot write as is: refused with the
// cause zelcheck names, or written as absent.
std::string TextMessage(const XmlRecord& record, Field field, std::string_view what) {
    std::size_t i = static_cast<std::size_t>(field);
    return std::string(Info(field).name) + " " + ShowText(&*record.text[i], record.text_size[i]) + ": " +
           std::string(what);
}

// A long values text written while the rest of its record is still being
// read, into blocks of its own: they follow the record's fields once the
// record is complete. The text read so far is let go as it is written.
class HeldValues {
public:
    explicit HeldValues(std::uint64_t tag_end) : tag_end_(tag_end) {}

    // The text named by the offset of its opening tag's ">".
    std::uint64_t tag_end() const { return tag_end_; }
    void Write(std::string_view block) { writer_.Write(block); }

    // Writes the rest of the text and hands all of it to `out`; whether
    // any token was written.
    bool Finish(const ValuesText& rest, Output& out) {
        rest.ForEachBlock([&](std::string_view block) { writer_.Write(block); });
        writer_.Flush();
        held_out_.Flush();
        for (std::string& block : written_) {
            out.Write(block);
            std::string().swap(block);
        }
        return writer_.wrote_any();
    }

private:
    std::uint64_t tag_end_;
    std::vector<std::string> written_;
    Output held_out_{[this](std::string_view text) {
        written_.emplace_back(text);
        return true;
    }};
    ValuesWriter writer_{held_out_};
};

class RecordWriter {
public:
    RecordWriter(std::string_view name, Output& out, Output* warnings)
        : name_(name), out_(out), warnings_(warnings) {}

    const std::optional<Trouble>& refusal() const { return refusal_; }

    // Writes the record, or refuses it (false) when it holds a text
    // zelreport cannot read as written. An empty text zelreport does not
    // store either is written as absent, which zelreport reads the same.
    bool Write(const XmlRecord& record, HeldValues* held) {
        bool absent[kFieldCount] = {};
        for (std::size_t i = 0; i < kFieldCount; ++i) {
            if (!record.text[i]) continue;
            Field field = static_cast<Field>(i);
            Cause hazard = TextHazard(field, *record.text[i], record.text_size[i]);
            if (hazard == Cause::empty_text) {
                absent[i] = true;
                Warn(record.source[i].at, TextMessage(record, field, kWrittenAsAbsent));
            } else if (hazard != Cause::none) {
                refusal_ = Trouble{record.source[i].at,
                                   TextMessage(record, field, kCannotRead) + CauseAndFix(hazard), true};
                return false;
            }
        }
        std::string& out = out_.buffer();
        out += "<zelrecord>\n";
        for (std::size_t i = 0; i < kFieldCount; ++i) {
            std::string_view name = kFields[i].name;
            if (kFields[i].kind == FieldKind::text) {
                if (record.text[i] && !absent[i]) AppendElement(name, *record.text[i]);
            } else if (IsReported(static_cast<Field>(i))) {
                // Negative numbers as their 32-bit two's complement, which
                // zelreport reads back as the same signed number.
                char digits[16];
                auto end = std::to_chars(digits, digits + sizeof digits,
                                         static_cast<std::uint32_t>(record.number[i]))
                               .ptr;
                AppendElement(name, std::string_view(digits, static_cast<std::size_t>(end - digits)));
            }
        }
        out_.buffer() += "<zeldata>\n";
        if (record.has_values) {
            // The byte after "<values>" is stored whatever it is; a line
            // break there keeps an empty values text empty.
            out_.buffer() += "<values>";
            bool any = false;
            if (held) {
                any = held->Finish(record.values, out_);
            } else {
                ValuesWriter values(out_);
                record.values.ForEachBlock([&](std::string_view block) { values.Write(block); });
                any = values.wrote_any();
            }
            if (!any) out_.buffer() += '\n';
            out_.buffer() += "</values>\n";
        } else {
            // zelreport needs an element between <zeldata> and </zeldata> to
            // see the record's end; this one means nothing.
            out_.buffer() += "<novalues/>\n";
        }
        out_.buffer() += "</zeldata>\n</zelrecord>\n";
        out_.FlushIfFull();
        return true;
    }

private:
    void AppendElement(std::string_view name, std::string_view content) {
        std::string& out = out_.buffer();
        out += '<';
        out += name;
        out += '>';
        out += content;
        out += "</";
        out += name;
        out += ">\n";
    }

    static constexpr std::string_view kCannotRead = "zelreport cannot read this text";
    static constexpr std::string_view kWrittenAsAbsent =
        "written as absent, which zelreport reads the same: it stores no text that is empty or exactly four "
        "spaces";

    void Warn(const Position& at, const std::string& what) {
        if (!warnings_) return;
        warnings_->Write(TroubleMessage(kProgram, name_, {at, what}, "warning: ") + "\n");
    }

    std::string_view name_;
    Output& out_;
    Output* warnings_;
    std::optional<Trouble> refusal_;
};

// Blocks parsed ahead of their writing, on a thread of their own: the
// parse and the writing share the work of a document.
constexpr std::size_t kBlocksAhead = 2;

// Writes the records the parse hands over, up to the end of the document
// or the first refusal.
FormatResult WriteRecords(std::string_view name, ParseAhead& parse, RecordPool& records, Output& out,
                          Output* warnings) {
    RecordWriter writer(name, out, warnings);
    std::unique_ptr<HeldValues> held;
    for (;;) {
        std::optional<ParsedBlock> parsed = parse.Next();
        if (!parsed) return {};
        for (std::unique_ptr<XmlRecord>& record : parsed->records) {
            bool own = held && record->has_values && held->tag_end() == record->values_raw.tag_end;
            if (!writer.Write(*record, own ? held.get() : nullptr))
                return {FormatResult::refused, TroubleMessage(kProgram, name, *writer.refusal())};
            held.reset();
            records.Give(std::move(record));
        }
        if (parsed->values_tag_end != 0) {
            // A text begun again (a second values element) drops the first.
            if (!held || held->tag_end() != parsed->values_tag_end)
                held = std::make_unique<HeldValues>(parsed->values_tag_end);
            for (std::string& block : parsed->values_blocks) held->Write(block);
        }
        if (out.failed()) return {};
        if (!parsed->last) continue;
        if (!parsed->trouble) {
            out.Write(kTail);
            return {};
        }
        return {parsed->trouble->unwritable ? FormatResult::refused : FormatResult::trouble,
                TroubleMessage(kProgram, name, *parsed->trouble)};
    }
}

}  // namespace

FormatResult FormatDocument(std::string_view name, ReadFn read, Output& out, Output* warnings) {
    RecordPool records(NewXmlRecord);
    BlockPool blocks(NewBlock);
    FormatResult result;
    out.Write(kHead);
    try {
        ParseOptions options{
            .reader = {.refuse_long_texts = true}, .hand_values_early = true, .blocks_ahead = kBlocksAhead};
        ParseAhead parse(std::move(read), options, records, blocks);
        result = WriteRecords(name, parse, records, out, warnings);
    } catch (const std::bad_alloc&) {
        result = {FormatResult::trouble, TroubleMessage(kProgram, name, {{}, "out of memory"})};
    }
    out.Flush();
    return result;
}

}  // namespace zelreport::xml
