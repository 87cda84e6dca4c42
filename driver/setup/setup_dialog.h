// The printer-setup dialog: what each dialog position asks (getsetup) and how the chosen value is
// stored (savevar).
#pragma once

#include <cstdint>

#include "core/job.h"

namespace epl2 {

// prompt, kind, choices, value and width are host pointer words.
std::int32_t getsetup(const Job& job, std::int32_t index, std::uint32_t prompt, std::uint32_t kind,
                      std::uint32_t choices, std::uint32_t value, std::uint32_t width) noexcept;
std::int32_t savevar(const Job& job, std::int32_t index, std::int32_t value) noexcept;

}  // namespace epl2
