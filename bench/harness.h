// SPDX-License-Identifier: MIT
// Running and timing programs, for the benchmark tools.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

extern char** environ;

namespace zelbench {

// Named in the messages of Fail.
inline const char* program_name = "zelbench";

[[noreturn]] inline void Fail(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", program_name, message.c_str());
    std::exit(1);
}

inline double Now() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Run {
    double seconds = 0;
    long peak_rss_kib = 0;
    int status = -1;
    pid_t pid = 0;  // of a run the caller waits for
};

// Runs argv with standard input from `input` (/dev/null when empty),
// standard output discarded and standard error into `stderr_fd` (or
// discarded when -1). With `stderr_fd` the caller reads the output and
// waits; otherwise the run is waited for and measured.
inline Run Spawn(const std::vector<std::string>& args, const std::string& input, int stderr_fd = -1,
                 char** env = environ) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input.empty() ? "/dev/null" : input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (stderr_fd >= 0)
        posix_spawn_file_actions_adddup2(&actions, stderr_fd, 2);
    else
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    Run run;
    double start = Now();
    pid_t pid;
    int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), env);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) Fail("cannot run " + args[0] + ": " + std::strerror(error));
    run.pid = pid;
    if (stderr_fd >= 0) return run;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) < 0) Fail("wait4: " + std::string(std::strerror(errno)));
    run.seconds = Now() - start;
    run.peak_rss_kib = usage.ru_maxrss;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

}  // namespace zelbench
