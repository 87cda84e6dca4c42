// Images for labels: monochrome PCX files as the printer stores them. A PCX file is checked and
// passed on as it is; a PNG file is turned into a 1-bit PCX by a luminance threshold.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace epl2::eplhost {

// Pixels darker than this (luminance 0..255, after compositing any transparency over white)
// print black, unless the label gives its own threshold.
inline constexpr int default_png_threshold = 128;

// The printer takes rows of at most 255 bytes.
inline constexpr int max_image_width_dots = 2040;

// A PCX header numbers the last row in 16 bits.
inline constexpr int max_image_height_dots = 65536;

struct PcxInfo {
    int width = 0, height = 0, bytes_per_line = 0;
};

// Checks that the bytes are a complete one-plane, one-bit PCX image no wider than the printer
// takes; the answer is empty when they are, or says what is wrong.
std::string pcx_problem(std::string_view file, PcxInfo* info = nullptr);

// A one-bit PCX image (1 = white, as the printer reads it) from rows of pixels, true = black.
std::string encode_pcx(int width, int height, const std::vector<bool>& black, int dpi = 203);

// Loads a .pcx or .png file as PCX bytes; throws Failure (bad_input) naming the file.
std::string load_image_as_pcx(const std::filesystem::path& file, int threshold);

}  // namespace epl2::eplhost
