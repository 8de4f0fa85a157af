// SPDX-License-Identifier: MIT
// Starting a thread where the host may refuse one. A process or cgroup
// limit, or too little address space for a thread's stack, makes the start
// fail; the caller then does the same work on its own thread, or says so.
#pragma once

#include <new>
#include <system_error>
#include <thread>
#include <utility>

namespace zelreport {

// A thread that may not have started: `thread` is joinable exactly when
// it did, and `refusal` says why it did not.
struct StartedThread {
    std::jthread thread;
    std::error_code refusal;

    bool started() const { return thread.joinable(); }
};

// Starts `work` on a thread of its own. A refusal by the host, whatever
// its errno, and a failed allocation of the thread's state come back as
// a thread that did not start, never as an exception.
template <typename Work>
StartedThread TryStartThread(Work&& work) {
    StartedThread result;
    try {
        result.thread = std::jthread(std::forward<Work>(work));
    } catch (const std::system_error& refused) {
        result.refusal = refused.code();
    } catch (const std::bad_alloc&) {
        result.refusal = std::make_error_code(std::errc::not_enough_memory);
    }
    return result;
}

}  // namespace zelreport
