// Host configuration and information outside the job frame: printer messages, the driver notes
// shown to the user, and the descriptor of the record's layout.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/job.h"

namespace epl2 {

std::int32_t PrinterMessage(const Job& job, std::int32_t code, std::uint32_t value) noexcept;

// Line index of the notes (0..14), compared as unsigned; any other index gives "".
const char* driver_note(std::uint32_t index) noexcept;

// Fills the five words of the driver-file descriptor.
void fill_flat_descriptor(FlatDescriptorView descriptor) noexcept;

}  // namespace epl2
