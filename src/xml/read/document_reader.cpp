// SPDX-License-Identifier: MIT
#include "xml/read/document_reader.h"

#include <expat.h>
#include <strings.h>

#include <algorithm>
#include <cassert>
#include <climits>
#include <cstring>
#include <new>
#include <string_view>
#include <vector>

#include "xml/common/limits.h"
#include "xml/common/show.h"
#include "xml/read/content.h"
#include "xml/read/layout.h"
#include "xml/read/roles.h"

namespace zelreport::xml {

namespace {

// An element name: the record's are short, so a short look first is
// cheaper than a call to strlen.
std::string_view NameOf(const char* name) {
    constexpr std::size_t kShortName = 16;
    for (std::size_t n = 0; n < kShortName; ++n)
        if (name[n] == '\0') return {name, n};
    return name;
}

bool IsUtf8Name(const char* encoding) {
    return strcasecmp(encoding, "UTF-8") == 0 || strcasecmp(encoding, "US-ASCII") == 0;
}

// "not well-formed (REASON)", as expat words some of its errors itself.
std::string WellFormednessMessage(XML_Error code) {
    constexpr std::string_view kPrefix = "not well-formed";
    std::string_view text = XML_ErrorString(code);
    if (text.starts_with(kPrefix)) return std::string(text);
    return std::string(kPrefix) + " (" + std::string(text) + ")";
}

}  // namespace

class DocumentReader::Impl final : public Locator {
public:
    Impl(RecordSink& sink, ReaderOptions options)
        : sink_(sink), options_(options), parser_(XML_ParserCreate(nullptr)), tracker_(*this) {
        if (!parser_) throw std::bad_alloc();
        XML_SetUserData(parser_, this);
        XML_SetElementHandler(parser_, &Impl::Start, &Impl::End);
        XML_SetCharacterDataHandler(parser_, &Impl::Text);
        XML_SetStartDoctypeDeclHandler(parser_, &Impl::Doctype);
        if (options_.track_layout) {
            XML_SetCommentHandler(parser_, &Impl::Comment);
            XML_SetProcessingInstructionHandler(parser_, &Impl::Instruction);
            XML_SetStartCdataSectionHandler(parser_, &Impl::Cdata);
            XML_SetXmlDeclHandler(parser_, &Impl::Declaration);
        }
    }
    ~Impl() { XML_ParserFree(parser_); }

    bool Parse(const char* data, std::size_t size, bool last) {
        if (failed_) return false;
        assert(size <= INT_MAX);
        if (fed_ == 0 && size >= 2 && options_.track_layout) NoteWideEncoding(data);
        if (XML_Parse(parser_, data, static_cast<int>(size), last) == XML_STATUS_ERROR) {
            if (!failed_) Fail(WellFormednessMessage(XML_GetErrorCode(parser_)), Here());
            return false;
        }
        fed_ += size;
        // expat keeps an unfinished tag, comment or instruction whole.
        XML_Index parsed = XML_GetCurrentByteIndex(parser_);
        if (!last && parsed >= 0 && fed_ - static_cast<std::uint64_t>(parsed) > kMaxMarkupBytes) {
            Fail("a tag, comment or processing instruction over " + std::to_string(kMaxMarkupMiB) + " MiB",
                 Here());
            return false;
        }
        return true;
    }

    const Trouble& trouble() const { return trouble_; }

    std::uint64_t TakeClosedValuesBlocks(std::vector<std::string>& blocks) {
        if (!record_open_ || !record_->has_values) return 0;
        std::size_t before = blocks.size();
        record_->values.TakeClosedBlocks(blocks);
        return blocks.size() > before ? record_->values_raw.tag_end : 0;
    }

    Position Here() const override {
        return {Offset(), XML_GetCurrentLineNumber(parser_), XML_GetCurrentColumnNumber(parser_) + 1};
    }

    // Here's offset alone, without the cost of counting lines.
    std::uint64_t Offset() const {
        XML_Index offset = XML_GetCurrentByteIndex(parser_);
        return offset < 0 ? fed_ : static_cast<std::uint64_t>(offset);
    }

private:
    struct Open {
        Role role;
        Field field;
        // The role of the nearest element around that means something, this
        // one included: an element that means nothing only wraps.
        Role context;
        std::uint32_t first_problem;
        Position at;
    };

