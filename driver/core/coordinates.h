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

struct ClipRect {
    std::int32_t left, top, right, bottom;  // dots
};
ClipRect clip_rect(RecordView record) noexcept;

// Raises max_object_bottom to bottom (dots) when it lies lower.
void raise_object_bottom(RecordView record, std::int32_t bottom) noexcept;

std::int32_t setclip(const Job& job, std::int32_t left, std::int32_t top, std::int32_t right,
                     std::int32_t bottom) noexcept;

}  // namespace epl2
