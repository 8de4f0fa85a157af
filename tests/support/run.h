// SPDX-License-Identifier: MIT
// Runs shell commands around the real zelreport binary and reads test data.
#pragma once

#include <string>

namespace zeltest {

struct RunResult {
    std::string out;  // standard output
    std::string err;  // standard error
    int status = -1;  // exit status, or 128 + signal
};

// Runs `command` with /bin/sh in a fresh directory, with `input` on
// standard input; ZELREPORT in its environment names the binary, and the
// files `in`, `out` and `err` in its directory hold the three streams.
RunResult RunShell(const std::string& command, const std::string& input = "");

// The program itself, with `args` appended to its name.
RunResult RunProgram(const std::string& input, const std::string& args = "");

std::string ReadFile(const std::string& path);

// The sample document, its reports and the reports of its two records.
std::string Sample();
std::string SampleReport(int record = -1);

}  // namespace zeltest