    static Impl& Self(void* data) { return *static_cast<Impl*>(data); }
    static void Start(void* data, const XML_Char* name, const XML_Char**) {
        Self(data).OnStart(NameOf(name));
    }
    static void End(void* data, const XML_Char* name) { Self(data).OnEnd(NameOf(name)); }
    static void Text(void* data, const XML_Char* text, int size) {
        Self(data).OnText(text, static_cast<std::size_t>(size));
    }
    static void Comment(void* data, const XML_Char* text) {
        Self(data).OnMarkup(Markup::comment, HoldsRecordEnd(text));
    }
    static void Instruction(void* data, const XML_Char*, const XML_Char* text) {
        Self(data).OnMarkup(Markup::instruction, HoldsRecordEnd(text));
    }
    static void Cdata(void* data) { Self(data).OnMarkup(Markup::cdata, false); }
    static void Doctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
        Impl& self = Self(data);
        self.Fail("document type declarations are not supported", self.DeclarationStart());
    }

    // Markup whose text zelreport reads as the closing name of a record.
    static bool HoldsRecordEnd(const XML_Char* text) {
        return text && std::string_view(text).find(kRecordEndName) != std::string_view::npos;
    }

    // Where the declaration being read begins: expat calls its handler
    // once the name is read. Found in the input expat still holds; where it
    // holds too little, the current place.
    Position DeclarationStart() const {
        constexpr std::string_view kOpen = "<!DOCTYPE";
        Position here = Here();
        int offset = 0, size = 0;
        const char* context = XML_GetInputContext(parser_, &offset, &size);
        if (!context) return here;
        std::string_view before(context, static_cast<std::size_t>(std::min(offset + 1, size)));
        std::size_t start = before.rfind(kOpen);
        if (start == std::string_view::npos) return here;
        std::string_view between = before.substr(start);
        auto lines = static_cast<std::uint64_t>(std::count(between.begin(), between.end(), '\n'));
        std::size_t line_start = before.rfind('\n', start);
        std::uint64_t column = 1;
        if (line_start == std::string_view::npos && lines == 0)
            column = here.column - CountCharacters(between) + 1;
        else if (line_start != std::string_view::npos)
            column = CountCharacters(before.substr(line_start + 1, start - line_start - 1)) + 1;
        return {here.offset - between.size() + 1, here.line - lines, column};
    }

