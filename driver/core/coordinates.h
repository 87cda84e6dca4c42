// From host positions (thousandths of an inch from the label's top-left corner) to printer dots,
// and the clip rectangle every draw call honours.
#pragma once

#include <cstdint>

#include "core/job.h"

namespace epl2 {

// Dot column of a host x: centred under the head, or right-aligned for model class 2.
std::int32_t map_x(RecordView record, std::int32_t x) noexcept;
// Dot row of a host y, after the top offset.
std::int32_t map_y(RecordView record, std::int32_t y) noexcept;
// A length that is not a position (width, height, thickness): no offsets, rounded to dots.
std::int32_t scale_length(std::int32_t length, std::int32_t dpi) noexcept;
std::int32_t scale_x_length(RecordView record, std::int32_t length) noexcept;
std::int32_t scale_y_length(RecordView record, std::int32_t length) noexcept;

// A host x on the printer's one-millimetre grid (8 dots at 8 dots per millimetre), which the size
// adjustments of text and barcodes snap to: the x in dots (scaled without the mapping's
// offsets), the grid column reached by adding half a millimetre and cutting toward zero, and that
// column back in thousandths of an inch at 203.2 dots per inch, whatever the head's resolution.
struct MillimetreGrid {
    std::int32_t dots;
    std::int32_t grid_dots;
    std::int32_t thousandths;
};
MillimetreGrid snap_to_millimetre_grid(std::int32_t x, std::int32_t dpi_x) noexcept;

struct ClipRect {
    std::int32_t left, top, right, bottom;  // dots
};
ClipRect clip_rect(RecordView record) noexcept;

// Raises max_object_bottom to bottom (dots) when it lies lower.
void raise_object_bottom(RecordView record, std::int32_t bottom) noexcept;

std::int32_t setclip(const Job& job, std::int32_t left, std::int32_t top, std::int32_t right,
                     std::int32_t bottom) noexcept;

}  // namespace epl2
