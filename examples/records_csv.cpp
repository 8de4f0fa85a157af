// SPDX-License-Identifier: MIT
// records_csv: reads a record document on standard input and prints one
// CSV line per reported record to standard output:
//
//   nomvar,ip1,ni,nj,nk,min,max,avg
//
// min, max and avg are those of the record's report (single-precision
// data only, over ni * nj * nk entries); they are empty for other records
// and when ni * nj * nk is not positive. An absent nomvar is an empty field.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "zelreport/zelreport.h"

namespace {

// Quotes a field that holds a comma, a quote or a line break.
std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string quoted = "\"";
    for (char ch : text) {
        if (ch == '"') quoted += '"';
        quoted += ch;
    }
    return quoted + '"';
}

std::string Fixed(float value) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", static_cast<double>(value));
    return text;
}

// The report's statistics, when the record has any over a positive count.
std::string Stats(const zelreport::RecordView& r) {
    std::optional<zelreport::Statistics> stats = zelreport::statistics(r);
    if (!stats || stats->count <= 0) return ",,";
    return Fixed(stats->min) + ',' + Fixed(stats->max) + ',' + Fixed(stats->avg);
}

}  // namespace

int main() {
    zelreport::Handlers handlers;  // no output handler: the report text is dropped
    handlers.on_record = [](const zelreport::RecordView& r) {
        std::string line = r.nomvar ? CsvField(*r.nomvar) : std::string();
        for (std::int32_t number : {r.ip1, r.ni, r.nj, r.nk}) line += ',' + std::to_string(number);
        line += ',' + Stats(r) + '\n';
        std::fwrite(line.data(), 1, line.size(), stdout);
    };
    zelreport::Result result = zelreport::run_fd(STDIN_FILENO, handlers);
    if (result.status == zelreport::Status::read_error) {
        std::fprintf(stderr, "records_csv: error reading standard input: %s\n", std::strerror(result.error));
        return 1;
    }
    if (result.status == zelreport::Status::out_of_memory) {
        std::fprintf(stderr, "records_csv: out of memory\n");
        return 1;
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "records_csv: error writing standard output\n");
        return 1;
    }
    return 0;
}
