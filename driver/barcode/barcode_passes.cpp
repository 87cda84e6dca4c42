#include "barcode/barcode_passes.h"

#include "core/passes.h"
#include "text/variable_fields.h"

namespace epl2 {

std::uint32_t take_variable_mark(BarcodeObjectView object) noexcept {
    const std::uint32_t mark = normalise_variable_mark(object.get(barcode_object::variable_mark));
    if (mark != 0) object.set(barcode_object::variable_mark, mark);
    return mark;
}

BarcodeOutput barcode_output(RecordView record, std::uint32_t mark,
                             bool fixed_needs_form_store) noexcept {
    const std::uint8_t mode = record.get(record::form_mode);
    // Without a stored form every barcode is drawn, with its data, when the label is drawn.
    if (draws_directly(record)) {
        return mode == form_mode::recall ? BarcodeOutput::data_line : BarcodeOutput::nothing;
    }
    if (mark == 0) {
        const bool stored = !fixed_needs_form_store || record.get(record::form_store_enabled) != 0;
        return mode == form_mode::build && stored ? BarcodeOutput::data_line
                                                  : BarcodeOutput::nothing;
    }
    if (mode == form_mode::declare) {
        return variable_references_enabled(record) ? BarcodeOutput::variable_reference
                                                   : BarcodeOutput::nothing;
    }
    return mode == form_mode::recall ? BarcodeOutput::data_line : BarcodeOutput::nothing;
}

std::span<char> object_data_buffer(RecordView record) noexcept {
    const auto bytes = record.bytes(record::object_data);
    return {reinterpret_cast<char*>(bytes.data()), bytes.size()};
}

}  // namespace epl2
