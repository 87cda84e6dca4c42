#include "setup/capabilities.h"

#include <array>
#include <cstddef>

#include "core/symbology.h"
#include "setup/option_lists.h"

namespace epl2 {

namespace {

// Bits of a capability word the host reads: only the named bits change, every other bit keeps
// what the host put there.
template <class F>
void update_bits(RecordView r, F field, std::uint32_t set, std::uint32_t clear) noexcept {
    r.set(field, (r.get(field) & ~clear) | set);
}
template <class TableT, class F>
void update_bits(RecordView r, TableT table, std::size_t index, F field, std::uint32_t set,
                 std::uint32_t clear) noexcept {
    r.set(table, index, field, (r.get(table, index, field) & ~clear) | set);
}

constexpr std::uint32_t bit(unsigned n) noexcept {
    return 1u << n;
}
constexpr std::uint32_t bits(unsigned first, unsigned last) noexcept {
    std::uint32_t mask = 0;
    for (unsigned n = first; n <= last; ++n) mask |= bit(n);
    return mask;
}

constexpr const char* no_text = "";

// Resident fonts. Cell sizes are thousandths of an inch at multiplier 1; the host scales a cell
// by up to 8 across and 9 along.
struct ResidentFont {
    const char* selector;  // EPL2 font parameter of the A command
    const char* display_name;
    std::int32_t cell_height;
    std::int32_t cell_width;
};
constexpr std::array<ResidentFont, 5> resident_fonts{{
    {"1", "8 X 12", 85, 49},
    {"2", "10 X 18", 119, 59},
    {"3", "12 X 20", 130, 69},
    {"4", "14 X 24", 166, 78},
    {"5", "32 X 48", 393, 179},
}};
// PrinterType 6 has narrower cells in its two smallest fonts.
constexpr std::array<std::int32_t, 2> type_6_cell_widths{40, 54};
// PrinterType 8 names its second font after its own 16-dot height.
constexpr const char* type_8_second_font_name = "10 X 16";
// PrinterType 3 also offers a scalable font by name; it has no FontEntry.
constexpr const char* type_3_extra_font_name = "Arial 12pt";
constexpr std::uint8_t max_h_mult = 8;
constexpr std::uint8_t max_v_mult = 9;
constexpr std::int32_t max_multiplier = 8;

// Linear symbologies in registration order. The UPC/EAN family's +9 byte depends on the
// resolution code.
struct LinearSymbology {
    std::int32_t symbology;  // host symbology index
    std::uint32_t flags_set;
    std::uint32_t flags_clear;
    std::uint8_t value_8;
    std::uint8_t value_9;
    bool value_9_by_resolution;
    std::int32_t value_12;
    std::int32_t value_20;
};
// Bits 0-13 of barcode_flags are the registration's; 14-15 (as_graphic) belong to the setup.
constexpr std::uint32_t registered_bits = bits(0, 13);
constexpr std::uint32_t as_graphic_bits = bits(14, 15);
constexpr std::uint32_t upc_ean_flags = bits(0, 2) | bits(4, 9);
constexpr std::uint32_t full_ascii_flags = bits(0, 7) | bits(10, 12);
constexpr std::uint32_t checked_flags = bits(0, 2) | bits(4, 7) | bits(10, 12);
constexpr std::uint32_t postnet_flags = bits(4, 7);
constexpr LinearSymbology upc_ean(std::int32_t symbology) noexcept {
    return {symbology, upc_ean_flags, registered_bits & ~upc_ean_flags, 10, 1, true, 33, 5000};
}
constexpr LinearSymbology linear(std::int32_t symbology, std::uint32_t flags,
                                 std::uint8_t value_8) noexcept {
    return {symbology, flags, registered_bits & ~flags, value_8, 2, false, 1283, 5000};
}
constexpr std::array<LinearSymbology, 13> linear_symbologies{{
    upc_ean(symbology::upc_a),
    upc_ean(symbology::upc_e),
    upc_ean(symbology::ean8),
    upc_ean(symbology::ean13),
    linear(symbology::interleaved_2_of_5, full_ascii_flags, 10),
    linear(symbology::code39, checked_flags, 9),
    linear(symbology::code93, checked_flags, 9),
    linear(symbology::code128, full_ascii_flags, 10),
    linear(symbology::code128_second, full_ascii_flags, 10),
    linear(symbology::code128_third, full_ascii_flags, 10),
    linear(symbology::ucc_ean128, full_ascii_flags, 10),
    linear(symbology::codabar, checked_flags, 10),
    // Postnet: also clears as_graphic.
    {symbology::postnet, postnet_flags, (registered_bits | as_graphic_bits) & ~postnet_flags, 0, 0,
     false, 0, 120},
}};

// PrinterType 3 and 13 printers lack the second Code 128 entry.
bool leaves_out_code128_second(std::int32_t printer_type) noexcept {
    return printer_type == 3 || printer_type == 13;
}

void register_fonts(const Job& job, std::int32_t printer_type) noexcept {
    const RecordView r = job.record();
    std::size_t names = 0;
    for (std::size_t i = 0; i < resident_fonts.size(); ++i) {
        const ResidentFont& font = resident_fonts[i];
        const char* name = font.display_name;
        if (i == 1 && printer_type == 8) name = type_8_second_font_name;
        r.set(record::font_name_list, names++, word_entry::word, job.word_of(name));

        std::int32_t cell_width = font.cell_width;
        if (printer_type == 6 && i < type_6_cell_widths.size()) cell_width = type_6_cell_widths[i];
        const std::int32_t value_32 = (i == 4 && printer_type == 8) ? 93 : 95;
        update_bits(r, record::font_table, i, font_entry::font_flags, bit(6) | bits(8, 13),
                    bit(5) | bit(7));
        r.set(record::font_table, i, font_entry::printer_font, job.word_of(font.selector));
        r.set(record::font_table, i, font_entry::max_h_mult, max_h_mult);
        r.set(record::font_table, i, font_entry::max_v_mult, max_v_mult);
        r.set(record::font_table, i, font_entry::cell_height, font.cell_height);
        r.set(record::font_table, i, font_entry::cell_width, cell_width);
        r.set(record::font_table, i, font_entry::max_height, max_multiplier * font.cell_height);
        r.set(record::font_table, i, font_entry::max_width, max_multiplier * cell_width);
        r.set(record::font_table, i, font_entry::value_28, 4);
        r.set(record::font_table, i, font_entry::value_32, value_32);
        r.set(record::font_table, i, font_entry::font_text, job.word_of(no_text));
    }
    if (printer_type == 3) {
        r.set(record::font_name_list, names++, word_entry::word,
              job.word_of(type_3_extra_font_name));
    }
    r.set(record::font_name_list, names, word_entry::word, job.word_of(no_text));
    r.set(record::font_count, static_cast<std::uint8_t>(resident_fonts.size()));
}

void register_linear_symbologies(const Job& job, std::int32_t printer_type,
                                 std::int32_t resolution_code) noexcept {
    const RecordView r = job.record();
    std::size_t n = 0;
    for (const LinearSymbology& s : linear_symbologies) {
        if (s.symbology == symbology::code128_second && leaves_out_code128_second(printer_type))
            continue;
        const std::uint8_t value_9 =
            s.value_9_by_resolution ? (resolution_code == 1 ? 0 : 1) : s.value_9;
        r.set(record::barcode_table, n, barcode_entry::symbology, s.symbology);
        update_bits(r, record::barcode_table, n, barcode_entry::barcode_flags, s.flags_set,
                    s.flags_clear);
        r.set(record::barcode_table, n, barcode_entry::value_8, s.value_8);
        r.set(record::barcode_table, n, barcode_entry::value_9, value_9);
        r.set(record::barcode_table, n, barcode_entry::value_12, s.value_12);
        if (s.symbology == symbology::code128)
            r.set(record::barcode_table, n, barcode_entry::value_16, 1);
        r.set(record::barcode_table, n, barcode_entry::value_20, s.value_20);
        r.set(record::barcode_table, n, barcode_entry::value_24, 0);
        r.set(record::barcode_table, n, barcode_entry::name_text, job.word_of(no_text));
        ++n;
    }
    r.set(record::barcode_count, static_cast<std::uint8_t>(n));
}

void register_maxicode(const Job& job) noexcept {
    const RecordView r = job.record();
    r.set(record::symbol2d_table, 0, symbol2d_entry::symbology, symbology::maxicode_own);
    update_bits(r, record::symbol2d_table, 0, symbol2d_entry::symbol2d_flags, bit(0), bits(1, 3));
    r.set(record::symbol2d_table, 0, symbol2d_entry::as_graphic, 0);
    r.set(record::symbol2d_table, 0, symbol2d_entry::value_32, std::uint8_t{'c'});
    r.set(record::symbol2d_table, 0, symbol2d_entry::value_36, 3);
    r.set(record::symbol2d_table, 0, symbol2d_entry::value_40, 5000);
    r.set(record::symbol2d_table, 0, symbol2d_entry::value_44, 5000);
    r.set(record::symbol2d_table, 0, symbol2d_entry::value_48, 0);
    r.set(record::symbol2d_table, 0, symbol2d_entry::name_text, job.word_of(no_text));
    r.set(record::symbol2d_count, std::uint8_t{1});
}

void write_fixed_capabilities(const Job& job, std::int32_t printer_type) noexcept {
    const RecordView r = job.record();
    const bool type_8 = printer_type == 8;
    update_bits(r, record::cap_flags_52, bit(0) | bit(1) | bit(3) | bit(5), bit(2) | bit(6));
    update_bits(r, record::cap_flags_60, bit(0), 0);
    update_bits(r, record::cap_flags_68, bit(0), 0);
    update_bits(r, record::cap_flags_76, bit(0), 0);
    update_bits(r, record::cap_flags_84, bit(0) | bit(1) | bit(11), bit(2) | bit(10));
    r.set(record::cap_88, std::uint8_t{30});
    update_bits(r, record::cap_flags_3260, bits(0, 2), 0);
    r.set(record::cap_3264, 9600);
    update_bits(r, record::cap_flags_3268, bit(0) | bits(8, 11), bits(1, 3));
    r.set(record::cap_3280, std::uint8_t{0});
    r.set(record::cap_3281, std::uint8_t{15});
    update_bits(r, record::cap_flags_3284, bits(2, 4) | bit(6) | bit(7), bit(1));
    update_bits(r, record::cap_flags_3416, bit(3) | bits(5, 10), bits(11, 12));
    r.set(record::cap_3420, 9999);
    update_bits(r, record::cap_flags_3436, bit(0), bit(1));
    r.set(record::cap_3440, std::uint8_t{1});
    for (std::byte& b : r.bytes(record::cap_3444))
        b = std::byte{type_8 ? std::uint8_t{3} : std::uint8_t{7}};
    r.set(record::cap_3447, type_8 ? std::uint8_t{0} : std::uint8_t{15});
}

// Printable width and label length limits, in thousandths of an inch.
struct SizeLimits {
    std::int32_t max_print_width;
    std::int32_t max_label_length;
    std::int32_t default_label_height;
};

std::int32_t max_label_length_for(std::int32_t printer_type) noexcept {
    switch (printer_type) {
        case 3:
        case 4:
        case 7:
        case 13:
        case 14:
            return 22000;
        default:
            return 20000;
    }
}

// The model class goes first: a 2.83-inch class-3 head limits every PrinterType.
SizeLimits size_limits(std::int32_t model_class, std::int32_t printer_type) noexcept {
    if (model_class == 3) return {2830, 5000, 5000};
    const std::int32_t length = max_label_length_for(printer_type);
    switch (printer_type) {
        case 3:
            return {8500, length, 4000};
        case 2:
        case 4:
        case 6:
        case 7:
        case 8:
        case 9:
        case 11:
        case 12:
        case 13:
        case 14:
            return {4090, length, 4000};
        default:
            break;
    }
    if (model_class == 1) return {2200, length, 4000};
    return {4000, length, 4000};
}

void write_label_limits(const RecordView r, std::int32_t model_class,
                        std::int32_t printer_type) noexcept {
    const SizeLimits limits = size_limits(model_class, printer_type);
    r.set(record::max_print_width, limits.max_print_width);
    r.set(record::max_label_length, limits.max_label_length);
    r.set(record::default_label_width, limits.max_print_width);
    r.set(record::default_label_height, limits.default_label_height);
    r.set(record::label_width, limits.max_print_width);
    r.set(record::label_height, limits.default_label_height);
    r.set(record::cap_3304, limits.max_print_width);
    r.set(record::cap_3308, limits.default_label_height);
}

// Right-aligned (class 2) printers start printing 50/1000 inch in from the top and the side.
void write_offsets(const RecordView r, std::int32_t model_class) noexcept {
    const std::int32_t offset = model_class == 2 ? 50 : 0;
    r.set(record::cap_3312, 1);
    r.set(record::cap_3316, 1);
    r.set(record::cap_3320, 0);
    r.set(record::cap_3324, 0);
    r.set(record::cap_3328, 0);
    r.set(record::cap_3332, 0);
    r.set(record::cap_3340, 0);
    r.set(record::cap_3348, 0);
    r.set(record::top_offset, offset);
    r.set(record::left_offset, offset);
    r.set(record::max_object_bottom, offset);
}

// Only a resolution code of 0 means the 300 dpi head.
void write_resolution(const RecordView r, std::int32_t resolution_code) noexcept {
    const std::int32_t dpi = resolution_code == 0 ? 300 : 203;
    // Ten dots in thousandths of an inch, truncated.
    const std::int32_t ten_dots = 10000 / dpi;
    r.set(record::dpi_x, dpi);
    r.set(record::dpi_y, dpi);
    r.set(record::cap_dpi_3392, dpi);
    r.set(record::cap_dpi_3396, dpi);
    r.set(record::cap_3376, ten_dots);
    r.set(record::cap_3380, ten_dots);
}

void seed_driver_state(const RecordView r) noexcept {
    r.set(record::cap_8524, std::uint8_t{'T'});
    r.set(record::form_store_enabled, 1);
    r.set(record::memory_command_off, 0);
    r.set(record::extra_strings_enabled, 0);
    r.chars(record::print_prefix)[0] = '\0';
    r.chars(record::print_suffix)[0] = '\0';
    r.chars(record::recall_suffix)[0] = '\0';
    r.chars(record::job_trailer)[0] = '\0';
    r.chars(record::spare_string)[0] = '\0';
}

}  // namespace

std::int32_t prtsetup(const Job& job) noexcept {
    const RecordView r = job.record();
    const std::int32_t model_class = r.get(record::model_class);
    const std::int32_t printer_type = r.get(record::printer_type);
    const std::int32_t resolution_code = r.get(record::resolution_code);
    r.set(record::job_model_class, model_class);

    r.set(record::maker_name, job.word_of("Zadivi"));
    r.set(record::cap_12, 41);
    r.set(record::cap_16, 5);
    r.set(record::cap_48, std::uint8_t{3});
    r.set(record::cap_text_104, job.word_of(no_text));
    r.set(record::cap_168, std::uint8_t{0});
    r.set(record::cap_3976, 6);

    register_fonts(job, printer_type);
    register_linear_symbologies(job, printer_type, resolution_code);
    register_maxicode(job);
    write_fixed_capabilities(job, printer_type);
    // Set, not added to: selecting a model again on the same record must publish the same count.
    r.set(record::setup_option_count, static_cast<std::uint8_t>(option_ids(printer_type).size()));
    write_label_limits(r, model_class, printer_type);
    write_offsets(r, model_class);
    write_resolution(r, resolution_code);
    seed_driver_state(r);
    return 0;
}

}  // namespace epl2
