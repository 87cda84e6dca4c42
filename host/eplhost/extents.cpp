#include "extents.h"

#include <algorithm>
#include <array>
#include <vector>

#include "images.h"
#include "units.h"

namespace epl2::eplhost {

namespace {

// The five resident fonts as the printer draws them, in dots: the character cell and the
// advance from one character to the next (the cell and two dots of space).
struct PrinterFont {
    std::int32_t width, height, pitch;
};
constexpr std::array<PrinterFont, 5> fonts_203{
    {{8, 12, 10}, {10, 16, 12}, {12, 20, 14}, {14, 24, 16}, {32, 48, 36}}};
constexpr std::array<PrinterFont, 5> fonts_300{
    {{12, 20, 14}, {16, 28, 18}, {20, 36, 22}, {24, 44, 26}, {48, 80, 50}}};

// How far the module moves a text up from its baseline to the cell's top edge, in dots per
// vertical multiple, by font; a 300 dpi head takes three quarters more.
constexpr std::array<std::int32_t, 5> baseline_offset_dots{10, 14, 16, 20, 48};

// A UPC or EAN symbol's human-readable digits below the bars.
constexpr std::int32_t human_readable_height = 100;  // thousandths of an inch

// A MaxiCode symbol is of one size: 1.11 by 1.054 inches.
constexpr std::int32_t maxicode_width = 1110, maxicode_height = 1054;

std::int32_t to_thousandths(std::int32_t dots, int dpi) {
    return static_cast<std::int32_t>((static_cast<std::int64_t>(dots) * 1000 + dpi - 1) / dpi);
}

// A box given in the object's own frame, u along its direction of writing and v across it
// (downwards when upright), turned by the host's counter-clockwise quarter turns around
// the anchor.
Box turned(std::int32_t x, std::int32_t y, std::int32_t u0, std::int32_t u1, std::int32_t v0,
           std::int32_t v1, std::int32_t rotation) {
    switch (rotation & 3) {
        case 1:  // writing upwards
            return {x + v0, y - u1, x + v1, y - u0};
        case 2:
            return {x - u1, y - v1, x - u0, y - v0};
        case 3:  // writing downwards
            return {x - v1, y + u0, x - v0, y + u1};
        default:
            return {x + u0, y + v0, x + u1, y + v1};
    }
}

std::int32_t clamp_multiplier(std::uint32_t requested, std::uint32_t cell, std::int32_t max) {
    if (cell == 0) return 1;
    const auto m = static_cast<std::int64_t>((requested + cell / 2) / cell);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(m, 1, std::max(1, max)));
}

std::string edge_text(std::int32_t by, const char* edge, const std::string& unit) {
    return "past the " + std::string(edge) + " edge by " + describe_length(by, unit);
}

}  // namespace

TextScale text_scale(const FontCell& cell, std::uint32_t height, std::uint32_t width) {
    return {clamp_multiplier(width, cell.width, cell.max_horizontal),
            clamp_multiplier(height, cell.height, cell.max_vertical)};
}

Box text_box(const TextObject& text, std::size_t characters, const FontCell& cell, TextScale scale,
             int dpi) {
    const auto& fonts = dpi == 300 ? fonts_300 : fonts_203;
    const auto index = static_cast<std::size_t>(std::clamp(cell.font, 0, 4));
    const PrinterFont& font = fonts[index];
    std::int32_t ascent = baseline_offset_dots[index] * scale.vertical;
    if (dpi == 300) ascent += ascent * 6 / 8;
    const auto n = static_cast<std::int32_t>(characters);
    // The last character's space after it is paper, not ink.
    const std::int32_t length =
        n == 0 ? 0 : (n * font.pitch - (font.pitch - font.width)) * scale.horizontal;
    const std::int32_t top = -ascent, bottom = font.height * scale.vertical - ascent;
    return turned(text.x, text.y, 0, to_thousandths(length, dpi),
                  top < 0 ? -to_thousandths(-top, dpi) : to_thousandths(top, dpi),
                  to_thousandths(bottom, dpi), text.rotation);
}

Box barcode_box(const BarcodeObject& barcode, const Symbology& symbology, std::string_view data,
                int dpi) {
    const int addon_digits = barcode.addon_digits();
    const std::int32_t wide = barcode.ratio == 0   ? 2 * barcode.narrow
                              : barcode.ratio == 1 ? 5 * barcode.narrow / 2
                                                   : 3 * barcode.narrow;
    const std::int32_t length =
        barcode_length_dots(symbology, data, addon_digits, barcode.narrow, wide, dpi);
    // The module moves UPC and EAN symbols back by this much, room for the leading digit.
    const std::int32_t lead = symbology.upc_ean() ? 8 * barcode.narrow + 1 : 0;
    const std::int32_t below =
        symbology.upc_ean() && barcode.human_readable ? human_readable_height : 0;
    return turned(barcode.x, barcode.y, -to_thousandths(lead, dpi),
                  to_thousandths(length - lead, dpi), -barcode.height, below, barcode.rotation);
}

Box object_box(const LabelObject& object, int dpi) {
    return std::visit(
        [&](const auto& o) -> Box {
            using T = std::decay_t<decltype(o)>;
            if constexpr (std::is_same_v<T, LineObject>) {
                return {o.x, o.y, o.x + (o.vertical ? o.thickness : o.length),
                        o.y + (o.vertical ? o.length : o.thickness)};
            } else if constexpr (std::is_same_v<T, RectangleObject> ||
                                 std::is_same_v<T, BoxObject>) {
                return {o.x, o.y, o.x + o.width, o.y + o.height};
            } else if constexpr (std::is_same_v<T, MaxiCodeObject>) {
                return {o.x, o.y, o.x + maxicode_width, o.y + maxicode_height};
            } else if constexpr (std::is_same_v<T, Pdf417Object>) {
                const bool across = (o.rotation & 1) != 0;
                return {o.x, o.y, o.x + (across ? o.height : o.width),
                        o.y + (across ? o.width : o.height)};
            } else if constexpr (std::is_same_v<T, ImageObject>) {
                PcxInfo info;
                pcx_problem(o.pcx, &info);
                return {o.x, o.y, o.x + to_thousandths(info.width, dpi),
                        o.y + to_thousandths(info.height, dpi)};
            } else {
                return {o.x, o.y, o.x, o.y};  // text and barcodes are measured with their data
            }
        },
        object.kind);
}

std::optional<std::string> overflow(const Box& box, const Label& label) {
    const std::string& unit = label.unit;
    if (box.right <= 0 || box.bottom <= 0 || box.left >= label.width || box.top >= label.height)
        return "lies wholly off the label (" + describe_length(label.width, unit) + " by " +
               describe_length(label.height, unit) + ")";
    std::vector<std::string> edges;
    if (box.left < 0) edges.push_back(edge_text(-box.left, "left", unit));
    if (box.right > label.width) edges.push_back(edge_text(box.right - label.width, "right", unit));
    if (box.top < 0) edges.push_back(edge_text(-box.top, "top", unit));
    if (box.bottom > label.height)
        edges.push_back(edge_text(box.bottom - label.height, "bottom", unit));
    if (edges.empty()) return std::nullopt;
    std::string text = "runs ";
    for (std::size_t i = 0; i < edges.size(); ++i)
        text += (i == 0 ? "" : i + 1 == edges.size() ? " and " : ", ") + edges[i];
    return text + " of the label (" + describe_length(label.width, unit) + " by " +
           describe_length(label.height, unit) + ")";
}

}  // namespace epl2::eplhost
