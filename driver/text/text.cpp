#include "text/text.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "core/arith.h"
#include "core/bytes.h"
#include "core/coordinates.h"
#include "core/passes.h"
#include "text/text_layout.h"
#include "text/variable_fields.h"

namespace epl2 {

namespace {

// prtsetup registers the printer's five resident fonts as entries 0 to 4; any other index has no
// cell sizes and no font selector.
constexpr std::int32_t registered_font_count = 5;

// Below this shade the text is printed white on black.
constexpr std::int32_t reverse_shade_limit = 50;

bool is_registered_font(RecordView r, std::int32_t font) noexcept {
    return font >= 0 && font < registered_font_count &&
           r.get(record::font_table, static_cast<std::size_t>(font), font_entry::printer_font) != 0;
}

FontCell font_cell(RecordView r, std::int32_t font) noexcept {
    const auto k = static_cast<std::size_t>(font);
    return {r.get(record::font_table, k, font_entry::cell_height),
            r.get(record::font_table, k, font_entry::cell_width),
            r.get(record::font_table, k, font_entry::max_h_mult),
            r.get(record::font_table, k, font_entry::max_v_mult)};
}

// What one text object becomes in the current pass.
enum class TextLine { none, fixed, variable_reference };

// Fixed text belongs to the stored form; variable text is a reference in the form and is drawn
// with its data when the form is recalled. A printer without forms draws everything at recall.
TextLine text_line_for_pass(RecordView r, std::uint32_t mark) noexcept {
    const std::uint8_t mode = r.get(record::form_mode);
    const bool variable = mark != 0;
    if (draws_directly(r)) return mode == form_mode::recall ? TextLine::fixed : TextLine::none;
    if (mode == form_mode::recall) return variable ? TextLine::fixed : TextLine::none;
    if (!variable) return TextLine::fixed;
    return variable_references_enabled(r) ? TextLine::variable_reference : TextLine::none;
}

// The lowest row a text reaches: its start, and for text written down the label in the
// form-building pass the whole run.
void raise_text_bottom(RecordView r, TextPosition start, std::int32_t rotation,
                       std::int32_t advance, std::size_t length) noexcept {
    if (start.y <= r.get(record::max_object_bottom)) return;
    std::int32_t bottom = start.y;
    if (r.get(record::form_mode) == form_mode::build && rotation == 3) {
        bottom = wrap_add(bottom, wrap_mul(advance, static_cast<std::int32_t>(length)));
    }
    r.set(record::max_object_bottom, bottom);
}

std::span<char> object_data_of(RecordView r) noexcept {
    const auto bytes = r.bytes(record::object_data);
    return {reinterpret_cast<char*>(bytes.data()), bytes.size()};
}

}  // namespace

std::int32_t drawtext(const Job& job, std::int32_t x, std::int32_t y, std::uint32_t text,
                      std::uint32_t height, std::uint32_t width, std::int32_t rotation,
                      std::int32_t font, std::int32_t shade, std::uint32_t variable_mark) noexcept {
    const std::uint32_t mark = normalise_variable_mark(variable_mark);
    const RecordView r = job.record();
    const std::uint8_t mode = r.get(record::form_mode);
    if (mode != form_mode::build && mode != form_mode::recall) return 0;
    if (!is_registered_font(r, font)) return 0;

    const FontCell cell = font_cell(r, font);
    const TextMultipliers mult = text_multipliers(height, width, cell);
    const std::int32_t advance = character_advance(
        mult.h, r.get(record::font_table, static_cast<std::size_t>(font), font_entry::cell_width),
        r.get(record::dpi_x));
    TextPosition start{map_x(r, x), map_y(r, y)};

    std::array<char, record::object_data.width> escaped_buffer{};
    const std::size_t escaped_length = escape_text(escaped_buffer, job.resolve_string(text));
    const std::string_view escaped(escaped_buffer.data(), escaped_length);
    const std::span<char> data = object_data_of(r);
    if (r.get(record::extra_strings_enabled) != 0) {
        keep_whole_text(escaped, data);
    } else if (!clip_text(start, advance, rotation, escaped, data, clip_rect(r))) {
        return 0;
    }
    const std::size_t length = std::strlen(data.data());

    const std::int32_t offset = baseline_offset(font, mult.v, r.get(record::resolution_code) == 0);
    raise_text_bottom(r, start, rotation, advance, length);
    const TextPosition corner = reference_corner(start, rotation, offset);
    // For text turned a quarter the printer takes the two multipliers the other way round. Each
    // stays within what the printer takes in its own place: a ninefold height would go out as a
    // horizontal multiplier of 9, which the printer refuses, losing the whole text.
    const TextMultipliers sent =
        runs_along_feed(rotation)
            ? TextMultipliers{std::min(mult.v, cell.max_h_mult), std::min(mult.h, cell.max_v_mult)}
            : mult;
    const char reverse = shade < reverse_shade_limit ? 'R' : 'N';
    const std::int32_t p3 = epl2_rotation(rotation);
    const char* printer_font = job.resolve_string(
        r.get(record::font_table, static_cast<std::size_t>(font), font_entry::printer_font));

    switch (text_line_for_pass(r, mark)) {
        case TextLine::fixed:
            job.send_line_crlf("A%ld,%ld,%d,%s,%d,%d,%c,\"%s\"\n",
                               {corner.x, corner.y, p3, printer_font, sent.h, sent.v, reverse,
                                std::string_view(data.data(), length)});
            break;
        case TextLine::variable_reference:
            // The number is used up only by a reference that went out.
            if (job.send_line_crlf("A%ld,%ld,%d,%s,%d,%d,%c,V%02d\n",
                                   {corner.x, corner.y, p3, printer_font, sent.h, sent.v, reverse,
                                    r.get(record::variable_count)})) {
                take_variable_number(r);
            }
            break;
        case TextLine::none:
            break;
    }
    r.set(record::last_text_font, font);
    return 0;
}

std::int32_t adjfontvar(const Job& job, std::int32_t font, std::uint32_t x, std::uint32_t height,
                        std::uint32_t width) noexcept {
    const RecordView r = job.record();
    // Beyond the registered fonts there are no cell sizes to snap to, and a font without a cell
    // size cannot be divided into cells: such a call adjusts nothing.
    if (font < 0 || font >= registered_font_count) return 0;
    const FontCell cell = font_cell(r, font);
    if (cell.height == 0 || cell.width == 0) return 0;
    std::byte* x_slot = job.resolve(x);
    std::byte* height_slot = job.resolve(height);
    std::byte* width_slot = job.resolve(width);
    if (x_slot == nullptr || height_slot == nullptr || width_slot == nullptr) return 0;

    bool adjusted = false;
    const std::int32_t old_x = load_le<std::int32_t>(x_slot);
    const std::int32_t new_x = snapped_text_x(old_x, r.get(record::dpi_x), adjusted);
    if (adjusted) store_le(x_slot, new_x);

    const std::uint32_t new_height =
        snapped_text_size(load_le<std::uint32_t>(height_slot), cell.height);
    const std::uint32_t new_width =
        snapped_text_size(load_le<std::uint32_t>(width_slot), cell.width);
    if (new_height == load_le<std::uint32_t>(height_slot) &&
        new_width == load_le<std::uint32_t>(width_slot)) {
        return adjusted ? 1 : 0;
    }
    store_le(height_slot, new_height);
    store_le(width_slot, new_width);
    return 1;
}

}  // namespace epl2
