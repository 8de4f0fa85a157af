// SPDX-License-Identifier: MIT
#include "xml/check.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "run/observed_run.h"
#include "xml/common/limits.h"
#include "xml/common/show.h"
#include "xml/compare/compare.h"
#include "xml/compare/feeder.h"
#include "xml/compare/report_places.h"
#include "xml/diagnose/diagnose.h"
#include "xml/print/findings.h"
#include "xml/read/parse_ahead.h"

namespace zelreport::xml {

namespace {

// Blocks parsed ahead of zelreport's reading: they bound the memory, and
// let the XML parse on one core while zelreport reads on the other.
constexpr std::size_t kBlocksAhead = 4;
// Reports at no record's end waiting for their record to be complete;
// more are only counted.
constexpr std::size_t kMaxWaitingExtras = 64;

// zelcheck's matcher: pairs each report zelreport makes with the XML
// record whose closing name it comes from, settles each record in order,
// reported (and compared) or not, and keeps what stands between records
// (reports of no record, elements the meaning does not take) for the
// findings between records.
class Matcher {
public:
    Matcher(const Feeder& feeder, RecordPool& records, FindingWriter& out)
        : feeder_(feeder), records_(records), out_(out) {}

    std::vector<std::unique_ptr<XmlRecord>>& incoming() { return incoming_; }
    std::vector<Unused>& loose() { return loose_; }

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
            Difference extra{Difference::extra,
                             Field::nomvar,
                             false,
                             false,
                             "zelreport reports a record here that the XML does not have",
                             {}};
            extra.what +=
                view.nomvar ? " (nomvar " + ShowText(view.nomvar, view.nomvar->size()) + ")" : " (no nomvar)";
            extra.at = trigger ? feeder_.TagPosition(place) : feeder_.PositionOf(place);
            extras_.push_back(std::move(extra));
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

    // Settles every record left, then what stands after them.
    void Finish() {
        Take();
        while (!pending_.empty()) Settle(nullptr);
    }
    void FinishBetween() { EmitBetween(kNoTrigger); }

private:
    void Take() {
        for (std::unique_ptr<XmlRecord>& record : incoming_) pending_.push_back(std::move(record));
        incoming_.clear();
    }

    // Settles the first pending record, with zelreport's report of it or
    // without one.
    void Settle(const RecordView* reported, const ValuesOrigin& origin = {}) {
        XmlRecord& record = *pending_.front();
        EmitBetween(record.start.offset);
        out_.Begin({record.index, record.start.line});
        EmitExtras(ClosingNamePlace(record), &record);
        RecordContext context{previous_reported_, std::nullopt, strays_};
        RecordComparison comparison;
        if (reported) {
            comparison = CompareRecord(record, *reported, origin);
        } else {
            comparison = CompareUnreported(record);
            if (stopped_at_ && ReportPlace(record) > stop_offset_) context.stopped_at = stopped_at_;
        }
        findings_.clear();
        DiagnoseRecord(record, comparison, context, findings_);
        for (Finding& finding : findings_) out_.Add(std::move(finding));
        out_.End();
        previous_reported_ = reported != nullptr;
        strays_.clear();
        records_.Give(std::move(pending_.front()));
        pending_.pop_front();
    }

    // Reports zelreport made before `before` at no record's end, inside
    // `record`, in its group.
    void EmitExtras(std::uint64_t before, const XmlRecord* record) {
        std::size_t n = 0;
        while (n < extras_.size() && extras_[n].at.offset < before) ++n;
        for (std::size_t i = 0; i < n; ++i) out_.Add(DiagnoseExtra(extras_[i], record, feeder_.root_end()));
        extras_.erase(extras_.begin(), extras_.begin() + static_cast<std::ptrdiff_t>(n));
    }

