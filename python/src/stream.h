// SPDX-License-Identifier: MIT
// Records handed from a run of the library to Python, one by one. The
// library reads push-style, so the run goes on a thread of its own and
// hands its records over through a queue that holds a bounded number of
// them: memory follows the records in flight, not the document. Where the
// host refuses the thread, the whole document is read on the caller's
// thread at the first request instead: the same records, unbounded.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>

#include "reader/threads.h"
#include "record_data.h"
#include "source.h"

namespace zelreport::python {

class RecordStream {
public:
    // Opens the source (GIL held); reading starts at the first Next.
    explicit RecordStream(py::handle source);
    // Stops the run and waits for its thread (GIL held on entry).
    ~RecordStream();

    // The next record; false at the end, after raising in Python what
    // stopped the run, if anything did (GIL held).
    bool Next(RecordData& record);
    // Stops reading and frees what is queued; Next then ends.
    void Close();

private:
    void Start();
    void Produce();  // the run, without the GIL
    void Push(RecordData&& record);
    // Waits, without the GIL, until records or the end are there,
    // letting Python handle signals meanwhile.
    void WaitForRecords();
    void Finish();
    void Join();

    std::unique_ptr<Source> source_;
    RunControl control_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<RecordData> queue_;  // guarded by mutex_
    std::size_t queued_bytes_ = 0;  // guarded by mutex_
    bool produced_all_ = false;     // guarded by mutex_
    Result result_;                 // set before produced_all_
    std::deque<RecordData> taken_;  // the consumer's, GIL held
    bool started_ = false;
    bool bounded_ = true;
    bool finished_ = false;
    StartedThread thread_;
};

}  // namespace zelreport::python
