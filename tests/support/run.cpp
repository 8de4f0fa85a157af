// SPDX-License-Identifier: MIT
#include "support/run.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace zeltest {

RunResult RunShell(const std::string& command, const std::string& input) {
    char dir[] = "/tmp/zeltest-XXXXXX";
    if (!mkdtemp(dir)) throw std::runtime_error("mkdtemp");
    std::ofstream(std::string(dir) + "/in", std::ios::binary) << input;
    setenv("ZELREPORT", ZELREPORT_BIN, 1);
    int status = std::system(("cd " + std::string(dir) + " && { " + command + "\n} <in >out 2>err").c_str());
    RunResult result{ReadFile(std::string(dir) + "/out"), ReadFile(std::string(dir) + "/err"),
                     WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)};
    std::filesystem::remove_all(dir);
    return result;
}

RunResult RunProgram(const std::string& input, const std::string& args) {
    return RunShell("exec \"$ZELREPORT\" " + args, input);
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string Sample() {
    return ReadFile(EXAMPLES_DIR "/sample.xml");
}

// The hand-checked sample.err: TT (floats, with statistics), then GZ.
std::string SampleReport(int record) {
    const std::string all = ReadFile(EXAMPLES_DIR "/sample.err");
    const std::size_t second = all.find("************** c_zelecr", 1);
    return record < 0 ? all : record == 0 ? all.substr(0, second) : all.substr(second);
}

}  // namespace zeltest
