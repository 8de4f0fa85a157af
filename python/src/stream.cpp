// SPDX-License-Identifier: MIT
#include "stream.h"

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <utility>

#include "no_record.h"

namespace zelreport::python {

namespace {

// The queue holds at most this many records and, beyond its first batch,
// at most this many bytes of them.
constexpr std::size_t kMaxQueuedRecords = 256;
constexpr std::size_t kMaxQueuedBytes = std::size_t{32} << 20;
// The reading thread hands records over in batches of this many records or
// bytes, whichever comes first, and whatever it has before it waits for
// input: one lock and one wake-up a batch instead of a record.
constexpr std::size_t kBatchRecords = 64;
constexpr std::size_t kBatchBytes = std::size_t{1} << 20;
// How often a waiting consumer lets Python handle signals.
constexpr std::chrono::milliseconds kSignalCheckInterval{50};

}  // namespace

struct RecordStream::Run {
    Source source;
    RunControl control;
    bool bounded = true;  // false when the run is on a consumer's thread
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<RecordData> queue;  // guarded by mutex
    std::size_t queued_bytes = 0;   // guarded by mutex
    std::vector<RecordData> batch;  // the producer's, not yet in the queue
    std::size_t batch_bytes = 0;
    bool producing = false;     // guarded by mutex: started and not yet ended
    bool produced_all = false;  // guarded by mutex
    Result result;              // set before produced_all
    // A block of a file object asked for by the reading thread: only a
    // consumer's thread reads a file object, where Ctrl-C interrupts it.
    // The reading thread waits for it until the run is cancelled; a read
    // still in progress then fills the source's staging block only.
    std::atomic<bool> read_asked{false};
    char* read_buffer = nullptr;  // guarded by mutex, as are the four below
    std::size_t read_capacity = 0;
    std::uint64_t read_request = 0;  // which block read_buffer is
    long read_count = 0;
    bool read_in_progress = false;
    unsigned long reading_thread = 0;  // the Python thread serving the read

    explicit Run(py::handle document) : source(document) {}

    void Produce() {
        control.before_read = [this] { Publish(); };
        ReadBlock read_file;
        if (bounded)
            read_file = [this](char* buffer, std::size_t capacity) { return AskRead(buffer, capacity); };
        Handlers handlers;
        handlers.on_record_values = [this](const RecordView& view, RecordValues&& values) {
            if (control.KeepGoing()) Add(TakeRecord(view, std::move(values)));
        };
        Result ended = source.Run(std::move(handlers), nullptr, control, read_file);
        Publish();
        {
            std::lock_guard lock(mutex);
            result = ended;
            produced_all = true;
            producing = false;
        }
        changed.notify_all();
    }

    void Add(RecordData&& record) {
        batch_bytes += record.Bytes();
        batch.push_back(std::move(record));
        if (batch.size() >= kBatchRecords || batch_bytes >= kBatchBytes) Publish();
    }

    // Moves the batch into the queue once there is room for it.
    void Publish() {
        if (batch.empty()) return;
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] {
            return control.cancelled || !bounded || queue.empty() ||
                   (queue.size() + batch.size() <= kMaxQueuedRecords &&
                    queued_bytes + batch_bytes <= kMaxQueuedBytes);
        });
        if (!control.cancelled) {
            if (queue.empty()) {
                queue.swap(batch);
            } else {
                for (RecordData& record : batch) queue.push_back(std::move(record));
            }
            queued_bytes += batch_bytes;
        }
        lock.unlock();
        changed.notify_all();
        batch.clear();
        batch_bytes = 0;
    }

    // On the reading thread: waits until a consumer's thread has read the
    // block, or the run is cancelled.
    long AskRead(char* buffer, std::size_t capacity) {
        std::unique_lock lock(mutex);
        read_buffer = buffer;
        read_capacity = capacity;
        ++read_request;
        read_asked = true;
        changed.notify_all();
        changed.wait(lock, [&] { return !read_asked || control.cancelled; });
        if (read_asked) {
            read_asked = false;  // a read in progress no longer lands here
            errno = ECANCELED;
            return -1;
        }
        if (read_count < 0) errno = ECANCELED;
        return read_count;
    }

    // On a consumer's thread (GIL held): reads the block asked for, unless
    // none is or another thread is reading it. True when it read, which
    // may have dropped the GIL.
    bool ServeRead() {
        if (!read_asked) return false;
        std::size_t capacity;
        std::uint64_t request;
        {
            std::lock_guard lock(mutex);
            if (!read_asked || read_in_progress) return false;
            read_in_progress = true;
            reading_thread = PyThread_get_thread_ident();
            capacity = read_capacity;
            request = read_request;
        }
        long count = source.FillFromFile(capacity, control);
        {
            std::lock_guard lock(mutex);
            read_in_progress = false;
            if (read_asked && read_request == request) {
                read_count = source.CopyFilled(read_buffer, count);
                read_asked = false;
            }
        }
        changed.notify_all();
        return true;
    }

    // True when this thread is reading the file object: a record asked for
    // from inside its read could only wait for that read.
    bool ReadingHere() {
        std::lock_guard lock(mutex);
        return read_in_progress && reading_thread == PyThread_get_thread_ident();
    }

    // Tells the run to stop, and a producer waiting for room to look.
    void Cancel() {
        {
            std::lock_guard lock(mutex);
            control.cancelled = true;
            queue.clear();
            queued_bytes = 0;
        }
        changed.notify_all();
    }

    void WaitUntilEnded() {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return !producing; });
    }
};

