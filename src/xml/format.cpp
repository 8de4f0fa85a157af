// SPDX-License-Identifier: MIT
#include "xml/format.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_set>
#include <utility>
#include <vector>

#include "record/pages.h"
#include "xml/common/limits.h"
#include "xml/common/show.h"
#include "xml/diagnose/diagnose.h"
#include "xml/format/values_writer.h"
#include "xml/read/content.h"
#include "xml/read/parse_ahead.h"

namespace zelreport::xml {

namespace {

constexpr std::string_view kProgram = "zelfmt";
constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

// "<name>" or "</name>" and a line break.
void AppendTag(std::string& out, std::string_view name, bool closing = false) {
    out += closing ? "</" : "<";
    out += name;
    out += ">\n";
}

// What zelfmt does with an element the meaning does not take.
std::string_view Done(Cause cause) {
    switch (cause) {
        case Cause::empty_text:
            return "written as absent, which zelreport reads the same";
        case Cause::unknown_element:
            return "left out, what it holds kept";
        default:
            return "left out";
    }
}

// zelfmt's warnings: the first element of each cause and name, with its
// place; the others counted in a closing note.
class WarningLog {
public:
    explicit WarningLog(std::string_view file) : file_(file) {}

    void Add(const Unused& unused) {
        std::string key = std::string(Describe(unused.cause).rule) + " " + unused.name;
        if (!seen_.insert(std::move(key)).second) {
            ++more_;
            return;
        }
        text_ += TroubleMessage(kProgram, file_,
                                {unused.at, DescribeUnused(unused) + "; " + std::string(Done(unused.cause)) +
                                                RuleTag(unused.cause)},
                                "warning: ");
        text_ += '\n';
    }

    // The warnings, and the note of the others.
    std::string Finish() {
        if (more_ > 0)
            text_ += std::string(file_) + ": note: " + std::to_string(more_) +
                     " more elements of the kinds warned of above\n";
        return std::exchange(text_, {});
    }

private:
    std::string_view file_;
    std::unordered_set<std::string> seen_;
    std::string text_;
    std::uint64_t more_ = 0;
};

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
        // A long text is held in hundreds of these: their pages in one call each.
        std::string& block = written_.emplace_back();
        block.reserve(text.size());
        MakePresentForWriting(block.data(), text.size());
        block.append(text);
        return true;
    }};
    ValuesWriter writer_{held_out_};
};

class RecordWriter {
public:
    RecordWriter(std::string_view name, Output& out, WarningLog& warnings)
        : name_(name), out_(out), warnings_(warnings) {}

    const std::optional<Trouble>& refusal() const { return refusal_; }

    // Writes the record, or refuses it (false) when it holds a text
    // zelreport cannot read as written. An empty text, which the meaning
    // does not store, is left out as zelreport leaves it.
    bool Write(const XmlRecord& record, HeldValues* held) {
        for (std::size_t i = 0; i < kFieldCount; ++i) {
            const Source& source = record.source[i];
            if (!record.text[i] || source.hazard == Cause::none) continue;
            std::string what = std::string(kFields[i].name) + " " +
                               ShowText(&*record.text[i], record.text_size[i]) +
                               ": zelreport cannot read this text";
            refusal_ = Trouble{source.at, Explained(std::move(what), source.hazard), true};
            return false;
        }
        for (const Unused& unused : record.unused) warnings_.Add(unused);
        std::string& out = out_.buffer();
        AppendTag(out, kRecordName);
        for (std::size_t i = 0; i < kFieldCount; ++i) {
            std::string_view name = kFields[i].name;
            if (kFields[i].kind == FieldKind::text) {
                if (record.text[i]) AppendElement(name, *record.text[i]);
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
        AppendTag(out_.buffer(), kDataName);
        if (record.has_values) {
            // The byte after "<values>" is stored whatever it is; a line
            // break there keeps an empty values text empty.
            out_.buffer() += '<';
            out_.buffer() += kValuesName;
            out_.buffer() += '>';
            bool any = false;
            if (held) {
                any = held->Finish(record.values, out_);
            } else {
                ValuesWriter values(out_);
                record.values.ForEachBlock([&](std::string_view block) { values.Write(block); });
                any = values.wrote_any();
            }
            if (!any) out_.buffer() += '\n';
            AppendTag(out_.buffer(), kValuesName, true);
        } else {
            // zelreport needs an element between <zeldata> and </zeldata> to
            // see the record's end; this one means nothing.
            out_.buffer() += "<novalues/>\n";
        }
        AppendTag(out_.buffer(), kDataName, true);
        AppendTag(out_.buffer(), kRecordName, true);
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

    std::string_view name_;
    Output& out_;
    WarningLog& warnings_;
    std::optional<Trouble> refusal_;
};

// Blocks parsed ahead of their writing, on a thread of their own: the
// parse and the writing share the work of a document.
constexpr std::size_t kBlocksAhead = 2;

// Writes the records the parse hands over, up to the end of the document
// or the first refusal.
FormatResult WriteRecords(std::string_view name, ParseAhead& parse, RecordPool& records, Output& out,
                          WarningLog& warnings) {
    RecordWriter writer(name, out, warnings);
    std::unique_ptr<HeldValues> held;
    for (;;) {
        std::optional<ParsedBlock> parsed = parse.Next();
        if (!parsed) return {};
        // The warnings in document order: what stands between records with
        // the records around it.
        auto loose = parsed->loose.begin();
        for (std::unique_ptr<XmlRecord>& record : parsed->records) {
            for (; loose != parsed->loose.end() && loose->at.offset < record->start.offset; ++loose)
                warnings.Add(*loose);
            bool own = held && record->has_values && held->tag_end() == record->values_raw.tag_end;
            if (!writer.Write(*record, own ? held.get() : nullptr))
                return {FormatResult::refused, TroubleMessage(kProgram, name, *writer.refusal()), {}};
            held.reset();
            records.Give(std::move(record));
        }
        for (; loose != parsed->loose.end(); ++loose) warnings.Add(*loose);
        if (parsed->values_tag_end != 0) {
            // A text begun again (a second values element) drops the first.
            if (!held || held->tag_end() != parsed->values_tag_end)
                held = std::make_unique<HeldValues>(parsed->values_tag_end);
            for (std::string& block : parsed->values_blocks) held->Write(block);
        }
        if (out.failed()) return {};
        if (!parsed->last) continue;
        if (!parsed->trouble) {
            AppendTag(out.buffer(), kRootName, true);
            return {};
        }
        return {parsed->trouble->unwritable ? FormatResult::refused : FormatResult::trouble,
                TroubleMessage(kProgram, name, *parsed->trouble),
                {}};
    }
}

}  // namespace

FormatResult FormatDocument(std::string_view name, ReadFn read, Output& out) {
    RecordPool records(NewXmlRecord);
    BlockPool blocks(NewBlock);
    WarningLog warnings(name);
    FormatResult result;
    out.Write(kDeclaration);
    AppendTag(out.buffer(), kRootName);
    try {
        ParseOptions options{
            .reader = {.refuse_long_texts = true}, .hand_values_early = true, .blocks_ahead = kBlocksAhead};
        ParseAhead parse(std::move(read), options, records, blocks);
        result = WriteRecords(name, parse, records, out, warnings);
    } catch (const std::bad_alloc&) {
        result = {FormatResult::trouble, TroubleMessage(kProgram, name, {{}, "out of memory"}), {}};
    }
    out.Flush();
    result.warnings = warnings.Finish();
    return result;
}

}  // namespace zelreport::xml
