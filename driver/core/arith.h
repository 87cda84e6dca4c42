// 32-bit arithmetic as the printer coordinates need it: sums and products of host values wrap as
// two's-complement 32-bit numbers (the result a 32-bit host computes) instead of being undefined,
// and division truncates toward zero.
#pragma once

#include <cstdint>

namespace epl2 {

constexpr std::int32_t wrap_add(std::int32_t a, std::int32_t b) noexcept {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
constexpr std::int32_t wrap_sub(std::int32_t a, std::int32_t b) noexcept {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}
constexpr std::int32_t wrap_mul(std::int32_t a, std::int32_t b) noexcept {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}
// Truncating division; the one overflowing case (INT32_MIN / -1) wraps like the sum would.
constexpr std::int32_t trunc_div(std::int32_t a, std::int32_t b) noexcept {
    if (b == 0) return 0;
    if (b == -1) return wrap_sub(0, a);
    return a / b;
}
constexpr std::int32_t trunc_rem(std::int32_t a, std::int32_t b) noexcept {
    if (b == 0 || b == -1) return 0;
    return a % b;
}

}  // namespace epl2
