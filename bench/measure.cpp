// SPDX-License-Identifier: MIT
// Times zelreport against cat and "wc -w" on the benchmark documents.
//
//   zelbench ZELREPORT DIVISOR RUNS DIR
//
// DIR holds grid.xml, many.xml, huge.xml and ints.xml generated with the
// same DIVISOR. Each document is first checked (one report per record, no
// empty-name message), then the three programs run in turn, RUNS rounds,
// each with standard input from the document and its output discarded.
// Then zelreport with two threads against the same run with thread starts
// refused (ZELBENCH_REFUSE_THREADS names the preloaded library that refuses
// them), alone and with every processor busy; with TENTH_SIZE_DIR (the same documents generated with
// divisor 10), callgrind then counts zelreport's instructions on those.
#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "documents.h"
#include "harness.h"

namespace {

using namespace zelbench;

constexpr std::string_view kBanner = "************** c_zelecr args are: **********************";
constexpr std::string_view kEmptyName = "ParseConfigFile(), found name is empty";

// What each document must reach: a time ratio to "wc -w", or to
// zelreport's own time on an earlier document, and a peak memory.
struct Target {
    std::string_view document;
    double ratio;                       // zelreport time / wc -w time, at most; 0: no bound
    double peak_rss_mib;                // 0: no bound
    std::string_view relative_to = {};  // with `ratio`: zelreport's time on that document
};
constexpr Target kTargets[] = {
    {"grid", 0.30, 0},
    {"many", 0.40, 0},
    {"huge", 0.30, 100},
    {"ints", 0.30, 0},
    {"declared", 1.5, 0, "many"},
    {"token-float", 0, 16},
    {"token-int", 0, 16},
};

// The verdict on one document, empty when it has no target.
std::string Verdict(std::string_view document, double ratio_to_wc, double rss_mib,
                    const std::vector<std::pair<std::string, double>>& times, double seconds, bool& all_met) {
    for (const Target& t : kTargets) {
        if (t.document != document) continue;
        std::string verdict;
        bool met = true;
        char text[96];
        if (t.ratio > 0 && t.relative_to.empty()) {
            met = ratio_to_wc <= t.ratio;
            std::snprintf(text, sizeof text, "<= %.2f", t.ratio);
            verdict += text;
        }
        for (const auto& [name, other] : times) {
            if (t.relative_to.empty() || name != t.relative_to) continue;
            met = seconds <= t.ratio * other;
            std::snprintf(text, sizeof text, "<= %.1fx %s (%.2fx)", t.ratio, name.c_str(), seconds / other);
            verdict += text;
        }
        if (t.peak_rss_mib > 0) {
            met = met && rss_mib <= t.peak_rss_mib;
            std::snprintf(text, sizeof text, "%s<= %.0f MiB", verdict.empty() ? "" : ", ", t.peak_rss_mib);
            verdict += text;
        }
        all_met = all_met && met;
        return verdict + (met ? ": met" : ": MISSED");
    }
    return "";
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

// What zelreport's instruction count must reach on a tenth-size document,
// per value or per record, counted by callgrind on one processor (so that
// no second thread and no other program changes it).
struct InstructionTarget {
    std::string_view document;
    bool per_record;  // else per value
    double must, goal;
};
constexpr InstructionTarget kInstructionTargets[] = {
    {"grid", false, 100, 90},
    {"huge", false, 100, 90},
    {"ints", false, 50, 45},
    {"many", true, 6000, 5000},
};
constexpr std::int64_t kInstructionDivisor = 10;

bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= dirs.size();) {
        std::size_t colon = std::min(dirs.find(':', start), dirs.size());
        std::string candidate = dirs.substr(start, colon - start) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return true;
        start = colon + 1;
    }
    return false;
}

// The instructions callgrind counted in one run of zelreport on `path`.
std::int64_t CountInstructions(const std::string& zelreport, const std::string& path,
                               const std::string& out_file) {
    Run run = Spawn(
        {"taskset", "-c", "0", "valgrind", "--tool=callgrind", "--callgrind-out-file=" + out_file, zelreport},
        path, -1);
    if (run.status != 0) Fail(path + ": callgrind run failed");
    std::FILE* file = std::fopen(out_file.c_str(), "r");
    if (!file) Fail("cannot read " + out_file);
    char line[256];
    long long total = -1;
    while (std::fgets(line, sizeof line, file))
        if (std::sscanf(line, "summary: %lld", &total) == 1 || std::sscanf(line, "totals: %lld", &total) == 1)
            break;
    std::fclose(file);
    std::remove(out_file.c_str());
    if (total < 0) Fail(out_file + ": no instruction total");
    return total;
}