    // Characters as expat counts them for columns: UTF-8 lead bytes.
    static std::uint64_t CountCharacters(std::string_view text) {
        return static_cast<std::uint64_t>(
            std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
    }
    static void Declaration(void* data, const XML_Char*, const XML_Char* encoding, int) {
        if (encoding && !IsUtf8Name(encoding)) Self(data).NoteEncoding();
    }

    void NoteEncoding() {
        document_.encoded = true;
        tracker_.SetDocumentProblem(Cause::encoding);
    }

    // UTF-16, with a byte order mark or without one (a zero byte in the
    // first two): zelreport finds none of its names, so the layout does
    // not matter and every record reads differently because of it.
    void NoteWideEncoding(const char* data) {
        auto b0 = static_cast<unsigned char>(data[0]), b1 = static_cast<unsigned char>(data[1]);
        document_.wide = (b0 == 0xFE && b1 == 0xFF) || (b0 == 0xFF && b1 == 0xFE) || b0 == 0 || b1 == 0;
        if (document_.wide) NoteEncoding();
    }

    bool tracking() const { return options_.track_layout && !document_.wide; }

    // Whether a tag holds its name alone: "<name>", "<name/>", "</name>".
    // True when the start tag reads as its name alone: "<name>", or an
    // empty element "<name/>", also with blanks (as XML writers close one)
    // or attributes before the "/>", as long as no ">" stops zelreport's
    // name early: the name it reads holds a "/" in every such case, and
    // the rest of the line goes, just as after "<name/>".
    bool IsPlain(std::string_view name, std::size_t around) const {
        int count = XML_GetCurrentByteCount(parser_);
        const int bare = static_cast<int>(name.size() + around);
        if (count == bare) return true;
        if (count < bare + 1) return false;
        int offset = 0, size = 0;
        const char* context = XML_GetInputContext(parser_, &offset, &size);
        if (!context || offset + count > size) return false;
        const char* tag = context + offset;
        if (tag[count - 2] != '/') return false;
        return std::find(tag + bare - 1, tag + count - 2, '>') == tag + count - 2;
    }

    void Fail(std::string message, Position at) {
        if (failed_) return;
        failed_ = true;
        trouble_ = {at, std::move(message)};
        XML_StopParser(parser_, XML_FALSE);
    }

    Content CurrentContent() const { return stack_.empty() ? Content::none : ContentOf(stack_.back().role); }

    void OnStart(std::string_view name) {
        if (failed_) return;
        if (stack_.size() >= kMaxDepth)
            return Fail("elements nested more than " + std::to_string(kMaxDepth) + " deep", Here());
        ElementName element = Classify(name);
        Role role, context;
        if (stack_.empty()) {
            if (element.name != Name::root)
                return Fail("the root element is " + ShowTag(name) + ", not <orv-standard-file>", Here());
            role = context = Role::root;
        } else {
            // Inside a content, every element is out of place.
            Role around = stack_.back().context;
            role = ContentOf(stack_.back().role) != Content::none ? Role::ignored : RoleOf(element, around);
            context = role == Role::ignored ? around : role;
        }
        if (role == Role::record) BeginRecord();
        auto problems = static_cast<std::uint32_t>(record_open_ ? record_->problems.size() : 0);
        Open open{role, element.field, context, problems, {}};
        if (role != Role::root && role != Role::data) open.at = Here();
        if (role == Role::ignored) NoteUnused(element, name, open.at);
        if (tracking()) {
            Tag tag;
            tag.name = element.name;
            tag.content = ContentOf(role);
            tag.plain = IsPlain(name, 2);
            tag.long_name = name.size() > kNameLimit;
            tag.in_content = CurrentContent() != Content::none;
            tracker_.OnTag(tag);
        }
        if (role == Role::text || role == Role::integer) {
            content_.clear();
            content_size_ = 0;
            leading_space_ = too_long_ = false;
            plain_digits_ = true;
            plain_value_ = 0;
        }
        if (role == Role::values) {
            record_->values.clear();
            record_->has_values = true;
            // Only zelcheck compares the text with zelreport's reading.
            std::uint64_t tag_end =
                Offset() + static_cast<std::uint64_t>(XML_GetCurrentByteCount(parser_)) - 1;
            record_->values_raw = {tag_end, tag_end + 1, options_.track_layout};
        }
        stack_.push_back(open);
    }

    // An element the meaning does not take: unknown, or known but out of
    // place. Noted with the record it stands in, or handed on between
    // records.
    void NoteUnused(ElementName element, std::string_view name, const Position& at) {
        Unused unused;
        unused.cause = element.name == Name::other ? Cause::unknown_element : Cause::misplaced_element;
        unused.at = at;
        unused.name = name.substr(0, kShownNameBytes + 1);  // cut, and shown cut, in messages
        unused.slot = element.name == Name::field    ? static_cast<std::uint8_t>(element.field)
                      : element.name == Name::values ? kValuesSlot
                                                     : kNoSlot;
        NoteUnused(std::move(unused));
    }
    void NoteUnused(Unused unused) {
        if (record_open_) {
            if (record_->unused.size() < kMaxProblems) record_->unused.push_back(std::move(unused));
            return;
        }
        unused.outside = true;
        sink_.OnLoose(unused);
    }

    void OnEnd(std::string_view name) {
        if (failed_) return;
        Open open = stack_.back();
        stack_.pop_back();
        if (tracking()) {
            int raw = XML_GetCurrentByteCount(parser_);
            Tag tag;
            tag.kind = raw == 0 ? Tag::empty_end : Tag::end;
            tag.name = NameOf(open.role);
            tag.plain = raw == 0 || raw == static_cast<int>(name.size() + 3);
            tag.in_content = CurrentContent() != Content::none;
            tracker_.OnTag(tag);
        }
        switch (open.role) {
            case Role::text:
                return EndText(open);
            case Role::integer:
                return EndInteger(open);
            case Role::values:
                record_->values_source = Given(open, Cause::none);
                return EndRawText(record_->values_raw);
            case Role::record:
                return EndRecord();
            case Role::root:
                return sink_.OnRootEnd(Here());
            default:
                return;
        }
    }

    void OnText(const char* text, std::size_t size) {
        if (failed_) return;
        Role role = stack_.back().role;
        if (role == Role::values) {
            record_->values.append(text, size);
            NoteRawText(record_->values_raw, text, size);
        }
        if (role == Role::text) AppendText(text, size);
        if (role == Role::integer) AppendInteger(text, size);
        if (tracking())
            tracker_.OnText(text, size, static_cast<std::size_t>(XML_GetCurrentByteCount(parser_)),
                            ContentOf(role));
    }

    // The text stays exact while each piece is the input's next bytes as
    // they are. A carriage return alone comes as a line feed of the same
    // length: its byte in the input tells.
    void NoteRawText(RawText& raw, const char* text, std::size_t size) const {
        if (!raw.exact) return;
        bool next = Offset() == raw.text_end && XML_GetCurrentByteCount(parser_) == static_cast<int>(size);
        if (next && size == 1 && text[0] == '\n') {
            int offset = 0, held = 0;
            const char* context = XML_GetInputContext(parser_, &offset, &held);
            next = context && offset < held && context[offset] == '\n';
        }
        raw.exact = next;
        raw.text_end += size;
    }
    // ... and ends where its closing tag begins.
    void EndRawText(RawText& raw) const {
        raw.exact = raw.exact && XML_GetCurrentByteCount(parser_) > 0 && Offset() == raw.text_end;
    }

    void OnMarkup(Markup markup, bool holds_record_end) {
        if (!failed_ && tracking()) tracker_.OnMarkup(markup, holds_record_end, CurrentContent());
    }

    // A text is kept up to zelreport's limit, and measured whole.
    void AppendText(const char* text, std::size_t size) {
        std::size_t room = content_size_ < kTextLimit ? kTextLimit - content_size_ : 0;
        content_.append(text, std::min(size, room));
        content_size_ += size;
        if (content_size_ > kTextLimit && options_.refuse_long_texts) {
            const Open& open = stack_.back();
            Fail(Explained(std::string(Info(open.field).name) + ": zelreport cannot read this text",
                           Cause::long_text),
                 open.at);
            trouble_.unwritable = true;
        }
    }

    // An integer is kept without its leading white space, up to a length
    // no valid one reaches; only white space may follow beyond it. The
    // digits right after the opening tag are what zelreport reads of it
    // written plainly, wrapping at 32 bits.
    void AppendInteger(const char* text, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) {
            char c = text[i];
            if (plain_digits_ && c >= '0' && c <= '9')
                plain_value_ = plain_value_ * 10 + static_cast<std::uint32_t>(c - '0');
            else
                plain_digits_ = false;
            if (content_.empty() && IsXmlSpace(c)) {
                leading_space_ = true;
                continue;
            }
            if (content_.size() < kMaxIntegerBytes)
                content_ += c;
            else if (!IsXmlSpace(c))
                too_long_ = true;
        }
    }

