// SPDX-License-Identifier: MIT
// A second thread that converts the second half of a long run of values
// while the reader converts the first.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "elements/split_policy.h"

namespace zelreport {

// Runs shorter than this are not worth a hand-over; a run is split only
// once it has gone on this long without a break.
constexpr std::ptrdiff_t kSplitRunBytes = 32 * 1024;
constexpr std::ptrdiff_t kWarmUpBytes = 4 * 1024;

// The second half is cut into stretches of about this many bytes, which
// either thread takes in turn: a reader that reaches the second half
// takes the stretches the second thread has not begun, and waits at most
// for the one it is on.
constexpr std::ptrdiff_t kStretchBytes = 16 * 1024;

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
    // True unless the host runs, right now, a thread on every processor
    // this process may use (the caller's among them).
    static bool ProcessorToSpare();
    // Whether a long run is worth cutting in two, as measured in this run.
    SplitPolicy policy;

    // Converts the short numbers of the tokens that begin from `begin`, a
    // token's first byte, up to `stop`, floats or integers, on the second
    // thread, in a block from `floor` to `end`. The memory stays untouched
    // by the caller until Wait or Cancel. False when the work was not
    // handed over: the host refused the thread (then no later call tries
    // again) or the room for its results; the caller converts the run
    // itself. Precondition: every earlier Start that returned true has
    // been waited for or cancelled.
    bool Start(const char* floor, const char* begin, const char* stop, const char* end, bool integers);
    // True when the last Start that returned true started the thread or
    // grew its room: that run pays a one-time cost and is no measure.
    bool StartedCold() const { return cold_; }

    // One stretch as converted: its values, and where it stopped, which is
    // `end` unless the run ended inside it.
    struct Stretch {
        const char* begin;
        const char* end;
        const char* stop;
        std::size_t first, count;  // the values' place in the results
    };
    struct Done {
        std::span<const Stretch> stretches;
        std::span<const float> floats;
        std::span<const std::int32_t> ints;
    };
    // Converts here the stretches the second thread has not begun, waits
    // for the one it is on, and gives them all, in order. `scratch` is the
    // caller's room for tokens converted the general way. Precondition: a
    // Start that returned true and has not been waited for or cancelled.
    Done Wait(std::string& scratch);
    // Leaves the stretches not begun and waits for the one begun.
    // Precondition: as for Wait.
    void Cancel();

private:
    void Work();
    bool MakeRoom(const char* begin, const char* stop, bool integers);
    void Plan(const char* begin, const char* stop);
    // Takes stretches until none is left; either thread.
    void ConvertStretches(std::string& scratch);
    void WaitForWorker(bool worker_took_part);

    std::mutex mutex_;
    std::condition_variable wake_;
    bool pending_ = false, done_ = false, quit_ = false;
    bool busy_ = false;     // a job started and not yet waited for (reader's side)
    bool refused_ = false;  // the host refused the thread once: never ask again
    bool cold_ = false;     // the last Start started the thread or grew its room
    const char* floor_ = nullptr;
    const char* end_ = nullptr;
    bool integers_ = false;
    std::vector<Stretch> stretches_;
    std::atomic<std::size_t> next_stretch_{0};  // the next one to take
    std::vector<float> floats_;
    std::vector<std::int32_t> ints_;
    std::string scratch_;  // the second thread's room for any token converted where it lies
    // Declared last and joined in the destructor's body, before any other
    // member is gone: the thread uses all of them.
    std::jthread thread_;
};

}  // namespace zelreport
