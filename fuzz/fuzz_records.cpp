// The records loaders: any text, read both as CSV and as a JSON array, either becomes records whose
// rows hold values of their columns only (a CSV row one for each), or is refused with a bad-input
// Failure. The print job looks each column a label reads up in each row, so a CSV row missing one
// would stop a batch half printed.
#include <algorithm>
#include <set>

#include "errors.h"
#include "fuzz_support.h"
#include "records.h"

using namespace epl2::eplhost;
using epl2::fuzz::require;

namespace {

// Rows numbered in order, holding values of known columns only; a CSV row holds one for every
// column and is named in messages by its line in the file.
void check(const Records& records, bool from_csv) {
    const std::set<std::string> columns(records.columns.begin(), records.columns.end());
    // A CSV header names every column; a JSON key may be empty, as no label can read it anyway.
    require(columns.size() == records.columns.size() && !(from_csv && columns.contains("")),
            "distinct columns, each with a name in a CSV header");
    const auto known = [&](const auto& value) { return columns.contains(value.first); };
    std::size_t number = 0, line = 0;
    for (const Record& row : records.rows) {
        require(row.number > number, "rows numbered in order");
        number = row.number;
        if (from_csv) {
            require(row.where.starts_with("line ") && std::stoul(row.where.substr(5)) > line,
                    "a CSV row is named by its line, in order");
            line = std::stoul(row.where.substr(5));
            require(row.values.size() == columns.size(), "a CSV row has a value for every column");
        }
        require(std::ranges::all_of(row.values, known), "values of known columns only");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    epl2::fuzz::load_or_refuse<Failure>([&] { return parse_csv(text, "records.csv"); },
                                        [](const Records& r) { check(r, true); });
    epl2::fuzz::load_or_refuse<Failure>([&] { return parse_json_records(text, "records.json"); },
                                        [](const Records& r) { check(r, false); });
    return 0;
}
