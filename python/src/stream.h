// SPDX-License-Identifier: MIT
// Records handed from a run of the library to Python, one by one. The
// library reads push-style, so the run goes on a thread of its own and
// hands its records over through a queue that holds a bounded number of
// them: memory follows the records in flight, not the document. Where the
// host refuses the thread, the whole document is read on the caller's
// thread at the first request instead: the same records, unbounded.
#pragma once

#include <memory>
#include <vector>

#include "reader/threads.h"
#include "record_data.h"
#include "source.h"

namespace zelreport::python {

class RecordStream {
public:
    // Opens the source (GIL held); reading starts at the first Next.
    explicit RecordStream(py::handle source);
    // Stops the run (GIL held).
    ~RecordStream();
    RecordStream(const RecordStream&) = delete;
    RecordStream& operator=(const RecordStream&) = delete;

    // The next record; false at the end, after raising in Python what
    // stopped the run, if anything did (GIL held).
    bool Next(RecordData& record);
    // Stops reading and frees the records not yet taken; Next then ends.
    void Close();

private:
    struct Run;  // what the stream shares with its reading thread

    void Start();
    // Waits, without the GIL, until records or the end are there,
    // letting Python handle signals meanwhile.
    void WaitForRecords();
    void Finish();

    std::shared_ptr<Run> run_;
    std::vector<RecordData> taken_;  // handed out from taken_next_ on
    std::size_t taken_next_ = 0;
    bool started_ = false;
    bool finished_ = false;
    StartedThread thread_;
};

}  // namespace zelreport::python
