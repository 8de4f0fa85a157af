// SPDX-License-Identifier: MIT
// A second thread that converts the second half of a long run of values
// while the reader converts the first.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace zelreport {

// Runs shorter than this are not worth a hand-over; a run is split only
// once it has gone on this long without a break.
constexpr std::ptrdiff_t kSplitRunBytes = 32 * 1024;
constexpr std::ptrdiff_t kWarmUpBytes = 4 * 1024;

class ValuesHelper {
public:
    ValuesHelper() = default;
    ValuesHelper(const ValuesHelper&) = delete;
    ValuesHelper& operator=(const ValuesHelper&) = delete;
    ~ValuesHelper();

    // True when there is a second processor to run on.
    static bool Worthwhile();

    // Converts the short numbers from `begin`, a token's first byte, on
    // towards `end`, floats or integers, on the second thread. The memory
    // stays untouched by the caller until Wait.
    void Start(const char* begin, const char* end, bool integers);
    // Where the second thread stopped, and what it converted up to there.
    struct Done {
        const char* stop;
        std::span<const float> floats;
        std::span<const std::int32_t> ints;
    };
    Done Wait();

private:
    void Work();

    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool pending_ = false, done_ = false, quit_ = false;
    const char* begin_ = nullptr;
    const char* end_ = nullptr;
    const char* stop_ = nullptr;
    bool integers_ = false;
    std::vector<float> floats_;
    std::vector<std::int32_t> ints_;
    std::string scratch_;  // room for any token converted where it lies
    std::size_t count_ = 0;
};

}  // namespace zelreport
