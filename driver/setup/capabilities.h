// Capability registration: what the selected printer offers (fonts, symbologies, resolution,
// label limits) written into the record for the host, and the driver state a job relies on.
#pragma once

#include <cstdint>

#include "core/job.h"

namespace epl2 {

std::int32_t prtsetup(const Job& job) noexcept;

}  // namespace epl2
