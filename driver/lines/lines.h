// Lines, filled rectangles and boxes (EPL2 LO, LE and X).
#pragma once

#include <cstdint>

#include "core/job.h"

namespace epl2 {

std::int32_t drawbckgnd(const Job& job, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                        std::int32_t y2, std::int32_t shade) noexcept;
std::int32_t drawline(const Job& job, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                      std::int32_t y2, std::int32_t shade) noexcept;
std::int32_t drawbox(const Job& job, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                     std::int32_t y2, std::int32_t thickness) noexcept;

}  // namespace epl2