// Prints the instruction table for the tenth-size documents in `dir`;
// false when a must is missed.
bool InstructionTable(const std::string& zelreport, const std::string& dir) {
    if (!OnPath("valgrind") || !OnPath("taskset")) {
        std::printf("\ninstructions: valgrind or taskset is missing, not counted\n");
        return true;
    }
    std::printf("\n%-11s %14s %10s %8s %8s %8s  %s\n", "doc /10", "instructions", "unit", "per unit", "must",
                "goal", "must reach");
    bool all_met = true;
    for (const InstructionTarget& target : kInstructionTargets) {
        const zelbench::DocumentKind* kind = zelbench::FindDocument(target.document);
        Scaled size = zelbench::ScaleDocument(*kind, kInstructionDivisor);
        std::string path = dir + "/" + std::string(target.document) + ".xml";
        std::int64_t total = CountInstructions(zelreport, path, dir + "/callgrind.out");
        std::int64_t units = target.per_record ? size.records : size.records * size.values;
        double per = static_cast<double>(total) / static_cast<double>(units);
        bool met = per <= target.must;
        all_met = all_met && met;
        std::printf("%-11s %14lld %10s %8.1f %8.0f %8.0f  %s\n", std::string(target.document).c_str(),
                    static_cast<long long>(total), target.per_record ? "record" : "value", per, target.must,
                    target.goal, met ? (per <= target.goal ? "met, goal met" : "met") : "MISSED");
    }
    std::printf("callgrind, whole program, taskset -c 0 (one thread)\n");
    return all_met;
}

// The processors this process may run on.
std::vector<int> AllowedProcessors() {
    cpu_set_t set;
    std::vector<int> cpus;
    if (sched_getaffinity(0, sizeof set, &set) != 0) return cpus;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &set)) cpus.push_back(cpu);
    return cpus;
}

// Runs one zelreport per processor on `path` at once, in the environment
// `env`; returns the time until the last one ends.
double Batch(const std::string& zelreport, const std::string& path, std::size_t count, char** env) {
    int null_fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null_fd < 0) Fail("cannot open /dev/null");
    double start = Now();
    std::vector<pid_t> pids;
    for (std::size_t i = 0; i < count; ++i) pids.push_back(Spawn({zelreport}, path, null_fd, env).pid);
    close(null_fd);
    for (pid_t pid : pids) {
        int status = 0;
        if (waitpid(pid, &status, 0) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            Fail(path + ": zelreport failed in a batch");
    }
    return Now() - start;
}

// Two threads against one: zelreport as it is against the same run with
// every thread start refused (the tests' preloaded library), alone and as
// many at once as there are processors. The second thread must never make
// a run slower; the bound leaves room for the noise of a shared machine.
constexpr double kMaxThreadsSlowdown = 1.05;
// Records of this many values hold runs long enough to be cut in two.
constexpr std::int64_t kLongRunValues = 10000;

