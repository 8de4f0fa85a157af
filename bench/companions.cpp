// SPDX-License-Identifier: MIT
// Times zelcheck and zelfmt against zelreport on the benchmark documents.
//
//   zelcompanions ZELREPORT ZELCHECK ZELFMT ZELEXPAT DIVISOR RUNS DIR
//
// DIR holds the documents zelgen wrote with DIVISOR. The four programs
// run in turn, RUNS rounds, each on the document with its output
// discarded (zelcheck also in SARIF); zelcheck must find nothing and zelfmt
// must succeed. ZELEXPAT
// only parses the document with expat: the floor under the other two.
// Each program's time is the median of its rounds; the ratios compare the
// medians of the same run. Peak memory is set against the document's
// largest record.
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
#include "harness.h"

namespace {

using namespace zelbench;

// The targets: times against expat's alone (what neither program can go
// under), and peak memory against the largest record (its bytes, plus
// room for buffers, expat and threads).
constexpr double kCheckRatio = 2.0;
constexpr double kFormatRatio = 1.5;
constexpr double kMemoryPerRecordByte = 1.5;
constexpr double kMemoryRoomMiB = 32;

// Runs argv with standard input from `input` (or none), output discarded;
// fails unless it exits with status 0.
Run Spawned(const std::vector<std::string>& args, const char* input) {
    Run run = Spawn(args, input ? input : "");
    if (run.status != 0) Fail(args[0] + " failed on " + args.back());
    return run;
}

// The bytes from one record's opening tag to the end of its closing tag,
// at most. The file is read in blocks: a mapping of it would count in the
// peak memory of the programs spawned after.
double LargestRecordMiB(const std::string& path) {
    constexpr std::string_view kOpen = "<zelrecord>", kClose = "</zelrecord>";
    int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) Fail("cannot read " + path);
    std::vector<char> block(1 << 20);
    std::string carry;  // the tail of the last block, where a tag may begin
    std::uint64_t offset = 0, start = 0, largest = 0;
    ssize_t n;
    while ((n = read(fd, block.data(), block.size())) > 0) {
        std::string text = carry + std::string(block.data(), static_cast<std::size_t>(n));
        std::uint64_t base = offset - carry.size();
        for (std::size_t at = text.find('<'); at != std::string::npos; at = text.find('<', at + 1)) {
            std::string_view tag = std::string_view(text).substr(at);
            if (tag.starts_with(kOpen)) start = base + at;
            if (tag.starts_with(kClose)) largest = std::max(largest, base + at + kClose.size() - start);
        }
        offset += static_cast<std::uint64_t>(n);
        carry = text.substr(text.size() - std::min(text.size(), kClose.size()));
        std::size_t lt = carry.find('<');
        carry = lt == std::string::npos ? "" : carry.substr(lt);
    }
    close(fd);
    return static_cast<double>(largest) / (1 << 20);
}

double LoadAverage() {
    double load = -1;
    if (std::FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &load) != 1) load = -1;
        std::fclose(f);
    }
    return load;
}

}  // namespace

int main(int argc, char** argv) {
    zelbench::program_name = "zelcompanions";
    if (argc != 8) {
        std::fprintf(stderr, "usage: zelcompanions ZELREPORT ZELCHECK ZELFMT ZELEXPAT DIVISOR RUNS DIR\n");
        return 2;
    }
    std::string zelreport = argv[1], zelcheck = argv[2], zelfmt = argv[3], zelexpat = argv[4], dir = argv[7];
    long divisor = std::strtol(argv[5], nullptr, 10);
    int runs = std::atoi(argv[6]);
    if (divisor < 1 || runs < 1) Fail("bad divisor or run count");

    std::printf("load average %.2f at the start\n", LoadAverage());
    std::printf("%-5s %7s %7s %8s %7s %8s %7s %7s %7s %7s %8s %8s %8s %8s  %s\n", "doc", "MB", "zel s",
                "check s", "fmt s", "expat s", "check/", "sarif/", "fmt/", "expat/", "record", "zel RSS",
                "chk RSS", "fmt RSS", "targets");
    std::printf("%-5s %7s %7s %8s %7s %8s %7s %7s %7s %7s %8s %8s %8s %8s\n", "", "", "", "", "", "", "expat",
                "expat", "expat", "zel", "MiB", "MiB", "MiB", "MiB");
    bool all_met = true;
    for (const zelbench::DocumentKind& kind : zelbench::kDocuments) {
        // The documents of ordinary records; not the declared-size and
        // single-token ones.
        if (kind.values != 0 || kind.token_bytes != 0) continue;
        std::string path = dir + "/" + std::string(kind.name) + ".xml";
        struct stat st;
        if (stat(path.c_str(), &st) != 0) Fail("missing " + path);
        double megabytes = static_cast<double>(st.st_size) / 1e6;
        double record_mib = LargestRecordMiB(path);
        std::vector<double> zel, check, sarif, fmt, expat;
        long zel_rss = 0, check_rss = 0, fmt_rss = 0;
        for (int round = 0; round < runs; ++round) {
            Run z = Spawned({zelreport}, path.c_str());
            Run c = Spawned({zelcheck, path}, nullptr);
            sarif.push_back(Spawned({zelcheck, "--format=sarif", path}, nullptr).seconds);
            Run f = Spawned({zelfmt, path}, nullptr);
            expat.push_back(Spawned({zelexpat, path}, nullptr).seconds);
            zel.push_back(z.seconds);
            check.push_back(c.seconds);
            fmt.push_back(f.seconds);
            zel_rss = std::max(zel_rss, z.peak_rss_kib);
            check_rss = std::max(check_rss, c.peak_rss_kib);
            fmt_rss = std::max(fmt_rss, f.peak_rss_kib);
        }
        double t_zel = Median(zel), t_check = Median(check), t_sarif = Median(sarif), t_fmt = Median(fmt),
               t_expat = Median(expat);
        double check_mib = static_cast<double>(check_rss) / 1024,
               fmt_mib = static_cast<double>(fmt_rss) / 1024;
        double memory_bound = kMemoryPerRecordByte * record_mib + kMemoryRoomMiB;
        bool met = t_check <= kCheckRatio * t_expat && t_sarif <= kCheckRatio * t_expat &&
                   t_fmt <= kFormatRatio * t_expat && check_mib <= memory_bound && fmt_mib <= memory_bound;
        all_met = all_met && met;
        std::printf(
            "%-5s %7.1f %7.3f %8.3f %7.3f %8.3f %7.2f %7.2f %7.2f %7.2f %8.1f %8.1f %8.1f %8.1f  %s\n",
            std::string(kind.name).c_str(), megabytes, t_zel, t_check, t_fmt, t_expat, t_check / t_expat,
            t_sarif / t_expat, t_fmt / t_expat, t_expat / t_zel, record_mib,
            static_cast<double>(zel_rss) / 1024, check_mib, fmt_mib, met ? "met" : "MISSED");
        std::fflush(stdout);
    }
    std::printf(
        "median of %d alternating runs; times in seconds; targets: check/expat and sarif/expat (zelcheck\n"
        "--format=sarif) <= %.1f, fmt/expat <= %.1f,\n"
        "RSS <= %.1f x the largest record + %.0f MiB\n",
        runs, kCheckRatio, kFormatRatio, kMemoryPerRecordByte, kMemoryRoomMiB);
    std::printf("load average %.2f at the end\n", LoadAverage());
    if (!all_met) std::printf("some targets were missed\n");
    return 0;
}
