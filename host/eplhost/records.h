// The records of a variable-data batch: one map of column name to text per label, read from a
// CSV file (header row first) or a JSON array of objects.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace epl2::eplhost {

struct Record {
    std::size_t number = 0;  // 1-based, for messages
    std::string where;       // "line 12" or "element 11"
    std::map<std::string, std::string> values;
};

struct Records {
    std::filesystem::path source;
    std::vector<std::string> columns;
    std::vector<Record> rows;
};

// Throws Failure (bad_input) naming the file and the line or element at fault.
Records load_records(const std::filesystem::path& file);
Records parse_csv(std::string_view text, const std::filesystem::path& source);
Records parse_json_records(std::string_view text, const std::filesystem::path& source);

}  // namespace epl2::eplhost
