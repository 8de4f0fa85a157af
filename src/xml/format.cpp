// SPDX-License-Identifier: MIT
#include "xml/format.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <memory>
#include <optional>

#include "xml/content.h"
#include "xml/document_reader.h"
#include "xml/findings.h"
#include "xml/limits.h"
#include "xml/values_writer.h"

namespace zelreport::xml {

namespace {

constexpr std::string_view kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<orv-standard-file>\n";
constexpr std::string_view kTail = "</orv-standard-file>\n";

static_assert(kTextLimit == 8192000, "the refusals name the text limit");

std::string_view RefusalReason(Cause hazard) {
    switch (hazard) {
        case Cause::long_text:
            return "it is over 8,192,000 bytes, where zelreport cuts texts";
        case Cause::escaped_content:
            return "it holds a line break, which ends a text, or '<' or '&', which XML writes as an entity";
        case Cause::empty_text:
            return "it stores no text that is empty or exactly four spaces";
        default:
            return "a '>' after the first byte ends a text, and a nomvar holding '>' becomes '>>'";
    }
}

class RecordWriter final : public RecordSink {
public:
    explicit RecordWriter(Output& out) : out_(out) {}

    const std::optional<Trouble>& refusal() const { return refusal_; }

    void OnRecord(std::unique_ptr<XmlRecord>& taken) override {
        const XmlRecord& record = *taken;
        if (refusal_) return;
        // A text zelreport cannot read as written stops everything before
        // the record is written.
        for (std::size_t i = 0; i < kFieldCount; ++i) {
            if (!record.text[i]) continue;
            Field field = static_cast<Field>(i);
            Cause hazard = TextHazard(field, *record.text[i], record.text_size[i]);
            if (hazard != Cause::none) return Refuse(record, field, hazard);
        }
        std::string& out = out_.buffer();
        out += "<zelrecord>\n";
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
        out_.buffer() += "<zeldata>\n";
        if (record.has_values) {
            // The byte after "<values>" is stored whatever it is; a line
            // break there keeps an empty values text empty.
            out_.buffer() += "<values>";
            bool any = false;
            {
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

    void Refuse(const XmlRecord& record, Field field, Cause hazard) {
        std::size_t i = static_cast<std::size_t>(field);
        std::string message(Info(field).name);
        message += ' ';
        message += ShowText(&*record.text[i], record.text_size[i]);
        message += ": zelreport cannot read this text: ";
        message += RefusalReason(hazard);
        refusal_ = Trouble{record.source[i].at, std::move(message), true};
    }

    Output& out_;
    std::optional<Trouble> refusal_;
};

std::string PlaceMessage(std::string_view name, const Trouble& trouble, std::string_view severity) {
    std::string message(name);
    if (trouble.at.line > 0) {
        message += ':';
        message += std::to_string(trouble.at.line);
        message += ':';
        message += std::to_string(trouble.at.column);
    }
    message += ": ";
    message += severity;
    message += trouble.message;
    return message;
}

}  // namespace

FormatResult FormatDocument(std::string_view name, ReadFn read, Output& out) {
    RecordWriter writer(out);
    DocumentReader reader(writer, {.refuse_long_texts = true});
    auto block = std::make_unique_for_overwrite<char[]>(kBlockSize);
    out.Write(kHead);
    for (;;) {
        long n = read(block.get(), kBlockSize);
        if (n < 0)
            return {FormatResult::trouble,
                    PlaceMessage(name, {{}, std::string("read error: ") + std::strerror(errno)}, "")};
        bool parsed = reader.Parse(block.get(), static_cast<std::size_t>(n), n == 0);
        if (writer.refusal())
            return {FormatResult::refused, PlaceMessage(name, *writer.refusal(), "error: ")};
        if (!parsed && reader.trouble().unwritable)
            return {FormatResult::refused, PlaceMessage(name, reader.trouble(), "error: ")};
        if (!parsed) return {FormatResult::trouble, PlaceMessage(name, reader.trouble(), "")};
        if (out.failed() || n == 0) break;
    }
    out.Write(kTail);
    out.Flush();
    return {};
}

}  // namespace zelreport::xml
