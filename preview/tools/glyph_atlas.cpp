// Writes the glyph atlas that eplview is built with: printable ASCII in the five resident fonts at
// 203 and 300 dpi, drawn from the font by the renderer itself, as a C++ array in the order the
// renderer reads it (resolution, font, character; each glyph's packed rows). Without the font it
// writes an empty atlas, and eplview draws every glyph when it is asked for.
#include <cstdio>
#include <string>

#include "glyphs.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: eplview_glyph_atlas OUT.inc\n");
        return 2;
    }
    eplview::GlyphRenderer renderer(false);
    std::string text = "// Drawn by eplview_glyph_atlas when eplview was built; do not edit.\n";
    if (!renderer.has_font()) {
        text += "inline constexpr bool glyph_atlas_drawn = false;\n"
                "inline constexpr unsigned char glyph_atlas[] = {0};\n";
    } else {
        text += "inline constexpr bool glyph_atlas_drawn = true;\n"
                "inline constexpr unsigned char glyph_atlas[] = {\n";
        for (int dpi : {203, 300}) {
            for (int font = 1; font <= eplview::resident_fonts; ++font) {
                for (char32_t c = 0x20; c <= 0x7E; ++c) {
                    eplview::Bitmap glyph = renderer.text(font, dpi, std::u32string(1, c));
                    for (std::uint8_t byte : glyph.packed()) text += std::to_string(byte) + ',';
                    text += '\n';
                }
            }
        }
        text += "};\n";
    }
    std::FILE* out = std::fopen(argv[1], "wb");
    bool written = out && std::fwrite(text.data(), 1, text.size(), out) == text.size();
    if (out && std::fclose(out) != 0) written = false;
    if (!written) {
        std::fprintf(stderr, "eplview_glyph_atlas: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