    // A field given here, with the facts of its layout (zelcheck only).
    Source Given(const Open& open, Cause hazard) const {
        Source source{true, record_->index, open.at, hazard, {}, {}};
        if (!options_.track_layout) return source;
        const std::vector<Problem>& problems = record_->problems;
        if (open.first_problem < problems.size()) source.inside = problems[open.first_problem];
        for (std::size_t i = open.first_problem; i-- > 0;) {
            if (LosesLines(problems[i].cause) || problems[i].cause == Cause::long_name) {
                source.before = problems[i];
                break;
            }
        }
        return source;
    }

    // A text that is empty or exactly four spaces is not stored, as
    // zelreport stores none: the field keeps what it had.
    void EndText(const Open& open) {
        auto i = static_cast<std::size_t>(open.field);
        Cause hazard = TextHazard(open.field, content_, content_size_);
        if (hazard == Cause::empty_text) {
            Unused empty{Cause::empty_text,
                         open.at,
                         std::string(Info(open.field).name),
                         static_cast<std::uint8_t>(i),
                         false,
                         content_};
            NoteUnused(std::move(empty));
            return;
        }
        record_->text[i] = content_;
        record_->text_size[i] = content_size_;
        record_->source[i] = Given(open, hazard);
        if (content_.capacity() > kBlockSize) std::string().swap(content_);
    }

