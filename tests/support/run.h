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

// Runs `program` (with `argument`, unless empty) on the file `input` as
// standard input, its stream `fd` (1 or 2) a non-blocking pipe that is
// read only once the program has had time to fill it. `out` holds what
// came through the pipe.
RunResult RunIntoNonBlockingPipe(const char* program, const std::string& argument, const std::string& input,
                                 int fd);

std::string ReadFile(const std::string& path);

// The sample document, its reports and the reports of its two records.
std::string Sample();
std::string SampleReport(int record = -1);

}  // namespace zeltest