bool ThreadTable(const std::string& zelreport, const std::string& dir, int runs, char** refused_env) {
    std::vector<int> cpus = AllowedProcessors();
    if (cpus.size() < 2 || !refused_env) {
        std::printf(
            "\nthreads: %s, not compared\n",
            cpus.size() < 2 ? "one processor" : "no thread-refusing library (ZELBENCH_REFUSE_THREADS)");
        return true;
    }
    std::printf("\n%-11s %9s %9s %7s %9s %9s %7s  %s\n", "doc", "1 thr s", "zel s", "zel/1", "all 1 s",
                "all s", "all/1", "never slower");
    bool all_met = true;
    for (const zelbench::DocumentKind& kind : zelbench::kDocuments) {
        std::string path = dir + "/" + std::string(kind.name) + ".xml";
        std::vector<double> one, two, all_one, all_two;
        for (int round = 0; round < runs; ++round) {
            Run o = Spawn({zelreport}, path, -1, refused_env);
            Run t = Spawn({zelreport}, path, -1);
            if (o.status || t.status) Fail(path + ": zelreport failed");
            one.push_back(o.seconds);
            two.push_back(t.seconds);
            all_one.push_back(Batch(zelreport, path, cpus.size(), refused_env));
            all_two.push_back(Batch(zelreport, path, cpus.size(), environ));
        }
        double t_one = Median(one), t_two = Median(two), t_all_one = Median(all_one),
               t_all_two = Median(all_two);
        bool met = t_two <= kMaxThreadsSlowdown * t_one && t_all_two <= kMaxThreadsSlowdown * t_all_one;
        // Where no run is long enough to be cut in two, both ways run the
        // same code: what differs is the machine's noise, not a target.
        bool splits = kind.token_bytes == 0 && kind.values == 0 &&
                      std::int64_t{kind.ni} * kind.nj * kind.nk >= kLongRunValues;
        if (splits) all_met = all_met && met;
        std::printf("%-11s %9.3f %9.3f %7.2f %9.3f %9.3f %7.2f  %s\n", std::string(kind.name).c_str(), t_one,
                    t_two, t_two / t_one, t_all_one, t_all_two, t_all_two / t_all_one,
                    !splits ? "(one thread either way)"
                    : met   ? "met"
                            : "MISSED");
        std::fflush(stdout);
    }
    std::printf(
        "median of %d rounds; 1 thr: every thread start refused; all: %zu zelreports at once, one per "
        "processor; bound %.2fx\n",
        runs, cpus.size(), kMaxThreadsSlowdown);
    return all_met;
}

// This process's environment with `setting` ("NAME=value") in place of
// any other value of NAME.
std::vector<char*> EnvironmentWith(const std::string& setting, std::vector<std::string>& storage) {
    std::string name = setting.substr(0, setting.find('=') + 1);
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, name.c_str(), name.size()) != 0) storage.emplace_back(*e);
    storage.push_back(setting);
    std::vector<char*> env;
    for (std::string& s : storage) env.push_back(s.data());
    env.push_back(nullptr);
    return env;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5 && argc != 6) {
        std::fprintf(stderr, "usage: zelbench ZELREPORT DIVISOR RUNS DIR [TENTH_SIZE_DIR]\n");
        return 2;
    }
    std::string zelreport = argv[1];
    long divisor = std::strtol(argv[2], nullptr, 10);
    int runs = std::atoi(argv[3]);
    std::string dir = argv[4];
    if (divisor < 1 || runs < 1) Fail("bad divisor or run count");
    std::vector<std::string> env_storage, refused_storage;
    std::vector<char*> c_locale = EnvironmentWith("LC_ALL=C", env_storage);
    // The thread-refusing library, when the tests are built.
    const char* refuse_threads = std::getenv("ZELBENCH_REFUSE_THREADS");
    std::vector<char*> refused;
    if (refuse_threads && access(refuse_threads, R_OK) == 0)
        refused = EnvironmentWith(std::string("LD_PRELOAD=") + refuse_threads, refused_storage);

    std::printf("%-11s %8s %9s %9s %9s %10s %10s %7s %9s  %s\n", "doc", "MB", "cat s", "wc -w s", "zel s",
                "wc MB/s", "zel MB/s", "zel/wc", "RSS MiB", "must reach");
    bool all_met = true;
    std::vector<std::pair<std::string, double>> times;  // zelreport's median per document
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
        std::string verdict = Verdict(kind.name, ratio, rss_mib, times, t_zel, all_met);
        times.emplace_back(kind.name, t_zel);
        std::printf("%-11s %8.1f %9.3f %9.3f %9.3f %10.0f %10.0f %7.2f %9.1f  %s\n",
                    std::string(kind.name).c_str(), megabytes, t_cat, t_wc, t_zel, megabytes / t_wc,
                    megabytes / t_zel, ratio, rss_mib, verdict.c_str());
        std::fflush(stdout);
    }
    std::printf("median of %d alternating runs; times in seconds; RSS is zelreport's peak\n", runs);
    all_met = ThreadTable(zelreport, dir, runs, refused.empty() ? nullptr : refused.data()) && all_met;
    if (argc == 6) all_met = InstructionTable(zelreport, argv[5]) && all_met;
    if (!all_met) {
        std::printf("some targets were missed\n");
        return 1;
    }
    return 0;
}
