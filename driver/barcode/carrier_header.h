// The carrier header at the start of MaxiCode data: postal code, country and class of service in
// fixed columns, which the printer wants as separate comma-separated fields.
#pragma once

#include <cstddef>
#include <string_view>

#include "barcode/quoted_data.h"

namespace epl2 {

// Views into the data the header was read from.
struct CarrierHeader {
    std::string_view postal_code;    // 5 or 6 characters, trailing spaces removed
    std::string_view extension;      // 4 characters after a 5-character postal code, else empty
    std::string_view country;        // 3 digits
    std::string_view service_class;  // 3 characters of any kind
    std::size_t header_end = 0;      // the separator after the class: 18 or 14
    [[nodiscard]] std::string_view message(std::string_view data) const noexcept {
        return slice(data, header_end + 1);
    }
};

// Layout A: "PPPPP EEEE CCC SSS message" (US ZIP code with its 4-digit extension);
// layout B: "PPPPPP CCC SSS message" (six-character postal code). False when the data follows
// neither layout, is shorter than its header, or names a country that is not three digits.
bool parse_carrier_header(std::string_view data, CarrierHeader& header) noexcept;

}  // namespace epl2
