// SPDX-License-Identifier: MIT
// Records handed from a run of the library to Python, one by one. The
// library reads push-style, so the run goes on a thread of its own and
// hands its records over through a queue that holds a bounded number of
// them: memory follows the records in flight, not the document. Where the
// host refuses the thread, the whole document is read on the caller's
// thread at the first request instead: the same records, unbounded.
//
// Any number of Python threads may share a stream. Its own state is
// touched only with the GIL held, and every step that may drop the GIL (a
// file object's read, a wait for the reading thread, the end of the run)
// is followed by a fresh look at that state.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "reader/threads.h"
#include "record_data.h"
#include "source.h"

namespace zelreport::python {

// How many times this process has forked (counted from the first call on):
// what a thread of the library made before the last fork is gone in the
// child.
unsigned Forks();

class RecordStream {
public:
    // Opens the source (GIL held); reading starts at the first Next.
    explicit RecordStream(py::handle source);
    // Stops the run (GIL held).
    ~RecordStream();
    RecordStream(const RecordStream&) = delete;
    RecordStream& operator=(const RecordStream&) = delete;

    // The next record; false at the end, after raising in Python what
    // stopped the run, if anything did, or warning once that the document
    // gave no record (GIL held). Raises RuntimeError in a process forked
    // from the one that made the stream.
    bool Next(RecordData& record);
    // Stops reading, frees the records not yet taken and lets go of the
    // source (GIL held); Next then ends. Any thread, any number of times.
    void Close();

private:
    struct Run;  // what the stream shares with its reading thread
    enum class Queued { taken, none_yet, ended };

    void Start();
    // Moves the queued records to `taken_` (empty then).
    Queued TakeQueued();
    // Waits a while, without the GIL, for records, the end or a read to
    // serve, then lets Python handle signals.
    void WaitForRecords();
    // Ends the stream and raises what stopped the run, if anything did.
    void Finish();
    // True in a process forked from the one that made the stream, where
    // its reading thread does not exist: forgets the run, unfreed, since
    // its locks may be held for good.
    bool Forked();

    unsigned forks_;  // forks seen when the stream was made
    std::shared_ptr<Run> run_;
    std::vector<RecordData> taken_;  // handed out from taken_next_ on
    std::size_t taken_next_ = 0;
    std::uint64_t handed_out_ = 0;
    bool started_ = false;
    bool finished_ = false;
    // Only one closer joins the thread; the others wait for the run's end.
    std::unique_ptr<StartedThread> thread_;
};

}  // namespace zelreport::python
