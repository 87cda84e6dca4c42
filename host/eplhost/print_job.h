// The pass plan: how eplhost drives the module through one job of labels, from maininit to
// main_end. The same plan first runs without the module drawing anything, so that every label
// the job would refuse is refused before a byte of it is sent anywhere.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "charset.h"
#include "findings.h"
#include "label.h"
#include "printer.h"
#include "records.h"
#include "services.h"

namespace epl2::eplhost {

// How variable objects reach the module. With 2 the stored form holds only the fixed objects
// and each record draws its variable objects, with their data, after the form is recalled.
// (With 1 the form would carry V references whose variables the module never declares, and the
// printer would wait after each recall for data that never comes.)
inline constexpr std::uint8_t host_variable_mode = 2;

// The bytes of a short job, as the module hands them to _store_bin.
class JobBytes : public host::Sink {
   public:
    void write(std::string_view bytes) override { bytes_.append(bytes); }
    [[nodiscard]] const std::string& bytes() const noexcept { return bytes_; }
    [[nodiscard]] std::size_t size() const noexcept { return bytes_.size(); }

   private:
    std::string bytes_;
};

struct JobPlan {
    const Label* label = nullptr;
    const RecordsFile* records = nullptr;  // null: one label with the fields' defaults
    std::int32_t copies = 1;
    // Every text and datum goes to the module in this page; the job must select it first.
    const CodePage* code_page = &default_code_page();
    // Called after each record printed with its number and the total.
    std::function<void(std::size_t, std::size_t)> progress;
    // Called once the job's stored form and graphics are sent, before the first record.
    std::function<void()> before_records;
    // Each counter's first value in the batch; without it (or a name in it) its start.
    const std::map<std::string, std::int64_t>* counter_bases = nullptr;
    // Records printed by an earlier run: read, and checked, but not printed again.
    std::size_t skip = 0;
    // Where check_job puts what it finds.
    Findings* findings = nullptr;
};

// Goes through the whole job as run_job does, reading every record, but without the module's
// drawing and printing calls, and adds to plan.findings every reason why a label would not
// print as designed: data that its symbology cannot encode, an object that the label's edge
// would cut, text too long for the module, and so on. The records must hold every column the
// label reads (check_fields).
void check_job(Printer& printer, const JobPlan& plan);

// Runs the whole job through the printer's module; the bytes land in the printer's sink. Run
// after check_job, it refuses nothing.
void run_job(Printer& printer, const JobPlan& plan);

// Every column that the label reads exists in the records.
void check_fields(const Label& label, const RecordsSummary* records);

}  // namespace epl2::eplhost
