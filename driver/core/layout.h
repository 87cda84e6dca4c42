// Declarative layout of the blocks the driver shares with its host: a field is a type and a byte
// offset, a byte array an offset and a size. Views check every access against the block size at
// compile time, so no field can reach past the block it belongs to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "core/bytes.h"

namespace epl2 {

// An integer field. A pointer slot is a Field<std::uint32_t, ...>: the host's pointers are 32 bits.
template <WireInteger T, std::size_t Offset>
struct Field {
    using value_type = T;
    static constexpr std::size_t offset = Offset;
    static constexpr std::size_t width = sizeof(T);
};

// A fixed byte array (often a NUL-terminated string).
template <std::size_t Offset, std::size_t Size>
struct ByteArray {
    static constexpr std::size_t offset = Offset;
    static constexpr std::size_t width = Size;
};

// A field of one entry of a table of fixed-size entries (fonts, barcodes): resolved at run time
// to an absolute offset once the entry index has been checked against the table's capacity.
template <WireInteger T, std::size_t EntryOffset>
struct EntryField {
    using value_type = T;
    static constexpr std::size_t offset = EntryOffset;
    static constexpr std::size_t width = sizeof(T);
};

template <std::size_t Offset, std::size_t Stride, std::size_t Capacity>
struct Table {
    static constexpr std::size_t offset = Offset;
    static constexpr std::size_t stride = Stride;
    static constexpr std::size_t capacity = Capacity;
    static constexpr std::size_t width = Stride * Capacity;
};

template <std::size_t Size>
class LayoutView {
   public:
    static constexpr std::size_t size = Size;

    explicit constexpr LayoutView(std::byte* base) noexcept : base_(base) {}

    template <class F>
    [[nodiscard]] typename F::value_type get(F) const noexcept {
        static_assert(F::offset + F::width <= Size, "field lies outside its block");
        return load_le<typename F::value_type>(base_ + F::offset);
    }

    template <class F>
    void set(F, typename F::value_type value) const noexcept {
        static_assert(F::offset + F::width <= Size, "field lies outside its block");
        store_le(base_ + F::offset, value);
    }

    template <std::size_t Offset, std::size_t N>
    [[nodiscard]] std::span<std::byte, N> bytes(ByteArray<Offset, N>) const noexcept {
        static_assert(Offset + N <= Size, "array lies outside its block");
        return std::span<std::byte, N>(base_ + Offset, N);
    }

    template <std::size_t Offset, std::size_t N>
    [[nodiscard]] char* chars(ByteArray<Offset, N>) const noexcept {
        static_assert(Offset + N <= Size, "array lies outside its block");
        return reinterpret_cast<char*>(base_ + Offset);
    }

    // A NUL-terminated string held in a fixed array; never reads past the array even when the
    // host left it without a terminator.
    template <std::size_t Offset, std::size_t N>
    [[nodiscard]] std::string_view string(ByteArray<Offset, N> a) const noexcept {
        const char* s = chars(a);
        const void* nul = std::memchr(s, 0, N);
        return {s, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - s) : N};
    }

    // Entry fields: the index must already be below the table's capacity (checked here too,
    // reading 0 and ignoring writes when it is not, so a bad index can never reach other bytes).
    template <class TableT, class F>
    [[nodiscard]] typename F::value_type get(TableT, std::size_t index, F) const noexcept {
        static_assert(TableT::offset + TableT::width <= Size, "table lies outside its block");
        static_assert(F::offset + F::width <= TableT::stride, "field lies outside its entry");
        if (index >= TableT::capacity) return 0;
        return load_le<typename F::value_type>(base_ + TableT::offset + TableT::stride * index +
                                               F::offset);
    }

    template <class TableT, class F>
    void set(TableT, std::size_t index, F, typename F::value_type value) const noexcept {
        static_assert(TableT::offset + TableT::width <= Size, "table lies outside its block");
        static_assert(F::offset + F::width <= TableT::stride, "field lies outside its entry");
        if (index >= TableT::capacity) return;
        store_le(base_ + TableT::offset + TableT::stride * index + F::offset, value);
    }

    [[nodiscard]] std::byte* data() const noexcept { return base_; }

   private:
    std::byte* base_;
};

}  // namespace epl2