    // An integer that is none means what zelreport reads of it written
    // plainly; zelfmt cannot write it, zelcheck says so and goes on.
    void EndInteger(const Open& open) {
        auto i = static_cast<std::size_t>(open.field);
        std::optional<std::int32_t> value;
        if (!too_long_) value = ParseInteger(content_);
        Cause hazard = Cause::none;
        if (!value) {
            std::string shown = ShowText(&content_, content_.size());
            if (!options_.track_layout) {
                Fail(Explained(std::string(Info(open.field).name) + " " + shown + " is not an integer",
                               Cause::not_an_integer),
                     open.at);
                trouble_.unwritable = true;
                return;
            }
            Unused none{Cause::not_an_integer,        open.at, std::string(Info(open.field).name),
                        static_cast<std::uint8_t>(i), false,   shown};
            NoteUnused(std::move(none));
            value = static_cast<std::int32_t>(leading_space_ ? 0 : plain_value_);
            hazard = Cause::not_an_integer;
        } else if (leading_space_ || content_[0] == '-' || content_[0] == '+') {
            hazard = Cause::integer_layout;
        }
        numbers_[i] = *value;
        number_sources_[i] = Given(open, hazard);
        if (open.field == Field::datyp && record_->has_values) record_->datyp_after_values = true;
    }

    void BeginRecord() {
        record_open_ = true;
        if (!record_) record_ = sink_.NewRecord();
        ClearRecord();
        record_->index = ++records_;
        record_->start = Here();
        if (options_.track_layout) tracker_.SetRecord(record_.get());
    }

    void EndRecord() {
        record_open_ = false;
        record_->end = Here();
        for (std::size_t i = 0; i < kFieldCount; ++i) {
            if (kFields[i].kind == FieldKind::text) continue;
            record_->number[i] = numbers_[i];
            record_->source[i] = number_sources_[i];
        }
        if (options_.track_layout) {
            record_->close_read = tracker_.RecordCloseIsRead();
            record_->document = document_;
            tracker_.SetRecord(nullptr);
        }
        sink_.OnRecord(record_);
    }

    // Sets the record up for the next one without touching the fields that
    // EndRecord sets anyway: cheaper than a new record, in documents of
    // many small ones.
    void ClearRecord() {
        for (std::size_t i = 0; i < kFieldCount; ++i) {
            if (kFields[i].kind != FieldKind::text) continue;
            record_->text[i].reset();
            record_->text_size[i] = 0;
            record_->source[i] = Source{};
        }
        record_->has_values = record_->datyp_after_values = false;
        record_->values.clear();
        record_->values_source = Source{};
        record_->values_raw = RawText{};
        record_->close_read = true;
        record_->early_end = Problem{};
        record_->problems.clear();
        record_->empty_names.clear();
        record_->unused.clear();
    }

    RecordSink& sink_;
    const ReaderOptions options_;
    XML_Parser parser_;
    LayoutTracker tracker_;
    std::vector<Open> stack_;
    std::unique_ptr<XmlRecord> record_;
    bool record_open_ = false;  // between a record's tags
    std::uint64_t records_ = 0;
    // Integer fields carry over from record to record.
    std::int32_t numbers_[kFieldCount] = {};
    Source number_sources_[kFieldCount];
    // The content of the text or integer element being read.
    std::string content_;
    std::uint64_t content_size_ = 0;
    bool leading_space_ = false;
    bool too_long_ = false;
    // An integer's digits right after its opening tag, and their value.
    bool plain_digits_ = true;
    std::uint32_t plain_value_ = 0;
    bool failed_ = false;
    DocumentFacts document_;
    Trouble trouble_;
    std::uint64_t fed_ = 0;
};

std::string TroubleMessage(std::string_view program, std::string_view file, const Trouble& trouble,
                           std::string_view severity) {
    if (trouble.at.line == 0) return std::string(program) + ": " + std::string(file) + ": " + trouble.message;
    std::string message(file);
    message += ':';
    message += std::to_string(trouble.at.line);
    message += ':';
    message += std::to_string(trouble.at.column);
    message += ": ";
    message += severity;
    message += trouble.message;
    return message;
}

DocumentReader::DocumentReader(RecordSink& sink, ReaderOptions options)
    : impl_(std::make_unique<Impl>(sink, options)) {}
DocumentReader::~DocumentReader() = default;

bool DocumentReader::Parse(const char* data, std::size_t size, bool last) {
    return impl_->Parse(data, size, last);
}

const Trouble& DocumentReader::trouble() const {
    return impl_->trouble();
}

std::uint64_t DocumentReader::TakeClosedValuesBlocks(std::vector<std::string>& blocks) {
    return impl_->TakeClosedValuesBlocks(blocks);
}

}  // namespace zelreport::xml
