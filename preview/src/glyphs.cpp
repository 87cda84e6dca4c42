#include "glyphs.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <climits>
#include <cmath>

#ifndef EPLVIEW_FONT_FILE
#define EPLVIEW_FONT_FILE "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf"
#endif  // EPLVIEW_FONT_FILE
#ifdef EPLVIEW_GLYPH_ATLAS
#include EPLVIEW_GLYPH_ATLAS
#else
inline constexpr bool glyph_atlas_drawn = false;
inline constexpr unsigned char glyph_atlas[] = {0};
#endif  // EPLVIEW_GLYPH_ATLAS
#ifndef EPLVIEW_FALLBACK_FONT_FILE
#define EPLVIEW_FALLBACK_FONT_FILE "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
#endif  // EPLVIEW_FALLBACK_FONT_FILE

namespace eplview {
namespace {

// A resident font as the EPL2 reference gives it for the A command's font parameter: the cell in
// dots and the characters per inch (here in hundredths). The reference gives no baseline; at
// 203 dpi it is where the driver module takes it to be when it places text by its baseline, at
// 300 dpi that depth scaled by the cell heights.
struct ReferenceFont {
    int width, height, cpi_hundredths, baseline;
};
constexpr std::array<ReferenceFont, resident_fonts> fonts_203{{{8, 12, 2030, 10},
                                                               {10, 16, 1690, 14},
                                                               {12, 20, 1450, 16},
                                                               {14, 24, 1270, 20},
                                                               {32, 48, 560, 48}}};
constexpr std::array<ReferenceFont, resident_fonts> fonts_300{{{12, 20, 2500, 17},
                                                               {16, 28, 1875, 25},
                                                               {20, 36, 1500, 29},
                                                               {24, 44, 1250, 37},
                                                               {48, 80, 625, 80}}};

// A printer steps by whole dots: the pitch is the whole number nearest to dpi / cpi. That gives
// 10, 12, 14, 16 and 36 dots at 203 dpi, 2 dots of space after each cell (4 in font 5), and 12,
// 16, 20, 24 and 48 at 300 dpi, where the cell takes the whole pitch and its glyphs hold their
// own space.
constexpr FontMetrics metrics_of(const ReferenceFont& font, int dpi) {
    int pitch = (dpi * 100 + font.cpi_hundredths / 2) / font.cpi_hundredths;
    return {font.width, font.height, pitch, font.baseline};
}

// Printable ASCII, which nearly every label prints, is drawn when eplview is built (by this same
// renderer) and kept in the program: a process that renders one label then never loads a face
// nor runs its hinting program. The atlas holds each glyph's packed rows, by resolution (203, then
// 300 dpi), font and character.
constexpr char32_t first_drawn_ahead = 0x20, last_drawn_ahead = 0x7E;
constexpr std::size_t drawn_ahead_characters = last_drawn_ahead - first_drawn_ahead + 1;

constexpr std::size_t packed_size(const ReferenceFont& font) {
    return static_cast<std::size_t>((font.width + 7) / 8 * font.height);
}

// Where the glyph of `character` (within the printable range) starts in the atlas; with
// `character` one past the range, where the font's glyphs end.
constexpr std::size_t atlas_offset(int font, int dpi, char32_t character) {
    std::size_t offset = 0;
    for (const auto* fonts : {&fonts_203, &fonts_300}) {
        for (int f = 1; f <= resident_fonts; ++f) {
            std::size_t size = packed_size((*fonts)[static_cast<std::size_t>(f - 1)]);
            if (f == font && (fonts == &fonts_300) == (dpi == 300))
                return offset + (character - first_drawn_ahead) * size;
            offset += drawn_ahead_characters * size;
        }
    }
    return offset;
}
static_assert(!glyph_atlas_drawn ||
              sizeof(glyph_atlas) == atlas_offset(resident_fonts, 300, last_drawn_ahead + 1));

Bitmap open_box(const FontMetrics& cell) {
    Bitmap box(cell.width, cell.height);
    for (int x = 1; x < cell.width - 1; ++x) {
        box.set(x, 1, true);
        box.set(x, cell.height - 2, true);
    }
    for (int y = 1; y < cell.height - 1; ++y) {
        box.set(1, y, true);
        box.set(cell.width - 2, y, true);
    }
    return box;
}

// The row of the cell a glyph row at `y` lands on. The cells leave less room below the baseline
// than the face's descent takes (2 rows in fonts 1 and 2 at 203 dpi), so the descent is pressed
// into that room, as the printer's bitmaps shorten their descenders, rather than cut off.
int cell_row(int y, int descent, const FontMetrics& cell) {
    int room = cell.height - cell.baseline;
    if (y < cell.baseline || descent <= room) return y;
    return cell.baseline + (y - cell.baseline) * room / descent;
}

// Copies the rendered glyph into its cell: its advance centred on the cell, its baseline on the
// font's. What reaches past the cell across is cut, as the printer's cells never overlap.
void draw_glyph(const FT_Face face, const FontMetrics& cell, Bitmap& image) {
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bits = slot->bitmap;
    int advance = static_cast<int>((slot->advance.x + 32) >> 6);
    int descent = static_cast<int>((-face->size->metrics.descender + 63) >> 6);
    int left = (cell.width - advance) / 2 + slot->bitmap_left;
    int top = cell.baseline - slot->bitmap_top;
    for (unsigned row = 0; row < bits.rows; ++row) {
        int y = cell_row(top + static_cast<int>(row), descent, cell);
        for (unsigned column = 0; column < bits.width; ++column) {
            auto byte = bits.buffer[static_cast<long>(row) * bits.pitch + column / 8];
            if ((byte >> (7 - column % 8)) & 1) image.set(left + static_cast<int>(column), y, true);
        }
    }
}

}  // namespace

FontMetrics resident_font(int font, int dpi) {
    if (font < 1 || font > resident_fonts) return {};
    const auto& fonts = dpi == 300 ? fonts_300 : fonts_203;
    return metrics_of(fonts[static_cast<std::size_t>(font - 1)], dpi == 300 ? 300 : 203);
}

CellSize resident_cell(int font, int dpi) {
    FontMetrics metrics = resident_font(font, dpi);
    return {metrics.width, metrics.height};
}

int text_width(int font, int dpi, std::size_t characters) {
    if (characters == 0) return 0;
    FontMetrics metrics = resident_font(font, dpi);
    auto dots = static_cast<long long>(characters - 1) * metrics.pitch + metrics.width;
    return static_cast<int>(std::min<long long>(dots, INT_MAX));
}

std::size_t characters_within(int font, int dpi, int across, long dots) {
    FontMetrics metrics = resident_font(font, dpi);
    long cell = static_cast<long>(metrics.width) * across;
    long pitch = static_cast<long>(metrics.pitch) * across;
    if (pitch <= 0 || dots < cell) return 0;
    return static_cast<std::size_t>(1 + (dots - cell) / pitch);
}

// The fallback face draws the characters the main one lacks, at the main one's scale.
struct GlyphRenderer::Face {
    FT_Library library = nullptr;
    FT_Face main = nullptr, fallback = nullptr;
    ~Face() {
        if (fallback) FT_Done_Face(fallback);
        if (main) FT_Done_Face(main);
        if (library) FT_Done_FreeType(library);
    }
    FT_Face holding(char32_t character) const {
        if (fallback && FT_Get_Char_Index(main, character) == 0 &&
            FT_Get_Char_Index(fallback, character) != 0)
            return fallback;
        return main;
    }
    // The main face's advance spans the pitch and its ascent (which holds accented capitals)
    // the depth from the cell's top to the baseline; both faces take that size.
    bool scale_to(FT_Face face, const FontMetrics& cell) {
        double units = main->units_per_EM;
        std::array<long, 2> size{std::lround(64.0 * cell.pitch * units / main->max_advance_width),
                                 std::lround(64.0 * cell.baseline * units / main->ascender)};
        // Setting a size makes FreeType run the font's size program again: only when it changes.
        auto& current = face == main ? main_size : fallback_size;
        if (size == current) return true;
        current = {};
        if (FT_Set_Char_Size(face, size[0], size[1], 72, 72) != 0) return false;
        current = size;
        return true;
    }
    std::array<long, 2> main_size{}, fallback_size{};  // in 1/64 dot, across and down
};

GlyphRenderer::GlyphRenderer(bool drawn_ahead) : drawn_ahead_(drawn_ahead && glyph_atlas_drawn) {}

GlyphRenderer::~GlyphRenderer() = default;

// The font files are read when the first glyph is drawn: most streams a server or a fuzzer sees
// draw no text at all, and loading a face costs more than interpreting them.
GlyphRenderer::Face& GlyphRenderer::face() {
    if (face_) return *face_;
    face_ = std::make_unique<Face>();
    if (FT_Init_FreeType(&face_->library) != 0) {
        face_->library = nullptr;
        return *face_;
    }
    if (FT_New_Face(face_->library, EPLVIEW_FONT_FILE, 0, &face_->main) != 0) face_->main = nullptr;
    if (FT_New_Face(face_->library, EPLVIEW_FALLBACK_FONT_FILE, 0, &face_->fallback) != 0)
        face_->fallback = nullptr;
    return *face_;
}

bool GlyphRenderer::has_font() {
    return face().main != nullptr;
}

const Bitmap& GlyphRenderer::glyph(int font, int dpi, char32_t character) {
    std::tuple key{font, dpi, character};
    if (auto found = cache_.find(key); found != cache_.end()) return found->second;
    FontMetrics cell = resident_font(font, dpi);
    Bitmap& image = cache_[key];
    image = Bitmap(cell.width, cell.height);
    if (character == 0) return image;
    if (drawn_ahead_ && character >= first_drawn_ahead && character <= last_drawn_ahead) {
        const unsigned char* rows = glyph_atlas + atlas_offset(font, dpi, character);
        for (int y = 0; y < cell.height; ++y)
            for (int i = 0; i < image.stride(); ++i) image.put_byte(y, i, *rows++);
        return image;
    }
    if (!has_font()) return image = open_box(cell);
    FT_Face face = face_->holding(character);
    if (!face_->scale_to(face, cell) ||
        FT_Load_Char(face, character, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) !=
            0)
        return image;
    draw_glyph(face, cell, image);
    return image;
}

Bitmap GlyphRenderer::text(int font, int dpi, std::u32string_view characters) {
    FontMetrics metrics = resident_font(font, dpi);
    Bitmap run(text_width(font, dpi, characters.size()), metrics.height);
    int x0 = 0;
    for (char32_t c : characters) {
        run.overlay(glyph(font, dpi, c), x0, 0);
        x0 += metrics.pitch;
    }
    return run;
}

// ASCII needs no page: most streams print nothing else, and reading a page costs a converter.
Bitmap GlyphRenderer::text(int font, int dpi, std::string_view bytes, const CodePage& page) {
    std::u32string run;
    run.reserve(bytes.size());
    for (char byte : bytes) run += static_cast<unsigned char>(byte);
    if (std::ranges::any_of(run, [](char32_t c) { return c >= first_upper_byte; })) {
        const PageCharacters& characters = characters_of(page);
        for (char32_t& character : run) character = characters[character];
    }
    return text(font, dpi, run);
}

const PageCharacters& GlyphRenderer::characters_of(const CodePage& page) {
    auto found = pages_.find(page.number);
    if (found == pages_.end()) found = pages_.emplace(page.number, page_characters(page)).first;
    return found->second;
}

}  // namespace eplview