    // What stands between records before `before`: reports of no record,
    // elements the meaning does not take (the misplaced ones kept, one a
    // field, to explain what the next record reads).
    void EmitBetween(std::uint64_t before) {
        bool last = before == kNoTrigger;
        std::size_t loose = 0;
        while (loose < loose_.size() && loose_[loose].at.offset < before) ++loose;
        bool extras = !extras_.empty() && extras_.front().at.offset < before;
        if (loose == 0 && !extras && !(last && extras_dropped_ > 0)) return;
        out_.Begin({});
        EmitExtras(before, nullptr);
        // Each element between records counts on its own, as a record does.
        for (std::size_t i = 0; i < loose; ++i) {
            Unused& unused = loose_[i];
            out_.End();
            out_.Begin({});
            out_.Add(DiagnoseLoose(unused));
            if (unused.slot == kNoSlot) continue;
            std::erase_if(strays_, [&](const Unused& stray) { return stray.slot == unused.slot; });
            strays_.push_back(std::move(unused));
        }
        loose_.erase(loose_.begin(), loose_.begin() + static_cast<std::ptrdiff_t>(loose));
        // Reports past what was kept are counted only.
        if (last) out_.Suppressed(std::exchange(extras_dropped_, 0));
        out_.End();
    }

    const Feeder& feeder_;
    RecordPool& records_;
    FindingWriter& out_;
    std::vector<std::unique_ptr<XmlRecord>> incoming_;
    std::deque<std::unique_ptr<XmlRecord>> pending_;
    std::vector<Difference> extras_;
    std::uint64_t extras_dropped_ = 0;
    std::vector<Unused> loose_, strays_;
    std::vector<Finding> findings_;
    bool previous_reported_ = true;
    std::optional<Position> stopped_at_;
    std::uint64_t stop_offset_ = 0;
};

// Runs zelreport's reader over what the feeder hands it, the matcher
// settling the records as the reader goes, and the rest of the document
// through the XML reading once zelreport has stopped.
std::optional<Trouble> CompareReadings(ParseAhead& parse, BlockPool& blocks, RecordPool& records,
                                       FindingWriter& out) {
    Feeder feeder(parse, blocks);
    Matcher matcher(feeder, records, out);
    Handlers handlers;
    RecordObserver observer = [&matcher](const RecordView& view, const ValuesOrigin& origin) {
        matcher.OnReport(view, origin);
    };
    auto read = [&](char* buffer, std::size_t capacity) -> long {
        for (;;) {
            matcher.SettleConsumed();
            if (std::size_t n = feeder.Hand(buffer, capacity)) return static_cast<long>(n);
            if (!feeder.Next(matcher.incoming(), matcher.loose())) return 0;
        }
    };
    Result result = run_reader_observed(read, handlers, &observer);
    if (result.status == Status::out_of_memory) return Trouble{{}, "out of memory"};
    // zelreport stops at a root closing tag; whatever it left unread still
    // goes through the XML reading.
    if (feeder.left()) matcher.Stopped(feeder.StopPosition());
    do matcher.Finish();
    while (feeder.Next(matcher.incoming(), matcher.loose()));
    matcher.FinishBetween();
    return feeder.trouble();
}

}  // namespace

CheckResult CheckDocument(std::string_view name, ReadFn read, Form& form, const PrintOptions& options) {
    BlockPool blocks(NewBlock);
    RecordPool records(NewXmlRecord);
    FindingWriter writer(std::string(name), form, options);
    std::optional<Trouble> trouble;
    try {
        ParseOptions parse_options{
            .reader = {.track_layout = true}, .keep_bytes = true, .blocks_ahead = kBlocksAhead};
        ParseAhead parse(std::move(read), parse_options, records, blocks);
        trouble = CompareReadings(parse, blocks, records, writer);
    } catch (const std::bad_alloc&) {
        trouble = Trouble{{}, "out of memory"};
    }
    writer.Finish(trouble);
    CheckResult result;
    result.summary = writer.summary();
    result.summary.file = {};
    if (trouble) {
        result.trouble = true;
        result.message = TroubleMessage("zelcheck", name, *trouble);
    }
    return result;
}

CheckResult CheckDocument(std::string_view name, ReadFn read, Output& out, const PrintOptions& options) {
    std::unique_ptr<Form> form = MakeForm(FormKind::text, out, false);
    CheckResult result = CheckDocument(name, std::move(read), *form, options);
    form->Finish();
    return result;
}

}  // namespace zelreport::xml
