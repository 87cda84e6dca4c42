#include "setup/capabilities.h"

namespace epl2 {

// Not yet built: capability registration.
std::int32_t prtsetup(const Job&) noexcept { return 0; }

}  // namespace epl2
