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
#include "support/xml_runs.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using zeltest::Check, zeltest::Format, zeltest::MeaningReports, zeltest::ZelreportReports;
    std::string_view d(reinterpret_cast<const char*>(data), size);
    std::string findings;
    CheckResult checked = Check(InPieces(d), findings);
    std::optional<std::string> meaning = MeaningReports(d);
    bool passes = !checked.trouble && checked.summary.errors == 0;
    if (meaning && passes && ZelreportReports(d) != *meaning)
        Broken("zelcheck finds nothing, yet zelreport misreads the document");

    std::string f;
    FormatResult formatted = Format(InPieces(d), f);
    if (formatted.outcome != FormatResult::written) {
        if (meaning && passes) Broken("zelfmt refuses a document zelcheck passes");
        return 0;
    }
    if (!meaning) Broken("zelfmt wrote a document without meaning");
    if (ZelreportReports(f) != *meaning) Broken("zelreport reads zelfmt's output differently");
    if (MeaningReports(f) != meaning) Broken("zelfmt's output means something else");
    CheckResult recheck = Check(ReadFromMemory(f), findings);
    if (recheck.trouble || recheck.summary.errors != 0) Broken("zelcheck finds errors in zelfmt's output");
    std::string again;
    Format(ReadFromMemory(f), again);
    if (again != f) Broken("zelfmt is not idempotent");
    return 0;
}
