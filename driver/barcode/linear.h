// Linear barcodes (the EPL2 B command): the printer's symbology selector for a host index and the
// data that goes between the quotes of the line. Plain values and spans, no host memory.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "core/symbology.h"

namespace epl2 {

// Host data that begins with this byte asks for the UCC/EAN-128 forms of Code 128.
inline constexpr char ucc_ean_marker = '\x86';
// A serial shipping container code: the marker and 20 digits.
inline constexpr std::size_t sscc_length = 21;

struct LinearSymbol {
    std::string_view printer_code;  // empty: the printer has no symbology for this object
    std::string_view data;          // what is encoded: the UCC/EAN-128 marker taken off
    bool upc_ean = false;           // add-ons, the human-readable line and the ean_shift anchor
    bool postnet = false;           // data cut or padded to the nine digits of a ZIP+4 code
};

// addon: UPC/EAN add-on selector, 0 none, 1 two digits, 2 five digits.
LinearSymbol linear_symbol(std::int32_t symbology, std::int32_t addon,
                           std::string_view data) noexcept;

// Writes the symbol's data as it goes between the quotes of the B line, NUL-terminated. False
// when it does not fit: a cut barcode would scan as other data, so it must not be sent.
bool write_linear_data(std::span<char> out, const LinearSymbol& symbol) noexcept;

// The human-readable letter of the B line.
char human_readable_letter(std::int32_t symbology, std::int32_t human_readable) noexcept;

// Printer rotation from the host's quarter turns: the two count in opposite directions.
std::int32_t printer_rotation(std::int32_t host_rotation) noexcept;

// Wide bar width in dots for the ratio selector 0, 1 or 2; false for any other selector.
bool wide_bar_width(std::int32_t ratio, std::int32_t narrow, std::int32_t& wide) noexcept;

struct DotPoint {
    std::int32_t x, y;
};

// The host anchors a barcode at the bottom of its bars, the printer at the top-left corner of the
// symbol as the printer turns it; UPC/EAN anchors differ further by ean_shift dots along the
// reading direction.
DotPoint printer_anchor(DotPoint host, std::int32_t rotation, std::int32_t bar_height,
                        std::int32_t ean_shift) noexcept;

}  // namespace epl2
