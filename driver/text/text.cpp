#include "text/text.h"

namespace epl2 {

// Not yet built: text objects.
std::int32_t drawtext(const Job&, std::int32_t, std::int32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                      std::int32_t, std::int32_t, std::int32_t, std::uint32_t) noexcept {
    return 0;
}

// Not yet built: text size adjustment.
std::int32_t adjfontvar(const Job&, std::int32_t, std::uint32_t, std::uint32_t, std::uint32_t) noexcept {
    return 0;
}

}  // namespace epl2
