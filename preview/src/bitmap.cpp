#include <algorithm>
#include <bit>

#include "eplview/eplview.h"

namespace eplview {

Bitmap::Bitmap(int width, int height) {
    reset(width, height);
}

void Bitmap::reset(int width, int height) {
    width_ = width > 0 ? width : 0;
    height_ = height > 0 ? height : 0;
    stride_ = (width_ + 7) / 8;
    bits_.assign(static_cast<std::size_t>(stride_) * static_cast<std::size_t>(height_), 0);
}

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

namespace {

// Applies op(byte, mask) to the bytes of one row that hold the dots [x0, x1).
template <class Op>
void for_span(std::uint8_t* row, int x0, int x1, Op op) {
    const int first = x0 / 8, last = (x1 - 1) / 8;
    const auto head = static_cast<std::uint8_t>(0xFFu >> (x0 % 8));
    const auto tail = static_cast<std::uint8_t>(0xFFu << (7 - (x1 - 1) % 8));
    if (first == last) {
        op(row[first], static_cast<std::uint8_t>(head & tail));
        return;
    }
    op(row[first], head);
    for (int i = first + 1; i < last; ++i) op(row[i], std::uint8_t{0xFF});
    op(row[last], tail);
}

}  // namespace

void Bitmap::set_span(int y, int x0, int x1, bool black) {
    x0 = std::max(x0, 0);
    x1 = std::min(x1, width_);
    if (y < 0 || y >= height_ || x0 >= x1) return;
    std::uint8_t* row =
        bits_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride_);
    if (black)
        for_span(row, x0, x1,
                 [](std::uint8_t& b, std::uint8_t m) { b = static_cast<std::uint8_t>(b | m); });
    else
        for_span(row, x0, x1,
                 [](std::uint8_t& b, std::uint8_t m) { b = static_cast<std::uint8_t>(b & ~m); });
}

void Bitmap::invert_span(int y, int x0, int x1) {
    x0 = std::max(x0, 0);
    x1 = std::min(x1, width_);
    if (y < 0 || y >= height_ || x0 >= x1) return;
    std::uint8_t* row =
        bits_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride_);
    for_span(row, x0, x1,
             [](std::uint8_t& b, std::uint8_t m) { b = static_cast<std::uint8_t>(b ^ m); });
}

int Bitmap::run_end(int y, int x, int limit, bool black) const {
    limit = std::min(limit, width_);
    if (y < 0 || y >= height_) return std::max(x, limit);
    const std::uint8_t* row =
        bits_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride_);
    const std::uint8_t same = black ? 0xFF : 0x00;
    while (x < limit) {
        if (x % 8 == 0 && x + 8 <= limit && row[x / 8] == same) {
            x += 8;
            continue;
        }
        if (((row[x / 8] >> (7 - x % 8)) & 1) != (black ? 1 : 0)) return x;
        ++x;
    }
    return limit;
}

namespace {

// The eight dots from dot s on of a packed row, as one byte with dot s in its top bit; dots
// before the row's start or past its last byte read white.
std::uint8_t eight_dots(const std::uint8_t* row, int stride, int s) {
    const int index = s >= 0 ? s / 8 : (s - 7) / 8;
    const int shift = s - index * 8;
    const unsigned high = index >= 0 && index < stride ? row[index] : 0u;
    const unsigned low = index + 1 >= 0 && index + 1 < stride ? row[index + 1] : 0u;
    return static_cast<std::uint8_t>(((high << 8 | low) << shift) >> 8);
}

}  // namespace

void Bitmap::combine_row(int y, int x, const Bitmap& src, int sy, int s0, int s1, Combine how) {
    s0 = std::max(s0, 0);
    s1 = std::min(s1, src.width_);
    if (sy < 0 || sy >= src.height_) return;
    // Clipping in the wider type: x + s1 of a far-off placement must not overflow.
    const long long first = std::max<long long>(0LL + x + s0, 0);
    const long long last = std::min<long long>(0LL + x + s1, width_);
    if (y < 0 || y >= height_ || first >= last) return;
    std::uint8_t* row =
        bits_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride_);
    const std::uint8_t* from =
        src.bits_.data() + static_cast<std::size_t>(sy) * static_cast<std::size_t>(src.stride_);
    // Byte i of this row holds dots 8i.., which come from dots 8i - x.. of the source.
    for_span(row, static_cast<int>(first), static_cast<int>(last),
             [&, index = static_cast<int>(first / 8)](std::uint8_t& b, std::uint8_t m) mutable {
                 const auto dots = eight_dots(from, src.stride_,
                                              static_cast<int>(8LL * index++ - x));
                 switch (how) {
                     case Combine::set:
                         b = static_cast<std::uint8_t>(b | (dots & m));
                         break;
                     case Combine::clear:
                         b = static_cast<std::uint8_t>(b & ~(dots & m));
                         break;
                     case Combine::invert:
                         b = static_cast<std::uint8_t>(b ^ (dots & m));
                         break;
                     case Combine::replace_inverted:
                         b = static_cast<std::uint8_t>((b & ~m) | (~dots & m));
                         break;
                 }
             });
}

void Bitmap::overlay(const Bitmap& src, int x, int y) {
    for (int v = 0; v < src.height_; ++v) combine_row(y + v, x, src, v, 0, src.width_, Combine::set);
}

void Bitmap::put_byte(int y, int index, std::uint8_t black_dots) {
    if (y < 0 || y >= height_ || index < 0 || index >= stride_) return;
    const int past_width = 8 * (index + 1) - width_;
    const auto within = static_cast<std::uint8_t>(past_width > 0 ? 0xFFu << past_width : 0xFFu);
    bits_[static_cast<std::size_t>(y) * static_cast<std::size_t>(stride_) +
          static_cast<std::size_t>(index)] = static_cast<std::uint8_t>(black_dots & within);
}

void Bitmap::copy_row(int from, int to) {
    if (from < 0 || to < 0 || from >= height_ || to >= height_ || from == to) return;
    std::copy_n(bits_.begin() + static_cast<std::ptrdiff_t>(from) * stride_, stride_,
                bits_.begin() + static_cast<std::ptrdiff_t>(to) * stride_);
}

// Dots past the width in a row's last byte are never set, so whole bytes can be counted.
std::size_t Bitmap::black_count() const {
    std::size_t count = 0;
    for (const std::uint8_t byte : bits_) count += static_cast<std::size_t>(std::popcount(byte));
    return count;
}

}  // namespace eplview
