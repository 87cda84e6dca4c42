#include "lines/lines.h"

namespace epl2 {

// Not yet built: lines and boxes.
std::int32_t drawbckgnd(const Job&, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t) noexcept {
    return 0;
}
std::int32_t drawline(const Job&, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t) noexcept {
    return 0;
}
std::int32_t drawbox(const Job&, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t) noexcept {
    return 0;
}

}  // namespace epl2
