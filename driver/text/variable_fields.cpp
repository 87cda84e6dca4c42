#include "text/variable_fields.h"

#include "core/arith.h"

namespace epl2 {

bool variable_references_enabled(RecordView record) noexcept {
    return record.get(record::variable_mode) == 1 && record.get(record::form_store_enabled) != 0;
}

std::int32_t take_variable_number(RecordView record) noexcept {
    const std::int32_t number = record.get(record::variable_count);
    record.set(record::variable_count, wrap_add(number, 1));
    return number;
}

}  // namespace epl2
