#include <bit>

#include "eplview/eplview.h"

namespace eplview {

Bitmap::Bitmap(int width, int height)
    : width_(width > 0 ? width : 0),
      height_(height > 0 ? height : 0),
      stride_((width_ + 7) / 8),
      bits_(static_cast<std::size_t>(stride_) * static_cast<std::size_t>(height_), 0) {}

bool Bitmap::black(int x, int y) const {
    if (!contains(x, y)) return false;
    auto byte = bits_[static_cast<std::size_t>(y) * static_cast<std::size_t>(stride_) +
                      static_cast<std::size_t>(x / 8)];
    return (byte >> (7 - x % 8)) & 1;
}

void Bitmap::set(int x, int y, bool black) {
    if (!contains(x, y)) return;
    auto& byte = bits_[static_cast<std::size_t>(y) * static_cast<std::size_t>(stride_) +
                       static_cast<std::size_t>(x / 8)];
    auto mask = static_cast<std::uint8_t>(0x80u >> (x % 8));
    byte = black ? static_cast<std::uint8_t>(byte | mask) : static_cast<std::uint8_t>(byte & ~mask);
}

void Bitmap::invert(int x, int y) {
    if (!contains(x, y)) return;
    auto& byte = bits_[static_cast<std::size_t>(y) * static_cast<std::size_t>(stride_) +
                       static_cast<std::size_t>(x / 8)];
    byte = static_cast<std::uint8_t>(byte ^ (0x80u >> (x % 8)));
}

void Bitmap::extend_to(int height) {
    if (height <= height_) return;
    height_ = height;
    bits_.resize(static_cast<std::size_t>(stride_) * static_cast<std::size_t>(height_), 0);
}

std::size_t Bitmap::black_count() const {
    std::size_t count = 0;
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) count += black(x, y) ? 1u : 0u;
    return count;
}

}  // namespace eplview
