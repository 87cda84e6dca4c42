#include "glyphs.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>

#ifndef EPLVIEW_FONT_FILE
#define EPLVIEW_FONT_FILE "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"
#endif

namespace eplview {
namespace {

constexpr std::array<CellSize, resident_fonts> cells_203{
    {{8, 12}, {10, 16}, {12, 20}, {14, 24}, {32, 48}}};
constexpr std::array<CellSize, resident_fonts> cells_300{
    {{12, 20}, {16, 28}, {20, 36}, {24, 44}, {48, 80}}};

Bitmap open_box(CellSize cell) {
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

}  // namespace

CellSize resident_cell(int font, int dpi) {
    if (font < 1 || font > resident_fonts) return {};
    const auto& cells = dpi == 300 ? cells_300 : cells_203;
    return cells[static_cast<std::size_t>(font - 1)];
}

struct GlyphRenderer::Face {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~Face() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

GlyphRenderer::GlyphRenderer() = default;

GlyphRenderer::~GlyphRenderer() = default;

// The font file is read when the first glyph is drawn: most streams a server or a fuzzer sees
// draw no text at all, and loading the face costs more than interpreting them.
GlyphRenderer::Face& GlyphRenderer::face() {
    if (face_) return *face_;
    face_ = std::make_unique<Face>();
    if (FT_Init_FreeType(&face_->library) != 0) {
        face_->library = nullptr;
        return *face_;
    }
    if (FT_New_Face(face_->library, EPLVIEW_FONT_FILE, 0, &face_->face) != 0) face_->face = nullptr;
    return *face_;
}

bool GlyphRenderer::has_font() {
    return face().face != nullptr;
}

const Bitmap& GlyphRenderer::glyph(int font, int dpi, unsigned char character) {
    std::array<int, 3> key{font, dpi, character};
    if (auto found = cache_.find(key); found != cache_.end()) return found->second;
    CellSize cell = resident_cell(font, dpi);
    Bitmap& image = cache_[key];
    if (!has_font()) return image = open_box(cell);
    image = Bitmap(cell.width, cell.height);
    FT_Face face = face_->face;
    // The em size that fits the face's full height (ascent to descent) into the cell height and
    // its advance into the cell width.
    double units = face->units_per_EM;
    double height_per_em = (face->ascender - face->descender) / units;
    double advance_per_em = face->max_advance_width / units;
    double em = std::min(cell.height / height_per_em, cell.width / advance_per_em);
    auto pixels = static_cast<FT_UInt>(std::max(1.0, std::floor(em)));
    // Setting a size makes FreeType run the font's size program again: only when it changes.
    if (pixels != size_in_pixels_) {
        if (FT_Set_Pixel_Sizes(face, 0, pixels) != 0) return image;
        size_in_pixels_ = pixels;
    }
    if (FT_Load_Char(face, character, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) !=
        0)
        return image;
    const FT_Bitmap& bits = face->glyph->bitmap;
    int margin = (cell.height - static_cast<int>(std::lround(pixels * height_per_em))) / 2;
    int baseline = margin + static_cast<int>(std::lround(face->ascender / units * pixels));
    int advance = static_cast<int>(face->glyph->advance.x >> 6);
    int left = (cell.width - advance) / 2 + face->glyph->bitmap_left;
    int top = baseline - face->glyph->bitmap_top;
    for (unsigned row = 0; row < bits.rows; ++row)
        for (unsigned column = 0; column < bits.width; ++column) {
            auto byte = bits.buffer[static_cast<long>(row) * bits.pitch + column / 8];
            if ((byte >> (7 - column % 8)) & 1)
                image.set(left + static_cast<int>(column), top + static_cast<int>(row), true);
        }
    return image;
}

Bitmap GlyphRenderer::text(int font, int dpi, std::string_view characters) {
    CellSize cell = resident_cell(font, dpi);
    Bitmap run(cell.width * static_cast<int>(characters.size()), cell.height);
    int x0 = 0;
    for (char c : characters) {
        const Bitmap& one = glyph(font, dpi, static_cast<unsigned char>(c));
        for (int y = 0; y < one.height(); ++y)
            for (int x = 0; x < one.width(); ++x)
                if (one.black(x, y)) run.set(x0 + x, y, true);
        x0 += cell.width;
    }
    return run;
}

}  // namespace eplview
