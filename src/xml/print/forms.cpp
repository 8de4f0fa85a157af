// SPDX-License-Identifier: MIT
// The three forms of zelcheck's findings.
#include <string>
#include <vector>

#include "xml/common/show.h"
#include "xml/print/form.h"
#include "xml/print/json.h"
#include "zelreport/version.h"

namespace zelreport::xml {

namespace {

std::string_view SeverityName(Severity severity) {
    return severity == Severity::error ? "error" : "warning";
}

std::string GroupText(const Group& group) {
    if (group.record == 0) return {};
    return "record " + ShowNumber(static_cast<std::int64_t>(group.record)) + " (line " +
           ShowNumber(static_cast<std::int64_t>(group.line)) + "): ";
}

std::string Count(std::uint64_t n) {
    return ShowNumber(static_cast<std::int64_t>(n));
}

std::string Plural(std::uint64_t n, std::string_view noun) {
    return Cat(Count(n), " ", noun, n == 1 ? "" : "s");
}

// FILE:LINE:COL: error: record N (line L): WHAT; cause: ...; fix: ... [rule]
// as compilers word it, in their colours on a terminal.
class TextForm final : public Form {
public:
    TextForm(Output& out, bool color) : out_(out), color_(color) {}

    void OnFinding(std::string_view file, const Group& group, const Finding& f) override {
        std::string_view paint = f.severity == Severity::error ? kRed : kMagenta;
        std::string& out = out_.buffer();
        Paint(kBold, std::string(file) + ":" + Count(f.at.line) + ":" + Count(f.at.column) + ":");
        out += ' ';
        Paint(paint, std::string(SeverityName(f.severity)) + ":");
        out += ' ';
        out += GroupText(group);
        out += f.what;
        out += CauseAndFix(f.cause);
        out += ' ';
        Paint(paint, Cat("[", Describe(f.cause).rule, "]"));
        out += '\n';
        out_.FlushIfFull();
    }

    void OnNote(std::string_view file, Cause cause, std::uint64_t count, bool records) override {
        Paint(kBold, std::string(file) + ":");
        out_.buffer() += ' ';
        Paint(kCyan, "note:");
        out_.buffer() += Cat(" ", Count(count), records ? " more records" : " more places between records",
                             " with the same cause: ", Describe(cause).what, RuleTag(cause), "\n");
    }

    void OnSummary(const FileSummary& s) override {
        if (!s.any_finding && !(s.trouble_at && s.records > 0)) return;
        out_.buffer() += std::string(s.file) + ": " + Count(s.records) +
                         (s.records == 1 ? " record" : " records") +
                         (s.trouble_at ? " before the trouble" : "") + ": " + Count(s.records - s.misread) +
                         " read as the XML means, " + Count(s.misread) + " misread\n";
    }

    void OnTotal(const Totals& t) override {
        out_.buffer() += "total: " + Count(t.files) + " files, " + Count(t.records) +
                         " records: " + Count(t.records - t.misread) + " read as the XML means, " +
                         Count(t.misread) + " misread; " + Plural(t.errors, "error") + ", " +
                         Plural(t.warnings, "warning");
        if (t.troubles > 0) out_.buffer() += ", " + Count(t.troubles) + " files not checked to their end";
        out_.buffer() += '\n';
    }

    void Finish() override { out_.Flush(); }

private:
    static constexpr std::string_view kBold = "\033[1m", kRed = "\033[1;31m", kMagenta = "\033[1;35m",
                                      kCyan = "\033[1;36m", kReset = "\033[0m";

    void Paint(std::string_view colour, std::string_view text) {
        std::string& out = out_.buffer();
        if (color_) out += colour;
        out += text;
        if (color_) out += kReset;
    }

    Output& out_;
    bool color_;
};

// Appends ,"NAME":VALUE pieces to a JSON object being written.
class JsonObject {
public:
    explicit JsonObject(std::string& out) : out_(out) { out_ += '{'; }
    JsonObject& Text(std::string_view name, std::string_view value) {
        Name(name);
        AppendJsonString(out_, value);
        return *this;
    }
    JsonObject& Number(std::string_view name, std::uint64_t value) {
        Name(name);
        out_ += std::to_string(value);
        return *this;
    }
    JsonObject& Raw(std::string_view name, std::string_view json) {
        Name(name);
        out_ += json;
        return *this;
    }
    void Close() { out_ += '}'; }

private:
    void Name(std::string_view name) {
        if (!first_) out_ += ',';
        first_ = false;
        AppendJsonString(out_, name);
        out_ += ':';
    }
    std::string& out_;
    bool first_ = true;
};

// One JSON object a line: each finding, each file's summary, the total.
class JsonForm final : public Form {
public:
    explicit JsonForm(Output& out) : out_(out) {}

    void OnFinding(std::string_view file, const Group& group, const Finding& f) override {
        JsonObject o(out_.buffer());
        o.Text("type", "finding").Text("file", file).Number("line", f.at.line).Number("column", f.at.column);
        o.Text("rule", Describe(f.cause).rule)
            .Text("severity", SeverityName(f.severity))
            .Text("message", f.what);
        o.Text("cause", Describe(f.cause).what).Text("fix", FixOf(f.cause));
        o.Raw("zelfmt_mends", Describe(f.cause).mend == Mend::zelfmt ? "true" : "false");
        if (group.record != 0)
            o.Number("record", group.record);
        else
            o.Raw("record", "null");
        o.Close();
        out_.buffer() += '\n';
        out_.FlushIfFull();
    }

    void OnNote(std::string_view, Cause, std::uint64_t, bool) override {}

