// How much data one object may carry to the module. The module writes each text, barcode and
// symbol into its record's object_data buffer, and a string that does not fit there is cut
// (text) or not sent at all (barcodes and symbols): eplhost refuses such data instead, with a
// message, before anything is sent.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "barcode/linear.h"
#include "core/record.h"

namespace epl2::eplhost {

// Characters of one object's data as the module writes them: the buffer less its closing NUL.
inline constexpr std::size_t max_object_data = record::object_data.width - 1;

// Fixed barcode data is checked as the label is read, before the SSCC form puts its marker byte
// in front of the data; one place stays free for it.
inline constexpr std::size_t max_fixed_barcode_data = max_object_data - sizeof ucc_ean_marker;

// PDF417's size values and options go into the buffer ahead of the data, with the two quotes
// around it: fewer than 50 characters, and 64 places are kept for them.
inline constexpr std::size_t pdf417_parameter_room = 64;
inline constexpr std::size_t max_pdf417_data = max_object_data - pdf417_parameter_room;

// The module rewrites the MaxiCode carrier header's column spaces as commas, which never makes
// it longer; four places beyond the header stay free as a margin.
inline constexpr std::size_t maxicode_margin = 4;
inline constexpr std::size_t max_maxicode_data = max_object_data - maxicode_margin;

// The length of data as the module writes it between quotes: '"' and '\' each take two places.
inline std::size_t escaped_length(std::string_view data) {
    return data.size() +
           static_cast<std::size_t>(std::count_if(data.begin(), data.end(),
                                                  [](char c) { return c == '"' || c == '\\'; }));
}

// The same for UTF-8 text before its conversion to the job's code page, where each character
// becomes one byte: the bytes that continue a character take no place.
inline std::size_t escaped_characters(std::string_view utf8) {
    return escaped_length(utf8) -
           static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
               return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
           }));
}

}  // namespace epl2::eplhost
