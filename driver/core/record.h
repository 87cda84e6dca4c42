// The JobRecord: the 9376-byte block the host allocates and passes to every entry point. It is a
// wire format shared with a closed 32-bit host, so each field is declared here once, with its
// offset and width, and read and written only through RecordView (little-endian, bounds checked at
// compile time). Lengths from the host are thousandths of an inch; "dots" are printer dots.
#pragma once

#include <cstdint>

#include "core/layout.h"

namespace epl2 {

inline constexpr std::size_t record_size = 9376;
using RecordView = LayoutView<record_size>;

namespace record {
#define EPL2_FIELD(type, offset, name) inline constexpr Field<type, offset> name{};
#define EPL2_BYTES(offset, size, name) inline constexpr ByteArray<offset, size> name{};
#define EPL2_TABLE(offset, stride, capacity, name) \
    inline constexpr Table<offset, stride, capacity> name{};
#include "core/record_fields.inc"
#undef EPL2_FIELD
#undef EPL2_BYTES
#undef EPL2_TABLE

// Where each field lies, in declaration order: fields must follow one another without overlap and
// end inside the record, or one field's writes would land in another.
struct Extent {
    std::size_t offset, width;
};
inline constexpr Extent extents[] = {
#define EPL2_FIELD(type, offset, name) {offset, sizeof(type)},
#define EPL2_BYTES(offset, size, name) {offset, size},
#define EPL2_TABLE(offset, stride, capacity, name) {offset, (stride) * (capacity)},
#include "core/record_fields.inc"
#undef EPL2_FIELD
#undef EPL2_BYTES
#undef EPL2_TABLE
};
consteval bool fields_follow_one_another() {
    std::size_t end = 0;
    for (const Extent& e : extents) {
        if (e.offset < end) return false;
        end = e.offset + e.width;
    }
    return end <= record_size;
}
static_assert(fields_follow_one_another(), "record fields overlap or pass the record's end");
}  // namespace record

// One entry of font_table (48 bytes). Sizes are thousandths of an inch at multiplier 1.
namespace font_entry {
inline constexpr EntryField<std::uint32_t, 0> printer_font{};  // pointer: EPL2 font selector
inline constexpr EntryField<std::uint32_t, 4> font_flags{};
inline constexpr EntryField<std::uint8_t, 9> max_h_mult{};
inline constexpr EntryField<std::uint8_t, 10> max_v_mult{};
inline constexpr EntryField<std::int32_t, 12> max_height{};
inline constexpr EntryField<std::int32_t, 16> max_width{};
inline constexpr EntryField<std::int32_t, 20> cell_height{};
inline constexpr EntryField<std::int32_t, 24> cell_width{};
inline constexpr EntryField<std::int32_t, 28> value_28{};
inline constexpr EntryField<std::int32_t, 32> value_32{};
inline constexpr EntryField<std::uint32_t, 36> font_text{};  // pointer
}  // namespace font_entry

// One entry of barcode_table (40 bytes).
namespace barcode_entry {
inline constexpr EntryField<std::int32_t, 0> symbology{};
inline constexpr EntryField<std::uint32_t, 4> barcode_flags{};  // bits 14-15: as_graphic
inline constexpr EntryField<std::uint8_t, 8> value_8{};
inline constexpr EntryField<std::uint8_t, 9> value_9{};
inline constexpr EntryField<std::int32_t, 12> value_12{};
inline constexpr EntryField<std::int32_t, 16> value_16{};
inline constexpr EntryField<std::int32_t, 20> value_20{};
inline constexpr EntryField<std::int32_t, 24> value_24{};
inline constexpr EntryField<std::uint32_t, 28> name_text{};  // pointer
}  // namespace barcode_entry

// One entry of symbol2d_table (64 bytes).
namespace symbol2d_entry {
inline constexpr EntryField<std::int32_t, 0> symbology{};
inline constexpr EntryField<std::uint32_t, 4> symbol2d_flags{};
inline constexpr EntryField<std::int32_t, 28> as_graphic{};
inline constexpr EntryField<std::uint8_t, 32> value_32{};
inline constexpr EntryField<std::int32_t, 36> value_36{};
inline constexpr EntryField<std::int32_t, 40> value_40{};
inline constexpr EntryField<std::int32_t, 44> value_44{};
inline constexpr EntryField<std::int32_t, 48> value_48{};
inline constexpr EntryField<std::uint32_t, 52> name_text{};  // pointer
}  // namespace symbol2d_entry

// Pointer words of a table of 32-bit slots (font_name_list, graphic_slot_marks).
namespace word_entry {
inline constexpr EntryField<std::uint32_t, 0> word{};
inline constexpr EntryField<std::int32_t, 0> value{};
}  // namespace word_entry

}  // namespace epl2
