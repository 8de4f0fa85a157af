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
    // Joins the second thread, which may still be converting a run that
    // was started and never waited for (the reader left by an exception).
    ~ValuesHelper();

    // True when there is a second processor to run on.
    static bool Worthwhile();

    // Converts the short numbers from `begin`, a token's first byte, on
    // towards `end`, floats or integers, on the second thread. The memory
    // stays untouched by the caller until Wait. False when the work was not
    // handed over: the host refused the thread (then no later call tries
    // again) or the room for its results; the caller converts the run
    // itself. Precondition: every earlier Start that returned true has
    // been waited for.
    bool Start(const char* begin, const char* end, bool integers);
    // Where the second thread stopped, and what it converted up to there.
    struct Done {
        const char* stop;
        std::span<const float> floats;
        std::span<const std::int32_t> ints;
    };
    // Precondition: a Start that returned true and has not been waited for.
    Done Wait();
    // Takes the work of the last Start back when the second thread has not
    // begun it (its processor busy with other work): true, and the caller
    // converts that part itself; false, and the caller waits as usual.
    // Precondition: as for Wait.
    bool TakeBack();

private:
    void Work();
    bool MakeRoom(std::size_t tokens, bool integers);

    std::mutex mutex_;
    std::condition_variable wake_;
    bool pending_ = false, done_ = false, quit_ = false;
    bool busy_ = false;     // a job started and not yet waited for (reader's side)
    bool refused_ = false;  // the host refused the thread once: never ask again
    const char* begin_ = nullptr;
    const char* end_ = nullptr;
    const char* stop_ = nullptr;
    bool integers_ = false;
    std::vector<float> floats_;
    std::vector<std::int32_t> ints_;
    std::string scratch_;  // room for any token converted where it lies
    std::size_t count_ = 0;
    // Declared last and joined in the destructor's body, before any other
    // member is gone: the thread uses all of them.
    std::jthread thread_;
};

}  // namespace zelreport
