// Glyphs of the five resident fonts. The printer's own bitmaps are not available, so each glyph is
// drawn from DejaVu Sans Mono through FreeType in monochrome and centred in the resident font's
// character cell, with the baseline where the cell's descent leaves it. Cell sizes are those of
// the printer: 8x12, 10x16, 12x20, 14x24 and 32x48 dots at 203 dpi and 12x20, 16x28, 20x36, 24x44
// and 48x80 dots at 300 dpi.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <string_view>

#include "eplview/eplview.h"

namespace eplview {

struct CellSize {
    int width = 0;
    int height = 0;
};

inline constexpr int resident_fonts = 5;

// font 1..5; any other value gives an empty cell.
CellSize resident_cell(int font, int dpi);

class GlyphRenderer {
   public:
    GlyphRenderer();
    ~GlyphRenderer();
    GlyphRenderer(const GlyphRenderer&) = delete;
    GlyphRenderer& operator=(const GlyphRenderer&) = delete;

    // False when the font file could not be loaded; glyphs are then drawn as open boxes so that
    // the layout stays visible.
    bool has_font();

    // A run of characters at multiplier 1x1 in font 1..5: one cell per byte, bytes taken as
    // Latin-1 characters.
    Bitmap text(int font, int dpi, std::string_view characters);

   private:
    const Bitmap& glyph(int font, int dpi, unsigned char character);
    struct Face;
    Face& face();
    std::unique_ptr<Face> face_;
    std::map<std::array<int, 3>, Bitmap> cache_;
    unsigned size_in_pixels_ = 0;  // the pixel size last set on the face
};

}  // namespace eplview
