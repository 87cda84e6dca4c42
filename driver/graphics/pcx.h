// Monochrome PCX images: written directly as GW raster, or stored in printer memory and recalled.
#pragma once

#include <cstdint>

#include "core/job.h"

namespace epl2 {

// pcx_object is a host pointer word to the image object. An image is one pcx_begin (the opening
// command of the pass: GW, GK and GM, or the GG recall), pcx_map per chunk of the file in order
// (0 when the chunk's bytes were taken, -1 when the pass carries no image data or the chunk has
// no image to go into), and pcx_end (the closing bytes; 0 when the image went out, else -1).
std::int32_t pcx_begin(const Job& job, std::uint32_t pcx_object) noexcept;
std::int32_t pcx_map(const Job& job, std::uint32_t pcx_object) noexcept;
std::int32_t pcx_end(const Job& job, std::uint32_t pcx_object) noexcept;

}  // namespace epl2
