// SPDX-License-Identifier: MIT
#include "support/run.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

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

RunResult RunIntoNonBlockingPipe(const char* program, const std::string& argument, const std::string& input,
                                 int fd) {
    constexpr useconds_t kFillTime = 200 * 1000;
    int ends[2];
    if (pipe(ends) != 0) throw std::runtime_error("pipe");
    fcntl(ends[1], F_SETFL, O_NONBLOCK);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(ends[1], fd);
        close(ends[0]), close(ends[1]);
        int in = open(input.c_str(), O_RDONLY);
        dup2(in, 0);
        if (argument.empty())
            execl(program, program, nullptr);
        else
            execl(program, program, argument.c_str(), nullptr);
        _exit(127);
    }
    close(ends[1]);
    usleep(kFillTime);
    RunResult result;
    char buffer[4096];
    for (ssize_t n; (n = read(ends[0], buffer, sizeof buffer)) > 0;) result.out.append(buffer, n);
    close(ends[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
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
