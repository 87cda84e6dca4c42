#include "graphics/pcx.h"

namespace epl2 {

// Not yet built: PCX graphics.
std::int32_t pcx_begin(const Job&, std::uint32_t) noexcept { return 0; }
std::int32_t pcx_map(const Job&, std::uint32_t) noexcept { return 0; }
std::int32_t pcx_end(const Job&, std::uint32_t) noexcept { return 0; }

}  // namespace epl2
