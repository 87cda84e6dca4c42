// The PCX files both decoder benchmarks stream: a 4 x 6 in label at 203 dpi, once label-like
// (long white runs, bars, a band of detail) and once random noise (no run longer than a byte).
// Shared so that the native logic and the real module decode the very same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "pcx_header.h"

namespace epl2::bench {

// 812 dots are 102 bytes a line; 1218 lines make 6 inches.
inline constexpr unsigned image_width = 812;
inline constexpr unsigned image_height = 1218;
inline constexpr unsigned image_bytes_per_line = 102;
inline constexpr std::size_t raster_size = std::size_t{image_height} * image_bytes_per_line;

// How much of the file a host hands over per pcx_map call.
inline constexpr std::size_t host_chunk = 4096;

enum class Content { label, noise };

// One scan line in the file's run-length code: a run of equal bytes, or a byte that would read
// as a count, becomes a count byte and the data byte.
inline void append_encoded(std::string& out, const std::vector<std::uint8_t>& line) {
    for (std::size_t i = 0; i < line.size();) {
        std::size_t n = 1;
        while (i + n < line.size() && n < 63 && line[i + n] == line[i]) ++n;
        if (n > 1 || (line[i] & 0xC0) == 0xC0) out.push_back(static_cast<char>(0xC0 | n));
        out.push_back(static_cast<char>(line[i]));
        i += n;
    }
}

// The image's scan lines, unencoded, one after the other.
inline std::string make_lines(Content content) {
    std::mt19937 random(12345);
    std::string lines;
    lines.reserve(raster_size);
    for (unsigned y = 0; y < image_height; ++y) {
        for (unsigned x = 0; x < image_bytes_per_line; ++x) {
            if (content == Content::noise) {
                lines.push_back(static_cast<char>(random()));
            } else {
                // White with black boxes and bars, and a band of glyph-like detail.
                const bool bar = (x / 6 + y / 40) % 7 == 0;
                const bool detail = (y / 24) % 4 == 1 && x % 9 < 6;
                lines.push_back(static_cast<char>(bar      ? 0x00
                                                  : detail ? static_cast<std::uint8_t>(random())
                                                           : 0xFF));
            }
        }
    }
    return lines;
}

// The raster a printer must receive: the scan lines with the pixels beyond the image's width
// (the low bits of each line's last byte) white.
inline std::string expected_raster(Content content) {
    std::string raster = make_lines(content);
    constexpr unsigned pixels_in_last_byte = image_width % 8;
    if constexpr (pixels_in_last_byte != 0) {
        for (std::size_t end = image_bytes_per_line; end <= raster.size();
             end += image_bytes_per_line) {
            raster[end - 1] = static_cast<char>(raster[end - 1] | (0xFF >> pixels_in_last_byte));
        }
    }
    return raster;
}

inline std::string make_pcx(Content content) {
    std::string file =
        test_support::pcx_header(0, 0, image_width - 1, image_height - 1, image_bytes_per_line);

    const std::string lines = make_lines(content);
    std::vector<std::uint8_t> line(image_bytes_per_line);
    for (std::size_t at = 0; at < lines.size(); at += image_bytes_per_line) {
        for (std::size_t x = 0; x < image_bytes_per_line; ++x) {
            line[x] = static_cast<std::uint8_t>(lines[at + x]);
        }
        append_encoded(file, line);
    }
    return file;
}

}  // namespace epl2::bench
