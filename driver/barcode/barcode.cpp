#include "barcode/barcode.h"

namespace epl2 {

// Not yet built: barcode objects.
std::int32_t drawbar(const Job&, std::uint32_t) noexcept { return 0; }

// Not yet built: barcode size adjustment.
std::int32_t adjbarvar(const Job&, std::int32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                       std::uint32_t) noexcept {
    return 0;
}

}  // namespace epl2
