// The driver module's ModelTable as a host reads it: the printer models the user can pick, each
// with the class and four parameters that select the driver's behaviour. The table comes from the
// module (Module::model_table(): the DLL's "DBI" resource or the .so's data symbols); a host
// copies the chosen record into the job's model fields before the driver registers the printer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "host_job.h"
#include "module.h"

namespace epl2::host {

// A table that is present but cannot be walked: every reference is checked against its size.
class ModelTableError : public ModuleError {
   public:
    using ModuleError::ModuleError;
};

struct ModelRecord {
    std::int32_t model_index = 0;
    std::string maker;
    std::string model;  // the full model name, maker included
    std::int32_t model_class = 0;
    std::int32_t reduced_options = 0;
    std::int32_t resolution_code = 0;
    std::int32_t memory_code = 0;
    std::int32_t printer_type = 0;
    std::uint32_t model_flags = 0;
};

// The records in index order. An empty table (a module without one) gives no records; a table
// that is cut short, has the wrong tags or points outside itself throws ModelTableError.
std::vector<ModelRecord> read_model_table(std::span<const std::byte> table);

// The module's own table.
std::vector<ModelRecord> read_model_table(const Module& module);

// Copies the record's class and parameters into the record's model fields.
void fill_model_fields(RecordView record, const ModelRecord& model);

// The host's model selection: the model fields, then the driver's capability registration.
void select_model(HostJob& job, const ModelRecord& model);

}  // namespace epl2::host
