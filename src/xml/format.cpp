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

#include "reader/threads.h"
#include "xml/content.h"
#include "xml/document_reader.h"
#include "xml/limits.h"
#include "xml/queue.h"
#include "xml/show.h"
#include "xml/values_writer.h"

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

// The records completed in one block of input; at the end of the
// document, with the trouble that ended it, if any.
struct Parsed {
    std::vector<std::unique_ptr<XmlRecord>> records;
    // Then the closed blocks of the values text of the record still open,
    // named by its opening tag's ">" (0: none), to be written meanwhile.
    std::vector<std::string> values_blocks;
    std::uint64_t values_tag_end = 0;
    bool end = false;
    std::optional<Trouble> trouble;
};

class ParseSide final : public RecordSink {
public:
    ParseSide(ReadFn read, BoundedQueue<Parsed>& queue, Pool<XmlRecord>& records)
        : read_(std::move(read)),
          queue_(queue),
          records_(records),
          reader_(*this, {.refuse_long_texts = true}),
          block_(std::make_unique_for_overwrite<char[]>(kBlockSize)) {}

    // Parses blocks ahead on a thread of its own, into the queue.
    void Run() {
        while (std::optional<Parsed> parsed = Next())
            if (!queue_.Push(std::move(*parsed)) || done_) return;
    }

    // Reads and parses the next block: its records, none after the end.
    // Called from the parser thread, or from the writing side when no
    // thread could be started.
    std::optional<Parsed> Next() {
        if (done_) return std::nullopt;
        try {
            Parse();
        } catch (const std::bad_alloc&) {
            parsed_ = Parsed{};
            parsed_.end = true;
            parsed_.trouble = Trouble{{}, "out of memory"};
        }
        done_ = parsed_.end;
        return std::exchange(parsed_, Parsed{});
    }

    void OnRecord(std::unique_ptr<XmlRecord>& record) override {
        parsed_.records.push_back(std::move(record));
    }
    std::unique_ptr<XmlRecord> NewRecord() override { return records_.Take(); }

private:
    void Parse() {
        long n = read_(block_.get(), kBlockSize);
        if (n < 0) {
            parsed_.trouble = Trouble{{}, std::string("read error: ") + std::strerror(errno)};
        } else if (!reader_.Parse(block_.get(), static_cast<std::size_t>(n), n == 0)) {
            parsed_.trouble = reader_.trouble();
        } else {
            parsed_.values_tag_end = reader_.TakeClosedValuesBlocks(parsed_.values_blocks);
        }
        parsed_.end = n <= 0 || parsed_.trouble;
    }

    ReadFn read_;
    BoundedQueue<Parsed>& queue_;
    Pool<XmlRecord>& records_;
    DocumentReader reader_;
    std::unique_ptr<char[]> block_;
    Parsed parsed_;
    bool done_ = false;
};

// Where the writing side takes the parsed blocks from: the queue the
// parser thread fills, or the parse itself on the same thread.
using ParsedSource = std::function<std::optional<Parsed>()>;

// Writes the records the parse hands over, up to the end of the document
// or the first refusal.
FormatResult WriteRecords(std::string_view name, const ParsedSource& next, Pool<XmlRecord>& records,
                          Output& out, Output* warnings) {
    RecordWriter writer(name, out, warnings);
    std::unique_ptr<HeldValues> held;
    for (;;) {
        std::optional<Parsed> parsed = next();
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
        if (!parsed->end) continue;
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
    BoundedQueue<Parsed> queue(kBlocksAhead);
    Pool<XmlRecord> records([] { return std::make_unique<XmlRecord>(); });
    FormatResult result;
    out.Write(kHead);
    try {
        ParseSide parse(std::move(read), queue, records);
        // Without a second thread the writing side parses each block itself:
        // the same output, on one core.
        StartedThread parser = TryStartThread([&parse] { parse.Run(); });
        CloseOnExit close(queue);  // destroyed before the parser is joined
        ParsedSource next;
        if (parser.started())
            next = [&queue] { return queue.Pop(); };
        else
            next = [&parse] { return parse.Next(); };
        result = WriteRecords(name, next, records, out, warnings);
    } catch (const std::bad_alloc&) {
        result = {FormatResult::trouble, TroubleMessage(kProgram, name, {{}, "out of memory"})};
    }
    out.Flush();
    return result;
}

}  // namespace zelreport::xml
