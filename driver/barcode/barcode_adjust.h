// What the printer can reproduce of a barcode's design values: the limits of bar height and narrow
// bar width, and the millimetre grid of horizontal positions on 8-dot-per-millimetre heads.
#pragma once

#include <cstdint>

namespace epl2 {

// Thousandths of an inch.
std::int32_t clamp_bar_height(std::int32_t height) noexcept;
// In the host's units for it; the UPC/EAN family has a lower upper limit.
std::int32_t clamp_narrow_width(std::int32_t symbology, std::int32_t narrow) noexcept;

}  // namespace epl2
