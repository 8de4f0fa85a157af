// SPDX-License-Identifier: MIT
// What zelcheck and zelfmt share on their command line: --help and
// --version, and a line on standard error.
#pragma once

#include <optional>
#include <string_view>

namespace zelreport::xml {

// Exit status when standard output or a document cannot be used.
constexpr int kTroubleStatus = 2;

// Writes `line` and a line feed to standard error.
void Complain(std::string_view line);

// When the first argument is exactly "--help" or "--version", writes the
// usage text or "PROGRAM VERSION" to standard output and returns the exit
// status: 0, or kTroubleStatus when it cannot be written.
std::optional<int> AnswerOption(int argc, char** argv, std::string_view program, std::string_view usage);

}  // namespace zelreport::xml
