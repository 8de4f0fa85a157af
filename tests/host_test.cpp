// SPDX-License-Identifier: MIT
// What the host may do around the reader: set a decimal-comma locale,
// limit the size of the file standard error goes to, make standard error
// non-blocking, keep the input open after a record, allow one processor or
// refuse a second thread; and a descriptor read without input.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "reader/read_fd.h"
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

// A descriptor without input is waited on, a non-blocking one too; with a
// caller to ask, the wait ends when it says so.
TEST(Host, ReadingADescriptorWaitsAndCanBeStopped) {
    for (bool non_blocking : {false, true}) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        if (non_blocking) fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
        char buffer[8];
        int asked = 0;
        errno = 0;
        EXPECT_EQ(zelreport::ReadFd(fds[0], buffer, sizeof buffer, [&asked] { return ++asked < 3; }), -1);
        EXPECT_EQ(errno, ECANCELED);
        EXPECT_EQ(asked, 3);
        std::thread writer([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            EXPECT_EQ(write(fds[1], "<x>", 3), 3);
        });
        EXPECT_EQ(zelreport::ReadFd(fds[0], buffer, sizeof buffer), 3) << non_blocking;
        writer.join();
        close(fds[1]);
        EXPECT_EQ(zelreport::ReadFd(fds[0], buffer, sizeof buffer, [] { return true; }), 0);
        close(fds[0]);
    }
}

// A non-blocking standard error that fills up is waited on, not failed.
TEST(Host, NonBlockingStandardErrorIsWaitedOn) {
    std::string document;
    for (int i = 0; i < 200; ++i) document += kSample;
    std::string path = std::filesystem::temp_directory_path() / "zelreport-nonblocking.xml";
    { std::ofstream(path) << document; }
    auto run = zeltest::RunIntoNonBlockingPipe(ZELREPORT_BIN, "", path, STDERR_FILENO);
    EXPECT_EQ(run.status, 0);
    std::string expected;
    for (int i = 0; i < 200; ++i) expected += kSampleReport;
    EXPECT_EQ(run.out, expected);
}

}  // namespace
