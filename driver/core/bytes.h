// Little-endian loads and stores on host memory. The record and the host's objects are a wire
// format shared with a 32-bit host: they are never cast to structs, only read and written through
// these helpers, so the layout holds whatever the width or alignment rules of the build.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace epl2 {

template <class T>
concept WireInteger = std::is_integral_v<T> &&(sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4);

template <WireInteger T>
constexpr T load_le(const std::byte* p) noexcept {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        v |= static_cast<std::uint32_t>(std::to_integer<std::uint8_t>(p[i])) << (8 * i);
    }
    // Conversion of an out-of-range unsigned value to a signed type is modular in C++20.
    return static_cast<T>(v);
}

template <WireInteger T>
constexpr void store_le(std::byte* p, T value) noexcept {
    auto v = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<T>>(value));
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        p[i] = static_cast<std::byte>((v >> (8 * i)) & 0xFFu);
    }
}

}  // namespace epl2
