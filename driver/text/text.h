// Text objects in the printer's resident fonts (EPL2 A), fixed or as variable references.
#pragma once

#include <cstdint>

#include "core/job.h"

namespace epl2 {

// text is a host pointer word; height and width are thousandths of an inch.
std::int32_t drawtext(const Job& job, std::int32_t x, std::int32_t y, std::uint32_t text,
                      std::uint32_t height, std::uint32_t width, std::int32_t rotation,
                      std::int32_t font, std::int32_t shade, std::uint32_t variable_mark) noexcept;

// Snaps a text's size and position to what the printer reproduces; the three values are host
// pointer words. Returns 1 when something was (or had to be) adjusted.
std::int32_t adjfontvar(const Job& job, std::int32_t font, std::uint32_t x, std::uint32_t height,
                        std::uint32_t width) noexcept;

}  // namespace epl2
