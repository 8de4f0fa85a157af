// SPDX-License-Identifier: MIT
// Times zelreport against cat and "wc -w" on the benchmark documents.
//
//   zelbench ZELREPORT DIVISOR RUNS DIR
//
// DIR holds grid.xml, many.xml, huge.xml and ints.xml generated with the
// same DIVISOR. Each document is first checked (one report per record, no
// empty-name message), then the three programs run in turn, RUNS rounds,
// each with standard input from the document and its output discarded.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "documents.h"

extern char** environ;

namespace {

constexpr std::string_view kBanner = "************** c_zelecr args are: **********************";
constexpr std::string_view kEmptyName = "ParseConfigFile(), found name is empty";

struct Target {
    std::string_view document;
    double ratio;         // zelreport time / wc -w time, at most
    double peak_rss_mib;  // 0: no bound
};
constexpr Target kTargets[] = {{"grid", 0.50, 0}, {"many", 0.70, 0}, {"huge", 0.50, 100}, {"ints", 0.50, 0}};

struct Run {
    double seconds = 0;
    long peak_rss_kib = 0;
    int status = -1;
};

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "zelbench: %s\n", message.c_str());
    std::exit(1);
}

double Now() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Runs argv with standard input from `input`, standard output discarded and
// standard error into `stderr_fd` (or discarded when -1).
Run Spawn(const std::vector<std::string>& args, const std::string& input, int stderr_fd,
          char** env = environ) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
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
    if (stderr_fd >= 0) return run;  // the caller reads the output and waits
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) < 0) Fail("wait4: " + std::string(std::strerror(errno)));
    run.seconds = Now() - start;
    run.peak_rss_kib = usage.ru_maxrss;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

// Counts the reports and the empty-name messages of one run.
void Check(const std::string& zelreport, const std::string& path, std::int64_t records) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) Fail("pipe failed");
    Spawn({zelreport}, path, fds[1]);
    close(fds[1]);
    std::int64_t banners = 0, empty_names = 0;
    std::string line;
    char buffer[1 << 16];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0) {
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] != '\n') {
                if (line.size() < 256) line += buffer[i];
                continue;
            }
            if (line == kBanner) ++banners;
            if (line.starts_with(kEmptyName)) ++empty_names;
            line.clear();
        }
    }
    close(fds[0]);
    int status = 0;
    if (wait(&status) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        Fail(path + ": zelreport did not exit with status 0");
    if (banners != records || empty_names != 0)
        Fail(path + ": " + std::to_string(banners) + " reports for " + std::to_string(records) +
             " records, " + std::to_string(empty_names) + " empty-name messages");
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::vector<char*> EnvironmentWithCLocale(std::vector<std::string>& storage) {
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "LC_ALL=", 7) != 0) storage.emplace_back(*e);
    storage.emplace_back("LC_ALL=C");
    std::vector<char*> env;
    for (std::string& s : storage) env.push_back(s.data());
    env.push_back(nullptr);
    return env;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: zelbench ZELREPORT DIVISOR RUNS DIR\n");
        return 2;
    }
    std::string zelreport = argv[1];
    long divisor = std::strtol(argv[2], nullptr, 10);
    int runs = std::atoi(argv[3]);
    std::string dir = argv[4];
    if (divisor < 1 || runs < 1) Fail("bad divisor or run count");
    std::vector<std::string> env_storage;
    std::vector<char*> c_locale = EnvironmentWithCLocale(env_storage);

    std::printf("%-5s %8s %9s %9s %9s %10s %10s %7s %9s  %s\n", "doc", "MB", "cat s", "wc -w s", "zel s",
                "wc MB/s", "zel MB/s", "zel/wc", "RSS MiB", "must reach");
    bool all_met = true;
    for (const zelbench::DocumentKind& kind : zelbench::kDocuments) {
        std::string path = dir + "/" + std::string(kind.name) + ".xml";
        struct stat st;
        if (stat(path.c_str(), &st) != 0) Fail("missing " + path);
        double megabytes = static_cast<double>(st.st_size) / 1e6;
        Check(zelreport, path, zelbench::ScaleDocument(kind, divisor).records);

        std::vector<double> cat, wc, zel;
        long peak_rss_kib = 0;
        for (int round = 0; round < runs; ++round) {
            Run c = Spawn({"cat"}, path, -1);
            Run w = Spawn({"wc", "-w"}, path, -1, c_locale.data());
            Run z = Spawn({zelreport}, path, -1);
            if (c.status || w.status || z.status) Fail(path + ": a program failed");
            cat.push_back(c.seconds);
            wc.push_back(w.seconds);
            zel.push_back(z.seconds);
            peak_rss_kib = std::max(peak_rss_kib, z.peak_rss_kib);
        }
        double t_cat = Median(cat), t_wc = Median(wc), t_zel = Median(zel);
        double ratio = t_zel / t_wc;
        double rss_mib = static_cast<double>(peak_rss_kib) / 1024;
        std::string verdict;
        for (const Target& t : kTargets) {
            if (t.document != kind.name) continue;
            bool met = ratio <= t.ratio && (t.peak_rss_mib == 0 || rss_mib <= t.peak_rss_mib);
            all_met = all_met && met;
            char text[64];
            std::snprintf(text, sizeof text, "<= %.2f%s: %s", t.ratio, t.peak_rss_mib ? ", <= 100 MiB" : "",
                          met ? "met" : "MISSED");
            verdict = text;
        }
        std::printf("%-5s %8.1f %9.3f %9.3f %9.3f %10.0f %10.0f %7.2f %9.1f  %s\n",
                    std::string(kind.name).c_str(), megabytes, t_cat, t_wc, t_zel, megabytes / t_wc,
                    megabytes / t_zel, ratio, rss_mib, verdict.c_str());
        std::fflush(stdout);
    }
    std::printf("median of %d alternating runs; times in seconds; RSS is zelreport's peak\n", runs);
    if (!all_met) std::printf("some targets were missed\n");
    return all_met ? 0 : 1;
}
