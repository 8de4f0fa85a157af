// SPDX-License-Identifier: MIT
#include "support/run.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace zeltest {

namespace {

RunResult Spawn(const std::vector<std::string>& argv, const std::string& input) {
    // A program that exits before reading all its input must not kill the test.
    std::signal(SIGPIPE, SIG_IGN);
    int in[2], out[2], err[2];
    if (pipe(in) || pipe(out) || pipe(err)) throw std::runtime_error("pipe");
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork");
    if (pid == 0) {
        dup2(in[0], 0), dup2(out[1], 1), dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        setenv("ZELREPORT", ZELREPORT_BIN, 1);
        std::signal(SIGPIPE, SIG_DFL);  // the program starts as from a shell
        execvp(args[0], args.data());
        _exit(127);
    }
    close(in[0]), close(out[1]), close(err[1]);
    fcntl(in[1], F_SETFL, O_NONBLOCK);
    RunResult result;
    std::size_t written = 0;
    bool in_open = true, out_open = true, err_open = true;
    if (input.empty()) close(in[1]), in_open = false;
    char buffer[65536];
    while (in_open || out_open || err_open) {
        pollfd fds[3] = {{in_open ? in[1] : -1, POLLOUT, 0},
                         {out_open ? out[0] : -1, POLLIN, 0},
                         {err_open ? err[0] : -1, POLLIN, 0}};
        if (poll(fds, 3, -1) < 0) continue;
        if (in_open && fds[0].revents) {
            ssize_t n = write(in[1], input.data() + written, input.size() - written);
            if (n > 0) written += n;
            if (n < 0 || written == input.size()) close(in[1]), in_open = false;
        }
        for (int i = 1; i < 3; ++i) {
            if (!fds[i].revents) continue;
            ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                (i == 1 ? result.out : result.err).append(buffer, n);
            } else {
                close(fds[i].fd);
                (i == 1 ? out_open : err_open) = false;
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

}  // namespace

RunResult RunProgram(const std::string& input, const std::vector<std::string>& args) {
    std::vector<std::string> argv{ZELREPORT_BIN};
    argv.insert(argv.end(), args.begin(), args.end());
    return Spawn(argv, input);
}

RunResult RunShell(const std::string& command, const std::string& input) {
    return Spawn({"/bin/sh", "-c", command}, input);
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace zeltest
