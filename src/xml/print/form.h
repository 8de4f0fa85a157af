// SPDX-License-Identifier: MIT
// The forms zelcheck writes its findings in: text for people, JSON lines
// and SARIF 2.1.0 for machines. The printer decides what is shown; a form
// only spells it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "xml/common/io.h"
#include "xml/diagnose/diagnose.h"

namespace zelreport::xml {

// A file's findings summed up; `trouble`: why it could not be checked to
// its end, with the place (line 0: none) and the words.
struct FileSummary {
    std::string_view file;
    std::uint64_t records = 0, misread = 0, errors = 0, warnings = 0;
    bool any_finding = false;
    std::optional<Position> trouble_at;
    std::string trouble;
};

struct Totals {
    std::uint64_t files = 0, records = 0, misread = 0, errors = 0, warnings = 0, troubles = 0;
};

// The record a finding belongs to: 0 for none (between records).
struct Group {
    std::uint64_t record = 0;
    std::uint64_t line = 0;
};

class Form {
public:
    virtual ~Form() = default;
    virtual void OnFinding(std::string_view file, const Group& group, const Finding& finding) = 0;
    // Records with findings of `cause` that were counted only (`records`),
    // or places between records.
    virtual void OnNote(std::string_view file, Cause cause, std::uint64_t count, bool records) = 0;
    virtual void OnSummary(const FileSummary& summary) = 0;
    virtual void OnTotal(const Totals& totals) = 0;
    // Closes the output; nothing follows.
    virtual void Finish() = 0;
};

enum class FormKind : std::uint8_t { text, json, sarif };

std::unique_ptr<Form> MakeForm(FormKind kind, Output& out, bool color);

}  // namespace zelreport::xml
