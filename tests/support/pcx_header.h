// The 128-byte header of a one-plane, one-bit PCX file, for tests and benchmarks that make their
// own images: the extent and the decoded line length are all the driver and eplview read.
#pragma once

#include <cstddef>
#include <string>

namespace epl2::test_support {

inline std::string pcx_header(unsigned x_min, unsigned y_min, unsigned x_max, unsigned y_max,
                              unsigned bytes_per_line) {
    std::string h(128, '\0');
    auto put16 = [&](std::size_t at, unsigned v) {
        h[at] = static_cast<char>(v & 0xFF);
        h[at + 1] = static_cast<char>((v >> 8) & 0xFF);
    };
    h[0] = 0x0A;  // manufacturer: ZSoft
    h[1] = 5;     // version 3.0
    h[2] = 1;     // run-length encoded
    h[3] = 1;     // bits per pixel
    put16(4, x_min);
    put16(6, y_min);
    put16(8, x_max);
    put16(10, y_max);
    h[65] = 1;  // planes
    put16(66, bytes_per_line);
    return h;
}

}  // namespace epl2::test_support