    void OnSummary(const FileSummary& s) override {
        JsonObject o(out_.buffer());
        o.Text("type", "summary").Text("file", s.file).Number("records", s.records);
        o.Number("read_as_meant", s.records - s.misread).Number("misread", s.misread);
        o.Number("errors", s.errors).Number("warnings", s.warnings);
        if (s.trouble_at) {
            std::string trouble;
            JsonObject t(trouble);
            if (s.trouble_at->line > 0)
                t.Number("line", s.trouble_at->line).Number("column", s.trouble_at->column);
            t.Text("message", s.trouble);
            t.Close();
            o.Raw("trouble", trouble);
        } else {
            o.Raw("trouble", "null");
        }
        o.Close();
        out_.buffer() += '\n';
    }

    void OnTotal(const Totals& t) override {
        JsonObject o(out_.buffer());
        o.Text("type", "total").Number("files", t.files).Number("records", t.records);
        o.Number("read_as_meant", t.records - t.misread).Number("misread", t.misread);
        o.Number("errors", t.errors).Number("warnings", t.warnings).Number("troubles", t.troubles);
        o.Close();
        out_.buffer() += '\n';
    }

    void Finish() override { out_.Flush(); }

private:
    Output& out_;
};

// SARIF 2.1.0: one run, the rules with their texts, a result a finding,
// written as they come; the trouble of a file as a notification of the
// invocation.
class SarifForm final : public Form {
public:
    explicit SarifForm(Output& out) : out_(out) {
        std::string& o = out_.buffer();
        o += "{\"$schema\":\"https://json.schemastore.org/"
             "sarif-2.1.0.json\",\"version\":\"2.1.0\",\"runs\":[{";
        o += "\"tool\":{\"driver\":{\"name\":\"zelcheck\",\"version\":\"" ZELREPORT_VERSION "\",\"rules\":[";
        for (std::size_t i = 0; i < Rules().size(); ++i) {
            const CauseText& rule = Describe(Rules()[i]);
            if (i > 0) o += ',';
            JsonObject r(o);
            r.Text("id", rule.rule);
            Message(r, "shortDescription", rule.what);
            Message(r, "help", "fix: " + FixOf(Rules()[i]));
            std::string configuration = "{\"level\":\"" + std::string(SeverityName(rule.severity)) + "\"}";
            r.Raw("defaultConfiguration", configuration);
            r.Raw("properties",
                  rule.mend == Mend::zelfmt ? "{\"zelfmtMends\":true}" : "{\"zelfmtMends\":false}");
            r.Close();
        }
        o += "]}},\"columnKind\":\"unicodeCodePoints\",\"results\":[";
    }

    void OnFinding(std::string_view file, const Group& group, const Finding& f) override {
        std::string& o = out_.buffer();
        if (results_++ > 0) o += ',';
        JsonObject r(o);
        r.Text("ruleId", Describe(f.cause).rule).Number("ruleIndex", static_cast<std::uint64_t>(f.cause) - 1);
        r.Text("level", SeverityName(f.severity));
        Message(r, "message", GroupText(group) + f.what + CauseAndFix(f.cause));
        r.Raw("locations", Cat("[", Location(file, f.at), "]"));
        if (group.record != 0) r.Raw("properties", "{\"record\":" + std::to_string(group.record) + "}");
        r.Close();
        out_.FlushIfFull();
    }

    void OnNote(std::string_view, Cause, std::uint64_t, bool) override {}

    void OnSummary(const FileSummary& s) override {
        if (!s.trouble_at) return;
        std::string notification;
        JsonObject n(notification);
        n.Text("level", "error");
        Message(n, "message", s.trouble);
        n.Raw("locations", Cat("[", Location(s.file, *s.trouble_at), "]"));
        n.Close();
        notifications_.push_back(std::move(notification));
    }

    void OnTotal(const Totals&) override {}

    void Finish() override {
        std::string& o = out_.buffer();
        o += "],\"invocations\":[{\"executionSuccessful\":";
        o += notifications_.empty() ? "true" : "false";
        o += ",\"toolExecutionNotifications\":[";
        for (std::size_t i = 0; i < notifications_.size(); ++i) o += (i > 0 ? "," : "") + notifications_[i];
        o += "]}]}]}\n";
        out_.Flush();
    }

private:
    static void Message(JsonObject& object, std::string_view name, std::string_view text) {
        std::string message = "{\"text\":";
        AppendJsonString(message, text);
        message += '}';
        object.Raw(name, message);
    }

    // A physical location: the file (standard input has no URI) and, when
    // known, the place.
    static std::string Location(std::string_view file, const Position& at) {
        std::string artifact;
        JsonObject a(artifact);
        if (file == kStdinName)
            Message(a, "description", "standard input");
        else
            a.Text("uri", PathUri(file));
        a.Close();
        std::string physical = "{\"artifactLocation\":" + artifact;
        if (at.line > 0)
            physical += ",\"region\":{\"startLine\":" + std::to_string(at.line) +
                        ",\"startColumn\":" + std::to_string(at.column) + "}";
        return "{\"physicalLocation\":" + physical + "}}";
    }

    Output& out_;
    std::uint64_t results_ = 0;
    std::vector<std::string> notifications_;
};

}  // namespace

std::unique_ptr<Form> MakeForm(FormKind kind, Output& out, bool color) {
    switch (kind) {
        case FormKind::json:
            return std::make_unique<JsonForm>(out);
        case FormKind::sarif:
            return std::make_unique<SarifForm>(out);
        default:
            return std::make_unique<TextForm>(out, color);
    }
}

}  // namespace zelreport::xml
