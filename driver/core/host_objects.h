// Blocks that the host owns and passes by pointer besides the JobRecord. Like the record, they are
// wire formats of a 32-bit host: 32-bit little-endian words, pointers one word each.
#pragma once

#include <cstdint>

#include "core/layout.h"

namespace epl2 {

// The JobHandle: the first argument of nearly every entry point. The driver reads only these two
// words; the rest of the block is the host's.
inline constexpr std::size_t job_handle_size = 20;
using JobHandleView = LayoutView<job_handle_size>;
namespace job_handle {
inline constexpr Field<std::uint32_t, 0> record{};           // pointer to the JobRecord
inline constexpr Field<std::uint32_t, 16> barcode_object{};  // pointer to the current barcode
}  // namespace job_handle

// The barcode object that drawbar reads through the JobHandle. Positions and sizes are
// thousandths of an inch; narrow is in dots.
inline constexpr std::size_t barcode_object_size = 128;
using BarcodeObjectView = LayoutView<barcode_object_size>;
namespace barcode_object {
inline constexpr Field<std::int32_t, 4> symbology{};  // -1 none; 0..21 linear; >100 2D
inline constexpr Field<std::int32_t, 8> x{};
inline constexpr Field<std::int32_t, 12> y{};  // bottom edge of the bars at rotation 0
inline constexpr Field<std::int32_t, 24> width{};
inline constexpr Field<std::int32_t, 28> height{};
inline constexpr Field<std::int32_t, 32> rotation{};  // host quarter turns, 0..3
inline constexpr Field<std::uint32_t, 48> data{};     // pointer to NUL-terminated data
inline constexpr Field<std::int32_t, 52> human_readable{};
inline constexpr Field<std::int32_t, 56> ratio{};   // wide-to-narrow selector 0, 1, 2
inline constexpr Field<std::int32_t, 60> narrow{};  // dots
inline constexpr Field<std::int32_t, 72> addon{};   // UPC/EAN add-on: 0, 2 or 5 digits
inline constexpr Field<std::uint32_t, 76> variable_mark{};
inline constexpr Field<std::int32_t, 108> security_level{};
inline constexpr Field<std::uint32_t, 124> shape_limits{};  // byte 124 rows, byte 125 columns
}  // namespace barcode_object

// The PCX image object passed to pcx_begin, pcx_map and pcx_end.
inline constexpr std::size_t pcx_object_size = 36;
using PcxObjectView = LayoutView<pcx_object_size>;
namespace pcx_object {
inline constexpr Field<std::int32_t, 4> x{};  // left edge, thousandths of an inch
inline constexpr Field<std::int32_t, 8> y{};  // top edge
inline constexpr Field<std::uint32_t, 12> file_size{};
inline constexpr Field<std::uint32_t, 16> chunk_length{};
inline constexpr Field<std::int32_t, 20> chunk_continues{};  // 0: first chunk, with the header
inline constexpr Field<std::uint32_t, 24> chunk_data{};      // pointer
inline constexpr Field<std::uint32_t, 32> graphic_name{};    // pointer to NUL-terminated name
}  // namespace pcx_object

// The five-word layout descriptor that GetFlatData fills.
inline constexpr std::size_t flat_descriptor_size = 20;
using FlatDescriptorView = LayoutView<flat_descriptor_size>;

}  // namespace epl2
