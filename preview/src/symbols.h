// Barcodes and two-dimensional symbols, encoded by libzint and drawn at the printer's dot sizes.
// Each function returns the symbol unrotated, its top-left corner at the printer's reference point,
// or an error text when the data cannot be encoded in the symbology.
#pragma once

#include <string>
#include <string_view>

#include "eplview/eplview.h"

namespace eplview {

struct Symbol {
    Bitmap image;
    std::string human_readable;  // the interpretation line the printer would print under the bars
    std::string error;
};

// The B command's symbology selectors (UA0, E35, 1E, K, ...), false for anything else.
bool known_barcode_code(std::string_view code);

// narrow and wide are the dot widths of the narrow and wide elements; symbologies built from
// modules of one width draw each module narrow dots wide. height is the bar height in dots.
Symbol linear_barcode(std::string_view code, std::string_view data, int narrow, int wide,
                      int height);

struct Pdf417Options {
    int module_width = 2;    // x: dots per module across
    int row_height = 6;      // y: dots per row
    int security = -1;       // s: error correction level 0..8, -1 chooses by data length
    int rows = 0;            // r: 0 lets the encoder choose
    int columns = 0;         // l: data columns, 0 lets the encoder choose
    bool truncated = false;  // t
};
Symbol pdf417(std::string_view data, const Pdf417Options& options);

struct CarrierMessage {
    std::string service_class;  // three characters
    std::string country;        // three digits
    std::string postal_code;    // up to 9 digits, or up to 6 characters outside numeric codes
    std::string message;
};
// MaxiCode with a structured carrier message, about 1.11 by 1.05 inches at either resolution.
Symbol maxicode(const CarrierMessage& carrier, int dpi);

}  // namespace eplview
