// The five resident fonts: their metrics, and their glyphs. Characters sit one pitch apart, the
// printer's advance from one character to the next, which is wider than the cell at 203 dpi; the
// printer's own bitmaps are not available, so each glyph is drawn through FreeType from a bold
// monospaced font (DejaVu Sans Mono Bold; DejaVu Sans Bold for the letters it lacks), scaled so
// that its advance spans the pitch and its ascent the cell's depth to the baseline.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>

#include "code_pages.h"
#include "eplview/eplview.h"

namespace eplview {

struct CellSize {
    int width = 0;
    int height = 0;
};

// A resident font at multiplier 1, in dots.
struct FontMetrics {
    int width = 0, height = 0;  // the character cell
    int pitch = 0;              // from one character's start to the next one's
    int baseline = 0;           // from the cell's top down to the baseline
};

inline constexpr int resident_fonts = 5;

// font 1..5 at 203 or 300 dpi; any other font gives empty metrics.
FontMetrics resident_font(int font, int dpi);
CellSize resident_cell(int font, int dpi);

// The dots a run of characters takes across at multiplier 1: one pitch for every character but
// the last, whose cell ends the run (the space after it is paper). Drawing, the edge checks and
// every fit of text measure text with it.
int text_width(int font, int dpi, std::size_t characters);
// The most characters whose run at horizontal multiplier `across` fits within `dots`.
std::size_t characters_within(int font, int dpi, int across, long dots);

class GlyphRenderer {
   public:
    // `drawn_ahead`: printable ASCII comes from the glyphs drawn when eplview was built, which
    // are the font's own; false draws every glyph from the font (to build or check them).
    explicit GlyphRenderer(bool drawn_ahead = true);
    ~GlyphRenderer();
    GlyphRenderer(const GlyphRenderer&) = delete;
    GlyphRenderer& operator=(const GlyphRenderer&) = delete;

    // False when the font file could not be loaded; glyphs are then drawn as open boxes so that
    // the layout stays visible.
    bool has_font();

    // A run of Unicode characters in font 1..5 at multiplier 1x1, text_width wide; character 0
    // prints nothing.
    Bitmap text(int font, int dpi, std::u32string_view characters);
    // The bytes of a text field, each the character it is in the code page.
    Bitmap text(int font, int dpi, std::string_view bytes,
                const CodePage& page = default_code_page());
    // What each byte of the page prints, read from the system's converter once per page.
    const PageCharacters& characters_of(const CodePage& page);

   private:
    struct Face;
    Face& face();
    const Bitmap& glyph(int font, int dpi, char32_t character);
    bool drawn_ahead_;
    std::unique_ptr<Face> face_;
    std::map<std::tuple<int, int, char32_t>, Bitmap> cache_;  // by font, dpi and character
    std::map<int, PageCharacters> pages_;                     // by page number
};

}  // namespace eplview
