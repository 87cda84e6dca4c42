// What eplhost finds wrong with a job before it sends anything: each finding names the label
// file, the object, the field, and for variable data the record and column, and says what to
// change. `eplhost check` lists them all; `eplhost print` refuses a job that has any.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

namespace epl2::eplhost {

struct Finding {
    std::string rule;        // "data", "edge", "text", "font", "label", "input"
    std::string file;        // the label file, or the records file for a fault in the records
    std::string object;      // "objects[3]"; empty for the label as a whole
    std::string type;        // the object's type: "text", "barcode", ...
    std::string field;       // the JSON field at fault, if one is
    std::string records;     // the records file, for variable data
    std::size_t record = 0;  // 1-based record number; 0 for fixed data
    std::string where;       // the record's place in its file: "line 4", "element 3"
    std::string column;      // the column that supplied the data
    std::string message;     // what is wrong and what would do

    // The finding as one line, in the form of eplhost's other messages.
    [[nodiscard]] std::string text() const;
};

class Findings {
   public:
    // A batch may turn up a finding in every record; past this many only the count grows.
    static constexpr std::size_t max_kept = 1000;

    void add(Finding finding);
    [[nodiscard]] bool empty() const noexcept { return count_ == 0; }
    [[nodiscard]] std::size_t count() const noexcept { return count_; }
    [[nodiscard]] const std::vector<Finding>& kept() const noexcept { return kept_; }

   private:
    std::vector<Finding> kept_;
    std::size_t count_ = 0;
};

struct CheckSummary {
    std::string label;       // the label file
    std::string model;       // the model checked for
    std::size_t labels = 0;  // labels the job would print (records, or 1)
};

// One line a finding, then a count; at most `limit` findings are listed.
void write_findings_text(std::ostream& out, const Findings& findings, std::size_t limit);

// The stable JSON form: {"version": 1, "label", "model", "labels", "count", "complete",
// "findings": [{"rule", "file", "object", "type", "field", "records", "record", "where",
// "column", "message", "text"}]}; fields that do not apply are left out.
void write_findings_json(std::ostream& out, const Findings& findings, const CheckSummary& summary);

}  // namespace epl2::eplhost
