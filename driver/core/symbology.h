// The host's symbology indices: what a BarcodeObject's `symbology` field and a capability entry's
// `symbology` hold. Linear symbologies have indices up to last_linear; a two-dimensional symbol
// has its own small index in the capability table, and the host adds last_linear to it in a
// BarcodeObject.
#pragma once

#include <cstdint>

namespace epl2::symbology {

inline constexpr std::int32_t none = -1;
inline constexpr std::int32_t upc_a = 0;
inline constexpr std::int32_t upc_e = 5;
inline constexpr std::int32_t ean13 = 6;
inline constexpr std::int32_t ean8 = 7;
inline constexpr std::int32_t code128 = 8;
// Two more host entries for Code 128, sent exactly as index 8. Printers of PrinterType 3 and 13
// are offered no code128_second.
inline constexpr std::int32_t code128_second = 10;
inline constexpr std::int32_t code128_third = 11;
inline constexpr std::int32_t codabar = 12;
inline constexpr std::int32_t interleaved_2_of_5 = 13;
inline constexpr std::int32_t code39 = 14;
inline constexpr std::int32_t code93 = 16;
inline constexpr std::int32_t ucc_ean128 = 20;
inline constexpr std::int32_t postnet = 21;
inline constexpr std::int32_t last_linear = 100;

// Two-dimensional symbols: their own indices in symbol2d_table, and as a BarcodeObject names them.
inline constexpr std::int32_t maxicode_own = 7;
inline constexpr std::int32_t pdf417 = last_linear + 1;
inline constexpr std::int32_t maxicode = last_linear + maxicode_own;

}  // namespace epl2::symbology
