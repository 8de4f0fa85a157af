// SPDX-License-Identifier: MIT
#include "xml/check.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "reader/threads.h"
#include "run/observed_run.h"
#include "xml/compare.h"
#include "xml/diagnose.h"
#include "xml/document_reader.h"
#include "xml/feeder.h"
#include "xml/findings.h"
#include "xml/limits.h"
#include "xml/queue.h"
#include "xml/report_places.h"

namespace zelreport::xml {

namespace {

// Blocks parsed ahead of zelreport's reading: they bound the memory, and
// let the XML parse on one core while zelreport reads on the other.
constexpr std::size_t kChunksAhead = 4;
// Reports at no record's end waiting for their record to be complete;
// more are only counted.
constexpr std::size_t kMaxWaitingExtras = 64;

// Parses the document: ahead on a thread of its own, or block by block
// when the reading side asks.
class XmlSide final : public RecordSink {
public:
    XmlSide(ReadFn read, BoundedQueue<Chunk>& queue, Pool<char[]>& blocks, Pool<XmlRecord>& records)
        : read_(std::move(read)),
          queue_(queue),
          blocks_(blocks),
          records_(records),
          reader_(*this, {.track_layout = true}) {}

    // Parses blocks ahead on a thread of its own, into the queue.
    void Run() {
        while (std::optional<Chunk> chunk = Next())
            if (!queue_.Push(std::move(*chunk)) || done_) return;
    }

    // Reads and parses the next block: the chunk it makes, none after the
    // last. Called from the parser thread, or from the reading side when no
    // thread could be started.
    std::optional<Chunk> Next() {
        if (done_) return std::nullopt;
        try {
            Parse();
        } catch (const std::bad_alloc&) {
            chunk_ = Chunk{};
            chunk_.last = true;
            chunk_.trouble = Trouble{{}, "out of memory"};
        }
        done_ = chunk_.last;
        return std::exchange(chunk_, Chunk{});
    }

    void OnRecord(std::unique_ptr<XmlRecord>& record) override {
        chunk_.records.push_back(std::move(record));
    }
    std::unique_ptr<XmlRecord> NewRecord() override { return records_.Take(); }
    void OnRootEnd(const Position& at) override { chunk_.root_end = at.offset; }

private:
    void Parse() {
        chunk_ = Chunk{};
        chunk_.bytes = blocks_.Take();
        chunk_.offset = offset_;
        long n = read_(chunk_.bytes.get(), kBlockSize);
        if (n < 0) {
            chunk_.trouble = Trouble{{}, std::string("read error: ") + std::strerror(errno)};
        } else {
            chunk_.size = static_cast<std::size_t>(n);
            offset_ += chunk_.size;
            if (!reader_.Parse(chunk_.bytes.get(), chunk_.size, n == 0)) chunk_.trouble = reader_.trouble();
        }
        chunk_.last = n <= 0 || chunk_.trouble;
    }

    ReadFn read_;
    BoundedQueue<Chunk>& queue_;
    Pool<char[]>& blocks_;
    Pool<XmlRecord>& records_;
    DocumentReader reader_;
    Chunk chunk_;
    std::uint64_t offset_ = 0;
    bool done_ = false;
};

// zelcheck's matcher: pairs each report zelreport makes with the XML
// record whose closing name it comes from, settles each record in order,
// reported (and compared) or not, and keeps the reports of no record for
// the findings between records.
class Matcher {
public:
    Matcher(const Feeder& feeder, Pool<XmlRecord>& records, FindingWriter& out)
        : feeder_(feeder), records_(records), out_(out) {}

    std::vector<std::unique_ptr<XmlRecord>>& incoming() { return incoming_; }

    // zelreport has read all it was handed: a record whose closing name it
    // has passed without a report is not reported.
    void SettleConsumed() {
        Take();
        while (!pending_.empty() && ReportPlace(*pending_.front()) <= feeder_.consumed()) Settle(nullptr);
    }

    void OnReport(const RecordView& view, const ValuesOrigin& origin) {
        Take();
        const Feeder::Piece& piece = feeder_.piece();
        bool trigger = piece.trigger != kNoTrigger;
        std::uint64_t place = trigger ? piece.trigger : piece.start;
        while (!pending_.empty() && ClosingNamePlace(*pending_.front()) < place) Settle(nullptr);
        if (trigger && !pending_.empty() && ClosingNamePlace(*pending_.front()) == place)
            return Settle(&view, origin);
        if (extras_.size() < kMaxWaitingExtras) {
            Position at = trigger ? feeder_.TagPosition(place) : feeder_.PositionOf(place);
            extras_.push_back({place, at, view.nomvar ? std::optional(*view.nomvar) : std::nullopt});
        } else {
            ++extras_dropped_;
        }
    }

    // zelreport stopped (at a root closing name, or at the end of what it
    // was handed): records whose report place lies beyond went unreported
    // for that reason.
    void Stopped(Position at) {
        stopped_at_ = at;
        stop_offset_ = feeder_.consumed();
    }

    // Settles every record left, then the reports of no record.
    void Finish() {
        Take();
        while (!pending_.empty()) Settle(nullptr);
    }
    void FinishExtras() { EmitExtras(kNoTrigger, nullptr); }

private:
    struct Extra {
        std::uint64_t offset;
        Position at;
        std::optional<std::string> nomvar;
    };

