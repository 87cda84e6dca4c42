#include "setup/setup_dialog.h"

namespace epl2 {

// Not yet built: the setup option catalogue.
std::int32_t getsetup(const Job&, std::int32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                      std::uint32_t) noexcept {
    return 0;
}

// Not yet built: setup value storage.
std::int32_t savevar(const Job&, std::int32_t, std::int32_t) noexcept { return 0; }

}  // namespace epl2
