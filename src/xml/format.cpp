// SPDX-License-Identifier: MIT
#include "xml/format.h"

#include <bit>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <memory>
#include <optional>

#include "xml/content.h"
#include "xml/document_reader.h"
#include "xml/findings.h"
#include "xml/limits.h"

namespace zelreport::xml {

namespace {

constexpr std::string_view kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<orv-standard-file>\n";
constexpr std::string_view kTail = "</orv-standard-file>\n";
// A values line is broken at the first token end past this many bytes;
// the next line begins with a blank, which continues the values.
constexpr std::size_t kValuesLineBytes = 240;

enum ByteClass : unsigned char { token_byte, separator, escaped };

constexpr std::array<unsigned char, 256> MakeClasses() {
    std::array<unsigned char, 256> classes{};
    for (char c : {' ', '\t', '\n', '\r'}) classes[static_cast<unsigned char>(c)] = separator;
    for (char c : {'<', '>', '&'}) classes[static_cast<unsigned char>(c)] = escaped;
    return classes;
}
constexpr std::array<unsigned char, 256> kClasses = MakeClasses();

// The end of the run from `p` on that comes out as written: token bytes
// and single blanks. Eight bytes at a time it stops before a byte below a
// blank (XML character data holds no control bytes but tab, line feed and
// carriage return), "<", ">", "&" or a blank followed by another. Every
// such byte is flagged, and now and then a byte after a true one: the
// stop may come early, never late.
const char* SkipPlainRun(const char* p, const char* end) {
    constexpr std::uint64_t kOnes = 0x0101010101010101, kHigh = 0x8080808080808080;
    auto below = [](std::uint64_t x, std::uint64_t n) { return (x - kOnes * n) & ~x & kHigh; };
    auto equal = [&](std::uint64_t x, unsigned char c) { return below(x ^ (kOnes * c), 1); };
    for (; end - p > 8; p += 8) {
        std::uint64_t x, next;
        std::memcpy(&x, p, sizeof x);
        std::memcpy(&next, p + 1, sizeof next);
        std::uint64_t stop = below(x, ' ') | equal(x, '<') | equal(x, '>') | equal(x, '&') |
                             (equal(x, ' ') & equal(next, ' '));
        if (stop) return p + std::countr_zero(stop) / 8;
    }
    for (; p < end; ++p) {
        unsigned char kind = kClasses[static_cast<unsigned char>(*p)];
        bool plain_blank = *p == ' ' && (p + 1 == end || p[1] != ' ');
        if (kind == escaped || (kind == separator && !plain_blank)) break;
    }
    return p;
}

std::string_view Entity(char c) {
    return c == '<' ? "&lt;" : c == '>' ? "&gt;" : "&amp;";
}

// Writes the tokens of a values text as written, one blank between them,
// breaking lines past kValuesLineBytes; "<", ">" and "&" become entities,
// which zelreport reads as a byte that ends a number, like the character.
// Stretches of the input that come out unchanged are copied in one go.
class ValuesWriter {
public:
    explicit ValuesWriter(Output& out) : out_(out), free_(room_) {}
    ~ValuesWriter() { Flush(); }

    void Write(std::string_view raw) {
        const char* p = raw.data();
        const char* const end = p + raw.size();
        const char* same = p;  // start of the input copied as it is
        while (p < end) {
            unsigned char kind = kClasses[static_cast<unsigned char>(*p)];
            if (kind == token_byte || (kind == separator && any_ && *p == ' ' && Plain(p, end))) {
                p = TakePlainRun(p, end, same);
                continue;
            }
            if (kind == escaped) {
                Copy(same, p);
                std::string_view entity = Entity(*p);
                Put(entity);
                line_ += entity.size();
                any_ = true;
                same = ++p;
                continue;
            }
            const char* gap = p;
            while (p < end && kClasses[static_cast<unsigned char>(*p)] == separator) ++p;
            if (p == end || !any_) {
                Copy(same, gap);
                same = p;
                continue;
            }
            bool wrap = line_ >= kValuesLineBytes;
            Copy(same, gap);
            Put(wrap ? "\n " : " ");
            line_ = wrap ? 1 : line_ + 1;
            same = p;
        }
        Copy(same, p);
    }

    bool wrote_any() const { return any_; }

private:
    // A blank between two tokens: neither followed by white space nor last.
    static bool Plain(const char* blank, const char* end) {
        return blank + 1 < end && kClasses[static_cast<unsigned char>(blank[1])] == token_byte;
    }

    // Takes the run of token bytes and single blanks from `p` on, which
    // comes out as written but for line breaks past kValuesLineBytes.
    const char* TakePlainRun(const char* p, const char* end, const char*& same) {
        const char* stop = SkipPlainRun(p, end);
        if (stop > p && stop[-1] == ' ') --stop;  // a blank before the stop is a separator's
        if (stop == p) stop = p + 1;              // an early stop on a byte that needs nothing
        any_ = true;
        for (;;) {
            std::size_t room = line_ < kValuesLineBytes ? kValuesLineBytes - line_ : 0;
            auto length = static_cast<std::size_t>(stop - p);
            const void* blank = room < length ? std::memchr(p + room, ' ', length - room) : nullptr;
            if (!blank) {
                line_ += length;
                return stop;
            }
            const char* at = static_cast<const char*>(blank);
            Copy(same, at);
            Put("\n ");
            line_ = 1;
            same = p = at + 1;
        }
    }

    // The output goes through a room of its own first: many short pieces
    // cost less there than appended one by one.
    void Copy(const char* from, const char* to) {
        Put(std::string_view(from, static_cast<std::size_t>(to - from)));
    }
    void Put(std::string_view text) {
        if (text.size() > static_cast<std::size_t>(room_ + kRoomBytes - free_)) {
            Flush();
            if (text.size() > kRoomBytes) {
                out_.buffer().append(text);
                out_.FlushIfFull();
                return;
            }
        }
        std::memcpy(free_, text.data(), text.size());
        free_ += text.size();
    }
    void Flush() {
        out_.buffer().append(room_, static_cast<std::size_t>(free_ - room_));
        free_ = room_;
        out_.FlushIfFull();
    }

    static constexpr std::size_t kRoomBytes = 64 * 1024;
    Output& out_;
    char room_[kRoomBytes];
    char* free_;
    std::size_t line_ = 0;
    bool any_ = false;  // a token was written
};

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
            Cause hazard =
                record.text_size[i] > kTextLimit ? Cause::long_text : TextHazard(field, *record.text[i]);
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
