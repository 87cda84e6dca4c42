#include "barcode/carrier_header.h"

namespace epl2 {

namespace {

// Column of each separator space.
constexpr std::size_t zip_end = 5;
constexpr std::size_t long_postal_end = 6;
constexpr std::size_t country_end_after_zip = 14;
constexpr std::size_t class_end_after_zip = 18;
constexpr std::size_t common_separator = 10;

constexpr std::size_t field_length = 3;

bool space_at(std::string_view data, std::size_t column) noexcept {
    return column < data.size() && data[column] == ' ';
}

bool all_digits(std::string_view text) noexcept {
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// Spaces that pad a short postal code to its column width; a code of spaces only keeps one.
std::string_view trim_trailing_spaces(std::string_view text) noexcept {
    while (text.size() > 1 && text.back() == ' ') text.remove_suffix(1);
    return text;
}

}  // namespace

bool parse_carrier_header(std::string_view data, CarrierHeader& header) noexcept {
    const bool layout_a = space_at(data, zip_end) && space_at(data, common_separator) &&
                          space_at(data, country_end_after_zip) &&
                          space_at(data, class_end_after_zip);
    const bool layout_b = space_at(data, long_postal_end) && space_at(data, common_separator) &&
                          space_at(data, country_end_after_zip);
    if (!layout_a && !layout_b) return false;

    // A space right after a five-character code is read as the end of a six-character one, so
    // the columns follow that of layout B.
    const bool long_postal = space_at(data, long_postal_end);
    const std::size_t postal_length = long_postal ? long_postal_end : zip_end;
    const std::size_t country_start = long_postal ? long_postal_end + 1 : common_separator + 1;
    const std::size_t class_start = country_start + field_length + 1;

    header.postal_code = trim_trailing_spaces(slice(data, 0, postal_length));
    header.extension =
        long_postal ? std::string_view{} : slice(data, zip_end + 1, common_separator - zip_end - 1);
    header.country = slice(data, country_start, field_length);
    header.service_class = slice(data, class_start, field_length);
    header.header_end = class_start + field_length;
    return all_digits(header.country);
}

}  // namespace epl2