namespace {

[[noreturn]] void RaiseRuntime(const char* message) {
    PyErr_SetString(PyExc_RuntimeError, message);
    throw py::error_already_set();
}

}  // namespace

// Forks seen by this process; a stream made before the last one is in a
// child, where its reading thread does not exist. Counted by an atfork
// handler, since asking for the process id at every record costs a call
// into the kernel.
namespace {
std::atomic<unsigned> forks{0};
}  // namespace

unsigned Forks() {
    static const bool registered = [] {
        pthread_atfork(nullptr, nullptr, [] { forks.fetch_add(1, std::memory_order_relaxed); });
        return true;
    }();
    (void)registered;
    return forks.load(std::memory_order_relaxed);
}

// The stream and its reading thread each hold the run; the last to let go
// frees it with the GIL, which the source's Python objects need.
RecordStream::RecordStream(py::handle source)
    : forks_(Forks()), run_(new Run(source), [](Run* run) {
          py::gil_scoped_acquire gil;
          delete run;
      }) {}

RecordStream::~RecordStream() {
    Close();
}

bool RecordStream::Forked() {
    if (forks_ == Forks()) return false;
    if (run_) {
        new std::shared_ptr<Run>(std::move(run_));  // never freed, on purpose
        static_cast<void>(thread_.release());
        taken_.clear();
        finished_ = true;
    }
    return true;
}

void RecordStream::Close() {
    if (Forked()) return;
    bool was_started = std::exchange(started_, true);
    finished_ = true;
    taken_.clear();
    taken_next_ = 0;
    std::shared_ptr<Run> run = run_;
    run->Cancel();
    std::unique_ptr<StartedThread> thread = std::move(thread_);
    if (was_started) {
        py::gil_scoped_release release;
        if (thread) thread->thread.join();
        run->WaitUntilEnded();
    }
    run->source.Release();
}

void RecordStream::Start() {
    started_ = true;
    {
        std::lock_guard lock(run_->mutex);
        run_->producing = true;
    }
    StartedThread started = TryStartThread([run = run_] {
        // Signals go to the interpreter's thread, where Python handles them.
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, nullptr);
        run->Produce();
    });
    if (started.started()) {
        thread_ = std::make_unique<StartedThread>(std::move(started));
        return;
    }
    // No thread: the whole document now, on this thread, with signals
    // handled between its blocks and records.
    std::shared_ptr<Run> run = run_;
    run->bounded = false;
    run->control.check_signals = true;
    {
        py::gil_scoped_release release;
        run->Produce();
    }
}

RecordStream::Queued RecordStream::TakeQueued() {
    Queued queued;
    {
        std::lock_guard lock(run_->mutex);
        taken_.clear();
        taken_next_ = 0;
        taken_.swap(run_->queue);
        run_->queued_bytes = 0;
        queued = !taken_.empty() ? Queued::taken : run_->produced_all ? Queued::ended : Queued::none_yet;
    }
    run_->changed.notify_all();
    return queued;
}

void RecordStream::WaitForRecords() {
    std::shared_ptr<Run> run = run_;
    {
        py::gil_scoped_release release;
        std::unique_lock lock(run->mutex);
        run->changed.wait_for(lock, kSignalCheckInterval, [&] {
            return !run->queue.empty() || run->produced_all || run->read_asked || run->control.cancelled;
        });
    }
    if (PyErr_CheckSignals() != 0) {
        run->control.StopForSignal();
        Finish();
    }
}

bool RecordStream::Next(RecordData& record) {
    // Each pass looks afresh: serving a read, waiting and finishing drop
    // the GIL, and another thread may take records or close meanwhile.
    for (;;) {
        if (Forked())
            RaiseRuntime("iterator created in another process: open the document again after fork()");
        if (finished_) return false;
        if (!started_) {
            Start();
            continue;
        }
        Run& run = *run_;
        // Ctrl-C is raised at once, before the records already read.
        if (run.control.interrupted) {
            Finish();
            continue;
        }
        // Keeps the reading thread going while the caller takes records.
        if (run.ServeRead()) continue;
        if (taken_next_ < taken_.size()) {
            record = std::move(taken_[taken_next_++]);
            ++handed_out_;
            return true;
        }
        switch (TakeQueued()) {
            case Queued::taken:
                continue;
            case Queued::none_yet:
                if (run.ReadingHere())
                    RaiseRuntime(
                        "records() iterator asked for its next record by its own file object's read");
                WaitForRecords();
                continue;
            case Queued::ended: {
                bool warn = handed_out_ == 0 && !run.control.cancelled;
                Finish();
                if (warn) WarnNoRecord(run.source);
                return false;
            }
        }
    }
}

// Ends the stream and raises what stopped the run, if anything did: the
// run has ended, or a Python exception already kept (Ctrl-C) stops it.
void RecordStream::Finish() {
    Close();
    Result result;
    {
        std::lock_guard lock(run_->mutex);
        result = run_->result;
    }
    run_->source.RaiseFailure(result, run_->control);
}

}  // namespace zelreport::python
