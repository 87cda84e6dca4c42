// Which line, if any, a barcode or two-dimensional symbol sends in the current pass, and the
// variable mark that decides between fixed and variable data.
#pragma once

#include <cstdint>
#include <span>

#include "core/host_objects.h"
#include "core/record.h"

namespace epl2 {

enum class BarcodeOutput : std::uint8_t {
    nothing,
    data_line,           // the symbol with the data it holds now
    variable_reference,  // a reference to a V variable inside the stored form
};

// The object's mark as fixed (0) or variable (0xFFFF); a variable mark is also written back into
// the host's object in that one form.
std::uint32_t take_variable_mark(BarcodeObjectView object) noexcept;

// mark is a normalised mark. Two-dimensional symbols send their fixed data while the form is built
// only when stored forms are enabled (fixed_needs_form_store); linear barcodes always do.
BarcodeOutput barcode_output(RecordView record, std::uint32_t mark,
                             bool fixed_needs_form_store) noexcept;

// object_data, where each barcode's data or symbol's parameter string is put together.
std::span<char> object_data_buffer(RecordView record) noexcept;

}  // namespace epl2
