// What the encoders of symbols.cpp and symbols_2d.cpp share: libzint's symbol structure owned by a
// smart pointer, encoding with the data length bounded, and reading the encoded modules.
#pragma once

#include <zint.h>

#include <memory>
#include <string>
#include <string_view>

#include "symbols.h"

namespace eplview {

struct ZintDeleter {
    void operator()(zint_symbol* symbol) const { ZBarcode_Delete(symbol); }
};
using ZintSymbol = std::unique_ptr<zint_symbol, ZintDeleter>;

ZintSymbol new_symbol(int symbology);

// Encodes the data; an error text when libzint refuses it, empty otherwise. Warnings (a length the
// standard does not name, for instance) are not errors: the printer prints such data too.
std::string encode(zint_symbol& symbol, std::string_view data);

inline bool module_set(const zint_symbol& symbol, int row, int column) {
    return (symbol.encoded_data[row][column >> 3] >> (column & 7)) & 1;
}

}  // namespace eplview
