#include "pcx.h"

#include <algorithm>

namespace eplview {
namespace {

constexpr std::size_t header_size = 128;
constexpr std::uint8_t zsoft_marker = 0x0A;
constexpr std::uint8_t run_length_encoding = 1;

unsigned load_u16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<unsigned>(bytes[at] | (bytes[at + 1] << 8));
}

unsigned brightness(std::span<const std::uint8_t> bytes, std::size_t at) {
    return 0u + bytes[at] + bytes[at + 1] + bytes[at + 2];
}

}  // namespace

DecodedPcx decode_pcx(std::span<const std::uint8_t> file) {
    DecodedPcx result;
    if (file.size() < header_size) return {{}, "PCX file is shorter than its 128-byte header"};
    if (file[0] != zsoft_marker) return {{}, "not a PCX file (first byte is not 0x0A)"};
    if (file[2] != run_length_encoding) return {{}, "PCX file is not run-length encoded"};
    if (file[3] != 1 || file[65] != 1)
        return {{},
                "PCX file is not monochrome (bits per pixel " + std::to_string(file[3]) +
                    ", planes " + std::to_string(file[65]) + ")"};
    unsigned x_min = load_u16(file, 4), y_min = load_u16(file, 6);
    unsigned x_max = load_u16(file, 8), y_max = load_u16(file, 10);
    unsigned bytes_per_line = load_u16(file, 66);
    if (x_max < x_min || y_max < y_min) return {{}, "PCX window has its corners reversed"};
    unsigned width = x_max - x_min + 1, height = y_max - y_min + 1;
    if (width > static_cast<unsigned>(max_label_width_dots) ||
        height > static_cast<unsigned>(max_label_length_dots))
        return {{},
                "PCX image of " + std::to_string(width) + "x" + std::to_string(height) +
                    " dots is larger than a label"};
    if (bytes_per_line * 8 < width) return {{}, "PCX bytes per line do not cover its width"};
    result.image = Bitmap(static_cast<int>(width), static_cast<int>(height));
    // Pixel values index the header's 16-colour palette. Writers that leave it blank (both first
    // entries alike) mean the monochrome default: 0 black, 1 white.
    bool one_is_black = false;
    if (!std::equal(file.begin() + 16, file.begin() + 19, file.begin() + 19))
        one_is_black = brightness(file, 19) < brightness(file, 16);
    std::size_t pos = header_size;
    for (unsigned row = 0; row < height; ++row) {
        // A run may not cross into the next scan line; its surplus is padding.
        unsigned column = 0;
        while (column < bytes_per_line) {
            if (pos >= file.size()) {
                result.error = "PCX data ends in row " + std::to_string(row);
                return result;
            }
            unsigned count = 1;
            std::uint8_t value = file[pos++];
            if ((value & 0xC0) == 0xC0) {
                count = value & 0x3Fu;
                if (pos >= file.size()) {
                    result.error = "PCX data ends in row " + std::to_string(row);
                    return result;
                }
                value = file[pos++];
            }
            const auto black_dots = static_cast<std::uint8_t>(one_is_black ? value : ~value);
            for (; count > 0 && column < bytes_per_line; --count, ++column)
                result.image.put_byte(static_cast<int>(row), static_cast<int>(column), black_dots);
        }
    }
    return result;
}

}  // namespace eplview
