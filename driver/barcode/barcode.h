// Barcodes: the linear symbologies (EPL2 B), MaxiCode and PDF417 (EPL2 b), and size adjustment.
#pragma once

#include <cstdint>

#include "core/job.h"

namespace epl2 {

// barcode_object is the host pointer word that the JobHandle carries at byte 16.
std::int32_t drawbar(const Job& job, std::uint32_t barcode_object) noexcept;

// x, height, extra and narrow are host pointer words.
std::int32_t adjbarvar(const Job& job, std::int32_t symbology, std::uint32_t x, std::uint32_t height,
                       std::uint32_t extra, std::uint32_t narrow) noexcept;

}  // namespace epl2
