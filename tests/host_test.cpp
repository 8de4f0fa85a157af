// SPDX-License-Identifier: MIT
// What the host may do around the reader: set a decimal-comma locale,
// limit the size of the file standard error goes to, make standard error
// non-blocking, keep the input open after a record, allow one processor or
// refuse a second thread.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/run.h"
#include "zelreport/zelreport.h"

namespace {

const std::string kSample = zeltest::ReadFile(EXAMPLES_DIR "/sample.xml");
const std::string kSampleReport = zeltest::ReadFile(EXAMPLES_DIR "/sample.err");

std::vector<float> Floats(const std::string& values) {
    std::vector<float> floats;
    zelreport::Handlers handlers;
    handlers.on_record = [&floats](const zelreport::RecordView& r) {
        floats.assign(r.floatdata.begin(), r.floatdata.end());
    };
    zelreport::run_buffer("<datyp>1</datyp>\n<values>" + values + "</values>\n</zeldata>\n</zelrecord>\n",
                          handlers);
    return floats;
}

// A program that uses the library may set a locale whose decimal point is
// a comma: what the tokens convert to, and how the report spells numbers,
// must not change.
TEST(Host, ConversionsIgnoreADecimalCommaLocale) {
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "zelreport-locale";
    std::string make = "localedef -i de_DE -f UTF-8 '" + dir.string() + "/de_DE.UTF-8' 2>/dev/null";
    if (std::system(("mkdir -p '" + dir.string() + "' && " + make).c_str()) != 0)
        GTEST_SKIP() << "localedef cannot make de_DE.UTF-8 (Debian package locales)";
    setenv("LOCPATH", dir.c_str(), 1);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    std::vector<float> floats = Floats("+1.5 1.5-2 1.5e3x 0x1.8p1 2,5 -1.25");
    std::string report;
    zelreport::Handlers handlers;
    handlers.output = [&report](std::string_view text) {
        report += text;
        return true;
    };
    zelreport::run_buffer(kSample, handlers);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(floats, (std::vector<float>{1.5f, 1.5f, 1500.0f, 3.0f, 2.0f, -1.25f}));
    EXPECT_EQ(report, kSampleReport);
}

// A file past `ulimit -f` is a write error: status 1, not death by SIGXFSZ.
TEST(Host, StandardErrorFileTooLarge) {
    auto run = zeltest::RunShell("ulimit -f 1 && \"$ZELREPORT\" 2>/dev/null 2>\"$(mktemp)\"; echo $?",
                                 kSample + kSample);
    EXPECT_EQ(run.out, "1\n");
}

// A long run of values goes to a second thread where there is one. On
// one processor, where the host refuses a thread (a process limit, as
// pthread_create's EAGAIN), or under a scheduler's stack and memory
// limits, the report is the one two processors give, status 0.
TEST(Host, EveryHostGivesTheSameReport) {
    if (std::system("taskset -c 0 true 2>/dev/null") != 0) GTEST_SKIP() << "taskset is missing";
    std::string values;
    for (int i = 0; values.size() < 2'000'000; ++i)
        values += std::to_string(i % 977) + (i % 7 ? ".25 " : "e-3\n ") + (i % 101 ? "" : "1e40 nan ");
    std::string document = "<ni>400000</ni>\n<nj>1</nj>\n<nk>1</nk>\n<datyp>1</datyp>\n<zeldata>\n<values>" +
                           values + "</values>\n</zeldata>\n</zelrecord>\n<datyp>2</datyp>\n<values>" +
                           values + "</values>\n</zeldata>\n</zelrecord>\n" + kSample;
    auto two = zeltest::RunShell("\"$ZELREPORT\" <in", document);
    ASSERT_EQ(two.status, 0);
    // The first value is 0e-3; 1e40 is infinite; a NaN makes the sum NaN.
    EXPECT_NE(two.err.find("--- min: 0.000000 max: inf avg: nan   ---"), std::string::npos);
    EXPECT_TRUE(two.err.ends_with(kSampleReport));
    struct Host {
        std::string setting;
        bool limits_memory = false;
    };
    const Host hosts[] = {
        {"taskset -c 0"},
        {"ASAN_OPTIONS=verify_asan_link_order=0 LD_PRELOAD=" ZELREPORT_REFUSE_THREADS},
        {"ulimit -s 1000000 && ulimit -v 200000 &&", true},
    };
    for (const Host& host : hosts) {
#if defined(__SANITIZE_ADDRESS__)
        if (host.limits_memory) continue;  // the sanitizer cannot start under a small address-space limit
#endif
        auto run = zeltest::RunShell(host.setting + " \"$ZELREPORT\" <in", document);
        EXPECT_EQ(run.status, 0) << host.setting;
        EXPECT_TRUE(run.err == two.err) << host.setting;
    }
}

// A non-blocking standard error that fills up is waited on, not failed.
TEST(Host, NonBlockingStandardErrorIsWaitedOn) {
    std::string document;
    for (int i = 0; i < 200; ++i) document += kSample;
    int err[2];
    ASSERT_EQ(pipe(err), 0);
    fcntl(err[1], F_SETFL, O_NONBLOCK);
    std::string path = std::filesystem::temp_directory_path() / "zelreport-nonblocking.xml";
    { std::ofstream(path) << document; }
    pid_t pid = fork();
    if (pid == 0) {
        dup2(err[1], 2);
        close(err[0]), close(err[1]);
        int in = open(path.c_str(), O_RDONLY);
        dup2(in, 0);
        execl(ZELREPORT_BIN, ZELREPORT_BIN, nullptr);
        _exit(127);
    }
    close(err[1]);
    usleep(200 * 1000);  // let it fill the pipe first
    std::string report;
    char buffer[4096];
    for (ssize_t n; (n = read(err[0], buffer, sizeof buffer)) > 0;) report.append(buffer, n);
    close(err[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::string expected;
    for (int i = 0; i < 200; ++i) expected += kSampleReport;
    EXPECT_EQ(report, expected);
}

}  // namespace
