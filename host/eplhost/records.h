// The records of a variable-data batch: one map of column name to text per label, read from a
// CSV file (header row first) or a JSON array of objects. Their text is UTF-8 once read: a CSV
// file is UTF-8 or, when the caller says so, Latin-1 converted as it is read.
//
// A batch may hold more records than fit in memory, so a records file is read a row at a time:
// once to check it (keeping only its column names and the count), then again for each pass of
// the job. The whole-text parsers keep every row, for small inputs.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "charset.h"

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

// What the checking read learns of a records file.
struct RecordsSummary {
    std::filesystem::path source;
    std::vector<std::string> columns;
    std::size_t count = 0;
};

using RecordHandler = std::function<void(const Record&)>;

// Reads the file a row at a time and hands each record to `each` (which may be empty), in
// order. Throws Failure (bad_input) naming the file and the line or element at fault, with the
// same message whatever the file's size: a fault in the text itself wins over a fault in its
// rows, and no record after a faulty one reaches `each`. A CSV file is read in `encoding`; a
// byte that is not UTF-8 is a fault of its line.
RecordsSummary read_records(const std::filesystem::path& file, const RecordHandler& each = {},
                            DataEncoding encoding = DataEncoding::utf8);

// The records file of a job: read through once here to check it, then again for each pass over
// the job. A pipe or a device (standard input, say) cannot be read twice, so it is first copied
// to a temporary file, which goes again with this object.
class RecordsFile {
   public:
    // Throws Failure (bad_input) as read_records does.
    explicit RecordsFile(const std::filesystem::path& file,
                         DataEncoding encoding = DataEncoding::utf8);
    ~RecordsFile();
    RecordsFile(const RecordsFile&) = delete;
    RecordsFile& operator=(const RecordsFile&) = delete;

    [[nodiscard]] const RecordsSummary& summary() const noexcept { return summary_; }

    // Every record again, in order. Throws Failure (bad_input) as well when the file no longer
    // holds the records it held.
    void read(const RecordHandler& each) const;

   private:
    std::filesystem::path spool_;  // empty: the file itself is read again
    DataEncoding encoding_;
    RecordsSummary summary_;
};

// The same readers over text in memory, keeping every row.
Records parse_csv(std::string_view text, const std::filesystem::path& source,
                  DataEncoding encoding = DataEncoding::utf8);
Records parse_json_records(std::string_view text, const std::filesystem::path& source);

}  // namespace epl2::eplhost
