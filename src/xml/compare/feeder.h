// SPDX-License-Identifier: MIT
// zelcheck's feeder: hands zelreport's reader the input the XML reading
// parsed, chunk by chunk, in pieces cut where zelreport can report a
// record, and says where in the document each place stands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "xml/compare/report_places.h"
#include "xml/read/parse_ahead.h"
#include "xml/read/record.h"

namespace zelreport::xml {

// Where zelreport reads a record's closing name "/zelrecord": one byte into
// its closing tag. Its report can come only once that name and the byte
// after it are read.
inline std::uint64_t ClosingNamePlace(const XmlRecord& record) {
    return record.end.offset + 1;
}
inline std::uint64_t ReportPlace(const XmlRecord& record) {
    return ClosingNamePlace(record) + kTriggerSize;
}

class Feeder {
public:
    // The piece zelreport is reading: where it starts, and where the
    // closing name it ends with starts (kNoTrigger: none).
    struct Piece {
        std::uint64_t start = 0;
        std::uint64_t trigger = kNoTrigger;
        std::uint64_t line = 1, line_start = 0;  // at its start
    };

    Feeder(ParseAhead& parse, BlockPool& blocks) : parse_(parse), blocks_(blocks) {}

    // Copies the next piece into `buffer`: its size, 0 once the chunk is
    // handed whole.
    std::size_t Hand(char* buffer, std::size_t capacity);
    // Takes the next block, its records appended to `records` and the
    // elements between records to `loose`; false at the end of the input.
    bool Next(std::vector<std::unique_ptr<XmlRecord>>& records, std::vector<Unused>& loose);

    const Piece& piece() const { return piece_; }
    // The offset up to which zelreport has been handed the input.
    std::uint64_t consumed() const { return chunk_.offset + handed_; }
    bool ended() const { return ended_; }
    // Whether input is left that zelreport was not handed: it stopped.
    bool left() const { return !ended_ || handed_ < chunk_.size; }
    const std::optional<Trouble>& trouble() const { return trouble_; }
    const std::optional<std::uint64_t>& root_end() const { return root_end_; }

    // The place of `offset` in the input handed so far of the current
    // chunk, counted from the piece being read (columns count bytes).
    Position PositionOf(std::uint64_t offset) const;
    // Where a closing name starting at `name` stands: at its "<" when it
    // has one.
    Position TagPosition(std::uint64_t name) const;
    // Where zelreport stopped: at the last root closing name it was handed.
    Position StopPosition() const;

private:
    void CountLines(const char* bytes, std::size_t n, std::uint64_t at);

    ParseAhead& parse_;
    BlockPool& blocks_;
    ParsedBlock chunk_;
    std::size_t handed_ = 0;
    std::vector<Cut> cuts_;
    std::size_t next_cut_ = 0;
    TriggerFinder finder_;
    Piece piece_;
    std::uint64_t line_ = 1, line_start_ = 0;
    std::optional<std::uint64_t> root_end_;
    std::optional<Trouble> trouble_;
    bool ended_ = false;
};

}  // namespace zelreport::xml
