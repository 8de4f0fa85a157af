// SPDX-License-Identifier: MIT
// zelreport, zelcheck, zelfmt and the XML meaning run on a document in
// memory, for the tests and fuzz targets of zelcheck and zelfmt.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "xml/check.h"
#include "xml/compare/meaning.h"
#include "xml/format.h"
#include "xml/read/document_reader.h"
#include "zelreport/zelreport.h"

namespace zeltest {

// The reports zelreport's reader writes for the document.
inline std::string ZelreportReports(std::string_view document) {
    std::string reports;
    zelreport::Handlers handlers;
    handlers.on_record = [&](const zelreport::RecordView& view) { zelreport::append_report(view, reports); };
    zelreport::run_buffer(document, handlers);
    return reports;
}

// The reports of the document's meaning as XML, or nothing when it has
// none (then `trouble`, if given, says why).
inline std::optional<std::string> MeaningReports(std::string_view document, std::string* trouble = nullptr) {
    struct Meaning final : zelreport::xml::RecordSink {
        std::string reports;
        void OnRecord(std::unique_ptr<zelreport::xml::XmlRecord>& record) override {
            reports += zelreport::xml::MeaningReport(*record);
        }
    } meaning;
    zelreport::xml::DocumentReader reader(meaning, {});
    if (reader.Parse(document.data(), document.size(), true)) return meaning.reports;
    if (trouble) *trouble = reader.trouble().message;
    return std::nullopt;
}

// zelcheck on what `read` gives; its findings appended to `findings`.
inline zelreport::xml::CheckResult Check(zelreport::xml::ReadFn read, std::string& findings) {
    zelreport::xml::Output out(zelreport::xml::AppendTo(findings));
    return zelreport::xml::CheckDocument("d.xml", std::move(read), out);
}

// zelfmt on what `read` gives; what it writes appended to `written`.
inline zelreport::xml::FormatResult Format(zelreport::xml::ReadFn read, std::string& written) {
    zelreport::xml::Output out(zelreport::xml::AppendTo(written));
    return zelreport::xml::FormatDocument("d.xml", std::move(read), out);
}

}  // namespace zeltest
