// Variable fields: the rule that text and barcodes share for data that changes from label to
// label. While the stored form is built, a variable object becomes a reference to a numbered
// printer variable (V00, V01, ...); when the form is recalled it is drawn with its current data.
#pragma once

#include <cstdint>

#include "core/record.h"

namespace epl2 {

// The host may mark an object with any nonzero value; the driver has no counters, so every
// nonzero mark means "variable" and is normalised to this one value.
inline constexpr std::uint32_t variable_mark_set = 0xFFFF;

constexpr std::uint32_t normalise_variable_mark(std::uint32_t mark) noexcept {
    return mark != 0 ? variable_mark_set : 0;
}

// Whether the current pass may send references to variables (the host's variable_mode 1 with
// forms enabled).
bool variable_references_enabled(RecordView record) noexcept;

// The number of the next variable of the current form, which is then used up. Text and barcodes
// share one count, in drawing order; it restarts when the form preamble opens a form.
std::int32_t take_variable_number(RecordView record) noexcept;

}  // namespace epl2
