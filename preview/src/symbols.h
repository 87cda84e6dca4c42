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

// A selector of the B command (UA0, E35, 1E, K, ...) as the printer's reference lists it. The few
// that libzint cannot draw say why, so that the command names the gap instead of leaving one.
struct BarcodeSelector {
    std::string_view code;
    std::string_view name;
    std::string_view undrawable;  // empty when libzint draws it
};

// The selector, or nullptr for a code the reference does not list.
const BarcodeSelector* find_barcode_selector(std::string_view code);

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

// Symbols linked by structured append: this one is index of count; count 0 links none.
struct Append {
    int index = 0;
    int count = 0;
};

struct CarrierMessage {
    std::string service_class;  // three characters
    std::string country;        // three digits
    std::string postal_code;    // up to 9 digits, or up to 6 characters outside numeric codes
    std::string message;
};
struct MaxiCodeOptions {
    int mode = 0;  // 2 or 3 with a carrier message, 4 or 6 with the message alone
    Append append;
};
// MaxiCode, about 1.11 by 1.05 inches at either resolution.
Symbol maxicode(const CarrierMessage& carrier, const MaxiCodeOptions& options, int dpi);

struct QrOptions {
    int module = 3;         // s: dots per module
    char correction = 'M';  // e: L, M, Q or H
    bool kanji = false;     // the data is Shift JIS text to be compacted as Kanji
    Append append;          // D: up to 16 symbols
    int parity = 0;         // D: the parity byte of the whole data the linked symbols share
};
Symbol qr_code(std::string_view data, const QrOptions& options);

struct DataMatrixOptions {
    int module = 5;   // h: dots per module
    int rows = 0;     // r: 0 lets the encoder choose
    int columns = 0;  // c: 0 lets the encoder choose
    bool inverse = false;
};
// Data Matrix (ECC 200) inside a quiet zone of one module on every side.
Symbol data_matrix(std::string_view data, const DataMatrixOptions& options);

struct AztecOptions {
    int module = 3;  // d: dots per module
    int level = 0;   // e: 0 default, 1..99 percent of check words, 101..104 compact layers,
                     // 201..232 full-range layers, 300 a rune
    bool menu = false;
    bool inverse = false;
};
Symbol aztec(std::string_view data, const AztecOptions& options);

}  // namespace eplview
