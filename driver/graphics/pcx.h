// Monochrome PCX images: written directly as GW raster, or stored in printer memory and recalled.
#pragma once

#include <cstdint>

#include "core/job.h"

namespace epl2 {

// pcx_object is a host pointer word to the image object.
std::int32_t pcx_begin(const Job& job, std::uint32_t pcx_object) noexcept;
std::int32_t pcx_map(const Job& job, std::uint32_t pcx_object) noexcept;
std::int32_t pcx_end(const Job& job, std::uint32_t pcx_object) noexcept;

}  // namespace epl2
