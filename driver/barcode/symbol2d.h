// Two-dimensional symbols (the EPL2 b command): MaxiCode and PDF417. The parameter strings are
// built from plain values; draw_symbol2d reads them from the host's barcode object.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "barcode/linear.h"
#include "core/job.h"
#include "core/symbology.h"

namespace epl2 {

// MaxiCode: class of service, country, postal code, the extension when there is one, and the
// message. False when the carrier header does not parse or the string does not fit out.
bool write_maxicode_parameters(std::span<char> out, std::string_view data) noexcept;

struct Pdf417Options {
    std::int32_t first_size = 0;      // dots, from the symbol height
    std::int32_t second_size = 0;     // dots, from the width and the shape limits
    std::int32_t security_level = 0;  // 0 leaves the level to the printer
    std::int32_t narrow = 0;          // module width basis, dots
    std::int32_t rows = 0;            // row limit
    std::int32_t columns = 0;         // column limit
    std::int32_t rotation = 0;        // printer rotation 0..3
};

// PDF417: the size values, options and the quoted data. False when it does not fit out.
bool write_pdf417_parameters(std::span<char> out, const Pdf417Options& options,
                             std::string_view data) noexcept;

// The printer turns a PDF417 symbol about another corner than the host does.
DotPoint pdf417_anchor(DotPoint top_left, std::int32_t rotation) noexcept;

// drawbar for symbologies above 100; always 0.
std::int32_t draw_symbol2d(const Job& job, BarcodeObjectView object) noexcept;

}  // namespace epl2
