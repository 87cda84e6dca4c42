// The setup dialog of each PrinterType: which options it shows and in which order. A dialog
// position is a position in the PrinterType's list; capability registration publishes the list's
// length and the dialog and value storage map positions to option ids through it.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace epl2 {

// Option ids: fixed numbers of the setup options, shared by every PrinterType. Id 15 is unused.
namespace option {
inline constexpr std::int32_t darkness = 0;
inline constexpr std::int32_t print_speed = 1;
inline constexpr std::int32_t default_label_height = 2;
inline constexpr std::int32_t memory_available = 3;
inline constexpr std::int32_t reconfigure_memory = 4;
inline constexpr std::int32_t memory_management = 5;
inline constexpr std::int32_t image_buffer_size = 6;
inline constexpr std::int32_t form_memory_size = 7;
inline constexpr std::int32_t graphics_memory_size = 8;
inline constexpr std::int32_t sensor_type = 9;
inline constexpr std::int32_t gap_size = 10;
inline constexpr std::int32_t extra_gap_offset = 11;
inline constexpr std::int32_t print_direction = 12;
inline constexpr std::int32_t label_present_sensor = 13;
inline constexpr std::int32_t maxicode_as_graphic = 14;
inline constexpr std::int32_t print_method = 16;
inline constexpr std::int32_t ucc_ean_128_as_graphic = 17;
inline constexpr std::int32_t label_cutter = 18;
inline constexpr std::int32_t black_line_direction = 19;
inline constexpr std::int32_t top_of_form_backup = 20;
inline constexpr std::int32_t media_feed_adjust = 21;
// Marks the end of an option list; as a looked-up id it means "no option here".
inline constexpr std::int32_t end = -1;
// The host's special query position.
inline constexpr std::int32_t width_query = -2;
}  // namespace option

namespace option_lists {
// clang-format off
inline constexpr std::array<std::int32_t, 18> type_1  {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 19, 12, 13, 14, 17, -1};
inline constexpr std::array<std::int32_t, 17> type_2  {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 16, 17, -1};
inline constexpr std::array<std::int32_t, 18> type_3  {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 19, 12, 14, 16, 17, -1};
inline constexpr std::array<std::int32_t, 17> type_6  {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 19, 12, 14, 17, -1};
inline constexpr std::array<std::int32_t, 20> type_8  {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 19, 12, 13, 14, 17, 20, 21, -1};
inline constexpr std::array<std::int32_t, 17> type_9  {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 17, 18, -1};
inline constexpr std::array<std::int32_t, 17> type_11 {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 19, 12, 14, 17, -1};
inline constexpr std::array<std::int32_t, 18> type_12 {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 19, 12, 14, 16, 17, -1};
inline constexpr std::array<std::int32_t, 18> type_30 {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 19, 12, 14, 17, 20, -1};
inline constexpr std::array<std::int32_t, 17> generic {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 19, 12, 14, 17, -1};
// clang-format on
}  // namespace option_lists

// The PrinterType's list, end marker included. PrinterType 10 shares the list of 8; any type
// without a list of its own gets the generic one.
constexpr std::span<const std::int32_t> option_list(std::int32_t printer_type) noexcept {
    switch (printer_type) {
        case 1:
            return option_lists::type_1;
        case 2:
            return option_lists::type_2;
        case 3:
            return option_lists::type_3;
        case 6:
            return option_lists::type_6;
        case 8:
        case 10:
            return option_lists::type_8;
        case 9:
            return option_lists::type_9;
        case 11:
            return option_lists::type_11;
        case 12:
            return option_lists::type_12;
        case 30:
            return option_lists::type_30;
        default:
            return option_lists::generic;
    }
}

// The option ids of the PrinterType's dialog, in dialog order, without the end marker.
constexpr std::span<const std::int32_t> option_ids(std::int32_t printer_type) noexcept {
    const std::span<const std::int32_t> list = option_list(printer_type);
    std::size_t count = 0;
    while (count < list.size() && list[count] != option::end) ++count;
    return list.first(count);
}

// The option id at a dialog position: a negative position is itself the id (the host's special
// queries); a position past the list is option::end.
constexpr std::int32_t option_at(std::int32_t printer_type, std::int32_t position) noexcept {
    if (position < 0) return position;
    const std::span<const std::int32_t> ids = option_ids(printer_type);
    const auto index = static_cast<std::size_t>(position);
    return index < ids.size() ? ids[index] : option::end;
}

}  // namespace epl2
