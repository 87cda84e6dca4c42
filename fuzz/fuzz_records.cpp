// The records loaders: any text, read both as CSV and as a JSON array, either becomes records in
// which every row has a value for every column, or is refused with a bad-input Failure. The
// records then meet a fixed label as the print job meets them: each column the label reads is
// looked up in each row.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

#include "errors.h"
#include "label.h"
#include "records.h"

using namespace epl2::eplhost;

namespace {

constexpr std::string_view tag_label = R"({"width": "2.25in", "height": "1.25in", "objects": [
  {"type": "text", "x": 650, "y": 450, "text": {"field": "asset_id"}},
  {"type": "barcode", "x": 650, "y": 950, "symbology": "Code 128", "data": {"field": "asset_id"}},
  {"type": "text", "x": 100, "y": 1150, "text": {"field": "location", "required": false}},
  {"type": "text", "x": 100, "y": 300, "text": {"field": "name", "default": "SAMPLE"}}]})";

const Label& label() {
    static const Label fixed = parse_label(tag_label, "tag.json");
    return fixed;
}

void check(const Records& records, bool from_csv) {
    const std::set<std::string> columns(records.columns.begin(), records.columns.end());
    if (columns.size() != records.columns.size()) std::abort();
    // A CSV header names every column; a JSON key may be empty, as no label can read it anyway.
    if (from_csv && columns.contains("")) std::abort();
    std::size_t number = 0, line = 0;
    for (const Record& row : records.rows) {
        if (row.number <= number) std::abort();
        number = row.number;
        // Messages name a record by its line in the file, or its place in the array.
        if (from_csv) {
            if (!row.where.starts_with("line ")) std::abort();
            const std::size_t at = std::stoul(row.where.substr(5));
            if (at <= line) std::abort();
            line = at;
        } else if (row.where != "element " + std::to_string(row.number - 1)) {
            std::abort();
        }
        if (from_csv && row.values.size() != columns.size()) std::abort();
        for (const auto& [column, value] : row.values) {
            if (!columns.contains(column)) std::abort();
        }
        // As the print job reads a row: every column the label names that the records have.
        for (const std::string& field : label().fields()) {
            if (from_csv && columns.contains(field) && !row.values.contains(field)) std::abort();
        }
    }
}

template <typename Loader>
void load(Loader loader, std::string_view text, const char* source, bool from_csv) {
    try {
        check(loader(text, source), from_csv);
    } catch (const Failure& f) {
        if (f.code() != ExitCode::bad_input || std::string_view(f.what()).empty()) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    load(parse_csv, text, "records.csv", true);
    load(parse_json_records, text, "records.json", false);
    return 0;
}
