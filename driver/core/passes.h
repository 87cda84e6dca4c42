// The passes the host runs over a label (the record's form_mode byte) and the one printer class
// that draws every label directly instead of through a stored form.
#pragma once

#include <cstdint>

#include "core/record.h"

namespace epl2 {

namespace form_mode {
inline constexpr std::uint8_t build = 0;     // the stored form is built from the fixed objects
inline constexpr std::uint8_t declare = 1;   // variable barcodes declare their variables
inline constexpr std::uint8_t recall = 3;    // the form is recalled, variable objects drawn
inline constexpr std::uint8_t print = 5;     // the print command goes out
inline constexpr std::uint8_t graphics = 7;  // images are stored in printer memory
}  // namespace form_mode

// PrinterType 8 keeps no stored form: every object is drawn in the recall pass and each label
// ends by clearing the image buffer.
inline constexpr std::int32_t direct_printer_type = 8;

inline bool draws_directly(RecordView record) noexcept {
    return record.get(record::printer_type) == direct_printer_type;
}

}  // namespace epl2