    void Take() {
        for (std::unique_ptr<XmlRecord>& record : incoming_) pending_.push_back(std::move(record));
        incoming_.clear();
    }

    // Settles the first pending record, with zelreport's report of it or
    // without one.
    void Settle(const RecordView* reported, const ValuesOrigin& origin = {}) {
        XmlRecord& record = *pending_.front();
        EmitExtras(record.start.offset, nullptr);
        out_.Begin(RecordGroup(record), true);
        EmitExtras(ClosingNamePlace(record), &record);
        if (reported) {
            CompareRecord(record, *reported, origin, previous_reported_, out_);
        } else {
            bool stopped_before = stopped_at_ && ReportPlace(record) > stop_offset_;
            ReportMissing(record, BlameUnreported(record, stopped_before ? stopped_at_ : std::nullopt), out_);
        }
        out_.End();
        previous_reported_ = reported != nullptr;
        records_.Give(std::move(pending_.front()));
        pending_.pop_front();
    }

    // Reports zelreport made before `before` at no record's end: inside
    // `record` when given, else between records or after the root.
    void EmitExtras(std::uint64_t before, const XmlRecord* record) {
        std::size_t n = 0;
        while (n < extras_.size() && extras_[n].offset < before) ++n;
        bool last = before == kNoTrigger;
        if (n == 0 && (record || !last || extras_dropped_ == 0)) return;
        if (!record) out_.Begin("", false);
        for (std::size_t i = 0; i < n; ++i) {
            const Extra& extra = extras_[i];
            std::string what = "zelreport reports a record here that the XML does not have";
            what += extra.nomvar ? " (nomvar " + ShowText(&*extra.nomvar, extra.nomvar->size()) + ")"
                                 : " (no nomvar)";
            out_.Error(extra.at, what, BlameExtra(extra.offset, record, feeder_.root_end()));
        }
        if (!record) {
            if (last) out_.Suppressed(std::exchange(extras_dropped_, 0));
            out_.End();
        }
        extras_.erase(extras_.begin(), extras_.begin() + static_cast<std::ptrdiff_t>(n));
    }

    const Feeder& feeder_;
    Pool<XmlRecord>& records_;
    FindingWriter& out_;
    std::vector<std::unique_ptr<XmlRecord>> incoming_;
    std::deque<std::unique_ptr<XmlRecord>> pending_;
    std::vector<Extra> extras_;
    std::uint64_t extras_dropped_ = 0;
    bool previous_reported_ = true;
    std::optional<Position> stopped_at_;
    std::uint64_t stop_offset_ = 0;
};

// Runs zelreport's reader over what the feeder hands it, the matcher
// settling the records as the reader goes, and the rest of the document
// through the XML reading once zelreport has stopped.
std::optional<Trouble> CompareReadings(const ChunkSource& next, Pool<char[]>& blocks,
                                       Pool<XmlRecord>& records, FindingWriter& out) {
    Feeder feeder(next, blocks);
    Matcher matcher(feeder, records, out);
    Handlers handlers;
    RecordObserver observer = [&matcher](const RecordView& view, const ValuesOrigin& origin) {
        matcher.OnReport(view, origin);
    };
    auto read = [&](char* buffer, std::size_t capacity) -> long {
        for (;;) {
            matcher.SettleConsumed();
            if (std::size_t n = feeder.Hand(buffer, capacity)) return static_cast<long>(n);
            if (!feeder.Next(matcher.incoming())) return 0;
        }
    };
    Result result = run_reader_observed(read, handlers, &observer);
    if (result.status == Status::out_of_memory) return Trouble{{}, "out of memory"};
    // zelreport stops at a root closing tag; whatever it left unread still
    // goes through the XML reading.
    if (feeder.left()) matcher.Stopped(feeder.StopPosition());
    do matcher.Finish();
    while (feeder.Next(matcher.incoming()));
    matcher.FinishExtras();
    return feeder.trouble();
}

}  // namespace

CheckResult CheckDocument(std::string_view name, ReadFn read, Output& findings, bool all) {
    BoundedQueue<Chunk> queue(kChunksAhead);
    Pool<char[]> blocks([] { return std::make_unique_for_overwrite<char[]>(kBlockSize); });
    Pool<XmlRecord> records([] { return std::make_unique<XmlRecord>(); });
    FindingWriter writer(std::string(name), findings, all);
    std::optional<Trouble> trouble;
    try {
        XmlSide xml(std::move(read), queue, blocks, records);
        // Without a second thread the same parse runs between the readings
        // of zelreport's side: the same findings, on one core.
        StartedThread parser = TryStartThread([&xml] { xml.Run(); });
        CloseOnExit close(queue);  // destroyed before the parser is joined
        ChunkSource next;
        if (parser.started())
            next = [&queue] { return queue.Pop(); };
        else
            next = [&xml] { return xml.Next(); };
        trouble = CompareReadings(next, blocks, records, writer);
    } catch (const std::bad_alloc&) {
        trouble = Trouble{{}, "out of memory"};
    }
    writer.Finish(!trouble);
    findings.Flush();
    CheckResult result;
    result.errors = writer.errors();
    if (trouble) {
        result.trouble = true;
        result.message = TroubleMessage("zelcheck", name, *trouble);
    }
    return result;
}

}  // namespace zelreport::xml
