// SPDX-License-Identifier: MIT
// Runs the real zelreport binary on given input and captures its output.
#pragma once

#include <string>
#include <vector>

namespace zeltest {

struct RunResult {
    std::string out;  // standard output
    std::string err;  // standard error
    int status = -1;  // exit status, or 128 + signal
};

// Runs `argv` (the binary when empty) with `input` on standard input.
RunResult RunProgram(const std::string& input, const std::vector<std::string>& args = {});

// Runs a shell command line; ZELREPORT in its environment names the binary.
RunResult RunShell(const std::string& command, const std::string& input = "");

std::string ReadFile(const std::string& path);

}  // namespace zeltest
