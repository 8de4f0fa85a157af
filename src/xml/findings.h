// SPDX-License-Identifier: MIT
// zelcheck's findings, one line each in the compiler form
//   FILE:LINE:COL: error: WHAT; cause: CAUSE; fix: FIX
// grouped by record, at most kMaxLinesPerGroup lines a record.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "xml/io.h"
#include "xml/record.h"

namespace zelreport::xml {

inline constexpr std::uint64_t kMaxLinesPerGroup = 20;

class FindingWriter {
public:
    FindingWriter(std::string file, Output& out) : file_(std::move(file)), out_(out) {}

    // The findings that follow belong to `group` ("record 3 (line 40)",
    // or empty), whose overflow line stands at `at`.
    void Begin(std::string group, Position at);
    void Error(Position at, std::string_view what, Cause cause);
    void Warning(Position at, std::string_view what);
    // Errors known only by their number: counted and summed up in End().
    void Suppressed(std::uint64_t count);
    void End();

    std::uint64_t errors() const { return errors_; }

private:
    bool Room();
    void Line(Position at, std::string_view severity, std::string_view what, Cause cause);

    std::string file_;
    Output& out_;
    std::string group_;
    Position group_at_;
    std::uint64_t lines_ = 0, more_ = 0, errors_ = 0;
};

// How values look in a finding.
std::string ShowText(const std::string* text, std::uint64_t size);
std::string ShowNumber(std::int64_t value);
std::string ShowFloat(float value);

}  // namespace zelreport::xml
