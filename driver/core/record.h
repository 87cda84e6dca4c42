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
// clang-format off
// Host header: model fields filled by the host from the chosen model, capability words filled by
// prtsetup and read by the host.
inline constexpr Field<std::uint32_t,    8> maker_name{};        // pointer to a constant string
inline constexpr Field<std::int32_t,    12> cap_12{};
inline constexpr Field<std::int32_t,    16> cap_16{};
inline constexpr Field<std::int32_t,    28> model_class{};       // 2: right-aligned mapping
inline constexpr Field<std::int32_t,    32> reduced_options{};   // nonzero narrows setup choices
inline constexpr Field<std::int32_t,    36> resolution_code{};   // 0: 300 dpi head; else 203 dpi
inline constexpr Field<std::int32_t,    40> memory_code{};       // 9: only 124/252 KB offered
inline constexpr Field<std::int32_t,    44> printer_type{};      // -1 generic, 1..14, 30
inline constexpr Field<std::uint8_t,    48> cap_48{};
inline constexpr Field<std::uint32_t,   52> cap_flags_52{};
inline constexpr Field<std::uint32_t,   60> cap_flags_60{};
inline constexpr Field<std::uint32_t,   68> cap_flags_68{};
inline constexpr Field<std::uint32_t,   76> cap_flags_76{};
inline constexpr Field<std::uint32_t,   84> cap_flags_84{};
inline constexpr Field<std::uint8_t,    88> cap_88{};
inline constexpr Field<std::uint32_t,  104> cap_text_104{};      // pointer
inline constexpr Field<std::uint8_t,   168> cap_168{};
inline constexpr Field<std::uint8_t,   184> font_count{};
inline constexpr Table<188, 4, 25>          font_name_list{};    // pointer words, "" ends the list
inline constexpr Table<288, 48, 25>         font_table{};
inline constexpr Field<std::uint8_t,  1492> barcode_count{};
inline constexpr Table<1496, 40, 20>        barcode_table{};
inline constexpr Table<2296, 64, 15>        symbol2d_table{};
// Capability words, label and job parameters.
inline constexpr Field<std::uint8_t,  3256> symbol2d_count{};
inline constexpr Field<std::uint32_t, 3260> cap_flags_3260{};
inline constexpr Field<std::int32_t,  3264> cap_3264{};
inline constexpr Field<std::uint32_t, 3268> cap_flags_3268{};
inline constexpr Field<std::uint8_t,  3272> setup_option_count{};
inline constexpr Field<std::uint8_t,  3280> cap_3280{};
inline constexpr Field<std::uint8_t,  3281> cap_3281{};
inline constexpr Field<std::uint32_t, 3284> cap_flags_3284{};
inline constexpr Field<std::int32_t,  3288> max_print_width{};   // widest printable width
inline constexpr Field<std::int32_t,  3292> max_label_length{};
inline constexpr Field<std::int32_t,  3296> default_label_width{};
inline constexpr Field<std::int32_t,  3300> default_label_height{};
inline constexpr Field<std::int32_t,  3304> cap_3304{};
inline constexpr Field<std::int32_t,  3308> cap_3308{};
inline constexpr Field<std::int32_t,  3312> cap_3312{};
inline constexpr Field<std::int32_t,  3316> cap_3316{};
inline constexpr Field<std::int32_t,  3320> cap_3320{};
inline constexpr Field<std::int32_t,  3324> cap_3324{};
inline constexpr Field<std::int32_t,  3328> cap_3328{};
inline constexpr Field<std::int32_t,  3332> cap_3332{};
inline constexpr Field<std::int32_t,  3336> top_offset{};        // subtracted from every host y
inline constexpr Field<std::int32_t,  3340> cap_3340{};
inline constexpr Field<std::int32_t,  3344> left_offset{};       // added to x when right-aligned
inline constexpr Field<std::int32_t,  3348> cap_3348{};
inline constexpr ByteArray<3360, 16>        label_name{};        // source of form_name
inline constexpr Field<std::int32_t,  3376> cap_3376{};
inline constexpr Field<std::int32_t,  3380> cap_3380{};
inline constexpr Field<std::int32_t,  3384> dpi_x{};
inline constexpr Field<std::int32_t,  3388> dpi_y{};
inline constexpr Field<std::int32_t,  3392> cap_dpi_3392{};
inline constexpr Field<std::int32_t,  3396> cap_dpi_3396{};
inline constexpr Field<std::int32_t,  3400> label_width{};
inline constexpr Field<std::int32_t,  3404> label_height{};      // length along the feed
inline constexpr Field<std::uint32_t, 3416> cap_flags_3416{};
inline constexpr Field<std::int32_t,  3420> cap_3420{};
inline constexpr Field<std::uint8_t,  3431> form_mode{};         // pass: 0, 1, 3, 5, 7
inline constexpr Field<std::uint8_t,  3432> graphic_flag{};
inline constexpr Field<std::uint32_t, 3436> cap_flags_3436{};
inline constexpr Field<std::uint8_t,  3440> cap_3440{};
inline constexpr Field<std::uint8_t,  3441> variable_mode{};     // 1, 2: how variables are sent
inline constexpr ByteArray<3444, 3>         cap_3444{};
inline constexpr Field<std::uint8_t,  3447> cap_3447{};
inline constexpr Field<std::int32_t,  3976> cap_3976{};
// Driver working buffers.
inline constexpr ByteArray<4144, 4096>      line_buffer{};       // every command line is built here
inline constexpr ByteArray<8240, 256>       object_data{};       // current text or barcode data
// DriverState: the driver's own state between calls.
inline constexpr Field<std::int32_t,  8496> clip_left{};         // clip rectangle, dots
inline constexpr Field<std::int32_t,  8500> clip_top{};
inline constexpr Field<std::int32_t,  8504> clip_right{};
inline constexpr Field<std::int32_t,  8508> clip_bottom{};
inline constexpr Field<std::int32_t,  8520> job_model_class{};   // copy of model_class
inline constexpr Field<std::uint8_t,  8524> cap_8524{};
inline constexpr Field<std::int32_t,  8540> form_begun_a{};      // form preamble, once per job
inline constexpr Field<std::int32_t,  8544> form_begun_b{};
inline constexpr Field<std::int32_t,  8552> variable_count{};    // next V number of the form
inline constexpr ByteArray<8556, 30>        stored_graphic_ids{};
inline constexpr Field<std::int32_t,  8624> label_quantity{};    // copies, from repeat_begin
inline constexpr Field<std::int32_t,  8632> last_text_font{};
inline constexpr Field<std::int32_t,  8636> speed_setting{};     // S command value
inline constexpr Field<std::int32_t,  8640> darkness{};          // D command value
inline constexpr Field<std::int32_t,  8644> form_store_enabled{};
inline constexpr Field<std::int32_t,  8648> memory_reconfigure{};
inline constexpr Field<std::int32_t,  8652> memory_size_kb{};
inline constexpr Field<std::int32_t,  8656> memory_auto{};       // 0: header computes the split
inline constexpr Field<std::int32_t,  8660> image_buffer_size{}; // KB
inline constexpr Field<std::int32_t,  8664> form_memory_size{};  // KB
inline constexpr Field<std::int32_t,  8668> graphics_memory_size{};  // KB
inline constexpr Field<std::int32_t,  8672> counter_count{};
inline constexpr Field<std::int32_t,  8676> label_present_sensor{};
inline constexpr Field<std::int32_t,  8680> print_method{};
inline constexpr Field<std::int32_t,  8684> label_cutter{};
inline constexpr Field<std::uint16_t, 8688> pcx_width{};         // dots
inline constexpr Field<std::uint16_t, 8690> pcx_height{};        // rows
inline constexpr Field<std::uint8_t,  8692> pcx_row_bytes{};
inline constexpr Field<std::uint8_t,  8693> pcx_edge_mask{};
inline constexpr Field<std::uint32_t, 8696> pcx_bytes_per_line{};
inline constexpr Field<std::int32_t,  8700> top_of_form_backup{};  // 1: JF and j; 2: JB
inline constexpr Field<std::int32_t,  8704> media_feed_adjust{};
inline constexpr ByteArray<8708, 512>       variable_data{};
inline constexpr Field<std::int32_t,  9220> variable_data_length{};
inline constexpr Field<std::int32_t,  9224> sensor_type{};       // 0 gap, 1 continuous, 2 mark
inline constexpr Field<std::int32_t,  9228> gap_size{};
inline constexpr Field<std::int32_t,  9232> max_object_bottom{}; // dots
inline constexpr ByteArray<9236, 9>         form_name{};         // up to 8 characters
inline constexpr Field<std::int32_t,  9252> extra_gap_offset{};
inline constexpr Field<std::int32_t,  9256> black_line_direction{};
inline constexpr Field<std::int32_t,  9260> print_direction{};
inline constexpr Field<std::int32_t,  9264> graphic_slot_cursor{};
inline constexpr Table<9268, 4, 10>         graphic_slot_marks{};
inline constexpr Field<std::int32_t,  9308> graphic_page_flag{};
inline constexpr Field<std::int32_t,  9312> memory_command_off{};
inline constexpr Field<std::uint32_t, 9316> host_flags{};        // bit 0: lines map both corners
inline constexpr Field<std::int32_t,  9320> extra_strings_enabled{};
inline constexpr ByteArray<9324, 10>        print_prefix{};
inline constexpr ByteArray<9334, 10>        print_suffix{};
inline constexpr ByteArray<9344, 10>        recall_suffix{};
inline constexpr ByteArray<9354, 10>        job_trailer{};
inline constexpr ByteArray<9364, 10>        spare_string{};
// clang-format on
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
