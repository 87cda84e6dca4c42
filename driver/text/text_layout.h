// The arithmetic of a text object, apart from the record: how the host's character size becomes
// the font's multipliers, how the text is escaped into the DATA field and cut at the clip
// rectangle, and where the printer's reference corner lies. Plain values and spans only, so the
// same code runs in the module and in native tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "core/coordinates.h"

namespace epl2 {

// A resident font's cell at multiplier 1 (thousandths of an inch) and its largest multipliers.
struct FontCell {
    std::int32_t height;
    std::int32_t width;
    std::int32_t max_h_mult;
    std::int32_t max_v_mult;
};

struct TextMultipliers {
    std::int32_t h;
    std::int32_t v;
};

// The whole number of cells nearest to a requested size, between 1 and the largest multiplier.
std::int32_t cell_multiplier(std::uint32_t size, std::int32_t cell, std::int32_t max_mult) noexcept;
TextMultipliers text_multipliers(std::uint32_t height, std::uint32_t width,
                                 const FontCell& font) noexcept;

// Dots from one character to the next along the direction of writing.
std::int32_t character_advance(std::int32_t h_mult, std::int32_t cell_width,
                               std::int32_t dpi_x) noexcept;

// Copies text into object_data as the DATA field of an A command: a backslash goes before every
// double quote and backslash, CR and LF are dropped (they would end the command line and let the
// data carry commands of its own), and a text that does not fit keeps its longest prefix without
// splitting an escape pair. Returns the length stored.
std::size_t escape_text(std::span<char> object_data, std::string_view text) noexcept;

// Where a text stands, in dots.
struct TextPosition {
    std::int32_t x;
    std::int32_t y;
};

// Writes into object_data the characters of the escaped text that lie inside the clip rectangle
// along its direction of writing, and moves the start to the first character kept. Positions
// count every byte of the escaped text as one character cell; a cut never leaves half of an
// escape pair (a lone backslash would escape the closing quote, a lone quote end the field).
// Returns false, and changes nothing, when the text lies outside the clip rectangle across its
// direction of writing: it is then not drawn.
bool clip_text(TextPosition& start, std::int32_t advance, std::int32_t rotation,
               std::string_view escaped, std::span<char> object_data,
               const ClipRect& clip) noexcept;

// Writes the whole escaped text into object_data (text that is not clipped).
void keep_whole_text(std::string_view escaped, std::span<char> object_data) noexcept;

// Dots from the baseline up to the top of the character cell, for the font and vertical
// multiplier; a 300 dpi head needs three quarters more than the table's dots.
std::int32_t baseline_offset(std::int32_t font, std::int32_t v_mult, bool head_300_dpi) noexcept;

// The host places text by the start of its baseline, the printer by the top-left corner of the
// first cell as seen in the direction of writing.
TextPosition reference_corner(TextPosition baseline_start, std::int32_t rotation,
                              std::int32_t offset) noexcept;

// The host turns counter-clockwise, EPL2 clockwise.
std::int32_t epl2_rotation(std::int32_t rotation) noexcept;

// The text runs across the label's rows (rotation 1 or 3): the multipliers change roles.
bool runs_along_feed(std::int32_t rotation) noexcept;

// Text size adjustment: cells snapped to the multipliers the printer reproduces (1, 2, 3, 4, 8).
std::uint32_t snapped_text_size(std::uint32_t size, std::int32_t cell) noexcept;

// Text size adjustment: the nearest position on the 8-dot grid. Sets off_grid when the position
// in dots was not on it and returns the grid position in thousandths of an inch (at 203.2 dots
// per inch, whatever the head); otherwise returns x unchanged.
std::int32_t snapped_text_x(std::int32_t x, std::int32_t dpi_x, bool& off_grid) noexcept;

}  // namespace epl2
