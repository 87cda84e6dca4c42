// Where each object of a label lands on the printed label, so that eplhost can refuse one that
// the label's edge would cut before the printer cuts it. Text is measured with the printer's
// resident fonts (cell, inter-character space and baseline at the model's resolution), barcodes
// with their module widths and data, symbols and images with their sizes. Boxes are in
// thousandths of an inch, in the label's frame (y down).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "label.h"
#include "symbologies.h"

namespace epl2::eplhost {

struct Box {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// The multipliers the module turns a requested character size into: the nearest whole multiple
// of its cell size (halves round up), at least 1 and at most the font's largest multiplier.
struct TextScale {
    std::int32_t horizontal = 1, vertical = 1;
};
struct FontCell {
    std::int32_t font = 0;                // the module's font index, 0 to 4
    std::uint32_t height = 0, width = 0;  // the module's cell, thousandths of an inch
    std::int32_t max_horizontal = 8, max_vertical = 9;
};
TextScale text_scale(const FontCell& cell, std::uint32_t height, std::uint32_t width);

Box text_box(const TextObject& text, std::size_t characters, const FontCell& cell, TextScale scale,
             int dpi);
Box barcode_box(const BarcodeObject& barcode, const Symbology& symbology, std::string_view data,
                int dpi);
Box object_box(const LabelObject& object, int dpi);  // lines, rectangles, boxes, symbols, images

// How the box leaves the label, in the label's units ("runs 0.12in past the right edge"), or
// nothing when it lies wholly on the label.
std::optional<std::string> overflow(const Box& box, const Label& label);

}  // namespace epl2::eplhost
