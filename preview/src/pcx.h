// Monochrome PCX files as the printer stores them with GM: a 128-byte header and run-length
// encoded scan lines, one plane of one bit per pixel. A clear bit prints black.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "eplview/eplview.h"

namespace eplview {

struct DecodedPcx {
    Bitmap image;
    std::string error;  // empty when the file was decoded
};

DecodedPcx decode_pcx(std::span<const std::uint8_t> file);

}  // namespace eplview
