#include "text/text_layout.h"

#include <algorithm>
#include <array>

#include "core/arith.h"
#include "core/format.h"
#include "core/quoted_field.h"

namespace epl2 {

namespace {

// Whether the byte before index opens an escape pair, so that a cut at index would separate the
// backslash from the character it protects. Pairs are found from the start, since an escaped
// backslash is itself a pair.
bool cut_splits_escape(std::string_view escaped, std::size_t index) noexcept {
    std::size_t i = 0;
    while (i < index) {
        if (escaped[i] != escape_character) {
            ++i;
            continue;
        }
        if (i + 1 == index) return true;
        i += 2;
    }
    return false;
}

void write_characters(std::string_view escaped, std::span<char> object_data) noexcept {
    BoundedWriter writer(object_data);
    writer.put(escaped);
}

// The character range that survives the cuts at both ends of the direction of writing.
struct CharacterRange {
    std::int32_t first;
    std::int32_t end;
};

// Text written towards growing coordinates (rotation 0 along x, rotation 3 along y). A text
// that starts before the low edge loses every cell that begins before it, also a partly hidden
// one; the end keeps only characters that end on or before the high edge. An advance of 0 puts
// every character on the start, so all of them share its side of an edge.
CharacterRange cut_forward(std::int32_t& at, std::int32_t count, std::int32_t advance,
                           std::int32_t low, std::int32_t high) noexcept {
    CharacterRange range{0, count};
    if (at < low)
        range.first = advance == 0 ? count : wrap_add(trunc_div(wrap_sub(low, at), advance), 1);
    if (wrap_add(at, wrap_mul(count, advance)) > high) {
        range.end = advance == 0 ? 0 : trunc_div(wrap_sub(high, at), advance);
    }
    at = wrap_add(at, wrap_mul(range.first, advance));
    return range;
}

// Text written towards falling coordinates (rotation 2 along x, rotation 1 along y).
CharacterRange cut_backward(std::int32_t& at, std::int32_t count, std::int32_t advance,
                            std::int32_t low, std::int32_t high) noexcept {
    CharacterRange range{0, count};
    if (at > high)
        range.first = advance == 0 ? count : wrap_add(trunc_div(wrap_sub(at, high), advance), 1);
    if (wrap_sub(at, wrap_mul(count, advance)) < low) {
        range.end = advance == 0 ? 0 : trunc_div(wrap_sub(at, low), advance);
    }
    at = wrap_sub(at, wrap_mul(range.first, advance));
    return range;
}

bool within(std::int32_t value, std::int32_t low, std::int32_t high) noexcept {
    return low <= value && value <= high;
}

}  // namespace

std::int32_t cell_multiplier(std::uint32_t size, std::int32_t cell,
                             std::int32_t max_mult) noexcept {
    const auto unsigned_cell = static_cast<std::uint32_t>(cell);
    // A font without a cell size gives nothing to scale by: the text keeps its natural size.
    const std::uint32_t cells =
        unsigned_cell == 0 ? 1u : (size + unsigned_cell / 2) / unsigned_cell;
    std::int32_t mult = static_cast<std::int32_t>(cells);
    if (mult < 1) mult = 1;
    if (mult > max_mult) mult = max_mult;
    return mult;
}

TextMultipliers text_multipliers(std::uint32_t height, std::uint32_t width,
                                 const FontCell& font) noexcept {
    return {cell_multiplier(width, font.width, font.max_h_mult),
            cell_multiplier(height, font.height, font.max_v_mult)};
}

std::int32_t character_advance(std::int32_t h_mult, std::int32_t cell_width,
                               std::int32_t dpi_x) noexcept {
    return wrap_mul(h_mult, trunc_div(wrap_mul(cell_width, dpi_x), 1000));
}

std::size_t escape_text(std::span<char> object_data, std::string_view text) noexcept {
    BoundedWriter writer(object_data);
    for (char c : text) {
        const std::size_t before = writer.written();
        put_quoted_character(writer, c);
        if (!writer.complete()) {
            // The pair (or character) did not fit whole: keep the text as it was before it.
            writer.truncate(before);
            break;
        }
    }
    return writer.written();
}

bool clip_text(TextPosition& start, std::int32_t advance, std::int32_t rotation,
               std::string_view escaped, std::span<char> object_data,
               const ClipRect& clip) noexcept {
    const auto count = static_cast<std::int32_t>(std::min<std::size_t>(escaped.size(), 0x7FFFFFFF));
    if (rotation < 0 || rotation > 3) {
        // A direction the printer does not know is not cut.
        write_characters(escaped, object_data);
        return true;
    }
    // Rotations 1 and 3 write along the label's rows, 1 and 2 towards falling coordinates.
    const bool along_y = runs_along_feed(rotation);
    const bool backward = rotation == 1 || rotation == 2;
    const std::int32_t across = along_y ? start.x : start.y;
    if (!(along_y ? within(across, clip.left, clip.right)
                  : within(across, clip.top, clip.bottom))) {
        return false;
    }
    TextPosition moved = start;
    std::int32_t& along = along_y ? moved.y : moved.x;
    const std::int32_t low = along_y ? clip.top : clip.left;
    const std::int32_t high = along_y ? clip.bottom : clip.right;
    const CharacterRange range = backward ? cut_backward(along, count, advance, low, high)
                                          : cut_forward(along, count, advance, low, high);
    auto first = static_cast<std::size_t>(std::clamp(range.first, 0, count));
    auto end = static_cast<std::size_t>(std::clamp(range.end, 0, count));
    if (first < end && cut_splits_escape(escaped, first)) {
        // The protected character alone would end the field: it goes with its backslash, and the
        // text starts one cell later.
        ++first;
        along = backward ? wrap_sub(along, advance) : wrap_add(along, advance);
    }
    if (first < end && cut_splits_escape(escaped, end)) --end;
    write_characters(
        first < end ? std::string_view(escaped.data() + first, end - first) : std::string_view(),
        object_data);
    start = moved;
    return true;
}

void keep_whole_text(std::string_view escaped, std::span<char> object_data) noexcept {
    write_characters(escaped, object_data);
}

std::int32_t baseline_offset(std::int32_t font, std::int32_t v_mult, bool head_300_dpi) noexcept {
    // Dots from the baseline to the top of the cell at multiplier 1, per host font index.
    static constexpr std::array<std::int32_t, 6> ascent_dots{10, 14, 16, 20, 48, 24};
    if (font < 0 || static_cast<std::size_t>(font) >= ascent_dots.size()) return 0;
    const std::int32_t offset = wrap_mul(ascent_dots[static_cast<std::size_t>(font)], v_mult);
    return head_300_dpi ? wrap_add(offset, trunc_div(wrap_mul(offset, 6), 8)) : offset;
}

TextPosition reference_corner(TextPosition baseline_start, std::int32_t rotation,
                              std::int32_t offset) noexcept {
    TextPosition corner = baseline_start;
    switch (rotation) {
        case 0:
            corner.y = wrap_sub(corner.y, offset);
            break;
        case 1:
            corner.x = wrap_sub(corner.x, offset);
            break;
        case 2:
            corner.y = wrap_add(corner.y, offset);
            break;
        case 3:
            corner.x = wrap_add(corner.x, offset);
            break;
        default:
            break;
    }
    return corner;
}

std::int32_t epl2_rotation(std::int32_t rotation) noexcept {
    return trunc_rem(wrap_sub(4, rotation), 4);
}

bool runs_along_feed(std::int32_t rotation) noexcept {
    return rotation == 1 || rotation == 3;
}

std::uint32_t snapped_text_size(std::uint32_t size, std::int32_t cell) noexcept {
    const auto unsigned_cell = static_cast<std::uint32_t>(cell);
    if (unsigned_cell == 0) return size;
    // Only 1, 2, 3, 4 and 8 cells are offered: 5 and 6 fall back to 4, anything beyond is 8.
    auto cells = static_cast<std::int32_t>((size + unsigned_cell / 2) / unsigned_cell);
    if (cells < 1) cells = 1;
    if (cells > 6) cells = 8;
    if (cells == 5 || cells == 6) cells = 4;
    return unsigned_cell * static_cast<std::uint32_t>(cells);
}

std::int32_t snapped_text_x(std::int32_t x, std::int32_t dpi_x, bool& off_grid) noexcept {
    const MillimetreGrid grid = snap_to_millimetre_grid(x, dpi_x);
    if (grid.grid_dots == grid.dots) return x;
    off_grid = true;
    return grid.thousandths;
}

}  // namespace epl2
