// SPDX-License-Identifier: MIT
// libFuzzer entry for zelcheck and zelfmt: any document D, read in pieces
// of varying size, must not crash either. When D has a meaning and zelfmt
// writes it as F, zelreport reads F as D's meaning, zelcheck finds no error
// in F, zelfmt gives F back unchanged and F has D's meaning; when zelcheck
// finds no error in D, zelreport reads D as its meaning and zelfmt writes
// it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "support/blocks.h"
#include "xml/check.h"
#include "xml/compare/meaning.h"
#include "xml/format.h"
#include "xml/read/content.h"
#include "xml/read/document_reader.h"
#include "zelreport/zelreport.h"

namespace {

using namespace zelreport::xml;

[[noreturn]] void Broken(const char* property) {
    std::fprintf(stderr, "xml_fuzz: property broken: %s\n", property);
    std::abort();
}

// Hands the document over in pieces of 1 to 64 bytes, sizes drawn from its
// length, so that names and tags straddle blocks everywhere.
ReadFn InPieces(std::string_view document) {
    std::uint32_t state = static_cast<std::uint32_t>(document.size()) * 2654435761u + 1;
    return zeltest::InDrawnBlocks(document, [state]() mutable {
        state = state * 1103515245u + 12345u;
        return std::size_t{1} + (state >> 16) % 64;
    });
}

struct Meaning final : RecordSink {
    std::string reports;
    void OnRecord(std::unique_ptr<XmlRecord>& record) override { reports += MeaningReport(*record); }
};

// The reports of D's meaning, or false when D has none.
bool MeaningOf(std::string_view document, std::string& reports) {
    Meaning meaning;
    DocumentReader reader(meaning, {});
    if (!reader.Parse(document.data(), document.size(), true)) return false;
    reports = meaning.reports;
    return true;
}

std::string ZelreportReports(std::string_view document) {
    std::string reports;
    zelreport::Handlers handlers;
    handlers.on_record = [&](const zelreport::RecordView& view) { zelreport::append_report(view, reports); };
    zelreport::run_buffer(document, handlers);
    return reports;
}

CheckResult Check(ReadFn read) {
    std::string findings;
    Output out(AppendTo(findings));
    return CheckDocument("d.xml", std::move(read), out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view d(reinterpret_cast<const char*>(data), size);
    CheckResult checked = Check(InPieces(d));
    std::string meaning;
    bool has_meaning = MeaningOf(d, meaning);
    if (has_meaning && !checked.trouble && checked.summary.errors == 0 && ZelreportReports(d) != meaning)
        Broken("zelcheck finds nothing, yet zelreport misreads the document");

    std::string f;
    Output out(AppendTo(f));
    FormatResult formatted = FormatDocument("d.xml", InPieces(d), out);
    out.Flush();
    if (formatted.outcome != FormatResult::written) {
        if (has_meaning && !checked.trouble && checked.summary.errors == 0)
            Broken("zelfmt refuses a document zelcheck passes");
        return 0;
    }
    if (!has_meaning) Broken("zelfmt wrote a document without meaning");
    if (ZelreportReports(f) != meaning) Broken("zelreport reads zelfmt's output differently");
    std::string again_meaning;
    if (!MeaningOf(f, again_meaning) || again_meaning != meaning)
        Broken("zelfmt's output means something else");
    CheckResult recheck = Check(ReadFromMemory(f));
    if (recheck.trouble || recheck.summary.errors != 0) Broken("zelcheck finds errors in zelfmt's output");
    std::string again;
    Output again_out(AppendTo(again));
    FormatDocument("d.xml", ReadFromMemory(f), again_out);
    again_out.Flush();
    if (again != f) Broken("zelfmt is not idempotent");
    return 0;
}
